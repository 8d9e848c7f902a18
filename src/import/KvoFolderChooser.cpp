#include "KvoFolderChooser.h"

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
    return QFileDialog::getExistingDirectory(parent, caption, start, QFileDialog::ShowDirsOnly);
}

void KvoFolderChooser::setOverride(Chooser chooser)
{
    override() = std::move(chooser);
}
