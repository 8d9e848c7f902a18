#pragma once

#include "IKvoPage.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <memory>

class KvoHomeWebPage;
class KvoLoadingFrame;
class QSizeF;
class QWebEngineLoadingInfo;
class QWebEngineView;
class Ui_KvoPageHome;

// The page "accueil", the first page after sign-in: the service's home page
// for the desktop client in a web view inside the page's own scroll area,
// in its full variant, or in the narrow inline one while the page is
// narrower than it was built. Links to all promotions and all news open
// the client's own pages, other web links the user's browser. Offline, or
// when the page cannot be loaded, the no-connection notice shows instead.
//
// One load runs at a time, and each has a deadline. The web engine starts
// with the first load, so a session that stays offline never starts it.
class KvoPageHome : public QWidget, public IKvoPage
{
    Q_OBJECT

public:
    KvoPageHome(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPageHome() override;

    // IKvoPage
    QString title() const override;
    QString name() const override;
    QWidget* parentPage() const override;
    void onShow() override;

    // The address of the full or the inline variant.
    static QString address(bool wide);
    // How long a load may take before it counts as failed (ms).
    static void setLoadDeadline(int ms);
    static int loadDeadline();

    bool isLoaded() const { return m_loaded; }
    bool isLoading() const { return m_loading; }
    bool isWide() const { return m_wide; }
    int widthThreshold() const { return m_widthThreshold; }
    // The variant of the running load, or else of the last one.
    bool loadsWide() const { return m_loadingWide; }
    int loadCount() const { return m_loadCount; }
    QWebEngineView* webView() const { return m_view; }
    KvoHomeWebPage* webPage() const { return m_page; }
    QWidget* notice() const { return m_notice; }
    KvoLoadingFrame* loadingFrame() const { return m_loadingFrame; }
    Ui_KvoPageHome* form() const { return ui.get(); }

signals:
    void onChangePage(const QString& key, bool addToHistory);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void moveErrorConnectionWidget();
    void onLoadFinished(bool ok);
    void onLoadStarted();
    void onLinkClicked(const QUrl& url);

private:
    void createView();
    void load(bool wide);
    void endLoad(bool ok);
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void onContentsSizeChanged(const QSizeF& size);
    void onDeadline();
    void fitView();
    void watchWheel(QObject* object);

    std::unique_ptr<Ui_KvoPageHome> ui;
    QWidget* m_parentPage = nullptr;
    bool m_loaded = false;
    // The view got the second press of a double click, whose release is no
    // act of its own.
    bool m_secondClick = false;
    QWidget* m_notice = nullptr;
    KvoLoadingFrame* m_loadingFrame = nullptr;
    bool m_wide = true;
    int m_widthThreshold = 0;

    QWebEngineView* m_view = nullptr;
    KvoHomeWebPage* m_page = nullptr;
    bool m_loading = false;
    bool m_loadingWide = true;
    // A variant asked for while a load ran: loaded once that load ended.
    bool m_pending = false;
    bool m_pendingWide = true;
    int m_loadCount = 0;
    // Navigations that reported their start and not yet their end, and how
    // many of them began before the running load.
    int m_openNavigations = 0;
    int m_staleNavigations = 0;
    QTimer m_deadline;
};
