#pragma once

#include "KvoPurchase.h"
#include "KvoVideoFile.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>

class QSqlDatabase;

// The first-run import of the earlier desktop player's library: its folders
// under the preferences folder ("*QozmiraPlayer*/Local Store"), the user's
// database there (tables `purchase` and `video`), the stored files of its
// "qoz" folder.
//
// Threads: the search (findOldDatabase) and the needed size run on the GUI
// thread. The import itself (runCopy: copies, removal of the earlier files,
// registration through the calling thread's own database connection) runs
// on a worker thread, so that neither 2 GB of copies nor the registration
// of thousands of videos holds the window; the GUI thread only reads
// copiedSize() and calls requestStop() meanwhile, and reads the lists again
// once the worker has ended.
class KvoFirstRunImport
{
    Q_DECLARE_TR_FUNCTIONS(KvoFirstRunImport)

public:
    // One course of the earlier library.
    struct ImportPurchase
    {
        KvoPurchase purchase;       // only id and title are filled
        QList<KvoVideoFile> videos; // those whose file exists
        // Per video: the earlier file (KvoPath changes to the copy), and
        // whether the copy was verified complete, so that the earlier file
        // may go.
        QStringList sources;
        QList<bool> verified;
    };

    // Whether the signed-in user's library was already taken over, or
    // cannot be (no configuration row, the statement failed).
    static bool isAlreadyImported();

    // Marks the user as imported, then finds and reads the earlier
    // databases of the user. Returns whether a course was found.
    bool findOldDatabase();

    // The bytes of every listed file; computed on the first call only.
    quint64 calcNeeded();
    bool neededKnown() const { return m_neededKnown; }

    // The copy pass into videoFolder (read on the GUI thread beforehand),
    // then, unless stopped, the removal of the earlier files whose copy was
    // verified, then the registration of what was copied (writeInBdd).
    void runCopy(const QString& videoFolder);
    void requestStop() { m_stop.store(true); }
    bool stopRequested() const { return m_stop.load(); }
    quint64 copiedSize() const { return m_copied.load(); }

    // Registers the courses and their good videos in the client's database
    // through the calling thread's connection, in one transaction.
    void writeInBdd();

    // Outcome of the copy pass.
    int failedCount() const { return m_failed; }
    QString firstError() const { return m_firstError; }
    int copiedCount() const { return m_copiedCount; }

    const QStringList& oldPlayerFolders() const { return m_oldPlayerFolders; }
    const QList<ImportPurchase>& importPurchases() const { return m_importPurchases; }

    // Good videos: those whose copy did not fail (alreadySeen 0).
    static bool purchaseHasGoodVideos(const ImportPurchase& p);
    static QList<uint> purchaseGoodVideos(const ImportPurchase& p);
    static QList<KvoVideoFile> purchaseGoodKvoVideos(const ImportPurchase& p);

    // Where a video of a course is copied to.
    static QString courseFolder(const QString& videoFolder, const KvoPurchase& purchase);
    static QString videoFileName(const KvoVideoFile& video);

    // The user's plain id carried by an earlier database's file name
    // ("data-1234.sqlite" gives "1234"); empty when the name is no database.
    static QString userPartOf(const QString& fileName);

    // Copies smaller than this are stubs, not videos.
    static constexpr qint64 MinimumSize = 3001;

private:
    void handleDatabase(const QString& path);
    void handleData(QSqlDatabase& db, const QString& localStore);
    void copyVideo(const KvoPurchase& p, KvoVideoFile& v, bool* verified, const QString& videoFolder);
    void removeCopiedSources();
    void markFailed(KvoVideoFile& v, const QString& error);

    QStringList m_oldPlayerFolders;
    QList<ImportPurchase> m_importPurchases;
    quint64 m_neededSize = 0;
    bool m_neededKnown = false;
    std::atomic<quint64> m_copied{0};
    std::atomic<bool> m_stop{false};
    int m_failed = 0;
    int m_copiedCount = 0;
    QString m_firstError;
};
