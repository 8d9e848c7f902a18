#pragma once

#include <QString>

#include <functional>

class QWidget;

// The system's folder chooser of the import windows, with a seam for tests:
// an installed override answers instead of the chooser.
class KvoFolderChooser
{
public:
    using Chooser = std::function<QString(QWidget* parent, const QString& caption, const QString& start)>;

    // QFileDialog::getExistingDirectory with ShowDirsOnly; "" when cancelled.
    static QString choose(QWidget* parent, const QString& caption, const QString& start);

    // Replaces the chooser (an empty function restores it).
    static void setOverride(Chooser chooser);
};
