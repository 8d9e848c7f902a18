#include "KvoQozFile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <cstring>

namespace {

constexpr quint32 kVersion = 1;

void putBE(char* at, quint32 value)
{
    qToBigEndian(value, at);
}

quint32 getBE(const char* at)
{
    return qFromBigEndian<quint32>(at);
}

} // namespace

quint32 KvoQozFile::crc32(const QByteArray& data)
{
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : data)
        crc = table[(crc ^ static_cast<quint8>(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

QByteArray KvoQozFile::trailer(quint32 purchaseId, quint32 fileId)
{
    QByteArray box(kTrailerSize, '\0');
    char* d = box.data();
    putBE(d, kTrailerSize);
    memcpy(d + 4, "free", 4);
    memcpy(d + 8, "QOZ1", 4);
    putBE(d + 12, kVersion);
    putBE(d + 16, purchaseId);
    putBE(d + 20, fileId);
    putBE(d + 24, crc32(box.mid(8, 16)));
    memcpy(d + 28, "1ZOQ", 4);
    return box;
}

bool KvoQozFile::parseTrailer(const QByteArray& box, quint32* purchaseId, quint32* fileId)
{
    if (box.size() != kTrailerSize)
        return false;
    const char* d = box.constData();
    if (getBE(d) != kTrailerSize || memcmp(d + 4, "free", 4) != 0 || memcmp(d + 8, "QOZ1", 4) != 0
        || getBE(d + 12) != kVersion || memcmp(d + 28, "1ZOQ", 4) != 0)
        return false;
    if (getBE(d + 24) != crc32(box.mid(8, 16)))
        return false;
    if (purchaseId)
        *purchaseId = getBE(d + 16);
    if (fileId)
        *fileId = getBE(d + 20);
    return true;
}

bool KvoQozFile::appendTrailer(const QString& path, quint32 purchaseId, quint32 fileId)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray box = trailer(purchaseId, fileId);
    return file.write(box) == box.size() && file.flush();
}

KvoQozFile::KvoQozFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() < kTrailerSize)
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(file.size() - kTrailerSize))
        return;
    m_valid = parseTrailer(file.read(kTrailerSize), &m_purchaseId, &m_fileId);
}
