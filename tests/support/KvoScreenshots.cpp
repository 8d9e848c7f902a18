#include "KvoScreenshots.h"

#include <QDir>
#include <QWidget>

QString KvoScreenshots::folder()
{
    return qEnvironmentVariable("KVO_SCREENSHOTS");
}

bool KvoScreenshots::save(QWidget* widget, const QString& name)
{
    if (!enabled())
        return true;
    return save(widget->grab().toImage(), name);
}

bool KvoScreenshots::save(const QImage& image, const QString& name)
{
    const QString dir = folder();
    if (dir.isEmpty())
        return true;
    return QDir().mkpath(dir) && image.save(QDir(dir).filePath(name + QStringLiteral(".png")));
}
