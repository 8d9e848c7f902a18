#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Acts inside the modal loops a test starts: the check runs from the event
// loop every 10 ms (so also inside nested modal loops) until it holds, then
// the action runs once. After `limit` ms without the check holding, every
// visible modal widget is closed, so no test can hang on a dialog.
inline void whenReady(const std::function<bool()>& check, const std::function<void()>& action, int limit = 10000)
{
    auto* timer = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, check, action, started, limit] {
        if (check()) {
            timer->stop();
            timer->deleteLater();
            action();
        } else if (started->elapsed() > limit) {
            timer->stop();
            timer->deleteLater();
            while (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        }
    });
    timer->start();
}

// The action on the first visible modal widget.
inline void onModal(const std::function<void(QWidget*)>& action, int limit = 10000)
{
    whenReady(
        [] {
            QWidget* modal = QApplication::activeModalWidget();
            return modal && modal->isVisible();
        },
        [action] { action(QApplication::activeModalWidget()); }, limit);
}
