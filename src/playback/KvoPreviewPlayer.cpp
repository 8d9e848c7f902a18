#include "KvoPreviewPlayer.h"

#include "KvoLoadingFrame.h"
#include "KvoVideoPlayer.h"
#include "KvoVideoSeeker.h"

#include <QEvent>
#include <QLabel>

namespace {

int s_stallTimeout = 15000;

QString clock(qint64 ms)
{
    const qint64 seconds = (ms / 1000) % 60;
    return QString::number(ms / 60000) + QLatin1Char(':') + (seconds < 10 ? QStringLiteral("0") : QString())
           + QString::number(seconds);
}

} // namespace

int KvoPreviewPlayer::stallTimeout()
{
    return s_stallTimeout;
}

void KvoPreviewPlayer::setStallTimeout(int ms)
{
    s_stallTimeout = qMax(1, ms);
}

KvoPreviewPlayer::KvoPreviewPlayer(QWidget* parent)
    : KvoDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    // The size of a new parentless widget, whatever the form says.
    m_content = new QWidget;
    setFixedSize(640, 480);
    m_form.setupUi(m_content);
    setContentsMargins(10, 5, 5, 5);
    addWidget(m_content);
    if (parent)
        setDimmedWidget(parent);

    m_loading = new KvoLoadingFrame(this);
    m_player = new KvoVideoPlayer(m_form.videoFrame);
    m_form.videoFrame->installEventFilter(this);

    // Where the extract cannot be played: said over the black picture.
    m_message = new QLabel(m_form.videoFrame);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_message->setStyleSheet(QStringLiteral("color: #cdcdcd; font-family: Arial; font-size: 14px; "
                                            "background-color: transparent;"));
    m_message->hide();

    m_seeker = new KvoVideoSeeker;
    m_seeker->setMaximumHeight(27);
    m_seeker->setStyleSheet(QStringLiteral(
        "QSlider::groove:horizontal {height:2px;background-color:#292b31;}QSlider::handle:horizontal "
        "{background-color:qradialgradient(spread:pad, cx:0.5, cy:0.5, radius:1.042, fx:0.5, fy:0.5, stop:0.140704 "
        "rgba(247, 247, 247, 255), stop:1 rgba(90, 90, 90, 255));width: 10px;margin: -4px 0px -4px 0px;border-radius: "
        "5px;}QSlider::sub-page:horizontal {background-color: #d63d7b;}QSlider{margin-top:1px;}"));
    m_player->setSeeker(m_seeker);
    m_form.horizontalLayout->insertWidget(3, m_seeker);

    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, &KvoPreviewPlayer::onFailure);

    connect(this, &KvoDialog::closed, this, &KvoPreviewPlayer::onDialogClosed);
    connect(m_form.play, &QPushButton::clicked, this, &KvoPreviewPlayer::play);
    connect(m_form.pause, &QPushButton::clicked, this, &KvoPreviewPlayer::pause);
    connect(m_player, &KvoVideoPlayer::buffering, this, &KvoPreviewPlayer::buffering);
    connect(m_player, &KvoVideoPlayer::tick, this, &KvoPreviewPlayer::tick);
    connect(m_player, &KvoVideoPlayer::ended, this, &KvoPreviewPlayer::finished);
    connect(m_seeker, &QSlider::valueChanged, this, &KvoPreviewPlayer::seek);
    connect(m_player, &KvoVideoPlayer::error, this, &KvoPreviewPlayer::onFailure);
    connect(m_player, &KvoVideoPlayer::firstFrame, this, &KvoPreviewPlayer::onProgress);
}

KvoPreviewPlayer::~KvoPreviewPlayer()
{
    m_watchdog.stop();
    // The player first: it stops and releases its media.
    delete m_player;
    m_player = nullptr;
}

int KvoPreviewPlayer::open(const QString& location, int width, int height)
{
    Q_UNUSED(width)
    Q_UNUSED(height)
    load(location);
    return showDialog(false, true);
}

void KvoPreviewPlayer::load(const QString& location)
{
    m_failed = false;
    m_message->hide();
    m_lastTime = -1;
    m_loading->start();
    m_player->openUrl(location);
    // Nothing of the last extract: its length came back with the stop that
    // opening makes, and a new extract has no time until it plays.
    m_form.current->setText(clock(0));
    m_form.total->setText(clock(0));
    play();
    if (!m_player->isLoaded())
        onFailure();
}

QString KvoPreviewPlayer::failureText() const
{
    return m_failed ? m_message->text() : QString();
}

void KvoPreviewPlayer::play()
{
    if (m_failed) {
        // Another try after a failure: the same wait as at the opening.
        m_failed = false;
        m_message->hide();
        m_loading->start();
    }
    m_player->play();
    m_form.play->hide();
    m_form.pause->show();
    m_form.play->setEnabled(true);
    m_watchdog.start(s_stallTimeout);
}

void KvoPreviewPlayer::pause()
{
    m_player->pause();
    m_form.play->show();
    m_form.pause->hide();
    m_watchdog.stop();
}

void KvoPreviewPlayer::seek(int seconds)
{
    Q_UNUSED(seconds)
    if (m_failed)
        return;
    m_loading->start();
}

void KvoPreviewPlayer::buffering(bool on)
{
    if (m_failed)
        return;
    if (on)
        m_loading->start();
    else
        m_loading->stop();
}

void KvoPreviewPlayer::tick(qint64 time, qint64 length)
{
    if (time == -1)
        time = 0;
    m_player->updateOverlays();
    if (m_failed)
        return;
    m_loading->stop();
    if (length != -1)
        m_form.total->setText(clock(length));
    m_form.current->setText(clock(time));
    if (time != m_lastTime) {
        m_lastTime = time;
        onProgress();
    }
}

void KvoPreviewPlayer::onProgress()
{
    if (m_watchdog.isActive())
        m_watchdog.start(s_stallTimeout);
}

void KvoPreviewPlayer::finished()
{
    m_watchdog.stop();
    m_form.play->show();
    m_form.pause->hide();
    // An end without a length or a single picture: nothing could be read.
    if (m_player->mediaInfo().length <= 0 && !m_player->hasPicture())
        onFailure();
    else
        m_loading->stop();
}

void KvoPreviewPlayer::onFailure()
{
    m_watchdog.stop();
    m_failed = true;
    m_loading->stop();
    m_player->stop();
    m_message->setText(tr("Cet extrait ne peut pas être lu pour le moment."));
    layOutPicture();
    m_message->show();
    m_message->raise();
    m_form.play->show();
    m_form.pause->hide();
}

void KvoPreviewPlayer::onDialogClosed()
{
    m_watchdog.stop();
    m_loading->stop();
    m_player->stop();
}

void KvoPreviewPlayer::layOutPicture()
{
    m_player->resize(m_form.videoFrame->size());
    m_message->setGeometry(QRect(QPoint(0, 0), m_form.videoFrame->size()).adjusted(20, 0, -20, 0));
}

bool KvoPreviewPlayer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_form.videoFrame && event->type() == QEvent::Resize)
        layOutPicture();
    return KvoDialog::eventFilter(watched, event);
}
