// The smallest window the user can make, with every page built: what the
// size grip allows, what the menu shows there and which controls the user
// can reach, in each language of the interface.

#include "KvoAddCommentWidget.h"
#include "KvoAddSignetWidget.h"
#include "KvoApi.h"
#include "KvoButtonText.h"
#include "KvoDetailSoftwareItem.h"
#include "KvoDialog.h"
#include "KvoDialogDriver.h"
#include "KvoElidingButton.h"
#include "KvoEnvironment.h"
#include "KvoFakeHttpServer.h"
#include "KvoHand.h"
#include "KvoListWidget.h"
#include "KvoListWidgetItem.h"
#include "KvoMainWindow.h"
#include "KvoPageConfiguration.h"
#include "KvoPageDetailSoftware.h"
#include "KvoPagePlayer.h"
#include "KvoPageSearch.h"
#include "KvoPreviewPlayer.h"
#include "KvoPurchaser.h"
#include "KvoPaginationWidget.h"
#include "KvoPageRegistry.h"
#include "KvoPageSoftwares.h"
#include "KvoPageSetup.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoReach.h"
#include "KvoScreenshots.h"
#include "KvoSingleApplication.h"
#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"
#include "KvoVideoImporter.h"
#include "KvoVideoPlayer.h"
#include "KvoWheelTurn.h"

#include <QAccessible>
#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <algorithm>

namespace {

const QString s_user = QStringLiteral("QzUsr512");
constexpr uint s_soft = 7;

// The software pages of the smallest-window table: what each one lists.
struct SoftwareShape
{
    const char* name;
    uint id;
    int courses;
    int videos;       // per course, all on disk
    int chapters;     // per course, 0 without chapters
    bool attachments;
    bool longTitles;
    bool longName;
};

const SoftwareShape s_shapes[] = {
    {"one course of one video", 11, 1, 1, 0, false, false, false},
    {"three courses of five videos", 12, 3, 5, 0, false, false, false},
    {"five courses of one video", 13, 5, 1, 0, false, false, false},
    {"five courses of five videos", 14, 5, 5, 0, false, false, false},
    {"more than a list page", 15, 5, 6, 0, false, false, false},
    {"chapters", 16, 3, 4, 2, false, false, false},
    {"support files", 17, 4, 3, 0, true, false, false},
    {"long course titles", 18, 4, 3, 0, false, true, false},
    {"a name on many lines", 19, 3, 5, 0, false, false, true},
    {"all of it, paged", 20, 6, 6, 3, true, true, true},
};

// A video of 125 s with its file on disk in folder.
KvoVideoFile storedVideo(uint purchaseId, uint fileId, const QString& title, uint order, const QString& folder)
{
    KvoVideoFile f;
    f.fileId = fileId;
    f.purchaseId = purchaseId;
    f.title = title;
    f.order = order;
    f.duration = 125;
    f.KvoPath = folder + QStringLiteral("/%1.qoz").arg(f.fileId);
    QFile file(f.KvoPath);
    if (file.open(QIODevice::WriteOnly))
        file.write("video");
    return f;
}

// Courses of one software with long titles, the videos of two on disk, one
// that misses its video, so the counter badge shows, and one whose video
// left the disk, so its row offers to find it.
KvoLibrary library(const QString& folder)
{
    KvoLibrary added;
    for (uint id : {1u, 2u, 3u, 4u}) {
        KvoPurchase p;
        p.id = id;
        p.title = QStringLiteral("Cours %1 : retouche avancée des portraits en lumière naturelle").arg(id);
        p.purchaseDate = QDateTime::fromSecsSinceEpoch(1600000000 + id * 86400);
        p.softwareIDs = {s_soft};
        const uint fileId = id * 10 + 1;
        KvoVideoFile f = storedVideo(id, fileId, QStringLiteral("Vidéo %1").arg(fileId), 1, folder);
        if (id >= 3)
            QFile::remove(f.KvoPath);
        if (id == 3)
            f.KvoPath.clear();
        p.files.insert(int(f.fileId), f);
        added.purchases.insert(int(id), p);
    }
    KvoSoftware software;
    software.id = s_soft;
    software.name = QStringLiteral("Photo : un logiciel au nom long qui passe à la ligne dans la page");
    added.softwares.insert(int(s_soft), software);
    return added;
}

void addSoftware(KvoLibrary& added, const SoftwareShape& shape, const QString& folder)
{
    for (int c = 0; c < shape.courses; ++c) {
        KvoPurchase p;
        p.id = shape.id * 100 + uint(c);
        p.title = shape.longTitles
                      ? QStringLiteral("Cours %1 : la retouche avancée des portraits en lumière naturelle, de la "
                                       "prise de vue au tirage, pas à pas et sans rien oublier")
                            .arg(c + 1)
                      : QStringLiteral("Cours %1").arg(c + 1);
        p.purchaseDate = QDateTime::fromSecsSinceEpoch(1600000000 + qint64(p.id) * 86400);
        p.softwareIDs = {shape.id};
        if (shape.attachments)
            p.attachmentURL = QStringLiteral("https://example.org/support/%1.zip").arg(p.id);
        for (int v = 0; v < shape.videos; ++v) {
            KvoVideoFile f = storedVideo(p.id, p.id * 100 + uint(v), QStringLiteral("Vidéo %1").arg(v + 1),
                                         uint(v + 1), folder);
            if (shape.chapters > 0) {
                f.n_chapter = uint(v * shape.chapters / shape.videos + 1);
                f.t_chapter = QStringLiteral("Chapitre %1").arg(f.n_chapter);
            }
            p.files.insert(int(f.fileId), f);
        }
        added.purchases.insert(int(p.id), p);
    }
    KvoSoftware software;
    software.id = shape.id;
    software.name = shape.longName ? QStringLiteral("Photomaton Pro : le logiciel de retouche au nom si long qu'il "
                                                    "passe plusieurs fois à la ligne dans la colonne de la page")
                                   : QStringLiteral("Logiciel %1").arg(shape.id);
    added.softwares.insert(int(shape.id), software);
}

// A software whose names hold "&" as the service sends them: one alone,
// one before a space and two in a row.
constexpr uint s_ampersandSoft = 30;
const QString s_ampersandName = QStringLiteral("Questions & réponses");
const QString s_ampersandCourse = QStringLiteral("Trucs && astuces");
const QString s_ampersandChapter = QStringLiteral("Avant & après");
const QString s_ampersandVideo = QStringLiteral("Rock&Roll");

void addAmpersandSoftware(KvoLibrary& added, const QString& folder)
{
    KvoPurchase p;
    p.id = 3001;
    p.title = s_ampersandCourse;
    p.purchaseDate = QDateTime::fromSecsSinceEpoch(1600000000);
    p.softwareIDs = {s_ampersandSoft};
    KvoVideoFile f = storedVideo(p.id, 300101, s_ampersandVideo, 1, folder);
    f.n_chapter = 1;
    f.t_chapter = s_ampersandChapter;
    p.files.insert(int(f.fileId), f);
    added.purchases.insert(int(p.id), p);
    KvoSoftware software;
    software.id = s_ampersandSoft;
    software.name = s_ampersandName;
    added.softwares.insert(int(s_ampersandSoft), software);
}

// The page of the software whose names hold "&", laid out in a window of
// 1366 x 768; null where the window does not reach that size.
KvoPageDetailSoftware* ampersandSoftwarePage()
{
    KvoMainWindow* window = KvoMainWindow::instance();
    window->resize(1366, 768);
    if (!QTest::qWaitFor([window] { return window->size() == QSize(1366, 768); }))
        return nullptr;
    window->changePage(QStringLiteral("detail_software_%1").arg(s_ampersandSoft), true);
    QCoreApplication::processEvents();
    return qobject_cast<KvoPageDetailSoftware*>(window->currentPage());
}

QString accessibleName(QWidget* widget)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

// Whether the button draws as a plain one of the same look given the text
// as drawn, its "&" escaped (a button draws "&&" as "&").
bool drawnAs(QPushButton* button, const QString& text)
{
    QPushButton same(button->parentWidget());
    same.setStyleSheet(button->styleSheet());
    same.setFont(button->font());
    same.setEnabled(button->isEnabled());
    same.setGeometry(button->geometry());
    same.setText(KvoButtonText::fromService(text));
    return button->grab().toImage() == same.grab().toImage();
}

QString describe(const QSize& s)
{
    return QStringLiteral("%1 x %2").arg(s.width()).arg(s.height());
}

// Every page the window can show, as the user opens them.
const QStringList& pageKeys()
{
    static const QStringList keys = {QStringLiteral("softwares"), QStringLiteral("detail_software_7"),
                                     QStringLiteral("downloads"), QStringLiteral("player"),
                                     QStringLiteral("help"), QStringLiteral("support"),
                                     QStringLiteral("config"), QStringLiteral("promo"),
                                     QStringLiteral("news"), QStringLiteral("favoris"),
                                     QStringLiteral("top"), QStringLiteral("search"),
                                     QStringLiteral("accueil")};
    return keys;
}

int languageRow(const QString& file)
{
    for (int i = 0; i < KvoEnvironment::languageCount(); ++i)
        if (KvoEnvironment::language(i).file == file)
            return i;
    return -1;
}

// The window built anew with its texts in the language of the file, shown.
bool openWindow(const QString& file)
{
    KvoMainWindow::destroyInstance();
    QThreadPool::globalInstance()->waitForDone(10000);
    if (!KvoSingleApplication::installTranslation(languageRow(file)))
        return false;
    KvoPageRegistry::clear();
    KvoPageSetup::registerPages();
    if (!KvoMainWindow::createInstance(false, nullptr,
                                       Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinMaxButtonsHint))
        return false;
    KvoMainWindow* window = KvoMainWindow::instance();
    window->show();
    return QTest::qWaitForWindowExposed(window);
}

// The same at the smallest size the user can give it.
bool openSmallestWindow(const QString& file)
{
    if (!openWindow(file))
        return false;
    KvoMainWindow* window = KvoMainWindow::instance();
    window->resize(800, 500);
    return QTest::qWaitFor([window] { return window->size() == QSize(800, 500); });
}

// The window of the other tests, in French, once a test that built its own
// has ended, however it ended.
auto frenchWindowAfter()
{
    return qScopeGuard([] { openWindow(QStringLiteral("francais.qm")); });
}

// What the version check finds: a newer version, at that address.
QByteArray updateOffer(const QString& address)
{
    return QStringLiteral("{\"status\":\"OK\",\"num\":14,\"version\":\"2.1.0\",\"url\":\"%1\","
                          "\"date\":1700000000,\"size\":20000}")
        .arg(address)
        .toUtf8();
}

// The start of a Debian package, as a downloaded update waiting to be
// installed: an ar archive whose first member is "debian-binary".
QByteArray packageStart()
{
    return QByteArrayLiteral("!<arch>\n"
                             "debian-binary   0           0     0     100644  4         `\n"
                             "2.0\n");
}

} // namespace

class TestWindowSize : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyPageFitsTheSmallestWindow();
    void everySoftwarePageFitsTheSmallestWindow_data();
    void everySoftwarePageFitsTheSmallestWindow();
    void breadcrumbLevelsShowTheirFirstLetters();
    void serviceTextShownAsSent();
    void doubleClickOnAVideoRow();
    void doubleClickOnASoftwareTile();
    void sortButtonsEndInAnEllipsis_data();
    void sortButtonsEndInAnEllipsis();
    void supportFormKeepsItsRowsApart();
    void settingsPageWithinReach_data();
    void settingsPageWithinReach();
    void everyControlWithinReach_data();
    void everyControlWithinReach();
    void everyDialogWithinReach_data();
    void everyDialogWithinReach();

private:
    QTemporaryDir m_dir;
};

void TestWindowSize::initTestCase()
{
    // Nothing answers there: the window is offline.
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
    QVERIFY(KvoTestLibrary::openWithUser(m_dir.path(), s_user));
    QVERIFY(KvoTestLibrary::addConfiguration(s_user));
    KvoLibrary added = library(m_dir.path());
    for (const SoftwareShape& shape : s_shapes)
        addSoftware(added, shape, m_dir.path());
    addAmpersandSoftware(added, m_dir.path());
    QVERIFY(KvoTestLibrary::add(s_user, added));
    // The stored videos are no media: the player, opened by a click, finds
    // it out and says so in a dialog of its own.
    KvoPagePlayer::setErrorDialog([](QWidget*) {});
    KvoPurchaseVideoManager::instance()->setUser(s_user, QStringLiteral("demo"), QStringLiteral("3"), QString());
    QVERIFY(openWindow(QStringLiteral("francais.qm")));
}

void TestWindowSize::cleanupTestCase()
{
    KvoMainWindow::destroyInstance();
    KvoPagePlayer::setErrorDialog(nullptr);
    KvoPageRegistry::clear();
    QThreadPool::globalInstance()->waitForDone(10000);
    KvoTestLibrary::close();
    KvoApi::setEndpointForTesting(QString());
}

void TestWindowSize::everyPageFitsTheSmallestWindow()
{
    KvoMainWindow* window = KvoMainWindow::instance();
    const QStringList& keys = pageKeys();
    {
        KvoDialogDriver none;
        for (const QString& key : keys)
            window->changePage(key, true);
        QVERIFY2(none.done(), none.report());
    }
    auto* badge = window->findChild<QLabel*>(QStringLiteral("labelBallon"));
    QVERIFY(badge);
    QTRY_VERIFY(badge->isVisible());
    auto* stack = window->findChild<QStackedWidget*>(QStringLiteral("stackedWidget"));
    QStringList faults;
    for (const QString& key : keys) {
        window->changePage(key, true);
        QCOMPARE(stack->currentWidget(), window->pages().value(key).first);
        // What the size grip asks for when the user drags it past the
        // smallest size.
        const QSize grip = QLayout::closestAcceptableSize(window, QSize(800, 500));
        if (grip != QSize(800, 500))
            faults << key + QStringLiteral(": the grip allows ") + describe(grip);
    }
    // The user line stays whole in the window, whatever the breadcrumb
    // holds, and a page's title alone in the breadcrumb shows whole.
    window->resize(800, 500);
    QTRY_COMPARE(window->size(), QSize(800, 500));
    auto* disconnect = window->findChild<QPushButton*>(QStringLiteral("buttonDisconnect"));
    auto* level = window->findChild<QPushButton*>(QStringLiteral("buttonLevel1"));
    for (const QString& key : keys) {
        window->changePage(key, true);
        QCoreApplication::processEvents();
        KvoScreenshots::save(window, QStringLiteral("smallest-window-") + key);
        const QRect shown(disconnect->mapTo(window, QPoint(0, 0)), disconnect->size());
        if (window->breadcrumb().size() == 1 && level->width() < level->sizeHint().width())
            faults << key + QStringLiteral(": its title alone in the breadcrumb is cut to %1 of %2 px")
                                .arg(level->width())
                                .arg(level->sizeHint().width());
        if (!window->rect().contains(shown))
            faults << key + QStringLiteral(": \"Déconnexion\" at %1..%2 in a window %3 wide")
                                .arg(shown.left())
                                .arg(shown.right())
                                .arg(window->width());
    }
    // The counter badge beside "À télécharger", with and without the
    // menu's section titles.
    auto* entry = badge->parentWidget();
    for (int height : {500, 579, 580, 650, 800}) {
        window->resize(800, height);
        QTRY_COMPARE(window->size(), QSize(800, height));
        QCoreApplication::processEvents();
        if (!entry->rect().contains(badge->geometry()))
            faults << QStringLiteral("%1 high: the badge at %2,%3 in an entry %4 high")
                          .arg(height)
                          .arg(badge->x())
                          .arg(badge->y())
                          .arg(entry->height());
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
}

void TestWindowSize::everySoftwarePageFitsTheSmallestWindow_data()
{
    QTest::addColumn<uint>("software");
    QTest::addColumn<bool>("paged");
    for (const SoftwareShape& shape : s_shapes)
        QTest::newRow(shape.name) << shape.id
                                  << (shape.courses * shape.videos > KvoPageDetailSoftware::ItemsPerPage);
}

void TestWindowSize::everySoftwarePageFitsTheSmallestWindow()
{
    QFETCH(uint, software);
    QFETCH(bool, paged);
    KvoMainWindow* window = KvoMainWindow::instance();
    QVERIFY(window);
    window->resize(1100, 750);
    QTRY_COMPARE(window->size(), QSize(1100, 750));
    const QString key = QStringLiteral("detail_software_%1").arg(software);
    window->changePage(key, true);
    auto* page = qobject_cast<KvoPageDetailSoftware*>(window->pages().value(key).first);
    QVERIFY(page);
    QTRY_VERIFY(page->isVisible());
    QCOMPARE(QLayout::closestAcceptableSize(window, QSize(800, 500)), QSize(800, 500));

    window->resize(800, 500);
    QTRY_COMPARE(window->size(), QSize(800, 500));
    QCoreApplication::processEvents();
    KvoScreenshots::save(window, QStringLiteral("smallest-window-software-%1").arg(software));
    // The list scrolls inside the page, its pagination and the support
    // line below it stay in the page.
    auto* list = page->findChild<QScrollArea*>(QStringLiteral("scrollArea"));
    QVERIFY(list);
    const int listed = list->widget()->minimumSizeHint().height();
    QCOMPARE(list->verticalScrollBar()->maximum() > 0, listed > list->viewport()->height());
    QCOMPARE(page->pagination()->isVisible(), paged);
    const QRect inPage(page->rect());
    for (QWidget* below : {static_cast<QWidget*>(page->pagination()),
                           page->findChild<QWidget*>(QStringLiteral("buttonSupport"))}) {
        if (below->isVisible())
            QVERIFY2(inPage.contains(QRect(below->mapTo(page, QPoint(0, 0)), below->size())),
                     qPrintable(below->objectName()));
    }
    // "Suppression" stays within the list's sideways reach.
    auto* suppression = page->findChild<QWidget*>(QStringLiteral("labelSuppression"));
    QVERIFY(suppression);
    const int right = suppression->mapTo(list->widget(), QPoint(suppression->width(), 0)).x();
    QVERIFY(list->horizontalScrollBar()->maximum() + list->viewport()->width() >= right);
    // Shift and the wheel bring it in, as a sideways wheel does.
    if (right > list->viewport()->width()) {
        list->horizontalScrollBar()->setValue(0);
        const int down = list->verticalScrollBar()->value();
        KvoWheelTurn::over(list, Qt::ShiftModifier);
        // One step of the bar a notch, not a page.
        const QScrollBar* across = list->horizontalScrollBar();
        QCOMPARE(across->value(),
                 qMin(QApplication::wheelScrollLines() * across->singleStep(), across->maximum()));
        QCOMPARE(list->verticalScrollBar()->value(), down);
    }
}

void TestWindowSize::breadcrumbLevelsShowTheirFirstLetters()
{
    KvoMainWindow* window = KvoMainWindow::instance();
    window->resize(800, 500);
    QTRY_COMPARE(window->size(), QSize(800, 500));
    auto level = [window](int i) {
        return qobject_cast<KvoElidingButton*>(
            window->findChild<QPushButton*>(QStringLiteral("buttonLevel%1").arg(i + 1)));
    };
    // A title that fits is drawn whole ("&&" is one "&").
    window->changePage(QStringLiteral("help"), true);
    QCoreApplication::processEvents();
    QVERIFY(level(0));
    QCOMPARE(level(0)->shownText(), QStringLiteral("Aide & Contact"));

    window->changePage(QStringLiteral("detail_software_7"), true);
    QCoreApplication::processEvents();
    QCOMPARE(window->breadcrumb().size(), 2);
    for (int i = 0; i < 2; ++i) {
        KvoElidingButton* shown = level(i);
        const QString title = window->breadcrumb().at(i).title;
        QCOMPARE(shown->text(), title);
        QVERIFY(shown->width() < shown->sizeHint().width());
        const QString text = shown->shownText();
        QVERIFY2(text.size() > 4 && text.endsWith(QChar(0x2026))
                     && KvoButtonText::shown(title).startsWith(text.chopped(1)),
                 qPrintable(text));
        // Drawn as a button of the same look draws that text.
        QVERIFY2(drawnAs(shown, text), qPrintable(text));
    }
}

void TestWindowSize::serviceTextShownAsSent()
{
    KvoMainWindow* window = KvoMainWindow::instance();
    KvoPageDetailSoftware* page = ampersandSoftwarePage();
    QVERIFY(page);
    // The course, its chapter and its video read as the service names them,
    // on the screen and to a screen reader.
    QStringList sent = {s_ampersandCourse, s_ampersandChapter, s_ampersandVideo};
    QStringList read;
    QStringList drawn;
    KvoDetailSoftwareItem* video = nullptr;
    for (KvoDetailSoftwareItem* row : page->rows()) {
        read << accessibleName(row->titleButton());
        drawn << KvoButtonText::shown(row->titleButton()->text());
        if (row->type() == KvoDetailSoftwareItem::Video)
            video = row;
    }
    std::sort(sent.begin(), sent.end());
    std::sort(read.begin(), read.end());
    std::sort(drawn.begin(), drawn.end());
    QCOMPARE(read, sent);
    QCOMPARE(drawn, sent);
    QVERIFY(video);

    // So does the breadcrumb, whole at its size hint.
    auto* level = qobject_cast<KvoElidingButton*>(window->findChild<QPushButton*>(QStringLiteral("buttonLevel2")));
    QVERIFY(level);
    QCOMPARE(accessibleName(level), s_ampersandName);
    level->resize(level->sizeHint());
    QCOMPARE(level->shownText(), s_ampersandName);
    QVERIFY(drawnAs(level, s_ampersandName));
    window->updateGeometry();

    // No letter after an "&" is a shortcut: Alt and it play nothing. A
    // shortcut's click shows the button down at once and comes 100 ms
    // later: the checks wait until it would have come.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QSignalSpy played(video, &KvoDetailSoftwareItem::videoClicked);
    QStringList pressed;
    for (Qt::Key key : {Qt::Key_R, Qt::Key_Space, Qt::Key_A}) {
        QTest::keyClick(window, key, Qt::AltModifier);
        for (KvoDetailSoftwareItem* row : page->rows())
            if (row->titleButton()->isDown())
                pressed << QKeySequence(key | Qt::AltModifier).toString() + QStringLiteral(" pressed ")
                               + row->titleButton()->text();
    }
    QTest::qWait(300);
    QCOMPARE(played.count(), 0);
    QCOMPARE(window->currentKey(), QStringLiteral("detail_software_%1").arg(s_ampersandSoft));
    QVERIFY2(pressed.isEmpty(), qPrintable(pressed.join(QStringLiteral(", "))));
}

namespace {

QPushButton* videoTitle(KvoPageDetailSoftware* page)
{
    for (KvoDetailSoftwareItem* row : page->rows())
        if (row->type() == KvoDetailSoftwareItem::Video)
            return row->titleButton();
    return nullptr;
}

QRect rectInWindow(QWidget* widget, const QRect& rect)
{
    return QRect(widget->mapTo(widget->window(), rect.topLeft()), rect.size());
}

} // namespace

void TestWindowSize::doubleClickOnAVideoRow()
{
    KvoMainWindow* window = KvoMainWindow::instance();
    KvoPageDetailSoftware* page = ampersandSoftwarePage();
    QVERIFY(page);
    const QString pageKey = window->currentKey();
    QPushButton* title = videoTitle(page);
    QVERIFY(title);
    QCOMPARE(window->viewMode(), 0u);
    // The first click opens the player, whose page the second press then
    // finds under the mouse: the player opens in the normal view.
    KvoHand hand;
    hand.doubleClick(title);
    QCOMPARE(window->currentKey(), QStringLiteral("player"));
    QCOMPARE(window->viewMode(), 0u);
    QVERIFY(!(window->windowState() & Qt::WindowFullScreen));

    // A double click made on the player goes to the next view.
    auto* player = qobject_cast<KvoPagePlayer*>(window->currentPage());
    QVERIFY(player);
    hand.rest();
    hand.doubleClick(player->videoPlayer());
    QCOMPARE(window->viewMode(), 1u);
    QTest::keyClick(window, Qt::Key_Escape);
    QCOMPARE(window->viewMode(), 0u);
    QTRY_VERIFY(!(window->windowState() & Qt::WindowFullScreen));

    // A press on the player, the list shown at once, then a double click on
    // the row, its second press on the player within the double-click
    // interval of the first press there: the player opens in the normal
    // view all the same.
    hand.rest();
    QVERIFY(KvoHand::centreInWindow(player->videoPlayer()) != KvoHand::centreInWindow(title));
    hand.click(player->videoPlayer(), 20);
    window->changePage(pageKey, true);
    QCOMPARE(window->currentKey(), pageKey);
    title = videoTitle(page);
    QVERIFY(title && title->isVisible());
    hand.doubleClick(title, 40, 80);
    QCOMPARE(window->currentKey(), QStringLiteral("player"));
    QCOMPARE(window->viewMode(), 0u);
}

void TestWindowSize::doubleClickOnASoftwareTile()
{
    // A double click on a software's tile opens the software's page, and
    // its second press lands on a video row there: no video plays.
    KvoMainWindow* window = KvoMainWindow::instance();
    QVERIFY(ampersandSoftwarePage());
    window->changePage(QStringLiteral("softwares"), true);
    auto* softwares = qobject_cast<KvoPageSoftwares*>(window->currentPage());
    QVERIFY(softwares);
    KvoListWidget* list = softwares->list();

    // A tile whose software's page shows a video's title within the tile.
    QString detail;
    QPoint place;
    for (int i = 0; i < list->count() && place.isNull(); ++i) {
        window->changePage(QStringLiteral("softwares"), true);
        auto* tile = dynamic_cast<KvoListWidgetItem*>(list->item(i));
        QVERIFY(tile);
        const QRect tileRect = rectInWindow(list->viewport(), list->visualItemRect(tile));
        if (tile->isHidden() || !list->viewport()->rect().contains(list->visualItemRect(tile)))
            continue;
        detail = QStringLiteral("detail_software_%1").arg(tile->id());
        window->changePage(detail, true);
        auto* page = qobject_cast<KvoPageDetailSoftware*>(window->currentPage());
        QVERIFY(page);
        for (KvoDetailSoftwareItem* row : page->rows()) {
            QPushButton* title = row->titleButton();
            const QRect titleRect = rectInWindow(title, title->rect());
            if (row->type() == KvoDetailSoftwareItem::Video && title->isVisible() && titleRect.intersects(tileRect)) {
                place = titleRect.intersected(tileRect).center();
                break;
            }
        }
    }
    QVERIFY2(!place.isNull(), "no tile has a video title of its page within it");
    window->changePage(QStringLiteral("softwares"), true);
    QCOMPARE(window->currentPage(), softwares);

    KvoHand hand;
    hand.doubleClickAt(window->windowHandle(), place);
    QCOMPARE(window->currentKey(), detail);
    QVERIFY(qobject_cast<QPushButton*>(window->childAt(place)));
}

void TestWindowSize::sortButtonsEndInAnEllipsis_data()
{
    settingsPageWithinReach_data();
}

void TestWindowSize::sortButtonsEndInAnEllipsis()
{
    QFETCH(QString, file);
    auto french = frenchWindowAfter();
    QVERIFY(openSmallestWindow(file));
    KvoMainWindow* window = KvoMainWindow::instance();
    window->changePage(QStringLiteral("detail_software_14"), true);
    auto* page = qobject_cast<KvoPageDetailSoftware*>(window->currentPage());
    QVERIFY(page);
    QCoreApplication::processEvents();
    QList<KvoElidingButton*> buttons;
    for (const char* name : {"buttonSortDate", "buttonSortTitre", "buttonSortType", "buttonSortProgression"}) {
        buttons << qobject_cast<KvoElidingButton*>(page->findChild<QPushButton*>(QLatin1String(name)));
        QVERIFY2(buttons.last(), name);
    }
    // Through every mode: each label, the neutral ones included, is drawn
    // whole or cut at its end, inside the button's padding; never cut at
    // both ends.
    const QList<QPair<int, int>> clicks = {{0, 0}, {1, 2}, {1, 3}, {2, 4}, {2, 5}, {3, 6}, {3, 7}, {3, 8}, {0, 1}};
    QStringList faults;
    for (const auto& click : clicks) {
        buttons.at(click.first)->click();
        QCOMPARE(page->sortMode(), click.second);
        QCoreApplication::processEvents();
        for (KvoElidingButton* button : buttons) {
            const QString label = KvoButtonText::shown(button->text());
            const QString text = button->shownText();
            const bool whole = text == label;
            const bool cut = text.size() > 1 && text.endsWith(QChar(0x2026)) && label.startsWith(text.chopped(1));
            const int room = button->width() - 20; // its padding
            if ((!whole && !cut) || button->fontMetrics().horizontalAdvance(text) > room)
                faults << QStringLiteral("mode %1: \"%2\" drawn as \"%3\" in %4 px")
                              .arg(click.second)
                              .arg(label, text)
                              .arg(room);
            if (!drawnAs(button, text))
                faults << QStringLiteral("mode %1: \"%2\" not drawn as \"%3\"").arg(click.second).arg(label, text);
        }
    }
    KvoScreenshots::save(window, QStringLiteral("smallest-window-sorts-") + file.chopped(3));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
}

void TestWindowSize::supportFormKeepsItsRowsApart()
{
    KvoMainWindow* window = KvoMainWindow::instance();
    window->resize(800, 500);
    QTRY_COMPARE(window->size(), QSize(800, 500));
    window->changePage(QStringLiteral("support"), true);
    QCoreApplication::processEvents();
    QWidget* page = window->pages().value(QStringLiteral("support")).first;
    QVERIFY(page && page->isVisible());
    // The send button under the message box, not over it.
    auto* message = page->findChild<QWidget*>(QStringLiteral("message"));
    auto* send = page->findChild<QPushButton*>(QStringLiteral("button"));
    QVERIFY(message && send);
    const int boxBottom = message->mapTo(page, QPoint(0, message->height())).y();
    const int buttonTop = send->mapTo(page, QPoint(0, 0)).y();
    QVERIFY2(buttonTop >= boxBottom, qPrintable(QStringLiteral("the box ends at %1, the button starts at %2")
                                                    .arg(boxBottom)
                                                    .arg(buttonTop)));
}

void TestWindowSize::settingsPageWithinReach_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("français") << QStringLiteral("francais.qm");
    QTest::newRow("English") << QStringLiteral("english.qm");
}

void TestWindowSize::settingsPageWithinReach()
{
    QFETCH(QString, file);
    const QString language = file.chopped(3);
    // A window shows its texts in the language it was built in.
    auto french = frenchWindowAfter();
    QVERIFY(openSmallestWindow(file));
    KvoMainWindow* window = KvoMainWindow::instance();
    window->changePage(QStringLiteral("config"), true);
    QWidget* page = window->pages().value(QStringLiteral("config")).first;
    QVERIFY(page && page->isVisible());
    // The longest status of the version check: offline.
    auto* update = page->findChild<QPushButton*>(QStringLiteral("buttonUpdate"));
    auto* status = page->findChild<QLabel*>(QStringLiteral("labelNewVersion"));
    QVERIFY(update && status);
    update->click();
    QTRY_VERIFY(update->isEnabled());
    QVERIFY(!status->text().isEmpty());
    QCoreApplication::processEvents();

    const QStringList faults = KvoReach::outOfReach(page);
    for (const QString& fault : faults)
        qWarning("%s", qPrintable(fault));
    QVERIFY2(faults.isEmpty(), "controls of the settings page out of reach, listed above");
    auto* area = page->findChild<QScrollArea*>(QStringLiteral("scrollArea"));
    QVERIFY(area);
    QCOMPARE(area->widget()->width(), area->viewport()->width());
    KvoScreenshots::save(window, QStringLiteral("settings-%1-800x500").arg(language));
    area->ensureWidgetVisible(page->findChild<QWidget*>(QStringLiteral("widgetNotification")));
    KvoScreenshots::save(window, QStringLiteral("settings-%1-800x500-notifications").arg(language));
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    KvoScreenshots::save(window, QStringLiteral("settings-%1-800x500-end").arg(language));
    area->verticalScrollBar()->setValue(0);
    // The lowest control the keyboard reaches comes into view whole when
    // it does.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QWidget* last = nullptr;
    const auto depth = [area](QWidget* w) { return w->mapTo(area->widget(), QPoint(0, 0)).y(); };
    for (QWidget* control : area->widget()->findChildren<QWidget*>()) {
        if ((control->focusPolicy() & Qt::TabFocus) && control->isVisible() && control->isEnabled()
            && (!last || depth(control) > depth(last)))
            last = control;
    }
    QVERIFY(last && depth(last) > area->viewport()->height());
    last->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), last);
    QVERIFY(area->viewport()->rect().contains(QRect(last->mapTo(area->viewport(), QPoint(0, 0)), last->size())));
    area->verticalScrollBar()->setValue(0);

    // The two events of the notifications: one under the other in the
    // narrow page, side by side where there is room.
    auto* videoDone = page->findChild<QWidget*>(QStringLiteral("checkboxNotificationVideoDownloadFinished"));
    auto* updateDone = page->findChild<QWidget*>(QStringLiteral("checkboxNotificationUpdateDownloadFinished"));
    QVERIFY(videoDone && updateDone);
    QCOMPARE(updateDone->x(), videoDone->x());
    QVERIFY(updateDone->y() > videoDone->geometry().bottom());
    window->resize(1366, 768);
    QTRY_COMPARE(window->size(), QSize(1366, 768));
    QTRY_COMPARE(updateDone->y(), videoDone->y());
    QVERIFY(updateDone->x() > videoDone->geometry().right());
    QVERIFY(KvoReach::outOfReach(page).isEmpty());
    KvoScreenshots::save(window, QStringLiteral("settings-%1-1366x768").arg(language));
}

void TestWindowSize::everyControlWithinReach_data()
{
    settingsPageWithinReach_data();
}

void TestWindowSize::everyControlWithinReach()
{
    QFETCH(QString, file);
    auto french = frenchWindowAfter();
    QVERIFY(openSmallestWindow(file));
    KvoMainWindow* window = KvoMainWindow::instance();
    QStringList faults;
    for (const QString& key : pageKeys()) {
        window->changePage(key, true);
        QCoreApplication::processEvents();
        for (const QString& fault : KvoReach::outOfReach(window))
            faults << key + QStringLiteral(": ") + fault;
    }
    for (const QString& fault : faults)
        qWarning("%s", qPrintable(fault));
    QVERIFY2(faults.isEmpty(), "controls out of reach, listed above");
}

void TestWindowSize::everyDialogWithinReach_data()
{
    settingsPageWithinReach_data();
}

// The dialogs and small windows the pages open, each looked at as it shows.
void TestWindowSize::everyDialogWithinReach()
{
    QFETCH(QString, file);
    // The service, as far as the dialogs need it; offline otherwise.
    KvoFakeHttpServer service;
    QVERIFY(service.listen());
    int credits = 10;
    service.setHandler([&service, &credits](const KvoFakeHttpServer::Request& request) {
        const QString path = request.path();
        if (path == QLatin1String("/0.1/playerVersion/"))
            return KvoFakeHttpServer::Reply::of(200, updateOffer(service.url(QStringLiteral("/files/update.deb"))));
        if (path == QLatin1String("/0.1/playerBuy/") && credits >= 0)
            return KvoFakeHttpServer::Reply::of(200, "{\"user_credits\":" + QByteArray::number(credits) + "}");
        if (path == QLatin1String("/files/update.deb"))
            return KvoFakeHttpServer::Reply::drip(100); // the download runs on
        return KvoFakeHttpServer::Reply::of(500, QByteArray());
    });
    const auto online = [&service](bool on) {
        KvoApi::setEndpointForTesting(on ? service.address() : QStringLiteral("http://127.0.0.1:1"));
        KvoPurchaseVideoManager::instance()->setConnected(on);
    };
    auto french = frenchWindowAfter();
    auto offline = qScopeGuard([&online] { online(false); });
    QVERIFY(openSmallestWindow(file));
    KvoMainWindow* window = KvoMainWindow::instance();

    QStringList faults;
    const auto look = [&faults](const QString& what, QWidget* shown) {
        if (shown->layout())
            shown->layout()->activate();
        for (const QString& fault : KvoReach::outOfReach(shown))
            faults << what + QStringLiteral(": ") + fault;
    };
    const auto page = [window](const QString& key) {
        window->changePage(key, true);
        QCoreApplication::processEvents();
        return window->pages().value(key).first;
    };
    // What a click on the first shown button of that name does (list rows
    // repeat their buttons); nothing when none shows.
    const auto clicking = [](QWidget* in, const char* name) -> std::function<void()> {
        return [in, name] {
            for (QPushButton* candidate : in->findChildren<QPushButton*>(QLatin1String(name))) {
                if (candidate->isVisible()) {
                    candidate->click();
                    return;
                }
            }
        };
    };
    // Runs `open`, which shows the dialog `name`, looks at it and closes it
    // with `answer` (a dialog of the client's) or as its user would; what
    // went wrong, if anything.
    const auto through = [&look](const QString& name, const std::function<void(KvoDialog*)>& answer,
                                 const std::function<void()>& open, int timeoutMs = 5000) {
        KvoDialogDriver driver(timeoutMs);
        driver.expect<QDialog>(name, [&look, &name, &answer](QDialog* dialog) {
            look(name, dialog);
            if (auto* ours = qobject_cast<KvoDialog*>(dialog); ours && answer)
                answer(ours);
            else
                KvoDialogDriver::closeModal(dialog);
        });
        open();
        return driver.wait() ? QByteArray() : QByteArray(driver.report());
    };
    const std::function<void(KvoDialog*)> cancel = &KvoDialog::closeWithCancel;
    const QByteArray none;

    // Settings: the confirmation, the folder search, the offered update
    // and its download, the update waiting to be installed.
    auto* settings = qobject_cast<KvoPageConfiguration*>(page(QStringLiteral("config")));
    QVERIFY(settings);
    QCOMPARE(through(QStringLiteral("UISuccessSavedConfig"), cancel, clicking(settings, "buttonApply")), none);
    QCOMPARE(through(QStringLiteral("KvoVideoImporter"), {}, clicking(settings, "buttonImport")), none);
    online(true);
    QCOMPARE(through(QStringLiteral("UINewUpdateDialog"), &KvoDialog::closeWithYes, clicking(settings, "buttonUpdate")),
             none);
    QTRY_VERIFY(settings->findChild<QProgressBar*>(QStringLiteral("progressBar"))->isVisible());
    look(QStringLiteral("config, downloading an update"), settings);
    settings->abortUpdateDownload();
    QTRY_VERIFY(!settings->isDownloadingUpdate());
    online(false);
    {
        const QString package = m_dir.filePath(QStringLiteral("update.deb"));
        QFile written(package);
        QVERIFY(written.open(QIODevice::WriteOnly) && written.write(packageStart()) > 0);
        written.close();
        QSettings stored(KvoEnvironment::settingsPath(), QSettings::IniFormat);
        stored.setValue(QStringLiteral("hasToUpdate"), 1);
        stored.setValue(QStringLiteral("updatePath"), package);
        stored.sync();
        QCOMPARE(through(QStringLiteral("UIHasToUpdateDialog"), cancel, clicking(settings, "buttonUpdate")), none);
        look(QStringLiteral("config, an update to install"), settings);
        stored.setValue(QStringLiteral("hasToUpdate"), 0);
        stored.setValue(QStringLiteral("updatePath"), QString());
    }

    // Support: the message sent.
    QWidget* support = page(QStringLiteral("support"));
    support->findChild<QPlainTextEdit*>(QStringLiteral("message"))->setPlainText(QStringLiteral("Bonjour"));
    QCOMPARE(through(QStringLiteral("UISentMessageDialog"), cancel, clicking(support, "button")), none);

    // Downloads: the no-connection notice.
    QWidget* downloads = page(QStringLiteral("downloads"));
    QCOMPARE(through(QStringLiteral("UIConnection"), cancel, clicking(downloads, "refresh")), none);

    // A software's page: the removal question, and the file that is no
    // video of the course.
    auto* software = qobject_cast<KvoPageDetailSoftware*>(page(QStringLiteral("detail_software_7")));
    QVERIFY(software);
    QCOMPARE(through(QStringLiteral("deleteDialog"), cancel, clicking(software, "deleteButton")), none);
    software->setFileChooser([](QWidget*, const QString&, const QString&, const QString&) {
        return QStringLiteral("/nowhere/video.qoz");
    });
    QCOMPARE(through(QStringLiteral("parcourirErrorDialog"), cancel, clicking(software, "parcourirButton")), none);

    // Search: the no-connection notice of its rows, the purchase in each of
    // its states that waits for the user, the preview.
    auto* search = qobject_cast<KvoPageSearch*>(page(QStringLiteral("search")));
    QVERIFY(search);
    QCOMPARE(through(QStringLiteral("noConnectionDialog"), cancel, [search] { search->showNoConnection(); }), none);
    online(true);
    KvoPurchase course;
    course.id = 9001;
    course.title = QStringLiteral("Cours 9001 : la retouche avancée des portraits en lumière naturelle");
    course.price = 5;
    const QList<QPair<int, int>> states = {{10, KvoPurchaser::Confirm},
                                           {0, KvoPurchaser::NotEnoughCredits},
                                           {-1, KvoPurchaser::Error}};
    for (const auto& [balance, state] : states) {
        credits = balance;
        bool seen = false;
        const auto ready = [search, state = state] {
            KvoPurchaser* purchaser = search->purchaser();
            return purchaser && purchaser->dialog()->isVisible() && purchaser->state() == state;
        };
        KvoDialogDriver::whenReady(ready, [&look, &seen, search, state = state] {
            seen = true;
            look(QStringLiteral("purchaseDialog, state %1").arg(state), search->purchaser()->dialog());
            search->purchaser()->dialog()->closeWithCancel();
        });
        search->buy(course);
        QVERIFY2(seen, qPrintable(QStringLiteral("the purchase dialog never reached state %1").arg(state)));
    }
    const QString clip = service.url(QStringLiteral("/preview.mp4"));
    QCOMPARE(through(QStringLiteral("videoFrame"), {}, [clip] { KvoPageSearch::playPreview(clip, 640, 360); }, 20000),
             none);
    online(false);

    // The player's bookmark and rating windows.
    auto* player = qobject_cast<KvoPagePlayer*>(page(QStringLiteral("player")));
    QVERIFY(player);
    for (KvoPlayerOverlay* overlay : {static_cast<KvoPlayerOverlay*>(player->signetWidget()),
                                      static_cast<KvoPlayerOverlay*>(player->commentWidget())}) {
        overlay->setOverlayHidden(false);
        QWidget* shown = overlay->overlayWidget();
        QTRY_VERIFY(shown->isVisible());
        look(QString::fromLatin1(shown->metaObject()->className()), shown);
        overlay->setOverlayHidden(true);
    }

    for (const QString& fault : faults)
        qWarning("%s", qPrintable(fault));
    QVERIFY2(faults.isEmpty(), "controls of dialogs out of reach, listed above");
}

int main(int argc, char** argv)
{
    KvoTestHome home;
    KvoSingleApplication app(argc, argv, QStringLiteral("~Qozmira~Vistrelle~tst_windowsize"));
    TestWindowSize test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowsize.moc"
