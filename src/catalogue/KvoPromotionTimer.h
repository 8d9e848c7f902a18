#pragma once

#include "KvoPurchase.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

// One timer for the promotions of whatever shows prices: a page's rows or
// the purchase dialog. It is given the courses shown and fires ended()
// once, at the next end among their promotions, so the prices follow the
// end without a timer per course. Courses whose promotion has no end, has
// ended already or changes no price at its end set nothing: without an end
// to come, no timer runs.
//
// A page's timer follows the page on screen only: once the page is hidden
// it stops, and its show hook brings the prices up to date.
//
// A wait is cut into steps of at most a minute and the end is checked
// against the wall clock at each step: the timer counts in the machine's
// running time, which stops while it sleeps and ignores a clock set
// forward, so a long wait alone could end well after the promotion.
class KvoPromotionTimer : public QObject
{
    Q_OBJECT

public:
    explicit KvoPromotionTimer(QObject* parent = nullptr);

    // Makes this the timer of the rows of `page`.
    void followPage(QWidget* page);

    // Forgets every end; nothing fires until watch() is called again.
    void clear();
    // Counts in the end of the course's promotion when it is still to come.
    void watch(const KvoPurchase& course);
    bool isActive() const { return m_timer.isActive(); }
    // The end waited for, milliseconds since the epoch; 0 for none.
    qint64 nextEnd() const { return m_next; }

signals:
    void ended();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int LongestStep = 60 * 1000;

    void arm(qint64 nowMs);
    void onTimeout();

    QTimer m_timer;
    qint64 m_next = 0;
    QPointer<QWidget> m_page;
};
