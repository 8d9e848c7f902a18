#include "KvoAddSignetWidget.h"

#include "KvoMainWindow.h"
#include "KvoOverlayWindow.h"
#include "KvoWheelGuard.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLayout>
#include <QPushButton>
#include <QTime>

namespace {

void toMainWindow(const QString& title, const QTime& time)
{
    if (KvoMainWindow* window = KvoMainWindow::instance())
        window->onClickSignet(title, time);
}

KvoAddSignetWidget::Receiver& receiver()
{
    static KvoAddSignetWidget::Receiver current = toMainWindow;
    return current;
}

} // namespace

void KvoAddSignetWidget::setReceiver(const Receiver& target)
{
    receiver() = target ? target : Receiver(toMainWindow);
}

KvoAddSignetWidget::KvoAddSignetWidget(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    m_form.setupUi(this);
    KvoWheelGuard::protect(this);
    m_form.buttonOk->setDefault(true);
    KvoOverlayWindow::setUpTranslucency(this);
    m_position = 0;
    setHidden(true);

    m_exitButton = KvoOverlayWindow::createExitButton(this);
    m_exitButton->move(width() - 36, 12);
    connect(m_exitButton, &QPushButton::clicked, this, &KvoAddSignetWidget::onExit);
    // Also Return in the title field, through the default button (once).
    connect(m_form.buttonOk, &QPushButton::clicked, this, &KvoAddSignetWidget::onOK);
}

KvoAddSignetWidget::~KvoAddSignetWidget() = default;

void KvoAddSignetWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        m_form.retranslateUi(this);
    QDialog::changeEvent(event);
}

QTime KvoAddSignetWidget::offset(qint64 ms)
{
    // QTime wraps at 24 hours; the editor cannot show more.
    return QTime(0, 0).addMSecs(int(qBound(qint64(0), ms, qint64(24 * 3600 * 1000 - 1))));
}

void KvoAddSignetWidget::setAnchor(QWidget* anchor)
{
    m_anchor = anchor;
}

void KvoAddSignetWidget::placeNearAnchor()
{
    KvoOverlayWindow::placeNear(this, m_anchor);
}

void KvoAddSignetWidget::setDuration(qint64 ms)
{
    m_form.timeEdit->setMaximumTime(offset(ms));
}

void KvoAddSignetWidget::setCurrentTime(qint64 ms)
{
    m_form.timeEdit->setTime(offset(ms));
    m_position = ms;
}

void KvoAddSignetWidget::setHidden(bool hidden)
{
    m_form.editTitle->clear();
    m_form.timeEdit->setTime(offset(m_position));
    if (hidden) {
        KvoOverlayWindow::dismiss(this, m_anchor);
        return;
    }
    if (QLayout* layout = this->layout())
        layout->activate();
    KvoOverlayWindow::fitMask(this, m_form.content, m_exitButton);
    KvoOverlayWindow::present(this, m_anchor);
    m_form.editTitle->setFocus(Qt::OtherFocusReason);
}

void KvoAddSignetWidget::onExit()
{
    emit closeAddSignetClicked();
}

void KvoAddSignetWidget::reject()
{
    emit closeAddSignetClicked();
}

void KvoAddSignetWidget::onOK()
{
    const QString title = m_form.editTitle->text().trimmed();
    m_form.editTitle->setText(title);
    if (title.isEmpty())
        return;
    receiver()(title, m_form.timeEdit->time());
    emit closeAddSignetClicked();
}

void KvoAddSignetWidget::focusOutEvent(QFocusEvent* event)
{
    // Losing the keyboard neither hides nor closes the overlay.
    QWidget::focusOutEvent(event);
}
