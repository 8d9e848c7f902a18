#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

// Writes a (possibly animated) GIF89a file, which Qt can read but not write.
// Colours are matted onto a background colour (the panel the image sits on),
// nearly empty pixels become the transparent index. The pixel data is
// stored as plain literal codes with a clear code often enough that the
// code width never grows: larger than real LZW, but trivially correct, and
// the images are a few hundred pixels.
class KvoGifWriter
{
public:
    explicit KvoGifWriter(const QColor& matte);

    // Delay between frames in milliseconds (GIF stores hundredths).
    void setDelay(int milliseconds);
    void addFrame(const QImage& frame);
    bool write(const QString& path, QString* error) const;

private:
    QColor m_matte;
    int m_delay = 100;
    QList<QImage> m_frames;
};
