#include "KvoVideoImporter.h"
#include "ui_KvoVideoImporter.h"

#include "KvoEnvironment.h"
#include "KvoFolderChooser.h"
#include "KvoFramelessPanel.h"
#include "KvoVideoImporterThread.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMovie>
#include <QPainter>
#include <QPointF>

KvoVideoImporter::KvoVideoImporter(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
    , ui(new Ui_KvoVideoImporter)
{
    ui->setupUi(this);
    // May end with a failure that names a file found on the disk.
    ui->labelIndication->setTextFormat(Qt::PlainText);
    m_translucent = KvoFramelessPanel::makeTranslucent(this, ui->content, QPointF(0, 0));
    thread = new KvoVideoImporterThread(this);
    loaderMovie = new QMovie(QStringLiteral(":/KvoMainWindow/Resources/loader_mini.gif"), QByteArray(), this);
    ui->loader->setMovie(loaderMovie);
    ui->loader->hide();
    ui->buttonLaunch->setEnabled(false);

    connect(ui->buttonLaunch, &QPushButton::clicked, this, &KvoVideoImporter::onClickLaunch);
    connect(ui->buttonCancel, &QPushButton::clicked, this, &KvoVideoImporter::onClickCancel);
    connect(ui->buttonParcourir, &QPushButton::clicked, this, &KvoVideoImporter::onClickParcourir);
    connect(thread, &QThread::finished, this, &KvoVideoImporter::onThreadFinished);
    connect(thread, &KvoVideoImporterThread::newVideoImported, this, &KvoVideoImporter::onNewVideoImported);
    connect(thread, &KvoVideoImporterThread::registrationQueued, thread, &KvoVideoImporterThread::applyPending,
            Qt::QueuedConnection);
}

KvoVideoImporter::~KvoVideoImporter()
{
    stopAndWait();
    delete ui;
}

void KvoVideoImporter::run(QWidget* parent)
{
    KvoVideoImporter dialog(parent, Qt::Tool | Qt::FramelessWindowHint);
    dialog.exec();
}

void KvoVideoImporter::stopAndWait()
{
    if (!thread->isRunning())
        return;
    thread->requestStop();
    thread->wait();
    thread->applyPending();
}

void KvoVideoImporter::onClickParcourir()
{
    if (searching)
        return;
    const QString chosen =
        KvoFolderChooser::choose(this, tr("Emplacement de recherche"), KvoEnvironment::storageLocation());
    if (chosen.isEmpty())
        return;
    const QString native = QDir::toNativeSeparators(chosen);
    ui->editEmplacement->setText(native);
    ui->buttonLaunch->setEnabled(!native.isEmpty() && QFileInfo(native).isDir());
}

void KvoVideoImporter::onClickLaunch()
{
    const QString folder = ui->editEmplacement->text();
    if (searching || thread->isRunning() || !QFileInfo(folder).isDir())
        return;
    searching = true;
    ui->buttonLaunch->setEnabled(false);
    ui->buttonCancel->setText(tr("ARRÊTER LA RECHERCHE"));
    ui->buttonParcourir->setEnabled(false);
    ui->buttonLaunch->setText(tr("RECHERCHE EN COURS..."));
    ui->checkboxCopy->setEnabled(false);
    ui->labelIndication->setText(tr("Recherche en cours, veuillez patienter..."));
    ui->labelNumber->setText(tr("Nombre de vidéos importées :"));
    ui->labelSize->setText(QStringLiteral("0"));
    loaderMovie->start();
    ui->loader->show();

    thread->searchFolder = folder;
    thread->copyFiles = ui->checkboxCopy->isChecked();
    // Read here: the video folder lives in the database, whose default
    // connection belongs to this thread.
    thread->videoFolder = KvoEnvironment::videoPath();
    thread->start(QThread::InheritPriority);
}

void KvoVideoImporter::onClickCancel()
{
    if (searching) {
        thread->requestStop();
        return;
    }
    close();
}

void KvoVideoImporter::onNewVideoImported()
{
    ++importedCount;
    ui->labelSize->setText(QString::number(importedCount));
}

void KvoVideoImporter::onThreadFinished()
{
    thread->applyPending();
    ui->buttonLaunch->setText(tr("RECHERCHE TERMINÉE"));
    ui->buttonCancel->setText(tr("FERMER"));
    QString text = tr("Recherche terminée.");
    const int failed = thread->failedCount();
    if (failed > 0) {
        text += QLatin1Char(' ') + tr("%n vidéo(s) non copiée(s), laissée(s) à leur place. %1", "", failed)
                                       .arg(thread->firstError());
    }
    ui->labelIndication->setText(text);
    ui->loader->hide();
    loaderMovie->stop();
    searching = false;
}

void KvoVideoImporter::handleKey(QKeyEvent* event)
{
    // Releases too go to the dialog's key-press handling.
    if (KvoFramelessPanel::acceptUnlessEscape(event))
        QDialog::keyPressEvent(event);
}

void KvoVideoImporter::keyPressEvent(QKeyEvent* event)
{
    handleKey(event);
}

void KvoVideoImporter::keyReleaseEvent(QKeyEvent* event)
{
    handleKey(event);
}

void KvoVideoImporter::closeEvent(QCloseEvent* event)
{
    // A window manager may close the frameless window during a search: the
    // search stops and its thread ends before the window goes.
    stopAndWait();
    QDialog::closeEvent(event);
}

void KvoVideoImporter::paintEvent(QPaintEvent* event)
{
    if (m_translucent) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    KvoFramelessPanel::paintOpaqueGround(painter, rect());
}
