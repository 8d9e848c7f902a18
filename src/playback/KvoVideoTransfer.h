#pragma once

#include "KvoCourseFolders.h"
#include "KvoPurchase.h"

#include <QNetworkReply>
#include <QObject>
#include <QString>

class KvoDownloader;
class KvoHTTPRequest;

// The transfer of one video file of a course into the user's video folder:
// it asks the service for the file's address, fetches the file into
// "<video folder>/<id> - <course>/<fileId> - <title>.qoz" (written as
// "….part" and renamed only once complete), checks that the file is whole
// and is the very video asked for, and records its path in the library.
//
// It knows nothing of queues, rows or courses of several videos: the
// download job that owns it decides what comes next from its signals.
// Exactly one of succeeded() or failed() ends a transfer that started;
// abort() and destruction end it without either. GUI thread.
class KvoVideoTransfer : public QObject
{
    Q_OBJECT

public:
    // The course as the job holds it: its course title and the video's
    // title name the file.
    KvoVideoTransfer(const KvoPurchase& course, int fileId, QObject* parent = nullptr);
    ~KvoVideoTransfer() override;

    // Makes the course folder and asks for the address. False when the
    // folder cannot be made: nothing runs then, and message and detail say
    // why.
    bool start(QString* message, QString* detail);
    // Stops whatever runs, without a signal; the partial file goes.
    void abort();

    // The file being (or last) downloaded.
    QString filePath() const { return m_filePath; }
    // The size the transfer announced; -1 before any report.
    qint64 bytesTotal() const { return m_bytesTotal; }

    // Some transfer errors concern this video only: a course of several
    // videos goes on with the next one after them.
    static bool concernsThisVideoOnly(QNetworkReply::NetworkError error);

signals:
    // The address came: the file is on its way.
    void downloadStarted();
    void progress(qint64 received, qint64 total);
    // The file is in place and its path in the library.
    void succeeded(const QString& path);
    // message: what the row shows, translated in the row's context
    // ("KvoDownloadWidget") where its translations are; detail: the
    // technical reason; thisVideoOnly: see concernsThisVideoOnly().
    void failed(const QString& message, const QString& detail, bool thisVideoOnly);

private:
    void onAddress(const QString& body);
    void onRequestFailed(QNetworkReply::NetworkError error, const QString& message);
    void onProgress(qint64 received, qint64 total);
    void onDownloaded();
    void onDownloadFailed(QNetworkReply::NetworkError error, const QString& message);
    void fail(const QString& message, const QString& detail, bool thisVideoOnly = false);
    void release();
    void leaveCourseFolder();

    KvoPurchase m_course;
    int m_fileId;
    QString m_filePath;
    // The transfer's hold on its course folder, and the video folder that
    // folder lies in.
    KvoCourseFolders::Hold m_courseFolder;
    QString m_videoFolder;
    qint64 m_bytesTotal = -1;
    KvoDownloader* m_downloader = nullptr;
    KvoHTTPRequest* m_request = nullptr;
};
