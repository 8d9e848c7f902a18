// The smallest window the user can make, with every page built: what the
// size grip allows and what the menu shows there.

#include "KvoApi.h"
#include "KvoDialogDriver.h"
#include "KvoEnvironment.h"
#include "KvoMainWindow.h"
#include "KvoPageRegistry.h"
#include "KvoPageSetup.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoScreenshots.h"
#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

namespace {

const QString s_user = QStringLiteral("QzUsr512");
constexpr uint s_soft = 7;

// Courses of one software with long titles, the videos of two on disk and
// one that misses its video, so the counter badge shows.
KvoLibrary library(const QString& folder)
{
    KvoLibrary added;
    for (uint id : {1u, 2u, 3u}) {
        KvoPurchase p;
        p.id = id;
        p.title = QStringLiteral("Cours %1 : retouche avancée des portraits en lumière naturelle").arg(id);
        p.purchaseDate = QDateTime::fromSecsSinceEpoch(1600000000 + id * 86400);
        p.softwareIDs = {s_soft};
        KvoVideoFile f;
        f.fileId = id * 10 + 1;
        f.purchaseId = id;
        f.title = QStringLiteral("Vidéo %1").arg(f.fileId);
        f.order = 1;
        f.duration = 125;
        if (id != 3) {
            f.KvoPath = folder + QStringLiteral("/%1.qoz").arg(f.fileId);
            QFile file(f.KvoPath);
            if (file.open(QIODevice::WriteOnly))
                file.write("video");
        }
        p.files.insert(int(f.fileId), f);
        added.purchases.insert(int(id), p);
    }
    KvoSoftware software;
    software.id = s_soft;
    software.name = QStringLiteral("Photo : un logiciel au nom long qui passe à la ligne dans la page");
    added.softwares.insert(int(s_soft), software);
    return added;
}

QString describe(const QSize& s)
{
    return QStringLiteral("%1 x %2").arg(s.width()).arg(s.height());
}

} // namespace

class TestWindowSize : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyPageFitsTheSmallestWindow();

private:
    QTemporaryDir m_dir;
};

void TestWindowSize::initTestCase()
{
    // Nothing answers there: the window is offline.
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
    QVERIFY(KvoTestLibrary::openWithUser(m_dir.path(), s_user));
    QVERIFY(KvoTestLibrary::addConfiguration(s_user));
    QVERIFY(KvoTestLibrary::add(s_user, library(m_dir.path())));
    KvoPurchaseVideoManager::instance()->setUser(s_user, QStringLiteral("demo"), QStringLiteral("3"), QString());
}

void TestWindowSize::cleanupTestCase()
{
    KvoMainWindow::destroyInstance();
    KvoPageRegistry::clear();
    QThreadPool::globalInstance()->waitForDone(10000);
    KvoTestLibrary::close();
    KvoApi::setEndpointForTesting(QString());
}

void TestWindowSize::everyPageFitsTheSmallestWindow()
{
    KvoPageRegistry::clear();
    KvoPageSetup::registerPages();
    QVERIFY(KvoMainWindow::createInstance(false, nullptr,
                                          Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinMaxButtonsHint));
    KvoMainWindow* window = KvoMainWindow::instance();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QStringList keys = {QStringLiteral("softwares"), QStringLiteral("detail_software_7"),
                              QStringLiteral("downloads"), QStringLiteral("player"),
                              QStringLiteral("help"), QStringLiteral("support"),
                              QStringLiteral("config"), QStringLiteral("promo"),
                              QStringLiteral("news"), QStringLiteral("favoris"),
                              QStringLiteral("top"), QStringLiteral("search"),
                              QStringLiteral("accueil")};
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

QTEST_MAIN(TestWindowSize)
#include "tst_windowsize.moc"
