// The interface language changed during a session, on the settings page:
// what the window shows afterwards, in dialogs and windows built before the
// change too, is in the chosen language.

#include "KvoAddCommentWidget.h"
#include "KvoAddSignetWidget.h"
#include "KvoApi.h"
#include "KvoDialog.h"
#include "KvoDialogDriver.h"
#include "KvoEnvironment.h"
#include "KvoLoadingFrame.h"
#include "IKvoPage.h"
#include "KvoMainWindow.h"
#include "KvoPageConfiguration.h"
#include "KvoPageHome.h"
#include "KvoPagePlayer.h"
#include "KvoPageRegistry.h"
#include "KvoPageSetup.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSingleApplication.h"
#include "KvoTestLibrary.h"
#include "KvoTestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

namespace {

const QString s_user = QStringLiteral("QzUsr311");

int row(const char* file)
{
    for (int i = 0; i < KvoEnvironment::languageCount(); ++i)
        if (KvoEnvironment::language(i).file == QLatin1String(file))
            return i;
    return -1;
}

// The title of the no-connection notice that "Actualiser" of the downloads
// page shows offline; empty when none showed.
QString offlineNoticeTitle(KvoMainWindow* window)
{
    window->changePage(QStringLiteral("downloads"), true);
    QString title;
    KvoDialogDriver driver;
    driver.expect<KvoDialog>(QStringLiteral("UIConnection"), [&title](KvoDialog* dialog) {
        title = dialog->findChild<QLabel*>(QStringLiteral("label_2"))->text();
        dialog->closeWithCancel();
    });
    QTest::mouseClick(window->currentPage()->findChild<QPushButton*>(QStringLiteral("refresh")), Qt::LeftButton);
    if (!driver.wait())
        return driver.report();
    return title;
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void laterTextsInTheChosenLanguage();
    void menuEntriesReadAsTheirPages();

private:
    QTemporaryDir m_dir;
    QTcpServer m_closed; // the service: nothing answers there
};

void TestLanguage::initTestCase()
{
    QVERIFY(m_closed.listen(QHostAddress::LocalHost));
    m_closed.close();
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:%1").arg(m_closed.serverPort()));
    QVERIFY(KvoTestLibrary::openWithUser(m_dir.path(), s_user));
    QVERIFY(KvoTestLibrary::addConfiguration(s_user));
    QVERIFY(row("english.qm") >= 0 && row("francais.qm") >= 0);
}

void TestLanguage::cleanupTestCase()
{
    KvoTestLibrary::close();
    KvoApi::setEndpointForTesting(QString());
}

void TestLanguage::laterTextsInTheChosenLanguage()
{
    KvoSingleApplication::installTranslation(row("francais.qm"));
    KvoPageRegistry::clear();
    KvoPageSetup::registerPages();
    QVERIFY(KvoMainWindow::createInstance(false));
    KvoMainWindow* window = KvoMainWindow::instance();
    window->show();
    // Built with the window, in French: the player page's overlays and the
    // home page's busy overlay; the downloads page's notice shows once.
    auto* player = qobject_cast<KvoPagePlayer*>(window->pages().value(QStringLiteral("player")).first);
    auto* home = qobject_cast<KvoPageHome*>(window->pages().value(QStringLiteral("accueil")).first);
    QVERIFY(player && home);
    QCOMPARE(player->signetWidget()->form().title->text(), QStringLiteral("Ajout d'un signet"));
    QCOMPARE(home->loadingFrame()->label(), QStringLiteral("Chargement"));
    QCOMPARE(offlineNoticeTitle(window), QStringLiteral("HORS CONNEXION"));

    // The user picks English on the settings page.
    window->changePage(QStringLiteral("config"), true);
    auto* settings = qobject_cast<KvoPageConfiguration*>(window->currentPage());
    QVERIFY(settings);
    settings->findChild<QComboBox*>(QStringLiteral("comboboxLanguage"))->setCurrentIndex(row("english.qm"));

    // What shows from now on, built before the change or after it: the
    // version check's busy overlay, the home page's, the player page's two
    // overlay windows, the downloads page's notice and, when the account is
    // used elsewhere, the end of the session.
    QStringList shown;
    settings->findChild<QPushButton*>(QStringLiteral("buttonUpdate"))->click();
    for (KvoLoadingFrame* frame : window->findChildren<KvoLoadingFrame*>())
        if (frame->owner() == settings)
            shown << frame->label();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    shown << home->loadingFrame()->label();
    KvoAddSignetWidget* signet = player->signetWidget();
    signet->setHidden(false);
    shown << signet->form().title->text();
    signet->setHidden(true);
    KvoAddCommentWidget* rating = player->commentWidget();
    rating->setHidden(false);
    shown << rating->ratingForm().title->text() << rating->ratingForm().labelMinimum->text()
          << rating->ratingForm().submit->text();
    rating->setHidden(true);
    shown << offlineNoticeTitle(window);
    {
        KvoDialogDriver driver;
        driver.expect<KvoDialog>(QStringLiteral("UISessionDialog"), [&shown](KvoDialog* dialog) {
            shown << dialog->findChild<QLabel*>(QStringLiteral("label_2"))->text();
            dialog->closeWithCancel();
        });
        emit KvoPurchaseVideoManager::instance()->sessionExpired();
        QVERIFY2(driver.wait(), driver.report());
    }
    QCOMPARE(shown.join(QStringLiteral(" | ")),
             QStringLiteral("Searching... | Loading | Add a bookmark | Add a review | At least 50 more character(s) | SEND"
                            " | OFFLINE | SESSION EXPIRED"));
}

void TestLanguage::menuEntriesReadAsTheirPages()
{
    // A menu entry and the title of the page it opens that are one French
    // text are one text in every language.
    QMap<QString, QStringList> readings; // entry: its text and its page's title, language by language
    for (const char* file : {"francais.qm", "english.qm"}) {
        KvoSingleApplication::installTranslation(row(file));
        KvoPageRegistry::clear();
        KvoPageSetup::registerPages();
        QVERIFY(KvoMainWindow::createInstance(false));
        KvoMainWindow* window = KvoMainWindow::instance();
        for (QPushButton* entry : window->findChild<QWidget*>(QStringLiteral("widgetMenu"))->findChildren<QPushButton*>()) {
            const QString key = KvoPageRegistry::keyForMenuButton(entry->objectName());
            if (key.isEmpty())
                continue;
            QWidget* built = window->pages().contains(key) ? window->pages().value(key).first
                                                           : KvoPageRegistry::find(key)(window, key);
            auto* page = dynamic_cast<IKvoPage*>(built);
            QVERIFY2(page, qPrintable(key));
            readings[entry->objectName()] << entry->text().trimmed() << page->title();
        }
        KvoMainWindow::destroyInstance();
    }
    QVERIFY(readings.size() >= 8);
    QStringList differ;
    for (auto it = readings.cbegin(); it != readings.cend(); ++it) {
        const QStringList& r = it.value();
        QCOMPARE(r.size(), 4);
        if (r.at(0) == r.at(1) && r.at(2) != r.at(3))
            differ << QStringLiteral("%1: \"%2\" / \"%3\"").arg(it.key(), r.at(2), r.at(3));
    }
    QVERIFY2(readings.value(QStringLiteral("buttonPromo")).value(0) == readings.value(QStringLiteral("buttonPromo")).value(1),
             "the promotions entry and its page are one French text");
    QVERIFY2(differ.isEmpty(), qPrintable(differ.join(QStringLiteral("; "))));
}

void TestLanguage::cleanup()
{
    KvoMainWindow::destroyInstance();
    KvoPageRegistry::clear();
    QThreadPool::globalInstance()->waitForDone(10000);
    KvoSingleApplication::installTranslation(row("francais.qm"));
}

int main(int argc, char** argv)
{
    KvoTestHome home;
    KvoSingleApplication app(argc, argv, QStringLiteral("~Qozmira~Vistrelle~tst_language"));
    TestLanguage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_language.moc"
