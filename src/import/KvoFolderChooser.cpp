#include "KvoFolderChooser.h"

#include "KvoDialogParent.h"

#include <QFileDialog>

namespace {

KvoFolderChooser::Chooser& override()
{
    static KvoFolderChooser::Chooser chooser;
    return chooser;
}

} // namespace

QString KvoFolderChooser::choose(QWidget* parent, const QString& caption, const QString& start)
{
    if (override())
        return override()(parent, caption, start);
    // Under no style sheet of the pages or of the import windows: the
    // system dialog keeps its own, readable colours.
    return QFileDialog::getExistingDirectory(KvoDialogParent::styleNeutral(parent), caption, start,
                                             QFileDialog::ShowDirsOnly);
}

void KvoFolderChooser::setOverride(Chooser chooser)
{
    override() = std::move(chooser);
}
