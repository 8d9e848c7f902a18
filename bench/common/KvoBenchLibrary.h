#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

#include <functional>

// A library for the page benchmarks: a fresh client database in a temporary
// folder, filled with one user's rows and loaded by the library manager.
class KvoBenchLibrary
{
public:
    // Opens the database; KvoEnvironment::init() must have run.
    explicit KvoBenchLibrary(const QString& user);
    ~KvoBenchLibrary();

    KvoBenchLibrary(const KvoBenchLibrary&) = delete;
    KvoBenchLibrary& operator=(const KvoBenchLibrary&) = delete;

    bool isOpen() const { return m_open; }
    // A path in the temporary folder.
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    // Writes in one transaction the user's row, what addRows adds (the
    // purchases and videos), then `softwares` softwares ("Logiciel N") the
    // user follows. Returns the time it took, in ms.
    double fill(int softwares, const std::function<void(QSqlDatabase&)>& addRows);
    // Signs the user in to the library manager, which loads the library.
    // Returns the time it took, in ms.
    double load();
    // Destroys the library manager, waits for its threads and closes the
    // database; the destructor does it when it was not done before.
    void close();

private:
    QTemporaryDir m_dir;
    QString m_user;
    bool m_open = false;
};
