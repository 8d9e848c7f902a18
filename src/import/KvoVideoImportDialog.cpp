#include "KvoVideoImportDialog.h"
#include "ui_KvoVideoImportDialog.h"

#include "KvoEnvironment.h"
#include "KvoFolderChooser.h"
#include "KvoFramelessPanel.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoSizeUnits.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointF>
#include <QTextDocument>
#include <QThread>
#include <QTimer>

KvoVideoImportDialog::KvoVideoImportDialog(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
    , ui(new Ui_KvoVideoImportDialog)
{
    ui->setupUi(this);
    // Shows the first failure, which names a file of the earlier library.
    ui->labelDesc_4->setTextFormat(Qt::PlainText);
    // Without a compositing manager the panel sits on an opaque ground.
    m_translucent = KvoFramelessPanel::makeTranslucent(this, ui->content, QPointF(0, 6));
    fadeTimer = new QTimer(this);
    fadeTimer->setInterval(10);
    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(50);
    setWindowOpacity(0.0);

    connect(fadeTimer, &QTimer::timeout, this, &KvoVideoImportDialog::onTimerUpdate);
    connect(m_progressTimer, &QTimer::timeout, this, &KvoVideoImportDialog::progressStep);
    connect(ui->buttonLaunch, &QPushButton::clicked, this, &KvoVideoImportDialog::onClickYes);
    connect(ui->buttonNo, &QPushButton::clicked, this, &KvoVideoImportDialog::onClickNo);
    connect(ui->buttonParcourir, &QPushButton::clicked, this, &KvoVideoImportDialog::onClickParcourir);
    ui->editEmplacement->setText(KvoEnvironment::videoPath());
}

KvoVideoImportDialog::~KvoVideoImportDialog()
{
    if (m_worker) {
        m_import.requestStop();
        m_worker->wait();
    }
    delete ui;
}

bool KvoVideoImportDialog::isAlreadyImported()
{
    return KvoFirstRunImport::isAlreadyImported();
}

bool KvoVideoImportDialog::hasSomethingToImport()
{
    return m_import.findOldDatabase();
}

void KvoVideoImportDialog::offerImport()
{
    if (isAlreadyImported())
        return;
    KvoVideoImportDialog dialog(nullptr, Qt::FramelessWindowHint);
    if (!dialog.hasSomethingToImport())
        return;
    dialog.fadeIn(true);
    dialog.exec();
}

void KvoVideoImportDialog::fadeIn(bool in)
{
    fadingIn = in;
    fadeTimer->start(10);
}

void KvoVideoImportDialog::onTimerUpdate()
{
    if (fadingIn) {
        m_opacity += 0.05;
        if (m_opacity >= 1.0) {
            m_opacity = 1.0;
            fadeTimer->stop();
            setWindowOpacity(m_opacity);
            calcNeeded();
            return;
        }
    } else {
        m_opacity -= 0.05;
        if (m_opacity <= 0.0) {
            m_opacity = 0.0;
            fadeTimer->stop();
            setWindowOpacity(m_opacity);
            if (m_worker) {
                m_closePending = true; // once the copy has stopped
                return;
            }
            close();
            return;
        }
    }
    setWindowOpacity(m_opacity);
}

void KvoVideoImportDialog::calcNeeded()
{
    // Computed once: the import launched during the fade-in had it already.
    neededSize = m_import.calcNeeded();
    const KvoSizeUnits::Scaled scaled = KvoSizeUnits::scale(neededSize);
    const QString units[KvoSizeUnits::UnitCount] = {tr("Octets"), tr("Ko"), tr("Mo"), tr("Go")};
    unitDivisor = scaled.divisor;
    ui->progressBar->setMaximum(int(qMin<quint64>(neededSize / unitDivisor, INT_MAX)));
    ui->labelSize->setText(QString::number(scaled.value) + QLatin1Char(' ') + units[scaled.unit]);
    progressStep();
}

void KvoVideoImportDialog::progressStep()
{
    copiedSize = m_import.copiedSize();
    if (!m_import.neededKnown())
        return; // the bar has no scale before the size is known
    const quint64 maximum = quint64(ui->progressBar->maximum());
    const quint64 value = qMin(copiedSize / unitDivisor, maximum);
    ui->progressBar->setValue(int(value));
    const bool started = m_worker || m_done;
    const int percent = started ? KvoSizeUnits::percent(value, maximum) : 0;
    ui->progressText->setText(QString::number(percent) + QLatin1Char('%'));
}

void KvoVideoImportDialog::onClickYes()
{
    if (importRunning || m_done)
        return;
    // The size first, on this thread: the copy changes the lists it reads.
    if (!m_import.neededKnown())
        calcNeeded();
    importRunning = true;
    ui->buttonNo->setText(tr("ANNULER"));
    ui->buttonLaunch->setText(tr("VEUILLEZ PATIENTER"));
    ui->buttonLaunch->setEnabled(false);
    ui->buttonParcourir->setEnabled(false);
    setCursor(Qt::WaitCursor);

    const QString folder = KvoEnvironment::videoPath();
    m_worker = QThread::create([this, folder] { m_import.runCopy(folder); });
    connect(m_worker, &QThread::finished, this, &KvoVideoImportDialog::onCopyFinished);
    m_progressTimer->start();
    m_worker->start();
}

void KvoVideoImportDialog::onClickNo()
{
    if (m_worker) {
        // Stops after the current chunk; what was copied completely is
        // registered, nothing of the earlier store is removed.
        m_import.requestStop();
        ui->buttonNo->setEnabled(false);
    }
    importRunning = false;
    fadingIn = false;
    fadeTimer->start(10);
}

void KvoVideoImportDialog::onCopyFinished()
{
    m_progressTimer->stop();
    m_worker->wait();
    m_worker->deleteLater();
    m_worker = nullptr;
    m_done = true;
    progressStep();

    if (m_import.copiedCount() > 0) {
        // The library the main window starts from includes the new courses.
        KvoPurchaseVideoManager* manager = KvoPurchaseVideoManager::instance();
        manager->setUser(manager->userId(), manager->login(), manager->credits(), manager->session());
    }
    importRunning = false;
    unsetCursor();
    emit importFinished();

    if (m_closePending) {
        close();
        return;
    }
    if (m_import.stopRequested())
        return; // the fade-out runs already
    if (m_import.failedCount() > 0) {
        showOutcome();
        return;
    }
    fadeIn(false);
}

// Some videos could not be copied: the window says so and waits for the
// user, instead of fading out as if all went well.
void KvoVideoImportDialog::showOutcome()
{
    const int failed = m_import.failedCount();
    ui->labelError->setText(tr("L'importation est terminée, mais %n vidéo(s) n'ont pas pu être importée(s).", "",
                               failed));
    ui->labelDesc->setText(tr("Leurs fichiers d'origine ont été conservés."));
    ui->labelDesc_4->setText(ui->labelDesc_4->fontMetrics().elidedText(m_import.firstError(), Qt::ElideMiddle,
                                                                      ui->content->width() - 60));
    // Escaped rich text: a tooltip would read a path that looks like markup as such.
    const QString error = m_import.firstError();
    ui->labelDesc_4->setToolTip(error.isEmpty() ? QString() : Qt::convertFromPlainText(error));
    ui->labelDesc_5->clear();
    ui->labelDesc_2->setText(tr("%n vidéo(s) importée(s).", "", m_import.copiedCount()));
    ui->labelDesc_3->clear();
    ui->buttonLaunch->setText(tr("IMPORTATION TERMINÉE"));
    ui->buttonNo->setText(tr("FERMER"));
    ui->buttonNo->setEnabled(true);
}

void KvoVideoImportDialog::onClickParcourir()
{
    if (importRunning || m_done)
        return;
    const QString chosen =
        KvoFolderChooser::choose(this, tr("Emplacement des vidéos"), KvoEnvironment::videoPath());
    if (chosen.isEmpty())
        return;
    const QString native = QDir::toNativeSeparators(chosen);
    // The videos go to the folder shown.
    const bool usable = KvoEnvironment::useVideoFolder(native);
    ui->editEmplacement->setText(KvoEnvironment::videoPath());
    if (usable) {
        ui->labelDesc_7->setText(tr("Prévoyez un espace de disque suffisant avant de lancer l'importation !"));
        ui->labelDesc_7->setToolTip(QString());
        return;
    }
    // One line, in the width the label has: the folder's name is shortened,
    // the whole text is one hover away.
    const QString notice = tr("« %1 » ne peut pas recevoir les vidéos : emplacement non modifié.");
    QLabel* label = ui->labelDesc_7;
    label->setTextFormat(Qt::PlainText);
    const QFontMetrics metrics = label->fontMetrics();
    const int room = label->width() - metrics.horizontalAdvance(notice.arg(QString())) - 4;
    label->setText(notice.arg(metrics.elidedText(native, Qt::ElideMiddle, qMax(room, 80))));
    label->setToolTip(tr("Le dossier « %1 » ne peut pas être créé ou n'accepte pas de fichiers. "
                         "Vos vidéos restent dans « %2 ».")
                          .arg(native, KvoEnvironment::videoPath()));
}

void KvoVideoImportDialog::mousePressEvent(QMouseEvent* event)
{
    QDialog::mousePressEvent(event);
    if (ui->content->geometry().contains(event->position().toPoint())) {
        dragOrigin = event->position().toPoint();
        dragging = true;
    }
}

void KvoVideoImportDialog::mouseMoveEvent(QMouseEvent* event)
{
    QDialog::mouseMoveEvent(event);
    if (dragging)
        window()->move(event->globalPosition().toPoint() - dragOrigin);
}

void KvoVideoImportDialog::mouseReleaseEvent(QMouseEvent* event)
{
    QDialog::mouseReleaseEvent(event);
    dragging = false;
}

void KvoVideoImportDialog::handleKey(QKeyEvent* event)
{
    // Releases too go to the dialog's key-press handling.
    if (KvoFramelessPanel::acceptUnlessEscape(event))
        QDialog::keyPressEvent(event);
}

void KvoVideoImportDialog::keyPressEvent(QKeyEvent* event)
{
    handleKey(event);
}

void KvoVideoImportDialog::keyReleaseEvent(QKeyEvent* event)
{
    handleKey(event);
}

void KvoVideoImportDialog::closeEvent(QCloseEvent* event)
{
    if (m_worker) {
        // A close by the window manager during the copy: stop, and close
        // once the worker has ended and the completed copies are registered.
        m_import.requestStop();
        m_closePending = true;
        ui->buttonNo->setEnabled(false);
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void KvoVideoImportDialog::paintEvent(QPaintEvent* event)
{
    if (m_translucent) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    KvoFramelessPanel::paintOpaqueGround(painter, rect());
}
