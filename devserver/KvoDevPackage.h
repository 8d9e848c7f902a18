#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

// The update package the service offers: a real Debian binary package
// (an ar archive of debian-binary, control.tar and data.tar, as dpkg reads
// them), made in memory. It installs one text file under
// /usr/share/doc/<name>/ and nothing else.
class KvoDevPackage
{
public:
    static QByteArray debian(const QString& name, const QString& version, qint64 timestamp);
    // The same package with one more file of payload bytes of varying
    // content under /usr/share/<name>/, written to out as it is made (for
    // the benchmarks: hundreds of MiB never sit in memory). False when a
    // write fails.
    static bool writeLarge(QIODevice* out, const QString& name, const QString& version, qint64 timestamp,
                           qint64 payload);
    // Whether the bytes start as a Debian package does.
    static bool looksLikeDebian(const QByteArray& head);

private:
    struct Entry
    {
        QByteArray path; // "./usr/" for a folder (trailing slash)
        QByteArray data;
    };
    static QByteArray control(const QByteArray& pkg, const QString& version, qint64 installedKb,
                              const QByteArray& installs);
    static QList<Entry> docEntries(const QByteArray& pkg, const QString& version);
    static QByteArray tarHeader(const QByteArray& path, qint64 size, qint64 timestamp);
    // Headers and contents, without the end of the archive.
    static QByteArray tarEntries(const QList<Entry>& entries, qint64 timestamp);
    // What ends an archive of sizeSoFar bytes.
    static QByteArray tarEnd(qint64 sizeSoFar);
    static int blockPadding(qint64 size);
    static QByteArray tar(const QList<Entry>& entries, qint64 timestamp);
    static QByteArray arHeader(const QByteArray& name, qint64 size, qint64 timestamp);
    static QByteArray arMember(const QByteArray& name, const QByteArray& data, qint64 timestamp);
};
