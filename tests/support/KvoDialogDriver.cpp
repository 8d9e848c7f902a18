#include "KvoDialogDriver.h"

#include <QApplication>
#include <QDialog>
#include <QTest>

namespace {
// The drivers alive, oldest first: only the newest one acts.
QList<KvoDialogDriver*> s_drivers;
} // namespace

KvoDialogDriver::KvoDialogDriver(int timeoutMs)
    : m_timeout(timeoutMs)
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible())
            m_before.append(widget);
    s_drivers.append(this);
    m_since.start();
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &KvoDialogDriver::poll);
    m_timer.start();
}

KvoDialogDriver::~KvoDialogDriver()
{
    m_timer.stop();
    s_drivers.removeOne(this);
    closeOpened();
    if (!done())
        qWarning("KvoDialogDriver: %s", report());
}

void KvoDialogDriver::add(const Expected& e)
{
    if (m_expected.isEmpty())
        m_since.restart();
    m_expected.append(e);
}

bool KvoDialogDriver::wait()
{
    return QTest::qWaitFor([this] { return done() || m_since.elapsed() > m_timeout; }, m_timeout + 1000)
           && done();
}

const char* KvoDialogDriver::report() const
{
    QStringList lines = m_problems;
    for (const Expected& e : m_expected)
        lines.append(QStringLiteral("no modal %1 \"%2\" showed").arg(e.className, e.name));
    m_report = lines.join(QStringLiteral("; ")).toUtf8();
    return m_report.constData();
}

QWidget* KvoDialogDriver::activeModalWidget()
{
    QWidget* modal = QApplication::activeModalWidget();
    return modal && modal->isVisible() ? modal : nullptr;
}

bool KvoDialogDriver::matchesName(QWidget* widget, const QString& name)
{
    return widget->objectName() == name || widget->findChild<QWidget*>(name);
}

void KvoDialogDriver::closeModal(QWidget* widget)
{
    if (auto* dialog = qobject_cast<QDialog*>(widget))
        dialog->reject();
    else
        widget->close();
}

QWidget* KvoDialogDriver::findExpected() const
{
    if (m_expected.isEmpty())
        return nullptr;
    const Expected& e = m_expected.first();
    // A dialog already visible when its exec() starts runs its loop without
    // becoming the active modal widget: look at every window.
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget* widget : widgets) {
        if (widget->isVisible() && !m_before.contains(widget) && !m_handled.contains(widget) && e.cast(widget)
            && matchesName(widget, e.name))
            return widget;
    }
    return nullptr;
}

void KvoDialogDriver::whenReady(const std::function<bool()>& check, const std::function<void()>& action, int limit)
{
    auto* timer = new QTimer;
    auto* started = new QElapsedTimer;
    started->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::destroyed, [started] { delete started; });
    QObject::connect(timer, &QTimer::timeout, timer, [timer, check, action, started, limit] {
        if (check()) {
            timer->stop();
            timer->deleteLater();
            action();
        } else if (started->elapsed() > limit) {
            timer->stop();
            timer->deleteLater();
            for (int i = 0; i < 20; ++i) {
                QWidget* modal = activeModalWidget();
                if (!modal)
                    break;
                closeModal(modal);
            }
        }
    });
    timer->start();
}

void KvoDialogDriver::poll()
{
    if (s_drivers.isEmpty() || s_drivers.last() != this)
        return;
    QWidget* modal = activeModalWidget();
    if (!modal || m_handled.contains(modal) || m_before.contains(modal)) {
        if (QWidget* shown = findExpected())
            modal = shown;
    }
    const bool known = modal && (m_handled.contains(modal) || m_before.contains(modal));
    if (modal && !known) {
        if (!m_expected.isEmpty() && m_expected.first().cast(modal)
            && matchesName(modal, m_expected.first().name)) {
            const Expected e = m_expected.takeFirst();
            m_handled.append(modal);
            ++m_answered;
            m_since.restart();
            e.answer(modal); // may open a nested dialog: polling goes on inside
            return;
        }
        m_problems.append(QStringLiteral("unexpected modal %1 \"%2\" closed")
                              .arg(QString::fromLatin1(modal->metaObject()->className()), modal->objectName()));
        closeModal(modal);
        return;
    }
    if (m_since.elapsed() <= m_timeout)
        return;
    // Past the time-out: whatever this test opened and left open goes.
    if (!m_expected.isEmpty()) {
        for (const Expected& e : std::as_const(m_expected))
            m_problems.append(QStringLiteral("no modal %1 \"%2\" within %3 ms").arg(e.className, e.name).arg(m_timeout));
        m_expected.clear();
    }
    for (const QPointer<QWidget>& widget : std::as_const(m_handled)) {
        if (widget && widget->isVisible()) {
            m_problems.append(QStringLiteral("%1 \"%2\" still open %3 ms after its answer")
                                  .arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName())
                                  .arg(m_timeout));
            closeOpened();
            break;
        }
    }
}

void KvoDialogDriver::closeOpened()
{
    // Innermost first: closing an outer dialog cannot end the event loop of
    // a dialog nested in it.
    for (int i = 0; i < 20; ++i) {
        QWidget* modal = activeModalWidget();
        if (!modal || m_before.contains(modal))
            break;
        closeModal(modal);
    }
    // Then the answered dialogs that run their loop without being modal.
    for (const QPointer<QWidget>& widget : std::as_const(m_handled))
        if (widget && widget->isVisible())
            closeModal(widget);
}
