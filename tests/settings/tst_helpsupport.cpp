// The support page (the message queued as typed, or kept when it cannot be
// stored) and the help page (the FAQ cache, its refresh rules, the folding
// entries), and how both sit in the main window.

#include "KvoApi.h"
#include "KvoAsynchronousSender.h"
#include "KvoColourContrast.h"
#include "KvoDatabase.h"
#include "KvoDialog.h"
#include "KvoEnvironment.h"
#include "KvoFaqCache.h"
#include "KvoFaqWidget.h"
#include "KvoFifoTrap.h"
#include "KvoHTTPRequest.h"
#include "KvoMainWindow.h"
#include "KvoPageContact.h"
#include "KvoPageHelp.h"
#include "KvoPageRegistry.h"
#include "KvoPageSetup.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSettingsFixture.h"
#include "KvoSettingsService.h"
#include "KvoStringCodec.h"
#include "KvoTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>

#include <memory>

namespace {

struct Queued
{
    QString user;
    QString url;
    QJsonObject data;
};

QList<Queued> queued()
{
    QList<Queued> list;
    QSqlQuery q(KvoDatabase::database());
    if (!q.exec(QStringLiteral("SELECT id_user, url, data FROM to_send ORDER BY id")))
        return list;
    while (q.next())
        list.append({q.value(0).toString(), q.value(1).toString(),
                     QJsonDocument::fromJson(q.value(2).toString().toUtf8()).object()});
    return list;
}

QStringList cachedQuestions()
{
    QStringList list;
    for (const KvoFaqCache::Entry& e : KvoFaqCache::entries())
        list.append(e.question);
    return list;
}

QList<KvoFaqWidget*> entries(KvoPageHelp* page)
{
    QList<KvoFaqWidget*> list;
    auto* layout = page->findChild<QLayout*>(QStringLiteral("layoutQuestions"));
    for (int i = 0; i < layout->count(); ++i)
        list.append(qobject_cast<KvoFaqWidget*>(layout->itemAt(i)->widget()));
    return list;
}

// The main window with every page, for one test: gone again, with the
// sign-in the other tests run under, however the test ends (a window left
// behind would keep its connection probe running and the program from
// ending).
struct MainWindowForTest
{
    MainWindowForTest()
    {
        KvoPageRegistry::clear();
        KvoPageSetup::registerPages();
        if (KvoMainWindow::createInstance(false))
            window = KvoMainWindow::instance();
    }
    ~MainWindowForTest()
    {
        KvoMainWindow::destroyInstance();
        KvoPageRegistry::clear();
        KvoSettingsFixture::signIn(QStringLiteral("1042"), QStringLiteral("demo"));
    }
    KvoMainWindow* window = nullptr;
};

} // namespace

class TestHelpSupport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void blankMessageDoesNothing();
    void messageQueuedAsTyped();
    void messageReachesService();
    void messageKeptWhenNotStored();

    void cacheShownOffline();
    void answerReplacesCache();
    void refusedAnswersChangeNothing();
    void cacheReplacedWhole();
    void answersBounded();
    void entriesFold();
    void answerLoadsNoResource();
    void plainAnswerShownAsWritten();
    void pagesInMainWindow();
    void tabFromSearchReachesMessage();

private:
    void setOnline(bool online);

    std::unique_ptr<KvoSettingsService> m_service;
    KvoTestServer* m_server = nullptr;
};

void TestHelpSupport::initTestCase()
{
    m_service = std::make_unique<KvoSettingsService>();
    QVERIFY(m_service->isReady());
    m_server = m_service->server();
}

void TestHelpSupport::init()
{
    QVERIFY(m_server->clearFaults());
    QSqlQuery q(KvoDatabase::database());
    QVERIFY(q.exec(QStringLiteral("DELETE FROM to_send")));
    QVERIFY(q.exec(QStringLiteral("DELETE FROM faq")));
    KvoSettingsFixture::shownDialogs().clear();
    KvoSettingsFixture::answerDialogs(KvoDialog::Cancel);
    setOnline(false);
}

void TestHelpSupport::cleanup()
{
    KvoAsynchronousSender::destroy();
    KvoHTTPRequest::clearCredentials();
}

void TestHelpSupport::cleanupTestCase()
{
    m_service.reset();
    m_server = nullptr;
}

void TestHelpSupport::setOnline(bool online)
{
    KvoPurchaseVideoManager::instance()->setConnected(online);
}

void TestHelpSupport::blankMessageDoesNothing()
{
    KvoPageContact page(nullptr);
    auto* box = page.findChild<QPlainTextEdit*>(QStringLiteral("message"));
    box->setPlainText(QStringLiteral("  \n\t \n "));
    page.findChild<QPushButton*>(QStringLiteral("button"))->click();
    QVERIFY(queued().isEmpty());
    QVERIFY(KvoSettingsFixture::shownDialogs().isEmpty());
    QCOMPARE(box->toPlainText(), QStringLiteral("  \n\t \n "));
}

void TestHelpSupport::messageQueuedAsTyped()
{
    KvoPageContact page(nullptr);
    auto* box = page.findChild<QPlainTextEdit*>(QStringLiteral("message"));
    QString textDuringDialog = QStringLiteral("unset");
    KvoSettingsFixture::answerDialogs([&](KvoDialog*) {
        textDuringDialog = box->toPlainText();
        return KvoDialog::Cancel;
    });
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    box->setPlainText(QStringLiteral("\n  Bonjour, C++ & a=b %20 50%\nligne 2  \n"));
    page.findChild<QPushButton*>(QStringLiteral("button"))->click();
    box->setPlainText(QStringLiteral("second"));
    page.findChild<QPushButton*>(QStringLiteral("button"))->click();

    const QList<Queued> list = queued();
    QCOMPARE(list.size(), 2);
    const Queued& first = list.first();
    QCOMPARE(first.user, KvoStringCodec::encode(QStringLiteral("1042")));
    QVERIFY(first.url.contains(QStringLiteral("/0.1/playerSupport/?apikey=")));
    QCOMPARE(first.data.keys(), (QStringList{QStringLiteral("config"), QStringLiteral("email"),
                                            QStringLiteral("message"), QStringLiteral("timestamp"),
                                            QStringLiteral("user_id")}));
    QCOMPARE(first.data.value(QStringLiteral("message")).toString(),
             QStringLiteral("Bonjour, C++ & a=b %20 50%\nligne 2"));
    QCOMPARE(first.data.value(QStringLiteral("user_id")).toString(), QStringLiteral("1042"));
    QCOMPARE(first.data.value(QStringLiteral("email")).toString(), QStringLiteral("demo@example.org"));
    QVERIFY(first.data.value(QStringLiteral("config")).toString().startsWith(QStringLiteral("VadavudIdizev: v2.0.9.1 / OS: ")));
    const qint64 stamp = first.data.value(QStringLiteral("timestamp")).toVariant().toLongLong();
    QVERIFY(stamp >= before && stamp <= QDateTime::currentSecsSinceEpoch()); // seconds, not ms
    QCOMPARE(list.at(1).data.value(QStringLiteral("message")).toString(), QStringLiteral("second"));

    QCOMPARE(textDuringDialog, QString()); // already empty while confirmed
    QVERIFY(box->toPlainText().isEmpty());
    QCOMPARE(KvoSettingsFixture::shownDialogs().size(), 2);
    QVERIFY(KvoSettingsFixture::shownDialogs().first().contains(QStringLiteral("MESSAGE ENVOYÉ")));
}

void TestHelpSupport::messageReachesService()
{
    KvoHTTPRequest::setCredentials(QStringLiteral("demo"), QStringLiteral("demo"));
    KvoPageContact page(nullptr);
    QSignalSpy sent(KvoAsynchronousSender::instance(), &KvoAsynchronousSender::entrySent);
    const QString text = QStringLiteral("a+b & c=d %20 ; é\nfin");
    page.findChild<QPlainTextEdit*>(QStringLiteral("message"))->setPlainText(text);
    page.findChild<QPushButton*>(QStringLiteral("button"))->click();
    QVERIFY(sent.wait(10000));
    QVERIFY(queued().isEmpty());
    const QJsonArray log =
        QJsonDocument::fromJson(m_server->fetch(QStringLiteral("/_control/log"))).object().value(QStringLiteral("support")).toArray();
    QCOMPARE(log.size(), 1);
    const QJsonObject entry = log.first().toObject();
    QCOMPARE(entry.value(QStringLiteral("message")).toString(), text);
    QCOMPARE(entry.value(QStringLiteral("user_id")).toString(), QStringLiteral("1042"));
    QCOMPARE(entry.value(QStringLiteral("email")).toString(), QStringLiteral("demo@example.org"));
}

void TestHelpSupport::messageKeptWhenNotStored()
{
    QSqlQuery q(KvoDatabase::database());
    QVERIFY(q.exec(QStringLiteral("CREATE TEMP TRIGGER full BEFORE INSERT ON to_send "
                                  "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END")));
    KvoPageContact page(nullptr);
    auto* box = page.findChild<QPlainTextEdit*>(QStringLiteral("message"));
    box->setPlainText(QStringLiteral("Mon message important"));
    page.findChild<QPushButton*>(QStringLiteral("button"))->click();
    QVERIFY(q.exec(QStringLiteral("DROP TRIGGER full")));
    QCOMPARE(box->toPlainText(), QStringLiteral("Mon message important"));
    QVERIFY(queued().isEmpty());
    QCOMPARE(KvoSettingsFixture::shownDialogs().size(), 1);
    const QStringList shown = KvoSettingsFixture::shownDialogs().first();
    QVERIFY(shown.contains(QStringLiteral("MESSAGE NON ENVOYÉ")));
    QVERIFY(!shown.contains(QStringLiteral("MESSAGE ENVOYÉ")));
}

void TestHelpSupport::cacheShownOffline()
{
    QVERIFY(KvoFaqCache::replace({{9, QStringLiteral("Zèbre ?"), QStringLiteral("Oui.")},
                                  {2, QStringLiteral("Abricot & pêche ?"), QStringLiteral("<b>Non</b>.")},
                                  {9, QStringLiteral("Zèbre encore ?"), QStringLiteral("Aussi.")}}));
    KvoPageHelp page(nullptr);
    QVERIFY(!page.isWaiting()); // offline: no request
    const QList<KvoFaqWidget*> list = entries(&page);
    QCOMPARE(list.size(), 3);
    // The stored order, duplicate ids included.
    QCOMPARE(list.at(0)->question(), QStringLiteral(" Zèbre ?"));
    // As sent: its "&" a letter, no shortcut.
    QCOMPARE(list.at(1)->question(), QStringLiteral(" Abricot & pêche ?"));
    QVERIFY(list.at(1)->findChild<QPushButton*>(QStringLiteral("question"))->shortcut().isEmpty());
    QCOMPARE(list.at(2)->question(), QStringLiteral(" Zèbre encore ?"));
    QVERIFY(page.findChild<QWidget*>(QStringLiteral("widgetPlaque"))->isVisibleTo(&page));
    page.onShow();
    QVERIFY(!page.isWaiting());
}

void TestHelpSupport::answerReplacesCache()
{
    QVERIFY(KvoFaqCache::replace({{1, QStringLiteral("Ancienne ?"), QStringLiteral("Oui.")}}));
    setOnline(true);
    KvoPageHelp page(nullptr);
    QVERIFY(page.isWaiting());
    QTRY_VERIFY(page.isLoaded());
    QVERIFY(!page.isWaiting());
    // The answer's order; the entry without an answer is dropped.
    QCOMPARE(cachedQuestions(), (QStringList{QStringLiteral("Comment télécharger une vidéo ?"),
                                            QStringLiteral("Où sont enregistrées mes vidéos ?"),
                                            QStringLiteral("Comment acheter des crédits ?"),
                                            QStringLiteral("Puis-je regarder mes vidéos sans connexion ?"),
                                            QStringLiteral("Comment contacter l'assistance ?")}));
    QCOMPARE(page.questionCount(), 5);
    // Accepted once: no further request for the page's life.
    page.onShow();
    QVERIFY(!page.isWaiting());

    // An answer holding scripts is shown as text, none of the script is.
    QVERIFY(m_server->setFault(QStringLiteral("faq"), QStringLiteral("script")));
    KvoPageHelp scripted(nullptr);
    QTRY_VERIFY(scripted.isLoaded());
    const QString html = KvoFaqCache::entries().first().answer;
    QVERIFY(html.contains(QStringLiteral("<script>")));
    KvoFaqWidget* first = entries(&scripted).first();
    first->findChild<QPushButton*>(QStringLiteral("question"))->click();
    const QString shown = first->findChild<QTextBrowser*>(QStringLiteral("answer"))->toPlainText();
    QVERIFY(!shown.contains(QStringLiteral("piège")));
    QVERIFY(shown.contains(QStringLiteral("télécharger")) || shown.contains(QStringLiteral("flèche")));

    // An empty list empties the page and hides the plaque.
    QVERIFY(m_server->setFault(QStringLiteral("faq"), QStringLiteral("empty")));
    KvoPageHelp empty(nullptr);
    QTRY_VERIFY(empty.isLoaded());
    QCOMPARE(empty.questionCount(), 0);
    QVERIFY(KvoFaqCache::entries().isEmpty());
    QVERIFY(!empty.findChild<QWidget*>(QStringLiteral("widgetPlaque"))->isVisibleTo(&empty));
}

void TestHelpSupport::refusedAnswersChangeNothing()
{
    QVERIFY(KvoFaqCache::replace({{1, QStringLiteral("Gardée ?"), QStringLiteral("Oui.")}}));
    setOnline(true);
    for (const auto& fault : {qMakePair(QStringLiteral("faq"), QStringLiteral("error")),
                              qMakePair(QStringLiteral("nojson"), QStringLiteral("1")),
                              qMakePair(QStringLiteral("status"), QStringLiteral("500"))}) {
        QVERIFY(m_server->clearFaults());
        QVERIFY(m_server->setFault(fault.first, fault.second));
        KvoPageHelp page(nullptr);
        QVERIFY(page.isWaiting());
        QTRY_VERIFY(!page.isWaiting());
        QVERIFY2(!page.isLoaded(), qPrintable(fault.first));
        QCOMPARE(cachedQuestions(), QStringList{QStringLiteral("Gardée ?")});
        QCOMPARE(page.questionCount(), 1);
        // The next show asks again.
        page.onShow();
        QVERIFY(page.isWaiting());
        QTRY_VERIFY(!page.isWaiting());
    }
    // Back online after being offline: the service's answer is taken.
    QVERIFY(m_server->clearFaults());
    KvoPageHelp page(nullptr);
    QTRY_VERIFY(page.isLoaded());
    QCOMPARE(page.questionCount(), 5);
}

void TestHelpSupport::cacheReplacedWhole()
{
    QVERIFY(KvoFaqCache::replace({{1, QStringLiteral("Un ?"), QStringLiteral("1")},
                                  {2, QStringLiteral("Deux ?"), QStringLiteral("2")}}));
    // The third row of the new list fails: the former cache stays whole.
    QSqlQuery q(KvoDatabase::database());
    QVERIFY(q.exec(QStringLiteral("CREATE TEMP TRIGGER third BEFORE INSERT ON faq WHEN NEW.id = 3 "
                                  "BEGIN SELECT RAISE(ABORT, 'disk full'); END")));
    QVERIFY(!KvoFaqCache::replace({{7, QStringLiteral("A ?"), QStringLiteral("a")},
                                   {8, QStringLiteral("B ?"), QStringLiteral("b")},
                                   {3, QStringLiteral("C ?"), QStringLiteral("c")}}));
    QCOMPARE(cachedQuestions(), (QStringList{QStringLiteral("Un ?"), QStringLiteral("Deux ?")}));
    // Nor does the page count such an answer (the service's list holds an
    // id 3) as loaded: it asks again at the next show.
    setOnline(true);
    KvoPageHelp page(nullptr);
    QTRY_VERIFY(!page.isWaiting());
    QVERIFY(!page.isLoaded());
    QCOMPARE(cachedQuestions(), (QStringList{QStringLiteral("Un ?"), QStringLiteral("Deux ?")}));
    QVERIFY(q.exec(QStringLiteral("DROP TRIGGER third")));
    QList<KvoFaqCache::Entry> parsed;
    QVERIFY(KvoFaqCache::parseAnswer(QStringLiteral("{\"status\":\"OK\",\"q\":[{\"id\":3,\"question\":\"C\",\"answer\":\"c\"},5,\n"
"                                                       {\"id\":4,\"question\":\"D\",\"answer\":\"\"}]}"),
                                     &parsed));
    QCOMPARE(parsed.size(), 1);
    QVERIFY(KvoFaqCache::parseAnswer(QStringLiteral("{\"status\":\"OK\",\"q\":null}"), &parsed));
    QVERIFY(parsed.isEmpty());
    QVERIFY(!KvoFaqCache::parseAnswer(QStringLiteral("{\"status\":\"OK\"}"), &parsed));
}

void TestHelpSupport::answersBounded()
{
    // A cache kept before answers were bounded shows as many entries as an
    // answer may bring.
    QList<KvoFaqCache::Entry> many;
    for (int i = 0; i < 400; ++i)
        many.append({uint(i), QStringLiteral("Q%1 ?").arg(i), QStringLiteral("R.")});
    QVERIFY(KvoFaqCache::replace(many));
    {
        KvoPageHelp offline(nullptr);
        QTRY_COMPARE(offline.questionCount(), KvoFaqCache::MaxEntries);
    }
    setOnline(true);
    // Thousands of entries: the first few hundred are kept, the cut logged.
    QVERIFY(m_server->setFault(QStringLiteral("faq_rows"), QStringLiteral("5000")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("entries past the first 300 left out")));
    {
        KvoPageHelp page(nullptr);
        QTRY_VERIFY(page.isLoaded());
        QCOMPARE(KvoFaqCache::entries().size(), KvoFaqCache::MaxEntries);
        QTRY_COMPARE(page.questionCount(), KvoFaqCache::MaxEntries);
    }
    // An answer of megabytes is not read: the cache stays as it was.
    QVERIFY(m_server->clearFaults());
    QVERIFY(KvoFaqCache::replace({{1, QStringLiteral("Gardée ?"), QStringLiteral("Oui.")}}));
    QVERIFY(m_server->setFault(QStringLiteral("faq_bytes"), QStringLiteral("6000000")));
    {
        KvoPageHelp page(nullptr);
        QTRY_VERIFY(!page.isWaiting());
        QVERIFY(!page.isLoaded());
        QCOMPARE(cachedQuestions(), QStringList{QStringLiteral("Gardée ?")});
    }
    // One overlong answer in a readable list: that entry alone is left out.
    QVERIFY(m_server->setFault(QStringLiteral("faq_bytes"), QStringLiteral("100000")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("1 answers longer than")));
    KvoPageHelp page(nullptr);
    QTRY_VERIFY(page.isLoaded());
    QCOMPARE(page.questionCount(), 4);
    QVERIFY(!cachedQuestions().contains(QStringLiteral("Comment télécharger une vidéo ?")));
}

void TestHelpSupport::entriesFold()
{
    KvoFaqWidget entry;
    entry.setQuestion(QStringLiteral("Question"));
    entry.setAnswer(QStringLiteral("Réponse"));
    auto* question = entry.findChild<QPushButton*>(QStringLiteral("question"));
    QCOMPARE(question->text(), QStringLiteral(" Question"));
    QVERIFY(!entry.isOpen());
    const QImage folded = question->icon().pixmap(11, 9).toImage();
    QCOMPARE(folded, QIcon(QStringLiteral(":/KvoMainWindow/Resources/arrow_grey_right.png")).pixmap(11, 9).toImage());
    question->click();
    QVERIFY(entry.isOpen());
    QVERIFY(question->icon().pixmap(11, 9).toImage() != folded);
    QCOMPARE(question->icon().pixmap(11, 9).toImage(),
             QIcon(QStringLiteral(":/KvoMainWindow/Resources/arrow_grey_down.png")).pixmap(11, 9).toImage());
    question->click();
    QVERIFY(!entry.isOpen());
    QCOMPARE(question->icon().pixmap(11, 9).toImage(), folded);
}

void TestHelpSupport::answerLoadsNoResource()
{
    // The answer keeps its formatting, but no picture, background or style
    // sheet it names is read: not from the disk, nor from the network.
    KvoFifoTrap trap;
    QVERIFY(trap.isReady());
    const QString path = trap.path();
    const QString html = QStringLiteral("<p><b>Gras</b> <a href='https://exemple.fr/'>lien</a></p>"
                                        "<img src='%1'><img src='file://%1' width=20 height=20>"
                                        "<table background='%1'><tr><td>case</td></tr></table>"
                                        "<link rel='stylesheet' href='%1'>"
                                        "<p style=\"background-image:url(%1)\">fin</p>")
                             .arg(path);
    KvoFaqWidget entry;
    entry.setQuestion(QStringLiteral("Question"));
    entry.setAnswer(html);
    entry.resize(400, 300);
    entry.show();
    entry.findChild<QPushButton*>(QStringLiteral("question"))->click();
    QVERIFY(entry.isOpen());
    entry.grab();
    QCOMPARE(trap.opens(), 0);
    auto* answer = entry.findChild<QTextBrowser*>(QStringLiteral("answer"));
    QVERIFY(answer);
    QVERIFY(answer->toPlainText().contains(QStringLiteral("Gras lien")));
    QVERIFY(answer->toHtml().contains(QStringLiteral("font-weight")));
}

void TestHelpSupport::plainAnswerShownAsWritten()
{
    // Text without markup keeps its lines and every "<"; formatted text is
    // laid out, its links readable on the page's dark background.
    KvoFaqWidget plain;
    const QString text = QStringLiteral("Ouvrez le menu.\nPuis choisissez 2 < 3 et la suite.");
    plain.setAnswer(text);
    plain.findChild<QPushButton*>(QStringLiteral("question"))->click();
    auto* answer = plain.findChild<QTextBrowser*>(QStringLiteral("answer"));
    QCOMPARE(answer->toPlainText(), text);

    KvoFaqWidget formatted;
    formatted.setAnswer(QStringLiteral("<p>Voir <a href='https://exemple.fr/'>le site</a>.</p>"));
    formatted.findChild<QPushButton*>(QStringLiteral("question"))->click();
    answer = formatted.findChild<QTextBrowser*>(QStringLiteral("answer"));
    QCOMPARE(answer->toPlainText(), QStringLiteral("Voir le site."));
    QColor link;
    for (QTextBlock b = answer->document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isAnchor())
                link = it.fragment().charFormat().foreground().color();
    QVERIFY(link.isValid());
    QVERIFY2(KvoColourContrast::ratio(link, QColor(0x1b, 0x1d, 0x25)) >= 4.5, qPrintable(link.name()));
}

void TestHelpSupport::pagesInMainWindow()
{
    MainWindowForTest open;
    KvoMainWindow* window = open.window;
    QVERIFY(window);
    window->changePage(QStringLiteral("help"), true);
    auto* help = qobject_cast<KvoPageHelp*>(window->currentPage());
    QVERIFY(help);
    QVERIFY(KvoFaqCache::replace({{1, QStringLiteral("Q ?"), QStringLiteral("R.")}}));
    QMetaObject::invokeMethod(help, "updateQuestions");
    // "Contactez-nous" leads to the support page, under the help page.
    help->findChild<QPushButton*>(QStringLiteral("buttonSupport"))->click();
    QCOMPARE(window->currentKey(), QStringLiteral("support"));
    QCOMPARE(window->breadcrumb().size(), 2);
    QCOMPARE(window->breadcrumb().at(0).key, QStringLiteral("help"));
    QCOMPARE(window->breadcrumb().at(1).key, QStringLiteral("support"));
    QCOMPARE(window->history().last(), QStringLiteral("support"));
    window->changePage(QStringLiteral("config"), true);
    QCOMPARE(window->currentKey(), QStringLiteral("config"));
}

void TestHelpSupport::tabFromSearchReachesMessage()
{
    // Tab from the search field goes straight to the message box: nothing
    // between them takes the keyboard where no focus would show. In the
    // smallest window the form scrolls, and the box comes into view whole.
    MainWindowForTest open;
    KvoMainWindow* window = open.window;
    QVERIFY(window);
    window->changePage(QStringLiteral("support"), true);
    window->show();
    window->resize(800, 500);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTRY_COMPARE(window->size(), QSize(800, 500));
    auto* search = window->findChild<QLineEdit*>(QStringLiteral("editSearch"));
    auto* message = window->currentPage()->findChild<QPlainTextEdit*>(QStringLiteral("message"));
    auto* scroll = window->currentPage()->findChild<QScrollArea*>(QStringLiteral("scrollArea"));
    QVERIFY(search && message && scroll);
    QCoreApplication::processEvents();
    scroll->verticalScrollBar()->setValue(0);
    const auto inView = [](QScrollArea* area, QWidget* control) {
        const QRect box(control->mapTo(area->viewport(), QPoint(0, 0)), control->size());
        return area->viewport()->rect().contains(box);
    };
    QVERIFY(!inView(scroll, message)); // below the fold before
    search->setFocus(Qt::MouseFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), search);
    QTest::keyClick(search, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), message);
    QVERIFY(inView(scroll, message));
    // So it does by Shift+Tab (the box is the page's only stop), and when
    // the program gives it the keyboard.
    scroll->verticalScrollBar()->setValue(0);
    search->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(search, Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), message);
    QVERIFY(inView(scroll, message));
    scroll->verticalScrollBar()->setValue(0);
    search->setFocus(Qt::MouseFocusReason);
    message->setFocus(Qt::OtherFocusReason);
    QCOMPARE(QApplication::focusWidget(), message);
    QVERIFY(inView(scroll, message));
    // A click on a control half in view leaves the form where it is.
    scroll->verticalScrollBar()->setValue(0);
    search->setFocus(Qt::MouseFocusReason);
    QTest::mouseClick(message->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(QApplication::focusWidget(), message);
    QCOMPARE(scroll->verticalScrollBar()->value(), 0);

    // Nothing of the support form passes above its view. On the settings
    // page, the program giving the keyboard to a control above the view
    // brings the form back up to it. (Shift+Tab between the controls of a
    // form passes through its scroll area, which scrolls by itself.)
    window->changePage(QStringLiteral("config"), true);
    auto* form = window->currentPage()->findChild<QScrollArea*>(QStringLiteral("scrollArea"));
    auto* remember = window->currentPage()->findChild<QCheckBox*>(QStringLiteral("checkboxRemember"));
    QVERIFY(form && remember);
    // Once the page is laid out, the form scrolls past the check box.
    QTRY_VERIFY(form->verticalScrollBar()->maximum() > remember->mapTo(form->widget(), remember->rect().bottomLeft()).y());
    form->verticalScrollBar()->setValue(form->verticalScrollBar()->maximum());
    QVERIFY(remember->mapTo(form->viewport(), remember->rect().bottomLeft()).y() < 0);
    search->setFocus(Qt::MouseFocusReason);
    remember->setFocus(Qt::OtherFocusReason);
    QCOMPARE(QApplication::focusWidget(), remember);
    QVERIFY(inView(form, remember));
}

QTEST_MAIN(TestHelpSupport)
#include "tst_helpsupport.moc"
