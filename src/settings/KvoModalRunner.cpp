#include "KvoModalRunner.h"

#include "KvoDialog.h"

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
    return QFileDialog::getExistingDirectory(parent, caption, start, QFileDialog::ShowDirsOnly);
}

void KvoModalRunner::setDialogHook(const DialogHook& hook)
{
    dialogHook() = hook;
}

void KvoModalRunner::setFolderHook(const FolderHook& hook)
{
    folderHook() = hook;
}
