// The settings page: what it loads, what it stores (as typed, through bound
// values), the proxy it applies, and the stored proxy at start and sign-in.

#include "KvoApi.h"
#include "KvoColourContrast.h"
#include "KvoDatabase.h"
#include "KvoDialog.h"
#include "KvoDialogDriver.h"
#include "KvoEnvironment.h"
#include "KvoFolderChooser.h"
#include "KvoModalRunner.h"
#include "KvoNotifier.h"
#include "KvoPageConfiguration.h"
#include "KvoProxySettings.h"
#include "KvoSettingsFixture.h"
#include "KvoSignIn.h"
#include "KvoStringCodec.h"
#include "KvoTestSupport.h"
#include "KvoVideoImporter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSpontaneKeyEvent>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <memory>

namespace {

QString demoId()
{
    return KvoStringCodec::encode(QStringLiteral("1042"));
}

QString marieId()
{
    return KvoStringCodec::encode(QStringLiteral("1043"));
}

// The configurations row of a user, as "column=value" texts in column order.
QStringList configurationRow(const QString& storedId)
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral(
        "SELECT c.server_proxy, c.port_proxy, c.username_proxy, c.password_proxy, c.need_authentification, "
        "c.need_proxy, c.id_protocol_proxy, c.path_videos, c.notifications_mask FROM configurations AS c "
        "INNER JOIN users AS u ON u.id_configuration = c.rowid WHERE u.id_qoz_user = :id"));
    q.bindValue(QStringLiteral(":id"), storedId);
    QStringList row;
    if (q.exec() && q.next()) {
        for (int i = 0; i < 9; ++i)
            row.append(q.value(i).toString());
    }
    return row;
}

void storeProxy(const QString& storedId, bool on, bool auth, int protocol, const QString& host, int port,
                const QString& user, const QString& password)
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral(
        "UPDATE configurations SET need_proxy = :on, need_authentification = :auth, id_protocol_proxy = :protocol, "
        "server_proxy = :host, port_proxy = :port, username_proxy = :user, password_proxy = :password WHERE rowid = "
        "(SELECT id_configuration FROM users WHERE id_qoz_user = :id)"));
    q.bindValue(QStringLiteral(":on"), on ? 1 : 0);
    q.bindValue(QStringLiteral(":auth"), auth ? 1 : 0);
    q.bindValue(QStringLiteral(":protocol"), protocol);
    q.bindValue(QStringLiteral(":host"), host);
    q.bindValue(QStringLiteral(":port"), port);
    q.bindValue(QStringLiteral(":user"), user);
    q.bindValue(QStringLiteral(":password"), KvoStringCodec::encode(password));
    q.bindValue(QStringLiteral(":id"), storedId);
    QVERIFY(q.exec());
}

} // namespace

class TestConfiguration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void proxyStoredAsTypedAndApplied();
    void storedProxyLoadsClamped();
    void notificationMask();
    void wheelScrollsPageOnly();
    void rememberMePerUser();
    void languageChoice();
    void videoFolder();
    void folderChooserReadable();
    void importFolderChooserReadable();
    void proxyAtStartAndSignIn();
    void importHook();

private:
    std::unique_ptr<KvoPageConfiguration> page();

    std::unique_ptr<KvoTestHome> m_home;
    QString m_folder;
};

void TestConfiguration::initTestCase()
{
    m_home = std::make_unique<KvoTestHome>();
    KvoEnvironment::init();
    // Nothing listens there: a sign-in request fails at once.
    KvoApi::setEndpointForTesting(QStringLiteral("http://127.0.0.1:1"));
}

void TestConfiguration::init()
{
    static int run = 0;
    m_folder = m_home->path() + QStringLiteral("/run%1").arg(++run);
    QVERIFY(QDir().mkpath(m_folder));
    QVERIFY(KvoSettingsFixture::openWithUsers(m_folder));
    KvoSettingsFixture::answerDialogs(KvoDialog::Yes);
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
}

void TestConfiguration::cleanup()
{
    KvoPageConfiguration::setImportOpener({});
    KvoPageConfiguration::setLanguageSwitcher({});
    KvoSettingsFixture::close();
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
}

std::unique_ptr<KvoPageConfiguration> TestConfiguration::page()
{
    return std::make_unique<KvoPageConfiguration>(nullptr);
}

void TestConfiguration::proxyStoredAsTypedAndApplied()
{
    const QStringList marieBefore = configurationRow(marieId());
    auto p = page();
    // Texts that broke the statement or were substituted again when it was
    // pasted together: a quote, numbered markers, a statement end.
    const QString host = QStringLiteral("O'Brien%1.example%7");
    const QString user = QStringLiteral("a'b%2; DROP TABLE users; --");
    const QString password = QStringLiteral("p'%3\"&+");
    p->findChild<QCheckBox*>(QStringLiteral("checkboxProxy"))->setChecked(true);
    p->findChild<QCheckBox*>(QStringLiteral("checkboxAuthentification"))->setChecked(true);
    QVERIFY(p->findChild<QLineEdit*>(QStringLiteral("editUserProxy"))->isEnabled());
    p->findChild<QLineEdit*>(QStringLiteral("editServerProxy"))->setText(host);
    p->findChild<QSpinBox*>(QStringLiteral("spinboxPortProxy"))->setValue(8080);
    p->findChild<QLineEdit*>(QStringLiteral("editUserProxy"))->setText(user);
    p->findChild<QLineEdit*>(QStringLiteral("editPasswordProxy"))->setText(password);
    p->findChild<QPushButton*>(QStringLiteral("buttonApply"))->click();

    QStringList row = configurationRow(demoId());
    QCOMPARE(row.mid(0, 7), (QStringList{host, QStringLiteral("8080"), user, KvoStringCodec::encode(password),
                                         QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("0")}));
    QCOMPARE(configurationRow(marieId()), marieBefore);
    QNetworkProxy applied = QNetworkProxy::applicationProxy();
    QCOMPARE(applied.type(), QNetworkProxy::HttpProxy); // "HTTPS" is an HTTP proxy
    QCOMPARE(applied.hostName(), host);
    QCOMPARE(applied.port(), quint16(8080));
    QCOMPARE(applied.user(), user);
    QCOMPARE(applied.password(), password);
    QCOMPARE(KvoSettingsFixture::shownDialogs().size(), 1);
    QVERIFY(KvoSettingsFixture::shownDialogs().last().contains(QStringLiteral("CONFIGURATION ENREGISTRÉE")));

    // Authentication off: stored credentials stay, the proxy carries none.
    p->findChild<QCheckBox*>(QStringLiteral("checkboxAuthentification"))->setChecked(false);
    QVERIFY(!p->findChild<QLineEdit*>(QStringLiteral("editUserProxy"))->isEnabled());
    p->findChild<QComboBox*>(QStringLiteral("comboboxProcotolProxy"))->setCurrentIndex(1);
    p->findChild<QPushButton*>(QStringLiteral("buttonApply"))->click();
    applied = QNetworkProxy::applicationProxy();
    QCOMPARE(applied.type(), QNetworkProxy::Socks5Proxy);
    QVERIFY(applied.user().isEmpty() && applied.password().isEmpty());
    row = configurationRow(demoId());
    QCOMPARE(row.at(2), user);
    QCOMPARE(row.at(4), QStringLiteral("0"));
    QCOMPARE(row.at(6), QStringLiteral("1"));

    // Proxy off: no proxy at all, the host and port are kept.
    p->findChild<QCheckBox*>(QStringLiteral("checkboxProxy"))->setChecked(false);
    QVERIFY(!p->findChild<QLineEdit*>(QStringLiteral("editServerProxy"))->isEnabled());
    p->findChild<QPushButton*>(QStringLiteral("buttonApply"))->click();
    QCOMPARE(QNetworkProxy::applicationProxy().type(), QNetworkProxy::NoProxy);
    row = configurationRow(demoId());
    QCOMPARE(row.at(5), QStringLiteral("0"));
    QCOMPARE(row.at(0), host);

    // A store the database refuses is said, not confirmed.
    QSqlQuery q(KvoDatabase::database());
    QVERIFY(q.exec(QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE UPDATE ON configurations "
                                  "BEGIN SELECT RAISE(ABORT, 'disk full'); END")));
    p->findChild<QPushButton*>(QStringLiteral("buttonApply"))->click();
    QVERIFY(KvoSettingsFixture::shownDialogs().last().contains(QStringLiteral("CONFIGURATION NON ENREGISTRÉE")));
    QVERIFY(q.exec(QStringLiteral("DROP TRIGGER refuse")));
}

void TestConfiguration::storedProxyLoadsClamped()
{
    // A protocol outside the list (a damaged row) reads as the first one.
    storeProxy(demoId(), true, false, 7, QStringLiteral("proxy.lan"), 3129, QStringLiteral("bob"),
               QStringLiteral("pw"));
    {
        auto p = page();
        QCOMPARE(p->findChild<QComboBox*>(QStringLiteral("comboboxProcotolProxy"))->currentIndex(), 0);
        QCOMPARE(p->findChild<QLineEdit*>(QStringLiteral("editServerProxy"))->text(), QStringLiteral("proxy.lan"));
        QCOMPARE(p->findChild<QSpinBox*>(QStringLiteral("spinboxPortProxy"))->value(), 3129);
        QCOMPARE(p->findChild<QLineEdit*>(QStringLiteral("editPasswordProxy"))->text(), QStringLiteral("pw"));
        QVERIFY(p->findChild<QLineEdit*>(QStringLiteral("editServerProxy"))->isEnabled());
        QVERIFY(p->findChild<QCheckBox*>(QStringLiteral("checkboxAuthentification"))->isEnabled());
        QVERIFY(!p->findChild<QLineEdit*>(QStringLiteral("editUserProxy"))->isEnabled());
        // Loading wrote nothing back.
        QCOMPARE(configurationRow(demoId()).at(6), QStringLiteral("7"));
        p->findChild<QPushButton*>(QStringLiteral("buttonApply"))->click();
        QCOMPARE(configurationRow(demoId()).at(6), QStringLiteral("0"));
    }
    storeProxy(demoId(), true, true, 1, QStringLiteral("socks.lan"), 1080, QStringLiteral("bob"), QStringLiteral("pw"));
    auto p = page();
    QCOMPARE(p->findChild<QComboBox*>(QStringLiteral("comboboxProcotolProxy"))->currentIndex(), 1);
    QVERIFY(p->findChild<QLineEdit*>(QStringLiteral("editUserProxy"))->isEnabled());
    QVERIFY(p->findChild<QLineEdit*>(QStringLiteral("editPasswordProxy"))->isEnabled());
    QCOMPARE(KvoProxySettings::clampPort(70000), 3128);
}

void TestConfiguration::notificationMask()
{
    KvoNotifier::instance()->saveMask(774);
    auto p = page();
    auto* enabled = p->findChild<QCheckBox*>(QStringLiteral("checkboxNotificationEnabled"));
    auto* type = p->findChild<QComboBox*>(QStringLiteral("comboboxTypeNotification"));
    auto* position = p->findChild<QComboBox*>(QStringLiteral("comboboxPositionNotification"));
    auto* video = p->findChild<QCheckBox*>(QStringLiteral("checkboxNotificationVideoDownloadFinished"));
    auto* update = p->findChild<QCheckBox*>(QStringLiteral("checkboxNotificationUpdateDownloadFinished"));
    auto* test = p->findChild<QPushButton*>(QStringLiteral("buttonTestNotification"));
    QVERIFY(enabled->isChecked());
    QCOMPARE(type->currentIndex(), 1); // 0x1 clear: the client's own boxes
    QCOMPARE(position->currentIndex(), 0);
    QVERIFY(video->isChecked() && update->isChecked());
    QVERIFY(position->isEnabled());

    position->setCurrentIndex(3); // "Haut à gauche"
    QCOMPARE(KvoNotifier::instance()->mask() & 0xFCu, 0x20u);
    QCOMPARE(configurationRow(demoId()).at(8).toUInt(), KvoNotifier::instance()->mask());
    // The corner the notifier uses is the one the label names.
    QCOMPARE(position->itemText(3), QStringLiteral("Haut à gauche"));

    type->setCurrentIndex(0);
    QVERIFY(KvoNotifier::instance()->mask() & 0x1u);
    QVERIFY(!position->isEnabled());

    video->setChecked(false);
    QCOMPARE(KvoNotifier::instance()->mask() & 0x100u, 0u);
    QVERIFY(KvoNotifier::instance()->mask() & 0x200u);

    enabled->setChecked(false);
    QCOMPARE(KvoNotifier::instance()->mask() & 0x2u, 0u);
    for (QWidget* w : std::initializer_list<QWidget*>{type, position, video, update, test})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(enabled->isEnabled());
    enabled->setChecked(true);
    type->setCurrentIndex(1);
    QVERIFY(position->isEnabled() && test->isEnabled() && video->isEnabled());
    QCOMPARE(configurationRow(demoId()).at(8).toUInt(), KvoNotifier::instance()->mask());
}

void TestConfiguration::wheelScrollsPageOnly()
{
    // The wheel over a list or spin box the user has not clicked into
    // scrolls the page and changes no setting.
    KvoNotifier::instance()->saveMask(774);
    auto p = page();
    p->findChild<QCheckBox*>(QStringLiteral("checkboxProxy"))->setChecked(true); // the port, enabled
    p->resize(773, 400);
    p->show();
    QVERIFY(QTest::qWaitForWindowExposed(p.get()));
    QScrollBar* bar = p->findChild<QScrollArea*>(QStringLiteral("scrollArea"))->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    const auto wheel = [](QWidget* box) {
        const QPointF at = QRectF(box->rect()).center();
        QWheelEvent event(at, box->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        // As the window system delivers it (sendEvent would make it a
        // synthetic one, which the application never hands on to parents).
        QSpontaneKeyEvent::setSpontaneous(&event);
        QApplication::instance()->notify(box, &event);
    };
    QList<QWidget*> boxes;
    for (QComboBox* box : p->findChildren<QComboBox*>())
        boxes.append(box);
    for (QAbstractSpinBox* box : p->findChildren<QAbstractSpinBox*>())
        boxes.append(box);
    int tried = 0;
    for (QWidget* box : boxes) {
        if (!box->isEnabled())
            continue;
        ++tried;
        auto* list = qobject_cast<QComboBox*>(box);
        auto* spin = qobject_cast<QSpinBox*>(box);
        const int before = list ? list->currentIndex() : spin->value();
        bar->setValue(0);
        wheel(box);
        QCOMPARE(list ? list->currentIndex() : spin->value(), before);
        QVERIFY2(bar->value() > 0, qPrintable(box->objectName()));
    }
    QCOMPARE(tried, 5); // protocol, port, notification type and position, language
    QCOMPARE(KvoNotifier::instance()->mask(), 774u);
    QCOMPARE(configurationRow(demoId()).at(8).toUInt(), 774u);

    // Once clicked into, a list takes the wheel.
    auto* position = p->findChild<QComboBox*>(QStringLiteral("comboboxPositionNotification"));
    QCOMPARE(position->focusPolicy(), Qt::StrongFocus);
    p->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(p.get()));
    position->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(position->hasFocus());
    wheel(position);
    QCOMPARE(position->currentIndex(), 1);
    QCOMPARE(KvoNotifier::instance()->mask() & 0xFCu, 0x8u);
}

void TestConfiguration::rememberMePerUser()
{
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("UPDATE player_config SET remember_me = 1, last_login = 'marie', last_id_user = :id"));
    q.bindValue(QStringLiteral(":id"), marieId());
    QVERIFY(q.exec());
    auto p = page();
    auto* box = p->findChild<QCheckBox*>(QStringLiteral("checkboxRemember"));
    QVERIFY(!box->isChecked()); // another account is remembered
    box->setChecked(true);
    QVERIFY(q.exec(QStringLiteral("SELECT remember_me, last_login, last_password, last_id_user FROM player_config")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1);
    QCOMPARE(q.value(1).toString(), QStringLiteral("demo"));
    QCOMPARE(q.value(2).toString(), KvoStringCodec::encode(QStringLiteral("secret")));
    QCOMPARE(q.value(3).toString(), demoId());
    q.finish();
    QVERIFY(page()->findChild<QCheckBox*>(QStringLiteral("checkboxRemember"))->isChecked());
    box->setChecked(false);
    QVERIFY(q.exec(QStringLiteral("SELECT remember_me, last_login, last_id_user FROM player_config")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 0);
    QVERIFY(q.value(1).toString().isEmpty() && q.value(2).toString().isEmpty());
}

void TestConfiguration::languageChoice()
{
    QList<int> switched;
    KvoPageConfiguration::setLanguageSwitcher([&switched](int index) { switched.append(index); });
    KvoEnvironment::setInterfaceLanguageIndex(1);
    {
        auto p = page();
        auto* list = p->findChild<QComboBox*>(QStringLiteral("comboboxLanguage"));
        QCOMPARE(list->count(), KvoEnvironment::languageCount());
        QCOMPARE(list->currentIndex(), 1);
        QCOMPARE(list->itemText(0), QStringLiteral("Français"));
    }
    KvoEnvironment::setInterfaceLanguageIndex(0);
    auto p = page();
    auto* list = p->findChild<QComboBox*>(QStringLiteral("comboboxLanguage"));
    QCOMPARE(list->currentIndex(), 0);
    QVERIFY(switched.isEmpty()); // loading chose nothing
    list->setCurrentIndex(1);
    QCOMPARE(switched, QList<int>{1});
    QCOMPARE(KvoEnvironment::interfaceLanguageIndex(), 1);
    QCOMPARE(QSettings(KvoEnvironment::settingsPath(), QSettings::IniFormat).value(QStringLiteral("lastInterfaceLang")).toInt(), 1);
    auto* info = p->findChild<QLabel*>(QStringLiteral("labelLangInfo"));
    QCOMPARE(info->text(), QStringLiteral("Veuillez vous reconnecter afin de prendre en compte la modification de langue !"));
    QCOMPARE(info->styleSheet(), QStringLiteral("color:white"));
    QVERIFY(KvoSettingsFixture::shownDialogs().isEmpty());
    KvoEnvironment::setInterfaceLanguageIndex(0);
}

void TestConfiguration::videoFolder()
{
    const QString before = KvoEnvironment::videoPath();
    auto p = page();
    auto* edit = p->findChild<QLineEdit*>(QStringLiteral("editEmplacement"));
    QCOMPARE(edit->text(), before);

    // A folder below a plain file can never be made, not even by root.
    QFile blocker(m_folder + QStringLiteral("/plain-file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString asked;
    QString answer = blocker.fileName() + QStringLiteral("/videos");
    KvoModalRunner::setFolderHook([&](QWidget*, const QString& caption, const QString& start) {
        asked = caption + QLatin1Char('|') + start;
        return answer;
    });
    p->findChild<QPushButton*>(QStringLiteral("buttonParcourir"))->click();
    QCOMPARE(asked, QStringLiteral("Emplacement des vidéos|") + before);
    QCOMPARE(KvoEnvironment::videoPath(), before);
    QCOMPARE(edit->text(), before);
    QVERIFY(configurationRow(demoId()).at(7).isEmpty());
    QCOMPARE(KvoSettingsFixture::shownDialogs().size(), 1);
    QVERIFY(KvoSettingsFixture::shownDialogs().last().contains(QStringLiteral("EMPLACEMENT NON MODIFIÉ")));

    // A new folder is made, stored and shown.
    answer = m_folder + QStringLiteral("/Mes vidéos/O'Neil %1/");
    p->findChild<QPushButton*>(QStringLiteral("buttonParcourir"))->click();
    const QString made = QDir::cleanPath(answer);
    QVERIFY(QFileInfo(made).isDir());
    QCOMPARE(KvoEnvironment::videoPath(), made);
    QCOMPARE(edit->text(), made);
    QVERIFY(KvoSettingsFixture::shownDialogs().last().contains(QStringLiteral("CONFIGURATION ENREGISTRÉE")));

    // Cancelled: nothing happens.
    answer.clear();
    p->findChild<QPushButton*>(QStringLiteral("buttonParcourir"))->click();
    QCOMPARE(KvoSettingsFixture::shownDialogs().size(), 2);
    QCOMPARE(KvoEnvironment::videoPath(), made);
}

namespace {

// The weakest label of a dialog and its contrast against its background.
struct Contrast
{
    double worst = 0;
    QString worstText;
    bool readable() const { return !worstText.isEmpty() && worst >= 4.5; }
    QString text() const { return QStringLiteral("%1: %2").arg(worstText).arg(worst); }
};

// The standard folder chooser, measured and closed when it opens.
void expectChooser(KvoDialogDriver& driver, Contrast* contrast)
{
    driver.expect<QFileDialog>(QStringLiteral("QFileDialog"), [contrast](QFileDialog* dialog) {
        contrast->worst = KvoColourContrast::weakestLabel(dialog, &contrast->worstText);
        KvoDialogDriver::closeModal(dialog);
    });
}

} // namespace

void TestConfiguration::folderChooserReadable()
{
    // The chooser of "Parcourir..." is a standard dialog: none of the page's
    // light-on-dark text reaches it.
    KvoModalRunner::setFolderHook({});
    auto p = page();
    p->show();
    QVERIFY(QTest::qWaitForWindowExposed(p.get()));
    KvoDialogDriver driver;
    Contrast contrast;
    expectChooser(driver, &contrast);
    p->findChild<QPushButton*>(QStringLiteral("buttonParcourir"))->click();
    QVERIFY2(driver.done(), driver.report());
    QVERIFY2(contrast.readable(), qPrintable(contrast.text()));
}

void TestConfiguration::importFolderChooserReadable()
{
    // "Importer des vidéos" opens the import window over the page; its
    // folder chooser is a standard dialog too, as readable as the page's.
    KvoFolderChooser::setOverride({});
    KvoPageConfiguration::setImportOpener([](QWidget* page) { KvoVideoImporter::run(page); });
    auto p = page();
    p->show();
    QVERIFY(QTest::qWaitForWindowExposed(p.get()));
    KvoDialogDriver driver;
    Contrast contrast;
    driver.expect<KvoVideoImporter>(QStringLiteral("KvoVideoImporter"), [](KvoVideoImporter* importer) {
        // From the import window's own loop, where the driver goes on
        // watching for the chooser.
        QTimer::singleShot(0, importer, [importer] {
            importer->findChild<QPushButton*>(QStringLiteral("buttonParcourir"))->click();
            KvoDialogDriver::closeModal(importer);
        });
    });
    expectChooser(driver, &contrast);
    p->findChild<QPushButton*>(QStringLiteral("buttonImport"))->click();
    QVERIFY2(driver.done(), driver.report());
    QVERIFY2(contrast.readable(), qPrintable(contrast.text()));
}

void TestConfiguration::proxyAtStartAndSignIn()
{
    storeProxy(demoId(), true, true, 0, QStringLiteral("demo-proxy"), 3130, QStringLiteral("u"), QStringLiteral("p"));
    storeProxy(marieId(), true, false, 1, QStringLiteral("marie-proxy"), 1080, QString(), QString());

    // The start: nobody remembered, nothing applied.
    QVERIFY(!KvoProxySettings::applyRemembered());
    QCOMPARE(QNetworkProxy::applicationProxy().type(), QNetworkProxy::NoProxy);
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("UPDATE player_config SET remember_me = 1, last_id_user = :id"));
    q.bindValue(QStringLiteral(":id"), marieId());
    QVERIFY(q.exec());
    QVERIFY(KvoProxySettings::applyRemembered());
    QCOMPARE(QNetworkProxy::applicationProxy().hostName(), QStringLiteral("marie-proxy"));
    QCOMPARE(QNetworkProxy::applicationProxy().type(), QNetworkProxy::Socks5Proxy);

    // The sign-in of a known account goes through that account's proxy, found
    // by its login in any case or by its e-mail address.
    KvoSignIn signIn;
    signIn.signIn(QStringLiteral("DEMO"), QStringLiteral("secret"), false);
    QNetworkProxy applied = QNetworkProxy::applicationProxy();
    QCOMPARE(applied.hostName(), QStringLiteral("demo-proxy"));
    QCOMPARE(applied.port(), quint16(3130));
    QCOMPARE(applied.user(), QStringLiteral("u"));
    signIn.abort();
    QVERIFY(KvoProxySettings::applyForLogin(QStringLiteral("Marie@Example.org")));
    QCOMPARE(QNetworkProxy::applicationProxy().hostName(), QStringLiteral("marie-proxy"));
    // An account never seen here keeps the proxy in place.
    signIn.signIn(QStringLiteral("newcomer"), QStringLiteral("x"), false);
    QCOMPARE(QNetworkProxy::applicationProxy().hostName(), QStringLiteral("marie-proxy"));
    signIn.abort();
}

void TestConfiguration::importHook()
{
    auto p = page();
    QWidget* opened = nullptr;
    KvoPageConfiguration::setImportOpener([&opened](QWidget* page) { opened = page; });
    p->findChild<QPushButton*>(QStringLiteral("buttonImport"))->click();
    QCOMPARE(opened, p.get());
}

QTEST_MAIN(TestConfiguration)
#include "tst_configuration.moc"
