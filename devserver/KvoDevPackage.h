#pragma once

#include <QByteArray>
#include <QString>

// The update package the service offers: a real Debian binary package
// (an ar archive of debian-binary, control.tar and data.tar, as dpkg reads
// them), made in memory. It installs one text file under
// /usr/share/doc/<name>/ and nothing else.
class KvoDevPackage
{
public:
    static QByteArray debian(const QString& name, const QString& version, qint64 timestamp);
    // Whether the bytes start as a Debian package does.
    static bool looksLikeDebian(const QByteArray& head);

private:
    struct Entry
    {
        QByteArray path; // "./usr/" for a folder (trailing slash)
        QByteArray data;
    };
    static QByteArray tar(const QList<Entry>& entries, qint64 timestamp);
    static QByteArray arMember(const QByteArray& name, const QByteArray& data, qint64 timestamp);
};
