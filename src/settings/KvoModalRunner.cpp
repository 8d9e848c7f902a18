#include "KvoModalRunner.h"

#include "KvoDialog.h"
#include "KvoDialogParent.h"

#include <QFileDialog>

namespace {

KvoModalRunner::DialogHook& dialogHook()
{
    static KvoModalRunner::DialogHook hook;
    return hook;
}

KvoModalRunner::FolderHook& folderHook()
{
    static KvoModalRunner::FolderHook hook;
    return hook;
}

} // namespace

int KvoModalRunner::run(KvoDialog* dialog)
{
    if (dialogHook())
        return dialogHook()(dialog);
    return dialog->showDialog(false, true);
}

QString KvoModalRunner::chooseFolder(QWidget* parent, const QString& caption, const QString& start)
{
    if (folderHook())
        return folderHook()(parent, caption, start);
    // Under no style sheet of the pages: the system dialog keeps its own,
    // readable colours.
    return QFileDialog::getExistingDirectory(KvoDialogParent::styleNeutral(parent), caption, start,
                                             QFileDialog::ShowDirsOnly);
}

void KvoModalRunner::setDialogHook(const DialogHook& hook)
{
    dialogHook() = hook;
}

void KvoModalRunner::setFolderHook(const FolderHook& hook)
{
    folderHook() = hook;
}
