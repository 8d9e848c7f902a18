#include "KvoMainWindow.h"

#include "IKvoPage.h"
#include "IKvoPlayerPage.h"
#include "KvoAsynchronousSender.h"
#include "KvoConnectionStateManager.h"
#include "KvoDialog.h"
#include "KvoDoubleClickGuard.h"
#include "KvoDurationText.h"
#include "KvoEnvironment.h"
#include "KvoFont.h"
#include "KvoHTTPRequest.h"
#include "KvoInfobulle.h"
#include "KvoMenuFitter.h"
#include "KvoNotifier.h"
#include "KvoPlatformGui.h"
#include "KvoWindowDestroyWatch.h"
#include "KvoPurchase.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoQozFile.h"
#include "KvoSoftware.h"
#include "KvoVideoSeeker.h"
#include "KvoVideoVolumeSlider.h"
#include "KvoVornLink.h"
#include "ui_KvoMainWindow.h"
#include "ui_UIErrorPlayVideoDialog.h"
#include "ui_UISessionDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPalette>
#include <QScreen>
#include <QSizeGrip>
#include <QSpacerItem>
#include <QThreadPool>
#include <QTimer>
#include <QWindow>

namespace {

constexpr int FadeSteps = 20;   // 0.05 of opacity per tick
constexpr int FadeIntervalMs = 10;

const char* const MenuStyle =
    "QPushButton{color:#6e7280;border: 0;height:21px;text-align:left;padding-left:12px;"
    "margin-bottom:3px;} QPushButton:hover{color:#0871a0;} QPushButton:!enabled{color:#40424a;}";
const char* const MenuSelectedStyle =
    "QPushButton{color:#0871a0;border: 0;height:21px;text-align:left;padding-left:12px;"
    "margin-bottom:3px;background-color:#191a22;}QPushButton:hover{color:#0871a0;} "
    "QPushButton:!enabled{color:#40424a;}";
const char* const LevelStyle = "QPushButton{border:0; color:#51535c;} QPushButton:hover{color:#e2007a}";
const char* const LevelCurrentStyle = "border:0; color:white;";

} // namespace

KvoMainWindow* KvoMainWindow::s_instance = nullptr;

// --- singleton and statics --------------------------------------------------

bool KvoMainWindow::createInstance(bool online, QWidget* parent, Qt::WindowFlags flags)
{
    if (s_instance)
        return false;
    s_instance = new KvoMainWindow(online, parent, flags);
    return true;
}

KvoMainWindow* KvoMainWindow::instance()
{
    return s_instance;
}

void KvoMainWindow::destroyInstance()
{
    delete s_instance; // the destructor clears the pointer
    s_instance = nullptr;
}

KvoMainWindow::SessionEnd KvoMainWindow::runSession(bool online, const QString& argument,
                                                    const SessionHooks& hooks)
{
    // A window left over (a session that ended abnormally) is not reused.
    destroyInstance();
    createInstance(online, nullptr,
                   Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinMaxButtonsHint);
    KvoMainWindow* window = instance();
    window->show();
    window->startFade(true);
    const QString trimmed = argument.trimmed();
    if (KvoVornLink::parse(trimmed).isValid())
        window->onNewUrlFromInstance(QUrl(trimmed));
    else if (!argument.isEmpty())
        window->onNewMessageFromInstance(argument);
    if (hooks.started)
        hooks.started(window);
    window->exec();
    SessionEnd end;
    end.sessionExpired = window->isSessionExpired();
    end.hasToUpdate = window->hasToUpdate();
    if (hooks.ending)
        hooks.ending(window);
    destroyInstance();
    return end;
}

uint KvoMainWindow::detailSoftwareId(const QString& key)
{
    QString id = key;
    id.remove(QStringLiteral("detail_software_"));
    bool ok = false;
    const uint value = id.toUInt(&ok, 10);
    return ok ? value : 0;
}

QString KvoMainWindow::secondsToDate(uint seconds)
{
    return KvoDurationText::clock(seconds);
}

bool KvoMainWindow::hasVisibleSoftwares(const QMap<int, KvoPurchase>& purchases,
                                        const QMap<int, KvoSoftware>& softwares)
{
    for (const KvoPurchase& purchase : purchases) {
        if (purchase.noVideoOnDisk() || purchase.allVideosHidden())
            continue;
        for (uint softwareId : purchase.softwareIDs) {
            if (softwares.contains(int(softwareId)))
                return true;
        }
    }
    return false;
}

// --- construction -----------------------------------------------------------

KvoMainWindow::KvoMainWindow(bool online, QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
    , ui(new Ui::KvoMainWindow)
    , m_online(online)
{
    ui->setupUi(this);
    // The pages of the window are what a double click's first click opens.
    KvoDoubleClickGuard::install();
    applyFormFonts();
    m_compositing = KvoPlatformGui::isCompositing();
    if (m_compositing) {
        setAttribute(Qt::WA_TranslucentBackground);
    } else {
        // Without a compositor transparent pixels come out black and the
        // shadows would frame the window with dark bands: no shadows, and
        // an opaque window behind the rounded top corners.
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, QColor(0x13, 0x14, 0x19));
        setPalette(palette);
        setAutoFillBackground(true);
    }
    hideShadows(!m_compositing);
    setWindowTitle(tr("Vistrelle"));
    m_infobulle = new KvoInfobulle(QString(), this);

    // Control-bar widgets of the player.
    m_volumeSlider = new KvoVideoVolumeSlider(this);
    m_seeker = new KvoVideoSeeker(this);
    ui->layoutPosition->insertWidget(1, m_seeker);
    ui->layoutVolume->insertWidget(1, m_volumeSlider);

    m_fadeTimer = new QTimer(this);
    m_fadeTimer->setInterval(FadeIntervalMs);
    connect(m_fadeTimer, &QTimer::timeout, this, &KvoMainWindow::onTimerUpdateOpacity);
    applyFadeOpacity();
    // The window destroyed by another X client ends the session as the
    // window manager's close does.
    connect(new KvoWindowDestroyWatch(this), &KvoWindowDestroyWatch::destroyedFromOutside, this,
            &KvoMainWindow::onClose);

    connectForm();
    updateUserInfos();
    m_designMinimumSize = minimumSize();
    fitToScreen();
    createSizeGrip();
    createBallon();
    m_menuFitter = new KvoMenuFitter(ui->widgetMenu, ui->verticalLayout_2);
    // The breadcrumb takes the width that the user line leaves it: long
    // page titles are cut there instead of pushing the user line, and
    // "Déconnexion" with it, out of a narrow window.
    ui->widgetArianne->setSizePolicy(QSizePolicy::Ignored, ui->widgetArianne->sizePolicy().verticalPolicy());

    if (online)
        ui->labelOnline->setText(tr("En ligne"));

    connectLibrary(online);
    startConnectionProbe(online);
    KvoNotifier::instance()->loadMask();

    // Until the first page switch succeeds the stack shows this empty page,
    // not whichever page happened to be built first.
    auto* blank = new QWidget(ui->stackedWidget);
    blank->setObjectName(QStringLiteral("pageBlank"));
    ui->stackedWidget->addWidget(blank);

    changePage(QStringLiteral("accueil"), false);
    // The form's placeholder levels go even when no home page is registered.
    updateLocation(m_currentKey);
    m_history.reset(QStringLiteral("accueil"));
    // Built in advance: the links and the downloads counter need them.
    for (const QString& key : KvoPageRegistry::keysBuiltAtStart())
        insertPageInMap(key);
    wirePlayerPage();
    hideControls(true);

    KvoEnvironment::flushCache(online);
    updateVideosMenuEntry();
    setFocus(Qt::OtherFocusReason);
}

KvoMainWindow::~KvoMainWindow()
{
    // A window destroyed without its close sequence still lets the probe
    // end, or the start-up's wait for the thread pool would never return.
    stopConnectionProbe();
    KvoEnvironment::currentUserSetup();
    KvoHTTPRequest::clearCredentials();
    if (s_instance == this)
        s_instance = nullptr;
}

void KvoMainWindow::applyFormFonts()
{
    // The layout was drawn where a point is a pixel: sizes in pixels.
    const QFont text11 = KvoFont::arial(11);
    const QList<QWidget*> text11Widgets = {
        ui->buttonLevel1, ui->buttonLevel2, ui->buttonLevel3, ui->labelInfos, ui->labelCredits,
        ui->buttonDisconnect, ui->buttonVideos, ui->buttonTelecharger, ui->buttonAccueil,
        ui->buttonNouveautes, ui->buttonPromo, ui->buttonTop, ui->buttonFavoris,
        ui->buttonCredits, ui->buttonConfiguration, ui->buttonAide, ui->buttonFacebook,
        ui->buttonTwitter, ui->labelPositionStart, ui->labelPositionEnd};
    for (QWidget* widget : text11Widgets)
        widget->setFont(text11);
    const QFont section = KvoFont::arial(11, QFont::Normal);
    for (QWidget* widget : {static_cast<QWidget*>(ui->labelBibliotheque), static_cast<QWidget*>(ui->labelBoutique),
                            static_cast<QWidget*>(ui->labelCompte), static_cast<QWidget*>(ui->labelReseaux)})
        widget->setFont(section);
    ui->editSearch->setFont(KvoFont::arial(12));
    ui->labelOnline->setFont(KvoFont::arial(9));
}

void KvoMainWindow::fitToScreen()
{
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    const QRect available = primary->availableGeometry();
    fitMinimumSize(primary);
    QRect frame = geometry();
    if (available.height() < frame.height()) {
        frame.setTop(available.top());
        frame.setHeight(available.height());
    }
    if (available.width() < frame.width()) {
        frame.setLeft(available.left());
        frame.setWidth(available.width());
    }
    setGeometry(frame);
    recenterWindow();
}

void KvoMainWindow::fitMinimumSize(QScreen* screen)
{
    // A small screen, or a large scale factor, must not push the window's
    // edges (and the close button) off the screen.
    if (!screen)
        return;
    setMinimumSize(m_designMinimumSize.boundedTo(screen->availableGeometry().size()));
    m_savedMinimumSize = minimumSize();
}

void KvoMainWindow::recenterWindow()
{
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Centred inside the available area, its origin included, so that a
    // panel on the top or the left, or a second monitor, is taken into
    // account.
    const QRect available = screen->availableGeometry();
    move(available.left() + (available.width() - width()) / 2,
         available.top() + (available.height() - height()) / 2);
}

void KvoMainWindow::createSizeGrip()
{
    m_sizeGrip = new QSizeGrip(ui->resizeGrip);
    m_sizeGrip->setFixedSize(11, 11);
    m_sizeGrip->setStyleSheet(QStringLiteral("image:url(:/KvoMainWindow/Resources/resizer.png);"));
}

void KvoMainWindow::createBallon()
{
    m_ballon = new QLabel(ui->buttonTelecharger);
    m_ballon->setObjectName(QStringLiteral("labelBallon"));
    m_ballon->setFixedSize(25, 14);
    m_ballon->setEnabled(false);
    m_ballon->move(155, 4);
    m_ballon->setStyleSheet(QStringLiteral(
        "font-family:Arial;font-size:11px;margin:0;padding:0;color:#101216; font-weight:bold;"
        "background-image:url(:/KvoMainWindow/Resources/ballon.png);padding-top:1px;"));
    m_ballon->setAlignment(Qt::AlignCenter);
    m_ballon->hide();
    connect(this, &KvoMainWindow::changeBallonNumber, this, &KvoMainWindow::onChangeBallonNumber);
}

void KvoMainWindow::connectForm()
{
    for (QPushButton* button : menuButtons())
        connect(button, &QPushButton::clicked, this, &KvoMainWindow::onClickItemMenu);
    for (QPushButton* web : {ui->buttonCredits, ui->buttonFacebook, ui->buttonTwitter})
        KvoDoubleClickGuard::actOnce(web);
    connect(ui->buttonDisconnect, &QPushButton::clicked, this, &KvoMainWindow::onClickDisconnect);
    connect(ui->buttonRight, &QPushButton::clicked, this, &KvoMainWindow::onClickNextHistory);
    connect(ui->buttonLeft, &QPushButton::clicked, this, &KvoMainWindow::onClickPreviousHistory);
    for (QPushButton* level : {ui->buttonLevel1, ui->buttonLevel2, ui->buttonLevel3})
        connect(level, &QPushButton::clicked, this, &KvoMainWindow::onClickChangeLocation);
    // The view-mode buttons join with the view modes.
    for (QPushButton* mode : {ui->buttonFullscreen, ui->buttonApprentissage, ui->buttonNormal})
        connect(mode, &QPushButton::clicked, this, &KvoMainWindow::onFullScreenClicked);
    // The control bar's tooltips and the search box's focus-out.
    for (QWidget* watched : std::initializer_list<QWidget*>{
             ui->editSearch, ui->buttonSignet, ui->buttonLink, ui->buttonComment, ui->volumeLess, ui->buttonNormal,
             ui->buttonApprentissage, ui->buttonFullscreen, ui->buttonPlay, ui->buttonPause, ui->buttonNext,
             ui->buttonPrevious})
        watched->installEventFilter(this);
    connect(ui->buttonClose, &QPushButton::clicked, this, &KvoMainWindow::onClose);
    connect(ui->buttonMaximize, &QPushButton::clicked, this, &KvoMainWindow::onMaximize);
    connect(ui->buttonMinimize, &QPushButton::clicked, this, &KvoMainWindow::onMinimize);
    connect(ui->editSearch, &QLineEdit::returnPressed, this, &KvoMainWindow::onSearchPressed);
    connect(ui->logo, &QPushButton::clicked, this, &KvoMainWindow::onClickLogo);
}

void KvoMainWindow::connectLibrary(bool online)
{
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    manager->setConnected(online);
    connect(manager, &KvoPurchaseVideoManager::changeConnectionState, this,
            &KvoMainWindow::onChangeConnectionState);
    connect(manager, &KvoPurchaseVideoManager::databaseUpdated, this,
            &KvoMainWindow::onDatabaseUpdated);
    connect(manager, &KvoPurchaseVideoManager::sessionExpired, this,
            &KvoMainWindow::onSessionExpired);
    connect(manager, &KvoPurchaseVideoManager::updateEnded, this, &KvoMainWindow::onUpdateEnded,
            Qt::QueuedConnection);
    // What an earlier run or a failing service left in the queue of
    // outgoing requests goes out now, and again after every poll of the
    // library while online: waiting for the next connection change would
    // keep it for as long as the connection stays up.
    connect(manager, &KvoPurchaseVideoManager::updateEnded, this, [this] {
        if (m_online && !m_closing)
            KvoAsynchronousSender::flush();
    }, Qt::QueuedConnection);
    if (online)
        KvoAsynchronousSender::flush();
    manager->update();
}

void KvoMainWindow::startConnectionProbe(bool online)
{
    m_probe = new KvoConnectionStateManager(online);
    connect(m_probe, &KvoConnectionStateManager::changeConnectionState, this,
            &KvoMainWindow::onChangeConnectionState, Qt::QueuedConnection);
    QThreadPool::globalInstance()->start(m_probe);
}

void KvoMainWindow::stopConnectionProbe()
{
    if (!m_probe)
        return;
    disconnect(m_probe, nullptr, this, nullptr);
    m_probe->stop();
    m_probe = nullptr;
}

// --- pages ------------------------------------------------------------------

void KvoMainWindow::insertPageInMap(const QString& key)
{
    if (m_pages.contains(key))
        return;
    const KvoPageRegistry::Creator creator = KvoPageRegistry::find(key);
    if (!creator)
        return;
    QWidget* page = creator(this, key);
    // A creator may have made this page already while making its parents.
    if (!page || m_pages.contains(key))
        return;
    const int index = ui->stackedWidget->addWidget(page);
    m_pages.insert(key, qMakePair(page, index));
}

KvoMainWindow::PageMap& KvoMainWindow::pages()
{
    return m_pages;
}

QWidget* KvoMainWindow::currentPage() const
{
    return m_pages.value(m_currentKey).first;
}

IKvoPage* KvoMainWindow::pageInterface(const QString& key) const
{
    return dynamic_cast<IKvoPage*>(m_pages.value(key).first);
}

QList<IKvoPage*> KvoMainWindow::builtPages() const
{
    QList<IKvoPage*> result;
    for (int i = 0; i < ui->stackedWidget->count(); ++i) {
        if (auto* page = dynamic_cast<IKvoPage*>(ui->stackedWidget->widget(i)))
            result.append(page);
    }
    return result;
}

void KvoMainWindow::showCurrentPage()
{
    if (IKvoPage* page = pageInterface(m_currentKey))
        page->onShow();
}

void KvoMainWindow::changePage(const QString& key, bool addToHistory)
{
    changePage(KvoPageRequest(key, addToHistory));
}

void KvoMainWindow::changePage(const KvoPageRequest& original)
{
    // A copy: callers pass keys that live in the window's own breadcrumb and
    // history, which the switch rewrites.
    const KvoPageRequest request = original;
    const QString& key = request.key;
    if (key == m_currentKey)
        return;
    insertPageInMap(key);
    if (!m_pages.contains(key))
        return;
    IKvoPlayerPage* player = playerPage();
    if (player && m_currentKey == QLatin1String("player") && player->isPlaying())
        player->onPlayClicked();
    hideControls(key != QLatin1String("player"));
    updateMenu(key);
    if (IKvoPage* page = pageInterface(key)) {
        page->onRequest(request);
        page->onShow();
    }
    ui->stackedWidget->setCurrentIndex(m_pages.value(key).second);
    m_currentKey = key;
    if (request.addToHistory) {
        m_history.record(key);
        updateHistoryButtons();
    }
    updateLocation(key);
    const QString border = key == QLatin1String("player") ? QStringLiteral("1px solid transparent")
                                                          : QStringLiteral("1px solid #1d1d20");
    ui->widgetInfos->setStyleSheet(
        QStringLiteral("QWidget#widgetInfos{background-color:transparent;border-bottom: %1;}").arg(border));
    ui->widgetArianne->setStyleSheet(
        QStringLiteral("QWidget#widgetArianne{background-color:transparent;border-bottom: %1;}").arg(border));
}

void KvoMainWindow::updateHistoryButtons()
{
    ui->buttonLeft->setEnabled(m_history.canGoBack());
    ui->buttonRight->setEnabled(m_history.canGoForward());
}

void KvoMainWindow::onClickPreviousHistory()
{
    const QString key = m_history.back();
    if (key.isEmpty())
        return;
    updateHistoryButtons();
    changePage(key, false);
}

void KvoMainWindow::onClickNextHistory()
{
    const QString key = m_history.forward();
    if (key.isEmpty())
        return;
    updateHistoryButtons();
    changePage(key, false);
}

void KvoMainWindow::updateLocation(const QString& key)
{
    QPushButton* const levels[] = {ui->buttonLevel1, ui->buttonLevel2, ui->buttonLevel3};
    for (QPushButton* level : levels) {
        level->setEnabled(false);
        level->setStyleSheet(QLatin1String(LevelStyle));
        level->setText(QString());
    }
    ui->labelSepa1->hide();
    ui->labelSepa2->hide();

    const QVector<KvoBreadcrumb::Level> trail =
        KvoBreadcrumb::trail(pageInterface(key), [this](const IKvoPage* page) -> const IKvoPage* {
            QWidget* parent = page->parentPage();
            return parent == this ? nullptr : dynamic_cast<const IKvoPage*>(parent);
        });
    // A level without a page takes no room from the others in a narrow
    // window (empty, it shows nothing either way).
    for (int i = 0; i < 3; ++i)
        levels[i]->setVisible(i < trail.size());
    for (int i = 0; i < trail.size(); ++i) {
        levels[i]->setText(trail.at(i).title);
        levels[i]->setEnabled(true);
        if (i == trail.size() - 1) {
            levels[i]->setStyleSheet(QLatin1String(LevelCurrentStyle));
            levels[i]->setEnabled(false);
        }
    }
    ui->labelSepa1->setVisible(trail.size() >= 2);
    ui->labelSepa2->setVisible(trail.size() >= 3);
    m_breadcrumb = trail;
}

void KvoMainWindow::onClickChangeLocation()
{
    const QString name = sender() ? sender()->objectName() : QString();
    int index = -1;
    if (name == QLatin1String("buttonLevel1"))
        index = 0;
    else if (name == QLatin1String("buttonLevel2"))
        index = 1;
    else if (name == QLatin1String("buttonLevel3"))
        index = 2;
    if (index >= 0 && index < m_breadcrumb.size())
        changePage(m_breadcrumb.at(index).key, true);
}

QList<QPushButton*> KvoMainWindow::menuButtons() const
{
    return {ui->buttonAccueil, ui->buttonAide, ui->buttonVideos, ui->buttonConfiguration,
            ui->buttonCredits, ui->buttonFavoris, ui->buttonNouveautes, ui->buttonPromo,
            ui->buttonTelecharger, ui->buttonTop, ui->buttonFacebook, ui->buttonTwitter};
}

void KvoMainWindow::disableButtonsMenu()
{
    for (QPushButton* button : menuButtons())
        button->setStyleSheet(QLatin1String(MenuStyle));
}

void KvoMainWindow::updateMenu(const QString& key)
{
    disableButtonsMenu();
    const QString name = KvoPageRegistry::menuButtonFor(key);
    if (name.isEmpty())
        return;
    for (QPushButton* button : menuButtons()) {
        if (button->objectName() == name)
            button->setStyleSheet(QLatin1String(MenuSelectedStyle));
    }
}

void KvoMainWindow::onClickItemMenu()
{
    const QString name = sender() ? sender()->objectName() : QString();
    const QString key = KvoPageRegistry::keyForMenuButton(name);
    if (!key.isEmpty()) {
        changePage(key, true);
        return;
    }
    // The entries that are no pages open web addresses.
    QString address;
    if (name == QLatin1String("buttonCredits"))
        address = KvoEnvironment::creditsUrl();
    else if (name == QLatin1String("buttonFacebook"))
        address = KvoEnvironment::languageField10();
    else if (name == QLatin1String("buttonTwitter"))
        address = KvoEnvironment::languageField11();
    if (!address.isEmpty())
        QDesktopServices::openUrl(QUrl(address));
}

void KvoMainWindow::onClickLogo()
{
    changePage(QStringLiteral("accueil"), true);
}

void KvoMainWindow::onSearchPressed()
{
    const QString text = ui->editSearch->text().trimmed();
    if (text.isEmpty())
        return;
    ui->editSearch->clear();
    ui->editSearch->clearFocus();
    changePage(QStringLiteral("search"), true);
    emit searchRequested(text);
}

void KvoMainWindow::setSearchEnabled(bool enabled)
{
    ui->editSearch->setEnabled(enabled);
}

// --- user line, connection, counter -----------------------------------------

void KvoMainWindow::updateUserInfos()
{
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    bool ok = false;
    uint credits = manager->credits().toUInt(&ok, 10);
    if (!ok)
        credits = 0;
    ui->labelInfos->setText(tr("Bonjour %0, il vous reste").replace(QLatin1String("%0"), manager->login()));
    const QString format = credits < 2 ? tr("%0 crédit") : tr("%0 crédits");
    ui->labelCredits->setText(QString(format).replace(QLatin1String("%0"), QString::number(credits)));
}

void KvoMainWindow::onChangeConnectionState(bool online)
{
    // The probe and the manager both report; the manager echoes the state
    // it is told. Acting on a real change only keeps the outgoing queue
    // and the page refresh from running twice for one change.
    if (online == m_online)
        return;
    m_online = online;
    if (online) {
        KvoAsynchronousSender::flush();
        ui->labelOnline->setText(tr("En ligne"));
    } else {
        ui->labelOnline->setText(tr("Hors-ligne"));
    }
    KvoPurchaseVideoManager::instance()->setConnected(online);
    showCurrentPage();
}

void KvoMainWindow::notifyBallonNumber(int count)
{
    emit changeBallonNumber(count);
}

void KvoMainWindow::onChangeBallonNumber(int count)
{
    if (count < 1) {
        m_ballon->hide();
        return;
    }
    m_ballon->setText(QString::number(count));
    m_ballon->show();
}

void KvoMainWindow::updateVideosMenuEntry()
{
    KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
    ui->buttonVideos->setEnabled(hasVisibleSoftwares(manager->purchases(), manager->softwares()));
}

void KvoMainWindow::onDatabaseUpdated()
{
    showCurrentPage();
    for (IKvoPage* page : builtPages())
        page->onLibraryUpdated();
    updateUserInfos();
    m_databaseUpdatedOnce = true;
    onNewMessageFromInstance(QString());
    onNewUrlFromInstance(QUrl());
    updateVideosMenuEntry();
}

// --- links and messages -----------------------------------------------------

namespace {

std::function<void()>& importErrorDialog()
{
    static std::function<void()> dialog;
    return dialog;
}

} // namespace

void KvoMainWindow::setImportErrorDialog(const std::function<void()>& dialog)
{
    importErrorDialog() = dialog;
}

bool KvoMainWindow::isLibraryReady() const
{
    return m_databaseUpdatedOnce || m_updateEndedOnce || !KvoPurchaseVideoManager::instance()->isConnected();
}

bool KvoMainWindow::canActOnWaiting() const
{
    // What arrives for a session that is closing, or that the service
    // refused, waits and is dropped with the window: the next sign-in may
    // be another account, and the user can follow the link again.
    return isLibraryReady() && !m_closing && !m_sessionExpired;
}

void KvoMainWindow::onUpdateEnded()
{
    // A first update that changed nothing (304) or failed emits no
    // databaseUpdated(): the library read from the database is ready all
    // the same, and what waits must not wait for a later change.
    if (m_updateEndedOnce || m_closing)
        return;
    m_updateEndedOnce = true;
    onNewMessageFromInstance(QString());
    onNewUrlFromInstance(QUrl());
}

void KvoMainWindow::onNewUrlFromInstance(const QUrl& url)
{
    if (!url.isEmpty() && !m_queuedLinks.contains(url))
        m_queuedLinks.append(url);
    // A link acts on the library: online it waits for the first update.
    if (!canActOnWaiting() || m_queuedLinks.isEmpty())
        return;
    if (!url.isEmpty())
        bringToFront();
    while (!m_queuedLinks.isEmpty())
        handleUrl(m_queuedLinks.takeFirst());
    showCurrentPage();
}

void KvoMainWindow::bringToFront()
{
    raise();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    activateWindow();
    // A modal dialog open over the window stays above it.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
        modal->raise();
        modal->activateWindow();
    }
}

void KvoMainWindow::handleUrl(const QUrl& url)
{
    const KvoVornLink link = KvoVornLink::parse(url);
    if (!link.isValid())
        return;
    for (IKvoPage* page : builtPages()) {
        if (page->openLink(link))
            break;
    }
}

void KvoMainWindow::onNewMessageFromInstance(const QString& text)
{
    if (!text.isEmpty() && !QFileInfo(text).isFile())
        return;
    if (!text.isEmpty() && !m_queuedMessages.contains(text))
        m_queuedMessages.append(text);
    if (!canActOnWaiting() || m_queuedMessages.isEmpty())
        return;
    if (!text.isEmpty())
        bringToFront();
    while (!m_queuedMessages.isEmpty())
        handleParameter(m_queuedMessages.takeFirst());
    showCurrentPage();
}

void KvoMainWindow::handleParameter(const QString& path)
{
    // The file names its course and video in its closing box; they must
    // also be a video of this library.
    const KvoQozFile qoz(path);
    KvoPurchaseVideoManager* library = KvoPurchaseVideoManager::instance();
    const QMap<int, KvoPurchase> purchases = library->purchases();
    const auto purchase = qoz.isValid() ? purchases.constFind(int(qoz.purchaseId())) : purchases.cend();
    if (purchase == purchases.cend() || !purchase->files.contains(int(qoz.fileId()))
        || purchase->softwareIDs.isEmpty()) {
        showErrorImport();
        return;
    }
    const KvoVideoFile file = purchase->files.value(int(qoz.fileId()));
    // A box says nothing of what comes before it: the file is played, and
    // becomes the video's file only once the player saw a picture in it.
    const QString candidate = file.isOnDisk() ? QString() : QFileInfo(path).absoluteFilePath();
    const uint softwareId = purchase->softwareIDs.first();
    const QString softwareKey = QStringLiteral("detail_software_%1").arg(softwareId);
    if (file.hidden) {
        library->setVideoHidden(purchase->id, file.fileId, false);
        if (candidate.isEmpty()) {
            changePage(softwareKey, true);
            return;
        }
    }
    changePage(softwareKey, false);
    QWidget* softwarePage = m_pages.value(softwareKey).first;
    if (!softwarePage) {
        showErrorImport();
        return;
    }
    KvoPageRequest request = KvoPageRequest::player(softwareId, softwarePage, file.fileId);
    request.filePath = candidate;
    changePage(request);
}

void KvoMainWindow::showErrorImport()
{
    if (importErrorDialog()) {
        importErrorDialog()();
        return;
    }
    KvoDialog dialog(this, Qt::Dialog | Qt::FramelessWindowHint);
    auto* content = new QWidget(&dialog);
    Ui_UIErrorPlayVideoDialog form;
    form.setupUi(content);
    dialog.addWidget(content);
    dialog.setDimmedWidget(this);
    dialog.showDialog(false, true);
}

// --- control bar ------------------------------------------------------------

void KvoMainWindow::hideControls(bool hide)
{
    if (QSpacerItem* spacer = ui->layoutControls->itemAt(0)->spacerItem()) {
        if (hide)
            spacer->changeSize(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum);
        else
            spacer->changeSize(0, 0, QSizePolicy::Ignored, QSizePolicy::Ignored);
    }
    ui->layoutControls->invalidate();
    const QList<QWidget*> controls = {
        ui->volumeMore, m_volumeSlider, ui->volumeLess, ui->buttonLink, ui->buttonSignet,
        ui->buttonComment, ui->labelPositionEnd, m_seeker, ui->labelPositionStart,
        ui->buttonPrevious, ui->buttonNext, ui->separateurTaskbar2, ui->separateurTaskbar};
    for (QWidget* widget : controls)
        widget->setHidden(hide);
    ui->buttonFullscreen->hide();
    ui->buttonApprentissage->hide();
    ui->buttonNormal->hide();
    if (!hide) {
        QPushButton* const modeButtons[] = {ui->buttonFullscreen, ui->buttonApprentissage, ui->buttonNormal};
        modeButtons[qMin<uint>(m_viewMode, 2)]->show();
    }
    ui->buttonPlay->hide();
    ui->buttonPause->hide();
    IKvoPlayerPage* player = playerPage();
    if (!hide)
        (player && player->isPlaying() ? ui->buttonPause : ui->buttonPlay)->show();
    if (player)
        player->setMarkersHidden(hide);
    if (!hide)
        applySizeRules();
}

void KvoMainWindow::hidePlayerButtons(bool hide)
{
    if (ui->buttonComment->isHidden() == hide)
        return;
    for (QWidget* widget : {static_cast<QWidget*>(ui->buttonComment), static_cast<QWidget*>(ui->buttonSignet),
                            static_cast<QWidget*>(ui->buttonLink), static_cast<QWidget*>(ui->labelOnline),
                            ui->separateurTaskbar, ui->separateurTaskbar2, ui->separateurTaskbar3})
        widget->setHidden(hide);
    if (hide)
        ui->layoutStars->setContentsMargins(0, 0, 0, 0);
    else
        ui->layoutStars->setContentsMargins(20, 0, 11, 0);
}

void KvoMainWindow::applySizeRules()
{
    IKvoPlayerPage* player = playerPage();
    if (player)
        player->updateMarkerPositions();
    if (width() < 750) {
        hidePlayerButtons(true);
        if (player)
            player->setMarkersHidden(true);
    } else if (m_currentKey == QLatin1String("player")) {
        hidePlayerButtons(false);
        if (player)
            player->setMarkersHidden(false);
    }
    const bool titles = height() > 579;
    ui->labelBoutique->setVisible(titles);
    ui->labelBibliotheque->setVisible(titles);
    ui->labelCompte->setVisible(titles);
    ui->labelReseaux->setVisible(titles);
    if (m_menuFitter)
        m_menuFitter->fit();
}

void KvoMainWindow::hideShadows(bool hide)
{
    // Without a compositor the shadows would be drawn black: they stay off.
    const bool visible = !hide && m_compositing;
    ui->widgetShadowLeft->setVisible(visible);
    ui->widgetShadowRight->setVisible(visible);
    ui->widgetShadowBottom->setVisible(visible);
    ui->shadow_bottom_right->setVisible(visible);
    ui->shadow_bottom_left->setVisible(visible);
}

// --- window handling ---------------------------------------------------------

void KvoMainWindow::onMaximize()
{
    if (!m_maximized) {
        m_normalGeometry = geometry();
        hideShadows(true);
        ui->borderContent->hide();
        QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        if (screen)
            setGeometry(screen->availableGeometry());
        m_sizeGrip->hide();
    } else {
        hideShadows(false);
        ui->borderContent->show();
        setGeometry(m_normalGeometry);
        m_sizeGrip->show();
    }
    m_maximized = !m_maximized;
    showCurrentPage();
}

void KvoMainWindow::onMinimize()
{
    setWindowState(windowState() ^ Qt::WindowMinimized);
}

void KvoMainWindow::mousePressEvent(QMouseEvent* event)
{
    QDialog::mousePressEvent(event);
    if (m_maximized)
        return;
    QWidget* player = m_pages.value(QStringLiteral("player")).first;
    if (ui->widgetBar->underMouse() || ui->widgetTaskBar->underMouse()
        || (m_viewMode == 2 && player && player->underMouse())) {
        m_pressOffset = event->position().toPoint();
        m_dragging = true;
    }
}

void KvoMainWindow::mouseMoveEvent(QMouseEvent* event)
{
    QDialog::mouseMoveEvent(event);
    if (!m_maximized && m_dragging)
        move(event->globalPosition().toPoint() - m_pressOffset);
}

void KvoMainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    QDialog::mouseReleaseEvent(event);
    hideInfobulle();
    m_dragging = false;
}

void KvoMainWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    QDialog::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && ui->widgetBar->underMouse())
        onMaximize();
}

void KvoMainWindow::keyPressEvent(QKeyEvent* event)
{
    const bool onPlayer = m_currentKey == QLatin1String("player");
    // Back to the normal mode without setting the mode first, so that
    // leaving full screen restores the saved geometry.
    if (event->key() == Qt::Key_Escape && (m_viewMode == 1 || m_viewMode == 2))
        toggleViewMode(0);
    if (event->key() == Qt::Key_Space && onPlayer) {
        IKvoPlayerPage* player = playerPage();
        if (player && player->isPlayable())
            player->onPlayClicked();
    }
    if (event->key() == Qt::Key_F && onPlayer) {
        m_viewMode = (m_viewMode + 1) % 3;
        toggleViewMode(m_viewMode);
    }
    // Escape never closes the window.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    event->accept();
    QDialog::keyPressEvent(event);
}

void KvoMainWindow::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    event->accept();
    // A release goes to the release handler: handing it to the press
    // handler would press the default button a second time.
    QDialog::keyReleaseEvent(event);
}

void KvoMainWindow::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    applySizeRules();
}

void KvoMainWindow::showEvent(QShowEvent* event)
{
    // Moved to another screen: the minimum size follows that screen.
    if (QWindow* handle = windowHandle())
        connect(handle, &QWindow::screenChanged, this, &KvoMainWindow::fitMinimumSize, Qt::UniqueConnection);
    QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
    QDialog::showEvent(event);
    showCurrentPage();
}

void KvoMainWindow::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    if (IKvoPlayerPage* player = playerPage())
        player->updateOverlays();
}

void KvoMainWindow::closeEvent(QCloseEvent* event)
{
    // A close by the window manager (Alt+F4, the taskbar) runs the same
    // sequence as the close button; only the end of the fade-out closes.
    if (m_closed) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    onClose();
}

void KvoMainWindow::reject()
{
    if (m_closed)
        QDialog::reject();
    else
        onClose();
}

// --- end of the session -----------------------------------------------------

void KvoMainWindow::onClickDisconnect()
{
    m_sessionExpired = true;
    onClose();
}

void KvoMainWindow::closeOpenDialogs()
{
    // A modal dialog still open would keep the window's own run from
    // ending: the window would stay hidden and the client look stuck.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<KvoDialog*>(widget); dialog && dialog->isVisible())
            dialog->closeWithCancel();
    }
}

void KvoMainWindow::onSessionExpired()
{
    if (m_closing || m_sessionExpired)
        return;
    // The notice below waits on the user inside this signal: the session
    // counts as refused from now on, so a second refusal, a link or a file
    // handed over, a change of connection or a page's own connection to the
    // signal starts nothing for it meanwhile. The outgoing requests stay
    // stored for the next session.
    m_sessionExpired = true;
    KvoAsynchronousSender::hold();
    for (IKvoPage* page : builtPages())
        page->onSessionRefused();
    closeOpenDialogs();
    changePage(QStringLiteral("accueil"), false);
    hide();
    showSessionExpiredDialog();
    onClose();
}

void KvoMainWindow::showSessionExpiredDialog()
{
    // Without parent: the main window is hidden behind it.
    KvoDialog dialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    auto* content = new QWidget(&dialog);
    Ui_UISessionDialog form;
    form.setupUi(content);
    dialog.addWidget(content);
    dialog.showDialog(false, true);
}

void KvoMainWindow::onClose()
{
    // Once only: a second click during the fade-out, or a window-manager
    // close during the session-expiry close, must not stop the probe
    // again (the pool deletes it after the first stop) nor restart the fade.
    if (m_closing)
        return;
    m_closing = true;
    closeOpenDialogs();
    hideInfobulle();
    // The downloads stop, the player stores the volume and stops.
    for (IKvoPage* page : builtPages())
        page->onSessionClosing();
    // The update download is wound up here when the settings page lands.
    stopConnectionProbe();
    KvoPurchaseVideoManager::destroy();
    startFade(false);
}

qreal KvoMainWindow::fadeLevel() const
{
    return qreal(m_fadeStep) / FadeSteps;
}

void KvoMainWindow::startFade(bool in)
{
    m_fadingIn = in;
    m_fadeTimer->start(FadeIntervalMs);
}

void KvoMainWindow::applyFadeOpacity()
{
    // Only a compositor draws a window's opacity; without one the window
    // simply appears and disappears at the ends of the fade.
    if (m_compositing)
        setWindowOpacity(qreal(m_fadeStep) / FadeSteps);
}

void KvoMainWindow::onTimerUpdateOpacity()
{
    // The opacity is counted in whole steps: the window's own value reads
    // back rounded to 1/255.
    if (m_fadingIn) {
        m_fadeStep = qMin(FadeSteps, m_fadeStep + 1);
        applyFadeOpacity();
        if (m_fadeStep == FadeSteps) {
            m_fadeTimer->stop();
            // Every session checks for a newer client (or offers the one
            // already downloaded) once the window is fully there.
            insertPageInMap(QStringLiteral("config"));
            if (QWidget* config = m_pages.value(QStringLiteral("config")).first)
                QMetaObject::invokeMethod(config, "onClickUpdate", Qt::QueuedConnection);
        }
        return;
    }
    m_fadeStep = qMax(0, m_fadeStep - 1);
    applyFadeOpacity();
    if (m_fadeStep == 0) {
        m_fadeTimer->stop();
        m_closed = true;
        close();
    }
}

// --- player -------------------------------------------------------------------

IKvoPlayerPage* KvoMainWindow::playerPage() const
{
    return dynamic_cast<IKvoPlayerPage*>(m_pages.value(QStringLiteral("player")).first);
}

void KvoMainWindow::wirePlayerPage()
{
    IKvoPlayerPage* player = playerPage();
    if (!player)
        return;
    IKvoPlayerPage::Controls controls;
    controls.play = ui->buttonPlay;
    controls.pause = ui->buttonPause;
    controls.previous = ui->buttonPrevious;
    controls.next = ui->buttonNext;
    controls.mute = ui->volumeLess;
    controls.volume = m_volumeSlider;
    controls.seeker = m_seeker;
    controls.duration = ui->labelPositionEnd;
    controls.time = ui->labelPositionStart;
    controls.link = ui->buttonLink;
    controls.comment = ui->buttonComment;
    controls.signet = ui->buttonSignet;
    controls.markerParent = ui->widgetTaskBar;
    player->setControls(controls);
    // By name: the window knows the page only by its interfaces.
    QWidget* page = m_pages.value(QStringLiteral("player")).first;
    connect(page, SIGNAL(needToUpdateArianne()), this, SLOT(needToUpdateAriannePlayer()));
    connect(page, SIGNAL(onDoubleClick()), this, SLOT(onDoubleClickPlayer()));
    connect(page, SIGNAL(needToHideInfobulle()), this, SLOT(hideInfobulle()));
}

void KvoMainWindow::hideInfobulle()
{
    if (m_infobulle)
        m_infobulle->hide();
}

void KvoMainWindow::needToUpdateAriannePlayer()
{
    updateLocation(QStringLiteral("player"));
}

void KvoMainWindow::onClickSignet(const QString& name, const QTime& time)
{
    if (IKvoPlayerPage* player = playerPage())
        player->addSignet(name, time);
}

void KvoMainWindow::onDoubleClickPlayer()
{
    if (m_currentKey != QLatin1String("player"))
        return;
    m_viewMode = (m_viewMode + 1) % 3;
    toggleViewMode(m_viewMode);
}

void KvoMainWindow::onFullScreenClicked()
{
    m_viewMode = (m_viewMode + 1) % 3;
    toggleViewMode(m_viewMode);
}

void KvoMainWindow::toggleAlwaysOnTop(bool onTop)
{
    KvoPlatformGui::setWindowOnTop(this, onTop);
}

void KvoMainWindow::toggleViewMode(uint mode)
{
    const uint before = m_shownViewMode;
    const bool framed = mode == 0;
    ui->widgetMenu->setVisible(framed);
    ui->widgetBar->setVisible(framed);
    if (framed)
        ui->widgetMenu->repaint();
    ui->borderContent->setVisible(framed);
    m_sizeGrip->setVisible(mode != 1);
    ui->layoutControls->setContentsMargins(mode == 0 ? 210 : 11, 0, 0, 0);
    hideShadows(mode == 1);
    if (before == 1 && mode != 1)
        KvoPlatformGui::setFullScreen(this, false);
    if (mode == 1) {
        if (before != 1)
            m_normalGeometry = geometry();
        m_maximized = true;
        setMinimumSize(m_savedMinimumSize);
        toggleAlwaysOnTop(true);
        QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        if (screen)
            setGeometry(screen->geometry());
        KvoPlatformGui::setFullScreen(this, true);
    } else if (mode == 2) {
        m_maximized = false;
        toggleAlwaysOnTop(true);
        setMinimumSize(550, 400);
        setGeometry(m_normalGeometry.x(), m_normalGeometry.y(), 550, 400);
    } else {
        m_maximized = false;
        toggleAlwaysOnTop(false);
        setMinimumSize(m_savedMinimumSize);
        if (before == 1)
            setGeometry(m_normalGeometry);
        else
            resize(m_normalGeometry.size());
    }
    m_viewMode = mode;
    m_shownViewMode = mode;
    hideControls(false);
    hideInfobulle();
    applySizeRules();
    setFocus(Qt::OtherFocusReason);
    raise();
    // The player's floating forms come back above the window, at their
    // place in the new layout.
    if (IKvoPlayerPage* player = playerPage())
        player->updateOverlays();
}

bool KvoMainWindow::eventFilter(QObject* object, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::FocusOut && type != QEvent::Enter && type != QEvent::Leave)
        return QDialog::eventFilter(object, event);
    if (type == QEvent::FocusOut) {
        if (object == ui->editSearch) {
            // Emptied, and the line edit still runs its own focus-out (or
            // its cursor would blink on).
            ui->editSearch->clear();
        }
        return false;
    }
    QString markerName;
    if (m_currentKey == QLatin1String("player")) {
        if (IKvoPlayerPage* player = playerPage())
            markerName = player->markerName(object);
    }
    const bool marker = !markerName.isEmpty();
    static const QMap<QString, const char*> texts = {
        {QStringLiteral("buttonSignet"), QT_TR_NOOP("Nouveau signet")},
        {QStringLiteral("buttonLink"), QT_TR_NOOP("Fiche sur Corvane")},
        {QStringLiteral("buttonComment"), QT_TR_NOOP("Noter ce vorn")},
        {QStringLiteral("volumeLess"), QT_TR_NOOP("Mute")},
        {QStringLiteral("buttonNormal"), QT_TR_NOOP("Mode normal")},
        {QStringLiteral("buttonApprentissage"), QT_TR_NOOP("Mode apprentissage")},
        {QStringLiteral("buttonFullscreen"), QT_TR_NOOP("Plein écran")},
        {QStringLiteral("buttonPlay"), QT_TR_NOOP("Lecture")},
        {QStringLiteral("buttonPause"), QT_TR_NOOP("Pause")},
        {QStringLiteral("buttonNext"), QT_TR_NOOP("Vidéo suivante")},
        {QStringLiteral("buttonPrevious"), QT_TR_NOOP("Vidéo précédente")},
    };
    auto* widget = qobject_cast<QWidget*>(object);
    const bool control = widget && widget->parentWidget() && texts.contains(object->objectName())
                         && widget->window() == this;
    if (!marker && !control)
        return false;
    if (!widget)
        return false;
    if (type == QEvent::Leave) {
        hideInfobulle();
        return true;
    }
    if (!widget->isEnabled())
        return false;
    const int x = widget->mapToGlobal(QPoint(0, 0)).x();
    const int y = ui->widgetTaskBar->mapToGlobal(QPoint(0, 0)).y();
    m_infobulle->setText(marker ? markerName : tr(texts.value(object->objectName())));
    m_infobulle->move(x, y - 24);
    m_infobulle->show();
    m_infobulle->raise();
    return true;
}
