#include "KvoDialog.h"
#include "ui_KvoDialog.h"

#include "KvoDimmedCover.h"
#include "KvoFramelessPanel.h"

#include <QCloseEvent>
#include <QColor>
#include <QEvent>
#include <QHideEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPointF>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>

namespace {

// The frame drawn on the opaque ground where no compositor draws the shadow.
const QColor OpaqueFrame(44, 45, 52);

} // namespace

const KvoDialog::ExitButtonImages KvoDialog::ExitButtonPixmap[3] = {
    {QStringLiteral(":/KvoMainWindow/Resources/dialog_exit_button_out.png"),
     QStringLiteral(":/KvoMainWindow/Resources/dialog_exit_button_hover.png"), QSize(24, 24)},
    {QString(), QString(), QSize(24, 24)},
    {QString(), QString(), QSize(24, 24)},
};

KvoDialog::KvoDialog(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
    , ui(new Ui_KvoDialog)
{
    ui->setupUi(this);
    setWindowTitle(tr("Notification"));

    // Without a compositing manager the panel is drawn on an opaque ground.
    m_translucent = KvoFramelessPanel::makeTranslucent(this, this, QPointF(0, 0));

    m_result = Cancel;

    m_fadeTimer = new QTimer(this);
    m_fadeTimer->setInterval(10);

    m_exitButton = new QPushButton(this);
    m_exitButton->move(ui->content->x() - m_exitButton->width() / 2, 0);
    m_exitButton->setCursor(Qt::PointingHandCursor);
    setExitButtonType(0);

    connect(m_exitButton, &QPushButton::clicked, this, &KvoDialog::closeWithCancel);
    connect(m_fadeTimer, &QTimer::timeout, this, &KvoDialog::onTimeout);
}

KvoDialog::~KvoDialog()
{
    m_fadeTimer->stop();
    // Destroyed while shown: its share of the darkening ends here.
    lighten();
    delete ui;
}

void KvoDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        setWindowTitle(tr("Notification"));
    QDialog::changeEvent(event);
}

void KvoDialog::setDimmedWidget(QWidget* widget)
{
    m_dimmedWidget = widget;
}

QWidget* KvoDialog::dimmedWidget() const
{
    return m_dimmedWidget;
}

void KvoDialog::addWidget(QWidget* widget)
{
    ui->contentLayout->addWidget(widget);
}

void KvoDialog::setContentsMargins(int top, int left, int bottom, int right)
{
    ui->contentLayout->setContentsMargins(left, top, right, bottom);
}

void KvoDialog::setExitButtonType(int type)
{
    if (type < 0 || type > 2)
        return;
    m_exitButtonType = type;
    const ExitButtonImages& row = ExitButtonPixmap[type];

    m_exitButton->blockSignals(type == 2);
    m_exitButton->setFixedSize(row.size);

    const auto image = [](const QString& path) {
        return path.isEmpty() ? QStringLiteral("none") : QStringLiteral("url(%1)").arg(path);
    };
    m_exitButton->setStyleSheet(
        QStringLiteral("QPushButton { background: transparent; border: 0; border-image: %1; }\n"
                       "QPushButton:hover { background: transparent; border: 0; border-image: %2; }")
            .arg(image(row.normal), image(row.hover)));
    repaint();
}

int KvoDialog::exitButtonType() const
{
    return m_exitButtonType;
}

int KvoDialog::showDialog(bool animated, bool modal)
{
    darken(animated);

    adjustSize();
    if (layout())
        layout()->activate();
    centre();
    m_open = true;

    if (modal) {
        // The dialog may be destroyed while it runs (with its parent, for
        // instance); then there is no stored result to read any more.
        QPointer<KvoDialog> self(this);
        exec();
        if (!self)
            return Cancel;
    } else {
        QDialog::show();
    }
    return m_result;
}

int KvoDialog::closeResult() const
{
    return m_result;
}

QPushButton* KvoDialog::exitButton() const
{
    return m_exitButton;
}

void KvoDialog::closeWithYes()
{
    m_result = Yes;
    close();
}

void KvoDialog::closeWithNo()
{
    m_result = No;
    close();
}

void KvoDialog::closeWithCancel()
{
    m_result = Cancel;
    close();
}

bool KvoDialog::close()
{
    QPointer<KvoDialog> self(this);
    m_closing = true;
    lighten();
    const bool closedNow = QWidget::close();
    if (!self)
        return closedNow;
    m_closing = false;
    m_open = false;
    emit closed();
    return closedNow;
}

void KvoDialog::show()
{
    showDialog(false, true);
}

void KvoDialog::onTimeout()
{
    m_dimStrength += m_dimStep;
    if (m_cover)
        m_cover->setStrength(m_dimStrength);
    if (m_dimStrength <= 0.0 || m_dimStrength >= 1.0)
        m_fadeTimer->stop();
}

bool KvoDialog::event(QEvent* event)
{
    return QWidget::event(event);
}

void KvoDialog::keyPressEvent(QKeyEvent* event)
{
    if (KvoFramelessPanel::acceptUnlessEscape(event))
        QDialog::keyPressEvent(event);
}

void KvoDialog::keyReleaseEvent(QKeyEvent* event)
{
    if (KvoFramelessPanel::acceptUnlessEscape(event))
        QDialog::keyReleaseEvent(event);
}

void KvoDialog::resizeEvent(QResizeEvent* event)
{
    if (event)
        QDialog::resizeEvent(event);
    centre();
}

void KvoDialog::closeEvent(QCloseEvent* event)
{
    // The window manager's close (Alt+F4) is one more way around the choice
    // buttons; a dialog that allows no way around them refuses every close
    // request but its own slots'.
    if (!m_closing && m_exitButtonType == 2) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void KvoDialog::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    // Closed some other way than through close() (window manager, reject(),
    // hide()): the widget behind must not stay dark, and whoever waits for
    // closed() must hear of it. The stored result stays what it was.
    if (!m_closing && !event->spontaneous() && m_open) {
        m_open = false;
        lighten();
        emit closed();
    }
}

void KvoDialog::paintEvent(QPaintEvent* event)
{
    if (m_translucent) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    KvoFramelessPanel::paintOpaqueGround(painter, rect());
    painter.setPen(OpaqueFrame);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void KvoDialog::darken(bool animated)
{
    // The picture of the widget as it stands, darkened, over it; shared
    // with the other dialogs in front of the same widget.
    KvoDimmedCover* cover = KvoDimmedCover::of(m_dimmedWidget, true);
    if (!cover)
        return;
    const bool alreadyDark = cover->holders() > 0;
    if (m_cover != cover) {
        lighten();
        cover->hold();
        m_cover = cover;
    }
    if (animated && !alreadyDark) {
        m_dimStrength = 0.0;
        m_dimStep = 0.05;
        cover->setStrength(m_dimStrength);
        m_fadeTimer->start();
    } else {
        m_dimStrength = 1.0;
        cover->setStrength(m_dimStrength);
    }
}

void KvoDialog::lighten()
{
    const bool wasFading = m_fadeTimer->isActive();
    m_fadeTimer->stop();
    KvoDimmedCover* cover = m_cover;
    m_cover = nullptr;
    m_dimStrength = 0.0;
    if (!cover)
        return;
    cover->release();
    // Other dialogs still darken the widget: fully dark rather than at the
    // point this dialog's fade stopped.
    if (cover->holders() > 0 && wasFading)
        cover->setStrength(1.0);
}

void KvoDialog::centre()
{
    QWidget* reference = m_dimmedWidget ? m_dimmedWidget.data() : parentWidget();
    if (reference) {
        // A window's position is already global; a child widget's is not.
        const QPoint origin = reference->isWindow() ? reference->pos() : reference->mapToGlobal(QPoint(0, 0));
        move(origin.x() + reference->width() / 2 - width() / 2,
             origin.y() + reference->height() / 2 - height() / 2);
    }
    m_exitButton->move(ui->content->x() - m_exitButton->width() / 2,
                       ui->content->y() - m_exitButton->height() / 2);
    m_exitButton->raise();
}
