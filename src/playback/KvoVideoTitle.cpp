#include "KvoVideoTitle.h"

#include "ui_KvoVideoTitle.h"

#include <QCloseEvent>
#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QTimer>

KvoVideoTitle::KvoVideoTitle(QWidget* parent)
    // A tool window stays above the player's window and out of the task
    // bar; the title is only looked at, so it must not take the keyboard
    // away from the window below.
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
    , m_ui(std::make_unique<Ui_KvoVideoTitle>())
{
    m_ui->setupUi(this);
    QFont font = m_ui->label->font();
    font.setFamily(QStringLiteral("Arial"));
    font.setPixelSize(23);
    m_ui->label->setFont(font);

    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_opacity = 1.0;
    m_fadeTimer = new QTimer(this);
    connect(m_fadeTimer, &QTimer::timeout, this, &KvoVideoTitle::onTimeout);
    hide();
}

KvoVideoTitle::~KvoVideoTitle() = default;

void KvoVideoTitle::setText(const QString& text)
{
    m_text = text;
    QString shown = text;
    // The overlay sits on the player's left edge: keep it inside the player.
    const QWidget* player = parentWidget();
    if (player && player->width() > 0) {
        const int margins = 2 * m_ui->label->margin();
        const int room = player->width() - m_ui->left->sizeHint().width()
                         - m_ui->right->sizeHint().width() - margins;
        shown = QFontMetrics(m_ui->label->font()).elidedText(text, Qt::ElideRight, qMax(0, room));
    }
    m_ui->label->setText(shown);
    adjustSize();
    QDialog::show();
}

QString KvoVideoTitle::text() const
{
    return m_text;
}

void KvoVideoTitle::show()
{
    m_opacity = 1.0;
    setWindowOpacity(1.0);
    QDialog::show();
    m_fadeTimer->setInterval(HoldMs);
    m_fadeTimer->start();
}

bool KvoVideoTitle::isActive() const
{
    return m_fadeTimer->isActive();
}

void KvoVideoTitle::display()
{
    show();
}

void KvoVideoTitle::onTimeout()
{
    if (m_fadeTimer->interval() == HoldMs) {
        m_fadeTimer->stop();
        m_fadeTimer->setInterval(FadeStepMs);
        m_fadeTimer->start();
    }
    // Ten steps of 0.1 leave a small positive remainder in double
    // arithmetic: the overlay goes at the eleventh.
    m_opacity -= 0.1;
    setWindowOpacity(m_opacity);
    if (m_opacity <= 0.0) {
        hide();
        m_fadeTimer->stop();
    }
    repaint();
    update();
}

void KvoVideoTitle::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void KvoVideoTitle::keyPressEvent(QKeyEvent* event)
{
    event->ignore();
}

void KvoVideoTitle::keyReleaseEvent(QKeyEvent* event)
{
    event->ignore();
}
