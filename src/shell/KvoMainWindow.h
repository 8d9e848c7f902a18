#pragma once

#include "KvoBreadcrumb.h"
#include "KvoNavigationHistory.h"
#include "KvoPageRegistry.h"
#include "KvoPageRequest.h"

#include <QDialog>
#include <QList>
#include <QMap>
#include <QPair>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QUrl>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <type_traits>

class IKvoPage;
class IKvoPlayerPage;
class KvoInfobulle;
class KvoMenuFitter;
class KvoConnectionStateManager;
class KvoPurchase;
class KvoSoftware;
class KvoVideoSeeker;
class KvoVideoVolumeSlider;
class QLabel;
class QScreen;
class QPushButton;
class QSizeGrip;
class QTimer;

namespace Ui {
class KvoMainWindow;
}

// The shell of a signed-in session: one frameless dialog, created once per
// session as a process-wide singleton and run modally by the start-up. It
// holds every page in a stack, switches between them on their request with
// a history and a breadcrumb, and shows the menu, the search box, the user
// line, the online state and the player's control bar.
class KvoMainWindow : public QDialog
{
    Q_OBJECT

public:
    using PageMap = QMap<QString, QPair<QWidget*, int>>;

    // How a session run by runSession() ended.
    struct SessionEnd
    {
        bool sessionExpired = false; // back to the sign-in
        bool hasToUpdate = false;    // a downloaded update is to be installed
    };
    // Called by runSession() once the window runs (to connect the sources of
    // forwarded links and messages) and before it is destroyed.
    struct SessionHooks
    {
        std::function<void(KvoMainWindow*)> started;
        std::function<void(KvoMainWindow*)> ending;
    };

    // False when the window already exists; else creates it.
    static bool createInstance(bool online, QWidget* parent = nullptr,
                               Qt::WindowFlags flags = Qt::WindowFlags());
    static KvoMainWindow* instance();
    static void destroyInstance();

    // One whole signed-in session: creates and shows the window, fades it
    // in, hands it the command-line argument (a "vorn:" link or any other
    // text), runs it modally and destroys it. The window flags it uses are
    // those of a frameless top-level window.
    static SessionEnd runSession(bool online, const QString& argument,
                                 const SessionHooks& hooks = SessionHooks());

    // Builds a page of a class with the window as parent and connects its
    // page-switch signals: onChangePage(QString, bool) and, when the class
    // declares it, onChangePageRequest(KvoPageRequest).
    template <class Page>
    static Page* createPage(KvoMainWindow* window)
    {
        auto* page = new Page(window, Qt::WindowFlags());
        connect(page, qOverload<const QString&, bool>(&Page::onChangePage), window,
                qOverload<const QString&, bool>(&KvoMainWindow::changePage));
        if constexpr (HasRequestSignal<Page>::value)
            connect(page, &Page::onChangePageRequest, window,
                    qOverload<const KvoPageRequest&>(&KvoMainWindow::changePage));
        return page;
    }
    // Registers a page class; without a creator of its own the page is
    // built by createPage().
    template <class Page>
    static void registerPage(KvoPageRegistry::Page registration)
    {
        if (!registration.creator)
            registration.creator = [](KvoMainWindow* window, const QString&) -> QWidget* {
                return createPage<Page>(window);
            };
        KvoPageRegistry::add(registration);
    }
    template <class Page>
    static void registerPage(const QString& key)
    {
        KvoPageRegistry::Page registration;
        registration.key = key;
        registerPage<Page>(registration);
    }

    // The software id of a "detail_software_<id>" key; 0 when it is none.
    static uint detailSoftwareId(const QString& key);
    // The time format of the control bar: "0:59", "10:00", "1:02:05".
    static QString secondsToDate(uint seconds);
    // Whether a software of the library has a purchase with a video on
    // disk that is not hidden in full (the software list has an entry).
    static bool hasVisibleSoftwares(const QMap<int, KvoPurchase>& purchases,
                                    const QMap<int, KvoSoftware>& softwares);

    ~KvoMainWindow() override;

    // Creates the page of the key when it is registered and not there yet.
    void insertPageInMap(const QString& key);
    PageMap& pages();
    QWidget* currentPage() const;
    QString currentKey() const { return m_currentKey; }

    QVector<QString> history() const { return m_history.keys(); }
    int historyPosition() const { return m_history.position(); }
    // The breadcrumb levels, outermost first.
    QVector<KvoBreadcrumb::Level> breadcrumb() const { return m_breadcrumb; }

    // Links and files that wait until the library is ready.
    QList<QUrl> queuedLinks() const { return m_queuedLinks; }
    QStringList queuedMessages() const { return m_queuedMessages; }

    // The page "player" (built with the window when it is registered).
    IKvoPlayerPage* playerPage() const;
    KvoInfobulle* infobulle() const { return m_infobulle; }
    // 0 normal, 1 full screen, 2 learning mode.
    uint viewMode() const { return m_viewMode; }
    // Links and files can act on the library: its first update ended (one
    // that changed nothing or failed included), or the session is offline.
    bool isLibraryReady() const;
    // The library is ready and the session goes on: waiting links and
    // files can be acted on.
    bool canActOnWaiting() const;

    // Hands a "vorn:" link to the pages; anything else does nothing.
    void handleUrl(const QUrl& url);
    // Shows the software page of a stored video file and plays it, or
    // shows it again when it was hidden; the import error when the file is
    // no video of the library.
    void handleParameter(const QString& path);
    // The playback-error dialog for a file that is no video of the library.
    void showErrorImport();
    // Replaces that dialog (tests); an empty function restores it.
    static void setImportErrorDialog(const std::function<void()>& dialog);

    void setSearchEnabled(bool enabled);
    void notifyBallonNumber(int count);

    void setHasToUpdate(bool hasToUpdate) { m_hasToUpdate = hasToUpdate; }
    bool hasToUpdate() const { return m_hasToUpdate; }
    bool isSessionExpired() const { return m_sessionExpired; }
    bool isClosing() const { return m_closing; }
    // The fade's opacity, 0.0 to 1.0.
    qreal fadeLevel() const;

public slots:
    // Switches to the page of the request's key (built on first use); an
    // unknown key or the current one changes nothing.
    void changePage(const KvoPageRequest& request);
    void changePage(const QString& key, bool addToHistory);
    void hideShadows(bool hide);
    void recenterWindow();
    void startFade(bool in);
    void onClose();
    void onNewUrlFromInstance(const QUrl& url);
    void onNewMessageFromInstance(const QString& text);
    void onChangeConnectionState(bool online);
    void onChangeBallonNumber(int count);
    void onMaximize();
    void onMinimize();
    void hideInfobulle();
    void toggleViewMode(uint mode);
    void onFullScreenClicked();
    void onDoubleClickPlayer();
    void toggleAlwaysOnTop(bool onTop);
    void onClickSignet(const QString& name, const QTime& time);
    void needToUpdateAriannePlayer();

signals:
    void changeBallonNumber(int count);
    // The search box asked for a search; the page "search" is current.
    void searchRequested(const QString& text);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* object, QEvent* event) override;
    void reject() override;

private:
    KvoMainWindow(bool online, QWidget* parent, Qt::WindowFlags flags);

    void applyFormFonts();
    void fitToScreen();
    void fitMinimumSize(QScreen* screen);
    void createSizeGrip();
    void createBallon();
    void connectForm();
    void connectLibrary(bool online);
    void startConnectionProbe(bool online);
    void stopConnectionProbe();

    template <class Page, class = void>
    struct HasRequestSignal : std::false_type
    {
    };
    template <class Page>
    struct HasRequestSignal<Page, std::void_t<decltype(&Page::onChangePageRequest)>> : std::true_type
    {
    };

    IKvoPage* pageInterface(const QString& key) const;
    // Every page built so far, in the order it was built.
    QList<IKvoPage*> builtPages() const;
    void showCurrentPage();
    QList<QPushButton*> menuButtons() const;
    void updateMenu(const QString& key);
    void updateHistoryButtons();
    void disableButtonsMenu();
    void updateLocation(const QString& key);
    void updateUserInfos();
    void updateVideosMenuEntry();
    void hideControls(bool hide);
    void hidePlayerButtons(bool hide);
    void applySizeRules();

    void onClickItemMenu();
    void onClickPreviousHistory();
    void onClickNextHistory();
    void onClickChangeLocation();
    void onClickDisconnect();
    void onClickLogo();
    void onSearchPressed();
    void onDatabaseUpdated();
    void onSessionExpired();
    void onTimerUpdateOpacity();
    void applyFadeOpacity();

    void showSessionExpiredDialog();
    void wirePlayerPage();
    // Raises and activates the window, and a modal dialog over it after.
    void bringToFront();
    void onUpdateEnded();
    void closeOpenDialogs();

    static KvoMainWindow* s_instance;

    std::unique_ptr<Ui::KvoMainWindow> ui;
    QPoint m_pressOffset;
    QRect m_normalGeometry;
    bool m_sessionExpired = false;
    bool m_hasToUpdate = false;
    bool m_maximized = false;
    bool m_dragging = false;
    bool m_compositing = false;
    bool m_online = false;
    bool m_databaseUpdatedOnce = false;
    // onClose() ran: the close sequence is under way or over.
    bool m_closing = false;
    // The fade-out has ended: the next close really closes.
    bool m_closed = false;
    uint m_viewMode = 0;
    // The mode the window is laid out in (Escape leaves m_viewMode as it is).
    uint m_shownViewMode = 0;
    // The first library update ended (a 304 or a failure included).
    bool m_updateEndedOnce = false;
    KvoInfobulle* m_infobulle = nullptr;
    QSizeGrip* m_sizeGrip = nullptr;
    KvoMenuFitter* m_menuFitter = nullptr;
    KvoVideoSeeker* m_seeker = nullptr;
    KvoVideoVolumeSlider* m_volumeSlider = nullptr;
    QLabel* m_ballon = nullptr;
    PageMap m_pages;
    KvoNavigationHistory m_history;
    QString m_currentKey;
    QVector<KvoBreadcrumb::Level> m_breadcrumb;
    QList<QUrl> m_queuedLinks;
    QStringList m_queuedMessages;
    QTimer* m_fadeTimer = nullptr;
    bool m_fadingIn = false;
    int m_fadeStep = 0; // 0 (transparent) to FadeSteps (opaque)
    QSize m_savedMinimumSize;
    QSize m_designMinimumSize; // the form's
    // The probe is deleted by the thread pool once stopped: never touched
    // after stop().
    KvoConnectionStateManager* m_probe = nullptr;
};
