#pragma once

#include <QString>

// The web service's answer to the version check, read without any window:
// whether it is usable, whether it offers a newer build, and what the
// download needs (the package's address and announced size).
class KvoUpdateOffer
{
public:
    // The first server build number that is newer than this client.
    static constexpr qint64 FirstNewerBuild = 13;

    // Usable: a JSON object with all six keys status, num, version, url,
    // date and size, and status "OK".
    static KvoUpdateOffer fromAnswer(const QString& body);

    bool isUsable() const { return m_usable; }
    // A usable answer whose build is FirstNewerBuild or more and that names
    // a package to fetch and its size. A negative build offers nothing; nor
    // does a size of 0 or one that is no number, which would leave the
    // download unchecked.
    bool isNewer() const;

    qint64 build() const { return m_build; }
    QString version() const { return m_version; }
    QString url() const { return m_url; }
    qint64 date() const { return m_date; }  // seconds since the epoch, 0 when unreadable
    qint64 size() const { return m_size; }  // bytes, 0 when unknown

    // The size shown to the user: the byte count divided by 1024 (dropping
    // the remainder) while it is above 1024 and a larger unit remains.
    // *unit gets 0 (bytes), 1 (KB), 2 (MB) or 3 (GB).
    static qint64 sizeInUnit(qint64 bytes, int* unit);

    // Whole percent of a download, 0 to 100; -1 when the total is unknown
    // (zero or negative), so that nothing divides by it.
    static int percent(qint64 received, qint64 total);

private:
    bool m_usable = false;
    qint64 m_build = 0;
    QString m_version;
    QString m_url;
    qint64 m_date = 0;
    qint64 m_size = 0;
};
