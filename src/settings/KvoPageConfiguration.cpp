#include "KvoPageConfiguration.h"

#include "KvoApi.h"
#include "KvoDatabase.h"
#include "KvoDialog.h"
#include "KvoDownloader.h"
#include "KvoEnvironment.h"
#include "KvoFocusInView.h"
#include "KvoFoldingRow.h"
#include "KvoHTTPRequest.h"
#include "KvoLoadingFrame.h"
#include "KvoMainWindow.h"
#include "KvoModalRunner.h"
#include "KvoNotifier.h"
#include "KvoPlatform.h"
#include "KvoProxySettings.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoUpdateOffer.h"
#include "KvoWheelGuard.h"
#include "ui_KvoPageConfiguration.h"
#include "ui_UIHasToUpdateDialog.h"
#include "ui_UINewUpdateDialog.h"
#include "ui_UISuccessSavedConfig.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QSettings>
#include <QSqlQuery>
#include <QStringList>

namespace {

const char* const kHasToUpdate = "hasToUpdate";
const char* const kUpdatePath = "updatePath";
const char* const kLastInterfaceLang = "lastInterfaceLang";

constexpr uint kPositionBits[6] = {0x4, 0x8, 0x10, 0x20, 0x40, 0x80};

KvoPageConfiguration::ImportOpener& importOpener()
{
    static KvoPageConfiguration::ImportOpener opener;
    return opener;
}

KvoPageConfiguration::LanguageSwitcher& languageSwitcher()
{
    static KvoPageConfiguration::LanguageSwitcher switcher;
    return switcher;
}

// The template with "%0", "%1" … replaced by the values in one pass.
QString fillMarkers(const QString& text, const QStringList& values)
{
    QString built;
    for (int i = 0; i < text.size(); ++i) {
        const int n = i + 1 < text.size() ? text.at(i + 1).digitValue() : -1;
        if (text.at(i) == QLatin1Char('%') && n >= 0 && n < values.size()) {
            built += values.at(n);
            ++i;
        } else {
            built += text.at(i);
        }
    }
    return built;
}

// Where a package is fetched before it replaces the one at path.
QString stagingPath(const QString& path)
{
    return path + QStringLiteral(".new");
}

QString runningVersion()
{
    return QStringLiteral(VISTRELLE_VERSION);
}

} // namespace

void KvoPageConfiguration::setImportOpener(const ImportOpener& opener)
{
    importOpener() = opener;
}

void KvoPageConfiguration::setLanguageSwitcher(const LanguageSwitcher& switcher)
{
    languageSwitcher() = switcher;
}

KvoPageConfiguration::KvoPageConfiguration(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
    , ui(std::make_unique<Ui_KvoPageConfiguration>())
{
    ui->setupUi(this);
    // Where the page is narrow (an 800 px window, the longer French texts)
    // the second event goes under the first rather than past the page's edge.
    KvoFoldingRow::install(ui->gridLayoutNotification, ui->checkboxNotificationUpdateDownloadFinished);
    KvoWheelGuard::protect(this);
    KvoFocusInView::install(ui->scrollArea);
    m_request = new KvoHTTPRequest(this);
    ui->progressBar->hide();
    ui->progressText->hide();
    ui->buttonInstall->hide();
    m_parentPage = parent;
    m_downloader = new KvoDownloader(this);
    ui->labelVersion->setText(tr("Version actuelle : ") + QStringLiteral(" <b>") + runningVersion()
                              + QStringLiteral("</b>"));

    loadConfig();

    // Made after loadConfig(): filling the controls writes nothing back.
    connect(ui->buttonParcourir, &QPushButton::clicked, this, &KvoPageConfiguration::onClickParcourir);
    connect(ui->checkboxRemember, &QCheckBox::stateChanged, this, &KvoPageConfiguration::switchRememberMe);
    connect(ui->checkboxProxy, &QCheckBox::stateChanged, this, &KvoPageConfiguration::switchEnableProxy);
    connect(ui->checkboxAuthentification, &QCheckBox::stateChanged, this,
            &KvoPageConfiguration::switchEnableAuthentification);
    connect(ui->buttonApply, &QPushButton::clicked, this, &KvoPageConfiguration::saveConfig);
    connect(ui->checkboxNotificationEnabled, &QCheckBox::stateChanged, this,
            &KvoPageConfiguration::switchNotificationEnabled);
    connect(ui->comboboxTypeNotification, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &KvoPageConfiguration::onNotificationTypeChanged);
    connect(ui->comboboxPositionNotification, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &KvoPageConfiguration::onNotificationPositionChanged);
    connect(ui->buttonTestNotification, &QPushButton::clicked, this,
            &KvoPageConfiguration::onClickTestNotification);
    connect(ui->checkboxNotificationVideoDownloadFinished, &QCheckBox::stateChanged, this,
            &KvoPageConfiguration::switchNotificationActivated);
    connect(ui->checkboxNotificationUpdateDownloadFinished, &QCheckBox::stateChanged, this,
            &KvoPageConfiguration::switchNotificationActivated);
    connect(ui->buttonImport, &QPushButton::clicked, this, &KvoPageConfiguration::onClickImport);
    connect(ui->comboboxLanguage, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &KvoPageConfiguration::onLanguageChanged);
    connect(ui->buttonInstall, &QPushButton::clicked, this, &KvoPageConfiguration::onClickInstall);
    connect(ui->buttonUpdate, &QPushButton::clicked, this, &KvoPageConfiguration::onClickUpdate);

    connect(m_request, &KvoHTTPRequest::successRequest, this, &KvoPageConfiguration::onSuccessRequest);
    connect(m_request, &KvoHTTPRequest::errorRequest, this, &KvoPageConfiguration::onErrorRequest);
    connect(m_downloader, &KvoDownloader::successDownload, this, &KvoPageConfiguration::onSuccessDownload);
    connect(m_downloader, &KvoDownloader::errorDownload, this, &KvoPageConfiguration::onErrorDownload);
    connect(m_downloader, &KvoDownloader::progressDownload, this, &KvoPageConfiguration::onProgressDownload);

    QWidget* window = KvoMainWindow::instance();
    m_loadingFrame = new KvoLoadingFrame(window ? window : this);
    m_loadingFrame->setOwner(this);
}

KvoPageConfiguration::~KvoPageConfiguration()
{
    // The overlay belongs to the main window, which may outlive the page.
    if (m_loadingFrame && m_loadingFrame->parent() != this)
        delete m_loadingFrame;
}

QString KvoPageConfiguration::title() const
{
    return tr("Configuration du player");
}

QString KvoPageConfiguration::name() const
{
    return QStringLiteral("config");
}

QWidget* KvoPageConfiguration::parentPage() const
{
    return m_parentPage;
}

void KvoPageConfiguration::onShow()
{
}

void KvoPageConfiguration::onSessionClosing()
{
    abortUpdateDownload();
}

QString KvoPageConfiguration::userId() const
{
    return KvoPurchaseVideoManager::instance()->userId();
}

// --- stored settings ----------------------------------------------------------

void KvoPageConfiguration::loadConfig()
{
    ui->editEmplacement->setText(KvoEnvironment::videoPath());

    ui->checkboxProxy->setChecked(false);
    ui->checkboxAuthentification->setChecked(false);
    ui->comboboxProcotolProxy->setCurrentIndex(0);
    ui->editPasswordProxy->clear();
    ui->editUserProxy->clear();
    ui->spinboxPortProxy->setValue(3128);
    ui->editServerProxy->clear();

    bool found = false;
    const KvoProxySettings proxy = KvoProxySettings::load(userId(), &found);
    if (found) {
        ui->checkboxProxy->setChecked(proxy.enabled);
        ui->checkboxAuthentification->setChecked(proxy.authentication);
        ui->comboboxProcotolProxy->setCurrentIndex(proxy.protocol);
        ui->editPasswordProxy->setText(proxy.password);
        ui->editUserProxy->setText(proxy.user);
        ui->spinboxPortProxy->setValue(proxy.port);
        ui->editServerProxy->setText(proxy.host);

        const uint mask = KvoNotifier::instance()->mask();
        ui->checkboxNotificationEnabled->setChecked(mask & KvoNotifier::EnabledBit);
        ui->comboboxTypeNotification->setCurrentIndex((mask & KvoNotifier::DesktopBit) ? 0 : 1);
        int position = 0;
        for (int i = 0; i < 6; ++i) {
            if (mask & kPositionBits[i]) {
                position = i;
                break;
            }
        }
        ui->comboboxPositionNotification->setCurrentIndex(position);
        ui->checkboxNotificationVideoDownloadFinished->setChecked(mask & KvoNotifier::VideoKindBit);
        ui->checkboxNotificationUpdateDownloadFinished->setChecked(mask & KvoNotifier::UpdateKindBit);
        disableNotifications(ui->checkboxNotificationEnabled->isChecked());
        if (ui->checkboxNotificationEnabled->isChecked())
            ui->comboboxPositionNotification->setEnabled(ui->comboboxTypeNotification->currentIndex() == 1);
    }

    const bool proxyOn = ui->checkboxProxy->isChecked();
    ui->editServerProxy->setEnabled(proxyOn);
    ui->spinboxPortProxy->setEnabled(proxyOn);
    ui->comboboxProcotolProxy->setEnabled(proxyOn);
    ui->checkboxAuthentification->setEnabled(proxyOn);
    const bool credentials = proxyOn && ui->checkboxAuthentification->isChecked();
    ui->editUserProxy->setEnabled(credentials);
    ui->editPasswordProxy->setEnabled(credentials);

    QSqlQuery q(KvoDatabase::database());
    if (q.exec(QStringLiteral("SELECT `remember_me`, `last_id_user` FROM `player_config`")) && q.next()
        && q.value(0).toBool() && q.value(1).toString() == userId() && !userId().isEmpty())
        ui->checkboxRemember->setChecked(true);

    ui->comboboxLanguage->clear();
    for (int i = 0; i < KvoEnvironment::languageCount(); ++i) {
        const Language& row = KvoEnvironment::language(i);
        ui->comboboxLanguage->addItem(QIcon(QStringLiteral(":/KvoMainWindow/Resources/") + row.flag), row.name);
    }
    const int last = ui->comboboxLanguage->count() - 1;
    ui->comboboxLanguage->setCurrentIndex(qBound(0, KvoEnvironment::interfaceLanguageIndex(), qMax(0, last)));
}

void KvoPageConfiguration::saveConfig()
{
    KvoProxySettings proxy;
    proxy.enabled = ui->checkboxProxy->isChecked();
    proxy.authentication = ui->checkboxAuthentification->isChecked();
    proxy.protocol = KvoProxySettings::clampProtocol(ui->comboboxProcotolProxy->currentIndex());
    proxy.host = ui->editServerProxy->text();
    proxy.port = ui->spinboxPortProxy->value();
    proxy.user = ui->editUserProxy->text();
    proxy.password = ui->editPasswordProxy->text();
    const bool stored = proxy.store(userId());
    // Applied either way: the user asked for this proxy now.
    proxy.apply();
    if (stored) {
        showConfirmation();
    } else {
        showNotice(tr("CONFIGURATION NON ENREGISTRÉE"),
                   tr("Le proxy est appliqué jusqu'à la fin de la session, mais il n'a pas pu être "
                      "enregistré. Vérifiez l'espace disque disponible puis réessayez."));
    }
}

void KvoPageConfiguration::onClickParcourir()
{
    const QString current = KvoEnvironment::videoPath();
    const QString chosen = KvoModalRunner::chooseFolder(this, tr("Emplacement des vidéos"), current);
    if (chosen.isEmpty())
        return;
    const QString folder = QDir::toNativeSeparators(QDir::cleanPath(chosen));
    const bool usable = KvoEnvironment::useVideoFolder(folder);
    ui->editEmplacement->setText(KvoEnvironment::videoPath());
    if (!usable) {
        showNotice(tr("EMPLACEMENT NON MODIFIÉ"),
                   tr("Le dossier « %1 » ne peut pas être créé ou n'accepte pas de fichiers. "
                      "Vos vidéos restent dans « %2 ».")
                       .arg(folder, KvoEnvironment::videoPath()));
        return;
    }
    showConfirmation();
}

void KvoPageConfiguration::switchRememberMe()
{
    QSqlQuery q(KvoDatabase::database());
    if (ui->checkboxRemember->isChecked()) {
        QString password;
        q.prepare(QStringLiteral("SELECT `password` FROM `users` WHERE id_qoz_user = :id_user"));
        q.bindValue(QStringLiteral(":id_user"), userId());
        if (q.exec() && q.next())
            password = q.value(0).toString();
        q.finish();
        // The login the service knows the account by, which the sign-in
        // form can send as it stands.
        QString login = KvoPurchaseVideoManager::instance()->login();
        if (login.isEmpty())
            login = KvoEnvironment::currentUser();
        q.prepare(QStringLiteral("UPDATE `player_config` SET `remember_me` = 1, `last_login` = :login, "
                                 "`last_password` = :password, last_id_user = :id_user"));
        q.bindValue(QStringLiteral(":login"), login);
        q.bindValue(QStringLiteral(":password"), password);
        q.bindValue(QStringLiteral(":id_user"), userId());
        q.exec();
    } else {
        q.exec(QStringLiteral("UPDATE `player_config` SET `remember_me` = 0, `last_login` = '', "
                              "`last_password` = '', last_id_user = ''"));
    }
}

void KvoPageConfiguration::switchEnableProxy()
{
    const bool on = ui->checkboxProxy->isChecked();
    ui->editServerProxy->setEnabled(on);
    ui->spinboxPortProxy->setEnabled(on);
    ui->comboboxProcotolProxy->setEnabled(on);
    ui->checkboxAuthentification->setEnabled(on);
    if (ui->checkboxAuthentification->isChecked()) {
        ui->editPasswordProxy->setEnabled(on);
        ui->editUserProxy->setEnabled(on);
    }
}

void KvoPageConfiguration::switchEnableAuthentification()
{
    const bool on = ui->checkboxAuthentification->isChecked();
    ui->editPasswordProxy->setEnabled(on);
    ui->editUserProxy->setEnabled(on);
}

// --- notifications ----------------------------------------------------------

void KvoPageConfiguration::storeMask(uint mask)
{
    KvoNotifier::instance()->saveMask(mask);
}

void KvoPageConfiguration::disableNotifications(bool enable)
{
    if (ui->comboboxTypeNotification->currentIndex() == 1)
        ui->comboboxPositionNotification->setEnabled(enable);
    if (!enable)
        ui->comboboxPositionNotification->setEnabled(false);
    ui->comboboxTypeNotification->setEnabled(enable);
    ui->labelTypeNotification->setEnabled(enable);
    ui->labelTypeNotification_2->setEnabled(enable);
    ui->buttonTestNotification->setEnabled(enable);
    for (int i = 0; i < ui->gridLayoutNotification->count(); ++i) {
        if (QWidget* widget = ui->gridLayoutNotification->itemAt(i)->widget())
            widget->setEnabled(enable);
    }
}

void KvoPageConfiguration::switchNotificationEnabled()
{
    const bool on = ui->checkboxNotificationEnabled->isChecked();
    uint mask = KvoNotifier::instance()->mask();
    mask = on ? (mask | KvoNotifier::EnabledBit) : (mask & ~uint(KvoNotifier::EnabledBit));
    storeMask(mask);
    disableNotifications(on);
}

void KvoPageConfiguration::onNotificationTypeChanged(int index)
{
    ui->comboboxPositionNotification->setEnabled(index != 0 && ui->checkboxNotificationEnabled->isChecked());
    uint mask = KvoNotifier::instance()->mask();
    mask = index == 0 ? (mask | KvoNotifier::DesktopBit) : (mask & ~uint(KvoNotifier::DesktopBit));
    storeMask(mask);
}

void KvoPageConfiguration::onNotificationPositionChanged(int index)
{
    uint mask = KvoNotifier::instance()->mask() & ~uint(KvoNotifier::PositionBits);
    if (index >= 0 && index < 6)
        mask |= kPositionBits[index];
    storeMask(mask);
}

void KvoPageConfiguration::switchNotificationActivated()
{
    uint bit = 0;
    bool on = false;
    if (sender() == ui->checkboxNotificationVideoDownloadFinished) {
        bit = KvoNotifier::VideoKindBit;
        on = ui->checkboxNotificationVideoDownloadFinished->isChecked();
    } else if (sender() == ui->checkboxNotificationUpdateDownloadFinished) {
        bit = KvoNotifier::UpdateKindBit;
        on = ui->checkboxNotificationUpdateDownloadFinished->isChecked();
    } else {
        return;
    }
    const uint mask = KvoNotifier::instance()->mask();
    storeMask(on ? (mask | bit) : (mask & ~bit));
}

void KvoPageConfiguration::onClickTestNotification()
{
    KvoNotifier::instance()->notifyText(QStringLiteral("Vistrelle"), tr("Test de notification"),
                                        KvoNotifier::testKind());
}

// --- language and import ----------------------------------------------------

void KvoPageConfiguration::onLanguageChanged(int index)
{
    if (index < 0 || index >= KvoEnvironment::languageCount())
        return;
    if (languageSwitcher())
        languageSwitcher()(index);
    ui->labelLangInfo->setText(tr("Veuillez vous reconnecter afin de prendre en compte la modification de langue !"));
    ui->labelLangInfo->setStyleSheet(QStringLiteral("color:white"));
    QSettings settings(KvoEnvironment::settingsPath(), QSettings::IniFormat);
    settings.setValue(QLatin1String(kLastInterfaceLang), index);
    settings.sync();
    KvoEnvironment::setInterfaceLanguageIndex(index);
}

void KvoPageConfiguration::onClickImport()
{
    if (importOpener())
        importOpener()(this);
}

// --- dialogs ---------------------------------------------------------------

int KvoPageConfiguration::runDialog(KvoDialog* dialog, QWidget* content)
{
    dialog->setDimmedWidget(KvoMainWindow::instance());
    dialog->addWidget(content);
    return KvoModalRunner::run(dialog);
}

void KvoPageConfiguration::showConfirmation()
{
    KvoDialog dialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    auto* content = new QWidget;
    Ui_UISuccessSavedConfig form;
    form.setupUi(content);
    runDialog(&dialog, content);
}

void KvoPageConfiguration::showNotice(const QString& heading, const QString& text)
{
    KvoDialog dialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    dialog.setObjectName(QStringLiteral("configurationErrorDialog"));
    auto* content = new QWidget;
    Ui_UISuccessSavedConfig form;
    form.setupUi(content);
    form.label_3->setText(heading);
    form.label_2->setTextFormat(Qt::PlainText);
    form.label_2->setText(text);
    runDialog(&dialog, content);
}

int KvoPageConfiguration::askOffer(const QString& versionLine)
{
    KvoDialog dialog(this, Qt::Dialog | Qt::FramelessWindowHint);
    dialog.setExitButtonType(2);
    auto* content = new QWidget;
    Ui_UINewUpdateDialog form;
    form.setupUi(content);
    // The version comes from the service: shown as text, never as markup.
    form.labelVersion->setTextFormat(Qt::PlainText);
    form.labelVersion->setText(versionLine);
    connect(form.buttonCancel, &QPushButton::clicked, &dialog, &KvoDialog::closeWithCancel);
    connect(form.buttonUpdate, &QPushButton::clicked, &dialog, &KvoDialog::closeWithYes);
    return runDialog(&dialog, content);
}

int KvoPageConfiguration::askInstall()
{
    KvoDialog dialog(this, Qt::Dialog | Qt::FramelessWindowHint);
    dialog.setExitButtonType(2);
    auto* content = new QWidget;
    Ui_UIHasToUpdateDialog form;
    form.setupUi(content);
    connect(form.buttonCancel, &QPushButton::clicked, &dialog, &KvoDialog::closeWithCancel);
    connect(form.buttonUpdate, &QPushButton::clicked, &dialog, &KvoDialog::closeWithYes);
    return runDialog(&dialog, content);
}

// --- update: check ----------------------------------------------------------

void KvoPageConfiguration::onClickUpdate()
{
    if (m_downloadingUpdate)
        return;
    QSettings settings(KvoEnvironment::settingsPath(), QSettings::IniFormat);
    if (settings.value(QLatin1String(kHasToUpdate), false).toBool()) {
        const QString path = QDir::fromNativeSeparators(settings.value(QLatin1String(kUpdatePath)).toString());
        if (!path.isEmpty() && QFileInfo(path).isFile() && KvoPlatform::isUpdatePackage(path)) {
            ui->buttonUpdate->hide();
            ui->buttonInstall->show();
            ui->buttonInstall->setEnabled(true);
            ui->labelNewVersion->setText(tr("Une mise à jour est prête à être installée."));
            onClickInstall();
            return;
        }
        // The package is gone (a cleaned temporary folder) or is no
        // package: nothing to install any more, look for the version again.
        settings.setValue(QLatin1String(kHasToUpdate), 0);
        settings.setValue(QLatin1String(kUpdatePath), QString());
        settings.sync();
    }
    launchUpdate();
}

void KvoPageConfiguration::launchUpdate()
{
    if (m_checkingUpdate)
        return;
    m_checkingUpdate = true;
    // Given at each check: the language may have changed since the page was
    // built (it changes on this very page).
    m_loadingFrame->setLabel(tr("Recherche..."));
    if (KvoMainWindow::instance() && KvoMainWindow::instance()->currentPage() == this)
        m_loadingFrame->start();
    ui->labelNewVersion->setText(tr("Recherche d'une mise à jour..."));
    ui->buttonUpdate->setEnabled(false);
    m_request->get(KvoApi::address(QStringLiteral("/0.1/playerVersion/"), {},
                                   {{QStringLiteral("version"), runningVersion()},
                                    {QStringLiteral("filetype"), KvoPlatform::updatePackageType()}}));
}

void KvoPageConfiguration::finishCheck(const QString& status)
{
    m_loadingFrame->stop();
    ui->buttonUpdate->setEnabled(true);
    m_checkingUpdate = false;
    ui->labelNewVersion->setText(status);
}

QString KvoPageConfiguration::sizeToString(qint64 bytes)
{
    int unit = 0;
    const qint64 value = KvoUpdateOffer::sizeInUnit(bytes, &unit);
    const QString units[4] = {tr("Octets"), tr("Ko"), tr("Mo"), tr("Go")};
    return QString::number(value) + QLatin1Char(' ') + units[unit];
}

void KvoPageConfiguration::onSuccessRequest(const QString& body)
{
    const KvoUpdateOffer offer = KvoUpdateOffer::fromAnswer(body);
    if (!offer.isNewer()) {
        finishCheck(tr("Aucune mise à jour disponible."));
        return;
    }
    finishCheck(tr("Une mise à jour est disponible !"));
    const QString size = sizeToString(offer.size());
    const QString date = QDateTime::fromSecsSinceEpoch(offer.date()).toLocalTime().toString(tr("dd/MM/yyyy"));
    // Each marker filled once, from the template only: a version text that
    // holds "%1" stays as the service wrote it.
    const QString built = fillMarkers(tr("Vistrelle %0 - %1 - %2"), {offer.version(), date, size});
    if (askOffer(built) != KvoDialog::Yes)
        return;
    startUpdateDownload(offer);
}

void KvoPageConfiguration::onErrorRequest(QNetworkReply::NetworkError error, const QString& text)
{
    Q_UNUSED(error);
    Q_UNUSED(text);
    if (m_request->statusCode() == 0)
        finishCheck(tr("Vérification impossible : vous n'êtes pas connecté(e) à Internet."));
    else
        finishCheck(tr("Aucune mise à jour disponible."));
}

// --- update: download and install ---------------------------------------------

void KvoPageConfiguration::startUpdateDownload(const KvoUpdateOffer& offer)
{
    emit onChangePage(QStringLiteral("config"), false);
    ui->scrollArea->ensureWidgetVisible(ui->widgetLanguage, 50, 50);
    ui->progressBar->setRange(0, 100);
    ui->progressBar->setValue(0);
    ui->progressText->setText(QStringLiteral("0%"));
    ui->progressBar->show();
    ui->progressText->show();
    ui->buttonUpdate->hide();
    ui->buttonInstall->show();
    ui->buttonInstall->setEnabled(false);
    ui->labelVersion->hide();
    ui->labelNewVersion->setText(tr("Téléchargement en cours..."));
    ui->labelNewVersion->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    m_shownPercent = -2;
    m_announcedSize = offer.size();
    // The check asked for this package type: the address does not choose
    // the name the opener will see.
    m_updateFilePath = QDir::toNativeSeparators(KvoEnvironment::tempPath() + QStringLiteral("/update.")
                                                + KvoPlatform::updatePackageType());
    // Fetched under another name: a package already in place is replaced
    // only by one that passed every check.
    m_downloader->setDestination(stagingPath(m_updateFilePath));
    m_downloadingUpdate = true;
    m_downloader->download(offer.url());
}

void KvoPageConfiguration::onProgressDownload(qint64 received, qint64 total)
{
    // Without a length from the server the announced size stands in; with
    // neither, the bar turns busy and the text counts what arrived.
    const qint64 expected = total > 0 ? total : m_announcedSize;
    const int percent = KvoUpdateOffer::percent(received, expected);
    if (percent < 0) {
        if (m_shownPercent != -1)
            ui->progressBar->setRange(0, 0);
        m_shownPercent = -1;
        ui->progressText->setText(sizeToString(received));
        return;
    }
    if (percent == m_shownPercent)
        return;
    if (m_shownPercent == -1)
        ui->progressBar->setRange(0, 100);
    m_shownPercent = percent;
    ui->progressBar->setValue(percent);
    ui->progressText->setText(QString::number(percent) + QLatin1Char('%'));
}

void KvoPageConfiguration::failUpdateDownload(const QString& reason)
{
    ui->buttonInstall->hide();
    ui->buttonUpdate->show();
    ui->labelVersion->show();
    ui->progressText->hide();
    ui->progressBar->hide();
    ui->labelNewVersion->setText(tr("Téléchargement de la mise à jour échoué."));
    // The reason is for whoever reads the console; the status line is the
    // user's report.
    qWarning("KvoPageConfiguration: update download failed: %s", qPrintable(reason));
    ui->labelNewVersion->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_downloadingUpdate = false;
}

void KvoPageConfiguration::onErrorDownload(QNetworkReply::NetworkError error, const QString& text)
{
    Q_UNUSED(error);
    failUpdateDownload(text);
}

void KvoPageConfiguration::onSuccessDownload()
{
    // The downloader already refused anything but a whole 200 answer; the
    // package must also be the size the version check announced.
    const QString staged = stagingPath(m_updateFilePath);
    const qint64 size = QFileInfo(staged).size();
    if (m_announcedSize > 0 && size != m_announcedSize) {
        QFile::remove(staged);
        failUpdateDownload(QStringLiteral("Received %1 bytes where %2 were announced").arg(size).arg(m_announcedSize));
        return;
    }
    if (!KvoPlatform::isUpdatePackage(staged)) {
        QFile::remove(staged);
        failUpdateDownload(QStringLiteral("The file received is no %1 package").arg(KvoPlatform::updatePackageType()));
        return;
    }
    if ((QFile::exists(m_updateFilePath) && !QFile::remove(m_updateFilePath))
        || !QFile::rename(staged, m_updateFilePath)) {
        QFile::remove(staged);
        failUpdateDownload(QStringLiteral("Cannot write %1").arg(m_updateFilePath));
        return;
    }
    QSettings settings(KvoEnvironment::settingsPath(), QSettings::IniFormat);
    settings.setValue(QLatin1String(kHasToUpdate), 1);
    settings.setValue(QLatin1String(kUpdatePath), m_updateFilePath);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        failUpdateDownload(QStringLiteral("Cannot write %1").arg(KvoEnvironment::settingsPath()));
        return;
    }
    if (m_shownPercent == -1)
        ui->progressBar->setRange(0, 100);
    ui->progressBar->setValue(100);
    ui->progressText->setText(QStringLiteral("100%"));
    ui->buttonInstall->setEnabled(true);
    ui->labelNewVersion->setText(tr("Téléchargement terminé."));
    m_downloadingUpdate = false;
    KvoNotifier::instance()->notifyUrl(tr("Mise à jour téléchargée"), tr("Vous pouvez procéder à l'installation"),
                                       KvoNotifier::updateDownloadKind(), QStringLiteral("config"));
}

void KvoPageConfiguration::onClickInstall()
{
    if (askInstall() != KvoDialog::Yes)
        return;
    if (KvoMainWindow* window = KvoMainWindow::instance()) {
        window->setHasToUpdate(true);
        window->onClose();
    }
}

void KvoPageConfiguration::abortUpdateDownload()
{
    if (m_downloadingUpdate)
        m_downloader->abort();
}
