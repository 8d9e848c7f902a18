#include "KvoNotifier.h"

#include "KvoDatabase.h"
#include "KvoDesktopNotifier.h"
#include "KvoEnvironment.h"
#include "KvoMainWindow.h"
#include "KvoNotificationBox.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

namespace {

// The corner of the own boxes for the module's life; set from the position
// bits by each notification. Top right until the first one.
int s_corner = 2;

// The settings page offers the positions "Bas à gauche", "Bas au centre",
// "Bas à droite", "Haut à gauche", "Haut au centre", "Haut à droite" and
// stores item i as bit 0x4 << i. Each bit shows the box where its label says.
const int CornerOfPositionBit[6] = {3, 4, 5, 0, 1, 2};

const QString DetailPrefix = QStringLiteral("detail_software_");
const QString VideoPrefix = QStringLiteral("video:");

KvoNotifier::Navigation& navigation()
{
    static KvoNotifier::Navigation nav;
    return nav;
}

// --- the main window, as a followed link sees it ---------------------------

bool mainWindowAvailable()
{
    if (navigation().available)
        return navigation().available();
    return KvoMainWindow::instance() != nullptr;
}

void mainWindowRaise()
{
    if (navigation().raise) {
        navigation().raise();
        return;
    }
    if (KvoMainWindow* window = KvoMainWindow::instance()) {
        if (window->isMinimized())
            window->showNormal();
        window->raise();
        window->activateWindow();
    }
}

void mainWindowChangePage(const KvoPageRequest& request)
{
    if (navigation().changePage) {
        navigation().changePage(request);
        return;
    }
    if (KvoMainWindow* window = KvoMainWindow::instance())
        window->changePage(request);
}

QWidget* mainWindowPage(const QString& key)
{
    if (navigation().page)
        return navigation().page(key);
    if (KvoMainWindow* window = KvoMainWindow::instance())
        return window->pages().value(key).first;
    return nullptr;
}

// A page key is a plain word ("config", "detail_software_12"); anything else
// (spaces, a scheme, a path) is no page.
bool isPageKey(const QString& key)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_]+$"));
    return pattern.match(key).hasMatch();
}

// The two ids of "video:<software>~<video>"; false unless both are there
// and are numbers.
bool parseVideoContext(const QString& context, int* softwareId, int* videoId)
{
    if (!context.startsWith(VideoPrefix))
        return false;
    const QStringList parts = context.mid(VideoPrefix.size()).split(QLatin1Char('~'), Qt::KeepEmptyParts);
    if (parts.size() != 2)
        return false;
    bool softwareOk = false;
    bool videoOk = false;
    *softwareId = parts.at(0).toInt(&softwareOk, 10);
    *videoId = parts.at(1).toInt(&videoOk, 10);
    return softwareOk && videoOk && *softwareId >= 0 && *videoId >= 0;
}

} // namespace

// --- kinds, instance, navigation -------------------------------------------

QString KvoNotifier::videoDownloadKind()
{
    return QStringLiteral("Video download finished");
}

QString KvoNotifier::updateDownloadKind()
{
    return QStringLiteral("Update download finished");
}

QString KvoNotifier::testKind()
{
    return QStringLiteral("Test notification");
}

void KvoNotifier::setNavigation(const Navigation& nav)
{
    navigation() = nav;
}

KvoNotifier* KvoNotifier::instance()
{
    static KvoNotifier* notifier = new KvoNotifier(QCoreApplication::instance());
    return notifier;
}

KvoNotifier::KvoNotifier(QObject* parent)
    : QObject(parent)
{
    KvoDesktopNotifier* bridge = KvoDesktopNotifier::instance();
    connect(bridge, &KvoDesktopNotifier::clicked, this, &KvoNotifier::onDesktopNotificationClicked);
    connect(bridge, &KvoDesktopNotifier::notificationFailed, this, &KvoNotifier::onDesktopFailed);
}

// --- mask ------------------------------------------------------------------

void KvoNotifier::loadMask()
{
    // A user without a configuration row gets the default, not the mask of
    // whoever was signed in before.
    m_mask = DefaultMask;
    // Clicks on the previous session's desktop notifications would act on
    // this one.
    KvoDesktopNotifier::instance()->closeAll();

    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral(
        "SELECT c.notifications_mask FROM `configurations` AS c INNER JOIN `users` AS u "
        "ON u.id_configuration = c.rowid WHERE u.id_qoz_user = :id_user"));
    q.bindValue(QStringLiteral(":id_user"), KvoEnvironment::currentUserId());
    if (q.exec() && q.next())
        m_mask = q.value(0).toUInt();
}

void KvoNotifier::saveMask(uint mask)
{
    m_mask = mask;
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("SELECT id_configuration FROM `users` WHERE id_qoz_user = :id_user"));
    q.bindValue(QStringLiteral(":id_user"), KvoEnvironment::currentUserId());
    if (!q.exec() || !q.next())
        return;
    const uint configuration = q.value(0).toUInt();
    QSqlQuery update(KvoDatabase::database());
    update.prepare(QStringLiteral(
        "UPDATE `configurations` SET `notifications_mask` = :mask WHERE rowid = :id_configuration"));
    update.bindValue(QStringLiteral(":mask"), mask);
    update.bindValue(QStringLiteral(":id_configuration"), configuration);
    update.exec();
}

// --- common entry point ----------------------------------------------------

int KvoNotifier::cornerForMask(uint mask)
{
    for (int i = 0; i < 6; ++i) {
        if (mask & (0x4u << i))
            return CornerOfPositionBit[i];
    }
    return -1;
}

int KvoNotifier::corner()
{
    return s_corner;
}

void KvoNotifier::notify(const QString& title, const QString& text, const QString& kind,
                         const QString& link, int softwareId, int videoId)
{
    if (!(m_mask & EnabledBit))
        return;
    if (kind == videoDownloadKind() && !(m_mask & VideoKindBit))
        return;
    if (kind == updateDownloadKind() && !(m_mask & UpdateKindBit))
        return;

    // Also while the desktop is chosen: a box shown in place of a failed
    // desktop notification appears where the settings say.
    const int maskCorner = cornerForMask(m_mask);
    if (maskCorner >= 0)
        s_corner = maskCorner;

    const bool hasIds = softwareId != -1 && videoId != -1;
    if (m_mask & DesktopBit) {
        // When the service is missing or fails, onDesktopFailed() shows a
        // box instead.
        KvoDesktopNotifier* bridge = KvoDesktopNotifier::instance();
        if (!link.isEmpty())
            bridge->notify(title, text, kind, link);
        else if (hasIds)
            bridge->notify(title, text, kind, softwareId, videoId);
        else
            bridge->notify(title, text, kind);
        return;
    }
    if (!link.isEmpty())
        notifyWithLink(title, text, link, true);
    else if (hasIds)
        notifyWithIds(title, text, softwareId, videoId, true);
    else
        notifyPlain(title, text, true);
}

void KvoNotifier::notifyText(const QString& title, const QString& text, const QString& kind)
{
    notify(title, text, kind, QString(), -1, -1);
}

void KvoNotifier::notifyVideo(const QString& title, const QString& text, const QString& kind,
                              int softwareId, int videoId)
{
    notify(title, text, kind, QString(), softwareId, videoId);
}

void KvoNotifier::notifyUrl(const QString& title, const QString& text, const QString& kind,
                            const QString& link)
{
    notify(title, text, kind, link, -1, -1);
}

void KvoNotifier::onDesktopFailed(const QString& title, const QString& text, const QString& kind,
                                  const QString& context)
{
    Q_UNUSED(kind)
    showBox(title, text, linkForContext(context), true);
}

// --- in-app dispatch -------------------------------------------------------

bool KvoNotifier::isAddress(const QString& link)
{
    return link.contains(QLatin1String("://")) || link.contains(QLatin1String("www."));
}

QByteArray KvoNotifier::linkForText(const QString& link)
{
    if (link.isEmpty())
        return QByteArray();
    QJsonObject map;
    if (isAddress(link)) {
        map.insert(QStringLiteral("type"), 1);
        map.insert(QStringLiteral("addr"), link);
    } else {
        map.insert(QStringLiteral("type"), 0);
        map.insert(QStringLiteral("page"), link);
    }
    return QJsonDocument(map).toJson(QJsonDocument::Compact);
}

QByteArray KvoNotifier::linkForIds(int softwareId, int videoId)
{
    QJsonObject map;
    map.insert(QStringLiteral("type"), 2);
    map.insert(QStringLiteral("softwareId"), softwareId);
    map.insert(QStringLiteral("videoId"), videoId);
    return QJsonDocument(map).toJson(QJsonDocument::Compact);
}

QByteArray KvoNotifier::linkForContext(const QString& context)
{
    if (context.isEmpty())
        return QByteArray();
    int softwareId = -1;
    int videoId = -1;
    if (!isAddress(context) && context.startsWith(VideoPrefix)) {
        if (!parseVideoContext(context, &softwareId, &videoId))
            return QByteArray();
        return linkForIds(softwareId, videoId);
    }
    return linkForText(context);
}

void KvoNotifier::notifyWithLink(const QString& title, const QString& text, const QString& link,
                                 bool autoClose)
{
    showBox(title, text, linkForText(link), autoClose);
}

void KvoNotifier::notifyWithIds(const QString& title, const QString& text, int softwareId, int videoId,
                                bool autoClose)
{
    showBox(title, text, linkForIds(softwareId, videoId), autoClose);
}

void KvoNotifier::notifyPlain(const QString& title, const QString& text, bool autoClose)
{
    showBox(title, text, QByteArray(), autoClose);
}

void KvoNotifier::showBox(const QString& title, const QString& text, const QByteArray& link,
                          bool autoClose)
{
    // The box owns itself and deletes itself once it has left.
    auto* box = new KvoNotificationBox();
    box->setTitle(title);
    box->setText(text);
    box->setLink(link);
    box->showAt(s_corner, SlideDuration, autoClose);
}

// --- following links -------------------------------------------------------

void KvoNotifier::openAddress(const QString& address)
{
    // Only web addresses reach the browser: a "file://" or other scheme
    // would start whatever program handles it.
    const QUrl url = QUrl::fromUserInput(address);
    const QString scheme = url.scheme();
    if (url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")))
        QDesktopServices::openUrl(url);
}

// A box or a desktop notification may outlive its session: with no main
// window, pages and videos are not opened.
void KvoNotifier::openPage(const QString& key)
{
    if (isPageKey(key) && mainWindowAvailable())
        mainWindowChangePage(KvoPageRequest(key, true));
}

void KvoNotifier::openVideo(int softwareId, int videoId)
{
    if (!mainWindowAvailable())
        return;
    const QString key = DetailPrefix + QString::number(softwareId);
    // The software's page first (unrecorded), so that the player sits under
    // it in the breadcrumb.
    mainWindowChangePage(KvoPageRequest(key, false));
    mainWindowChangePage(KvoPageRequest::player(uint(softwareId), mainWindowPage(key), uint(videoId)));
}

void KvoNotifier::followLink(const QByteArray& link)
{
    if (link.isEmpty())
        return;
    const QJsonDocument document = QJsonDocument::fromJson(link);
    if (!document.isObject())
        return;
    const QVariantMap map = document.object().toVariantMap();
    bool ok = false;
    const int type = map.value(QStringLiteral("type")).toInt(&ok);
    if (!ok)
        return;
    switch (type) {
    case 0:
        openPage(map.value(QStringLiteral("page")).toString());
        break;
    case 1:
        openAddress(map.value(QStringLiteral("addr")).toString());
        break;
    case 2: {
        bool softwareOk = false;
        bool videoOk = false;
        const int softwareId = map.value(QStringLiteral("softwareId")).toInt(&softwareOk);
        const int videoId = map.value(QStringLiteral("videoId")).toInt(&videoOk);
        if (softwareOk && videoOk)
            openVideo(softwareId, videoId);
        break;
    }
    default:
        break;
    }
}

void KvoNotifier::onDesktopNotificationClicked(const QString& context)
{
    if (context.isEmpty())
        return;
    if (mainWindowAvailable())
        mainWindowRaise();
    if (isAddress(context)) {
        openAddress(context);
        return;
    }
    if (!context.startsWith(VideoPrefix)) {
        openPage(context);
        return;
    }
    int softwareId = -1;
    int videoId = -1;
    if (parseVideoContext(context, &softwareId, &videoId))
        openVideo(softwareId, videoId);
}
