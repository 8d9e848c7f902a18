#include "KvoGifWriter.h"

#include <QByteArray>
#include <QFile>
#include <QHash>

namespace {

constexpr int kTransparentIndex = 0;
// Only the nearly empty pixels become transparent; faint and antialiased ones
// keep their look by being blended onto the matte colour.
constexpr int kClearBelow = 12;

void putWord(QByteArray& out, int value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

// Packs variable-width codes least significant bit first, as GIF wants.
class BitPacker
{
public:
    void put(int code, int width)
    {
        m_acc |= quint32(code) << m_bits;
        m_bits += width;
        while (m_bits >= 8) {
            m_bytes.append(char(m_acc & 0xff));
            m_acc >>= 8;
            m_bits -= 8;
        }
    }
    QByteArray finish()
    {
        if (m_bits > 0)
            m_bytes.append(char(m_acc & 0xff));
        m_acc = 0;
        m_bits = 0;
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    quint32 m_acc = 0;
    int m_bits = 0;
};

QRgb matted(QRgb premultiplied, const QColor& matte)
{
    const int a = qAlpha(premultiplied);
    const int inv = 255 - a;
    return qRgb(qRed(premultiplied) + (matte.red() * inv + 127) / 255,
                qGreen(premultiplied) + (matte.green() * inv + 127) / 255,
                qBlue(premultiplied) + (matte.blue() * inv + 127) / 255);
}

} // namespace

KvoGifWriter::KvoGifWriter(const QColor& matte)
    : m_matte(matte)
{
}

void KvoGifWriter::setDelay(int milliseconds)
{
    m_delay = milliseconds;
}

void KvoGifWriter::addFrame(const QImage& frame)
{
    m_frames.append(frame.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

bool KvoGifWriter::write(const QString& path, QString* error) const
{
    if (m_frames.isEmpty()) {
        *error = QStringLiteral("no frame to write");
        return false;
    }
    const int width = m_frames.first().width();
    const int height = m_frames.first().height();

    // Palette: index 0 is transparent, then every colour that occurs. With
    // more than 255 colours every channel is reduced to six levels.
    bool reduce = false;
    QHash<QRgb, int> colours;
    for (const QImage& frame : m_frames) {
        for (int y = 0; y < height && !reduce; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            for (int x = 0; x < width; ++x) {
                if (qAlpha(line[x]) < kClearBelow)
                    continue;
                const QRgb c = matted(line[x], m_matte);
                if (!colours.contains(c)) {
                    if (colours.size() == 255) {
                        reduce = true;
                        break;
                    }
                    colours.insert(c, colours.size() + 1);
                }
            }
        }
    }
    auto level = [](int v) { return (v * 5 + 127) / 255; };
    QList<QRgb> palette(256, qRgb(m_matte.red(), m_matte.green(), m_matte.blue()));
    if (reduce) {
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    palette[1 + r * 36 + g * 6 + b] = qRgb(r * 51, g * 51, b * 51);
    } else {
        for (auto it = colours.cbegin(); it != colours.cend(); ++it)
            palette[it.value()] = it.key();
    }
    auto indexOf = [&](QRgb pixel) -> int {
        if (qAlpha(pixel) < kClearBelow)
            return kTransparentIndex;
        const QRgb c = matted(pixel, m_matte);
        if (reduce)
            return 1 + level(qRed(c)) * 36 + level(qGreen(c)) * 6 + level(qBlue(c));
        return colours.value(c);
    };

    QByteArray out("GIF89a");
    putWord(out, width);
    putWord(out, height);
    out.append(char(0xf7)); // global colour table of 256 entries, 8 bits
    out.append(char(kTransparentIndex));
    out.append(char(0));
    for (QRgb c : palette) {
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    if (m_frames.size() > 1) {
        out.append("\x21\xff\x0b" "NETSCAPE2.0" "\x03\x01", 16);
        putWord(out, 0); // loop forever
        out.append(char(0));
    }

    const int clearCode = 256;
    const int endCode = 257;
    const int codeWidth = 9;
    // After a clear the decoder adds one table entry per code from the second
    // code on; it widens its codes when the table reaches 512 entries, i.e.
    // after 255 codes. A clear every 254 literals keeps every code 9 bits.
    const int literalsPerClear = 254;

    for (const QImage& frame : m_frames) {
        out.append("\x21\xf9\x04", 3);
        out.append(char(0x09)); // dispose to background, transparent colour
        putWord(out, qMax(1, (m_delay + 5) / 10));
        out.append(char(kTransparentIndex));
        out.append(char(0));

        out.append(char(0x2c));
        putWord(out, 0);
        putWord(out, 0);
        putWord(out, width);
        putWord(out, height);
        out.append(char(0)); // no local table, not interlaced

        BitPacker packer;
        int sinceClear = literalsPerClear;
        for (int y = 0; y < height; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            for (int x = 0; x < width; ++x) {
                if (sinceClear == literalsPerClear) {
                    packer.put(clearCode, codeWidth);
                    sinceClear = 0;
                }
                packer.put(indexOf(line[x]), codeWidth);
                ++sinceClear;
            }
        }
        packer.put(endCode, codeWidth);
        const QByteArray data = packer.finish();

        out.append(char(8)); // minimum code size
        for (int pos = 0; pos < data.size(); pos += 255) {
            const QByteArray block = data.mid(pos, 255);
            out.append(char(block.size()));
            out.append(block);
        }
        out.append(char(0));
    }
    out.append(char(0x3b));

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(out) != out.size()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
