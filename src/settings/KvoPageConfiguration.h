#pragma once

#include "IKvoPage.h"

#include <QNetworkReply>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class KvoDialog;
class KvoDownloader;
class KvoHTTPRequest;
class KvoLoadingFrame;
class KvoUpdateOffer;
class Ui_KvoPageConfiguration;

// The settings page ("config"): the video folder and the remembered login,
// the proxy, the notifications, the folder search, the interface language,
// and the update of the client itself (the version check, the download of
// the package with its progress, and the installation at exit).
//
// The stored settings are read once, by the constructor; every change is
// written at once, except the proxy, which "Appliquer" stores and applies
// to the whole process. The first notification type ("Bureau") is the
// desktop's notification service (the client's own boxes stand in when it
// is missing), the second ("Intégrées") the client's own boxes at the
// chosen corner.
class KvoPageConfiguration : public QWidget, public IKvoPage
{
    Q_OBJECT

public:
    // What opens the folder search of the library (a modal dialog over the
    // page); set by the start-up. Without one the button does nothing.
    using ImportOpener = std::function<void(QWidget* page)>;
    // What makes a language of the table the interface language (reloads
    // the translator); set by the start-up. Without one only the
    // environment's index changes.
    using LanguageSwitcher = std::function<void(int index)>;
    static void setImportOpener(const ImportOpener& opener);
    static void setLanguageSwitcher(const LanguageSwitcher& switcher);

    KvoPageConfiguration(QWidget* parent, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPageConfiguration() override;

    QString title() const override;
    QString name() const override;
    QWidget* parentPage() const override;
    void onShow() override;
    // The session closes: a running package download ends.
    void onSessionClosing() override;

    // Aborts a running package download.
    void abortUpdateDownload();

    bool isCheckingUpdate() const { return m_checkingUpdate; }
    bool isDownloadingUpdate() const { return m_downloadingUpdate; }
    QString updateFilePath() const { return m_updateFilePath; }

signals:
    void onChangePage(const QString& key, bool addToHistory);

public slots:
    // Offers a downloaded update that waits, or checks for a newer version.
    void onClickUpdate();

private slots:
    void onClickTestNotification();
    void disableNotifications(bool enable);
    void onClickInstall();
    void onProgressDownload(qint64 received, qint64 total);
    void onErrorDownload(QNetworkReply::NetworkError error, const QString& text);
    void onSuccessDownload();
    QString sizeToString(qint64 bytes);
    void launchUpdate();
    void onSuccessRequest(const QString& body);
    void onErrorRequest(QNetworkReply::NetworkError error, const QString& text);
    void onClickParcourir();
    void loadConfig();
    void switchRememberMe();
    void saveConfig();
    void switchEnableAuthentification();
    void switchEnableProxy();
    void showConfirmation();
    void onClickImport();
    void onLanguageChanged(int index);
    void onNotificationTypeChanged(int index);
    void switchNotificationEnabled();
    void onNotificationPositionChanged(int index);
    void switchNotificationActivated();

private:
    QString userId() const;
    void storeMask(uint mask);
    void finishCheck(const QString& status);
    void startUpdateDownload(const KvoUpdateOffer& offer);
    void failUpdateDownload(const QString& reason);
    // A modal dialog with the main window dimmed behind it; its result.
    int runDialog(KvoDialog* dialog, QWidget* content);
    int askOffer(const QString& versionLine);
    int askInstall();
    void showNotice(const QString& heading, const QString& text);

    std::unique_ptr<Ui_KvoPageConfiguration> ui;
    QWidget* m_parentPage = nullptr;
    KvoLoadingFrame* m_loadingFrame = nullptr;
    KvoHTTPRequest* m_request = nullptr;
    bool m_checkingUpdate = false;
    bool m_downloadingUpdate = false;
    KvoDownloader* m_downloader = nullptr;
    QString m_updateFilePath;
    qint64 m_announcedSize = 0;
    int m_shownPercent = -2;
};
