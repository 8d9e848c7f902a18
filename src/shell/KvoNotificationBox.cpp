#include "KvoNotificationBox.h"
#include "KvoFont.h"
#include "ui_KvoNotificationBox.h"

#include "KvoNotifier.h"
#include "KvoPlatformGui.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainterPath>
#include <QPolygon>
#include <QPushButton>
#include <QRegion>
#include <QScreen>
#include <QWindow>

#include <cmath>

namespace {

QList<KvoNotificationBox*>& boxes()
{
    static QList<KvoNotificationBox*> list;
    return list;
}

QRect availableArea()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// Opacity steps of 1/5 do not add up to exactly 0 on the way out.
const double OpacityEpsilon = 1e-9;

} // namespace

KvoNotificationBox::KvoNotificationBox()
    // A tooltip window: never blocked while the main window runs modally,
    // so it stays clickable; no taskbar entry; takes no focus; and X puts
    // it exactly where asked.
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , ui(new Ui::KvoNotificationBox)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_translucent = KvoPlatformGui::isCompositing();
    if (m_translucent)
        setAttribute(Qt::WA_TranslucentBackground);
    ui->setupUi(this);

    ui->title->setFont(KvoFont::arial(12, QFont::Bold));
    ui->text->setFont(KvoFont::arial(12));
    // The text may be a video title from the library: shown as it stands,
    // never read as markup (an <img> in it would load a local file).
    ui->title->setTextFormat(Qt::PlainText);
    ui->text->setTextFormat(Qt::PlainText);

    if (!m_translucent) {
        // Without a compositor the half-transparent body would come out
        // over black or grey: paint it opaque and cut the round corners
        // with the window's shape instead. Polished first: the layout has
        // already measured it with the form's style, which a change before
        // polishing would not replace.
        ui->Content->ensurePolished();
        ui->Content->setStyleSheet(QStringLiteral(
            "QWidget#Content\n{\n\tbackground-color: rgb(13, 13, 18);\n"
            "\tborder: 1px solid rgb(0, 0, 0);\n\tborder-radius:6px;\n}"));
        updateShape();
    }

    m_stepTimer.setSingleShot(true);
    connect(&m_stepTimer, &QTimer::timeout, this, &KvoNotificationBox::stepNotificationBox);
    connect(ui->closeButton, &QPushButton::clicked, this, &KvoNotificationBox::cancel);
}

KvoNotificationBox::~KvoNotificationBox()
{
    boxes().removeAll(this);
}

QList<KvoNotificationBox*> KvoNotificationBox::openBoxes()
{
    return boxes();
}

QString KvoNotificationBox::title() const
{
    return ui->title->text();
}

QString KvoNotificationBox::text() const
{
    return ui->text->text();
}

QLabel* KvoNotificationBox::titleLabel() const
{
    return ui->title;
}

QLabel* KvoNotificationBox::textLabel() const
{
    return ui->text;
}

QString KvoNotificationBox::elided(const QString& text, const QLabel* label)
{
    const QFontMetrics metrics(label->font());
    QString result = text;
    // Stops at "..." itself, which a label narrower than that could
    // otherwise never reach.
    while (metrics.horizontalAdvance(result) > label->width() && result.size() > 3)
        result = result.left(result.size() - 4) + QStringLiteral("...");
    return result;
}

void KvoNotificationBox::setTitle(const QString& title)
{
    ui->title->setText(elided(title, ui->title));
}

void KvoNotificationBox::setText(const QString& text)
{
    ui->text->setText(elided(text, ui->text));
}

void KvoNotificationBox::setLink(const QByteArray& link)
{
    if (link.isEmpty())
        return;
    setCursor(Qt::PointingHandCursor);
    m_link = link;
}

QPoint KvoNotificationBox::targetFor(int position, const QRect& area, const QSize& size, int offset)
{
    const int w = size.width();
    const int h = size.height();
    const int left = area.left() + Margin;
    const int centre = area.left() + area.width() / 2 - w / 2;
    const int right = area.right() - w - Margin;
    const int top = area.top() + Margin + offset;
    const int bottom = area.bottom() - h - Margin - offset;
    switch (position) {
    case 0: return QPoint(left, top);
    case 1: return QPoint(centre, top);
    case 2: return QPoint(right, top);
    case 3: return QPoint(left, bottom);
    case 4: return QPoint(centre, bottom);
    case 5: return QPoint(right, bottom);
    default: return QPoint(0, 0);
    }
}

void KvoNotificationBox::placeNotificationBox()
{
    // The lowest free slot reached without a gap; boxes already shown never
    // move.
    m_stackSlot = 0;
    int offset = 0;
    bool found = true;
    while (found) {
        found = false;
        for (const KvoNotificationBox* other : boxes()) {
            if (other != this && other->m_position == m_position && other->m_stackSlot == m_stackSlot) {
                ++m_stackSlot;
                offset += other->height() + m_verticalMargin;
                found = true;
            }
        }
    }
    m_targetPosition = targetFor(m_position, availableArea(), size(), offset);
}

void KvoNotificationBox::showAt(int position, int duration, bool autoClose)
{
    m_position = position;
    switch (position) {
    case 0:
    case 3: m_dx = 1; m_dy = 0; break;
    case 1: m_dx = 0; m_dy = 1; break;
    case 2:
    case 5: m_dx = -1; m_dy = 0; break;
    case 4: m_dx = 0; m_dy = -1; break;
    default: m_dx = 0; m_dy = 0; break;
    }
    placeNotificationBox();
    m_autoClose = autoClose;

    const QPoint start(int(m_targetPosition.x() - width() * m_dx),
                       int(m_targetPosition.y() - height() * m_dy));
    m_x = start.x();
    m_y = start.y();

    // A duration below one step still comes and goes in one step each way.
    m_duration = duration;
    const double stepDuration = duration >= StepInterval ? double(duration) : double(StepInterval);
    m_xStep = std::abs(m_targetPosition.x() - start.x()) / stepDuration * StepInterval;
    m_yStep = std::abs(m_targetPosition.y() - start.y()) / stepDuration * StepInterval;
    m_opacityStep = StepInterval / stepDuration;
    m_opacity = 0;
    applyOpacity();

    m_currentPosition = start;
    move(start);
    boxes().append(this);

    m_phase = duration >= 1 ? ComingIn : Idle;
    stepNotificationBox();
    attachToModalWindow();
    show();
}

void KvoNotificationBox::stepNotificationBox()
{
    switch (m_phase) {
    case ComingIn:
        m_x += m_dx * m_xStep;
        m_y += m_dy * m_yStep;
        m_currentPosition = QPoint(int(m_x), int(m_y));
        move(m_currentPosition);
        m_opacity += m_opacityStep;
        applyOpacity();
        if (m_opacity >= 1.0 - OpacityEpsilon)
            arrive();
        else
            m_stepTimer.start(StepInterval);
        break;
    case StayingOrLeaving:
        m_x -= m_dx * m_xStep;
        m_y -= m_dy * m_yStep;
        m_currentPosition = QPoint(int(m_x), int(m_y));
        move(m_currentPosition);
        m_opacity -= m_opacityStep;
        applyOpacity();
        if (m_opacity <= OpacityEpsilon) {
            m_opacity = 0;
            close();
            m_stepTimer.stop();
            boxes().removeAll(this);
            deleteLater();
        } else {
            m_stepTimer.start(StepInterval);
        }
        break;
    default:
        arrive();
        break;
    }
}

void KvoNotificationBox::attachToModalWindow()
{
    // While a window runs modally (the main window does for a whole
    // session) Qt drops mouse input to every other top-level window that is
    // not its descendant, tooltip windows included. As a transient child of
    // the modal window the box stays clickable, without a parent that would
    // own it.
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == this || !modal->windowHandle())
        return;
    create();
    if (QWindow* window = windowHandle())
        window->setTransientParent(modal->windowHandle());
}

void KvoNotificationBox::arrive()
{
    m_opacity = 1.0;
    applyOpacity();
    m_x = m_targetPosition.x();
    m_y = m_targetPosition.y();
    m_currentPosition = m_targetPosition;
    move(m_targetPosition);
    m_phase = StayingOrLeaving;
    if (m_autoClose)
        m_stepTimer.start(StayTime);
}

void KvoNotificationBox::leave()
{
    if (!boxes().contains(this))
        return; // already gone
    m_stepTimer.stop();
    m_phase = StayingOrLeaving;
    stepNotificationBox();
}

void KvoNotificationBox::cancel()
{
    leave();
}

void KvoNotificationBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_link.isEmpty()) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    // A second click while leaving follows nothing more.
    if (!boxes().contains(this))
        return;
    const QByteArray link = m_link;
    m_link.clear();
    unsetCursor();
    KvoNotifier::followLink(link);
    leave();
}

void KvoNotificationBox::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_translucent)
        updateShape();
}

void KvoNotificationBox::applyOpacity()
{
    // Window opacity needs a compositor; without one the box slides only.
    if (m_translucent)
        setWindowOpacity(qBound(0.0, m_opacity, 1.0));
}

void KvoNotificationBox::updateShape()
{
    // Only a real display cuts windows to a shape.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return;
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 6, 6);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}
