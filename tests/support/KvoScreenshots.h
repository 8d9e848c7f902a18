#pragma once

#include <QImage>
#include <QString>

class QWidget;

// Pictures of widgets for a person to look at, never compared. One switch
// for every test program: the environment variable KVO_SCREENSHOTS names a
// folder to write them to; unset, nothing is written anywhere.
class KvoScreenshots
{
public:
    static QString folder();
    static bool enabled() { return !folder().isEmpty(); }
    // Writes NAME.png into the folder; true when done or when switched off.
    static bool save(QWidget* widget, const QString& name);
    static bool save(const QImage& image, const QString& name);
    // For a test function that only takes pictures.
    static constexpr const char* OffReason = "KVO_SCREENSHOTS not set";
};
