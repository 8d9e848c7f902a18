#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

class QWidget;
struct KvoPageRequest;

// The process-wide dispatcher of the client's notifications. A caller names
// the kind, a title, a text and optionally a link; the notifier filters by
// the signed-in user's notification mask and hands the notification to the
// desktop's notification service or shows one of the client's own boxes at
// the chosen screen corner. A click on either follows the link: a page of
// the main window, a course video in the player, or a web address in the
// user's browser.
//
// GUI thread only.
class KvoNotifier : public QObject
{
    Q_OBJECT

public:
    // Bits of the mask (configurations.notifications_mask).
    enum MaskBit : uint {
        DesktopBit = 0x1,     // through the desktop's service, else own boxes
        EnabledBit = 0x2,     // notifications at all
        PositionBits = 0xFC,  // one of 0x4 … 0x80: the corner of own boxes
        VideoKindBit = 0x100, // "Video download finished"
        UpdateKindBit = 0x200 // "Update download finished"
    };
    static constexpr uint DefaultMask = 774; // enabled, 0x4, both kinds
    static constexpr int SlideDuration = 200; // ms

    // The kinds, also the names the desktop service is given.
    static QString videoDownloadKind();  // "Video download finished"
    static QString updateDownloadKind(); // "Update download finished"
    static QString testKind();           // "Test notification"

    // What a followed link does to the main window. By default it acts on
    // KvoMainWindow::instance() and does nothing while there is none (after
    // a sign-out a box or a desktop notification may still be clicked).
    // An empty function leaves the default in place.
    struct Navigation
    {
        std::function<bool()> available;
        std::function<void()> raise;
        std::function<void(const KvoPageRequest& request)> changePage;
        std::function<QWidget*(const QString& key)> page; // null when absent
    };
    static void setNavigation(const Navigation& navigation);

    static KvoNotifier* instance();

    uint mask() const { return m_mask; }
    // Stores the mask in the object, then in the signed-in user's
    // configuration row; without a row only the object changes.
    void saveMask(uint mask);
    // Reads the signed-in user's mask; DefaultMask when the user has no
    // configuration row (never the previous user's). Also withdraws the
    // desktop notifications of an earlier session.
    void loadMask();

    // The common entry point: an empty link means none, -1 for an id none.
    void notify(const QString& title, const QString& text, const QString& kind, const QString& link,
                int softwareId, int videoId);
    void notifyText(const QString& title, const QString& text, const QString& kind);
    void notifyVideo(const QString& title, const QString& text, const QString& kind, int softwareId,
                     int videoId);
    // link: a page key of the main window ("config") or a web address.
    void notifyUrl(const QString& title, const QString& text, const QString& kind, const QString& link);

    // The corner of the own boxes (0 to 5 as KvoNotificationBox numbers
    // them) for the position bits of a mask: the corner that the settings
    // page's label of that bit names. -1 when no position bit is set.
    static int cornerForMask(uint mask);
    // The corner the next own box appears at.
    static int corner();

    // Link maps of the own boxes, as compact JSON text:
    // {"type":0,"page":key}, {"type":1,"addr":address} or
    // {"type":2,"softwareId":s,"videoId":v}.
    static QByteArray linkForText(const QString& link);
    static QByteArray linkForIds(int softwareId, int videoId);
    // The link of a desktop click context (for a box shown in its place).
    static QByteArray linkForContext(const QString& context);
    // A web address: the text holds "://" or "www.".
    static bool isAddress(const QString& link);

    // In-app dispatch; all end in showBox().
    static void notifyWithLink(const QString& title, const QString& text, const QString& link,
                               bool autoClose);
    static void notifyWithIds(const QString& title, const QString& text, int softwareId, int videoId,
                              bool autoClose);
    static void notifyPlain(const QString& title, const QString& text, bool autoClose);
    static void showBox(const QString& title, const QString& text, const QByteArray& link,
                        bool autoClose);

    // Follows a box's link (called by the box when clicked).
    static void followLink(const QByteArray& link);
    // Follows a desktop notification's click context.
    void onDesktopNotificationClicked(const QString& context);

private:
    explicit KvoNotifier(QObject* parent = nullptr);

    void onDesktopFailed(const QString& title, const QString& text, const QString& kind,
                         const QString& context);

    static void openAddress(const QString& address);
    static void openPage(const QString& key);
    static void openVideo(int softwareId, int videoId);

    uint m_mask = DefaultMask;
};
