#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// A stored video (".qoz"): the media container as served, ending with one
// 32-byte top-level MP4 box of type "free" that records which course and
// which video file it is. Players skip the box; the client reads it to
// recognise a file it finds on disk.
//
// Box layout (all integers big-endian):
//   size=32 | "free" | "QOZ1" | version=1 | purchase id | file id |
//   CRC-32 of the 16 bytes "QOZ1".."file id" | "1ZOQ"
class KvoQozFile
{
public:
    static constexpr int kTrailerSize = 32;

    // Reads the identification of the file at path.
    explicit KvoQozFile(const QString& path);

    // True when the file is a regular file whose last 32 bytes are a valid
    // box with a matching checksum.
    bool isValid() const { return m_valid; }
    quint32 purchaseId() const { return m_purchaseId; }
    quint32 fileId() const { return m_fileId; }

    // The 32 bytes that identify a video.
    static QByteArray trailer(quint32 purchaseId, quint32 fileId);
    // Parses a 32-byte trailer; false when it is not one.
    static bool parseTrailer(const QByteArray& bytes, quint32* purchaseId, quint32* fileId);
    // Appends the trailer to an existing file (used where stored videos are
    // made: the local web service and test fixtures).
    static bool appendTrailer(const QString& path, quint32 purchaseId, quint32 fileId);

    // CRC-32 with the zlib polynomial.
    static quint32 crc32(const QByteArray& data);

private:
    bool m_valid = false;
    quint32 m_purchaseId = 0;
    quint32 m_fileId = 0;
};
