#pragma once

#include "IKvoPage.h"
#include "KvoPageTops.h"

#include <QList>
#include <QString>
#include <QTimer>

#include <memory>

class KvoPaginationWidget;
class KvoTopItem;
class Ui_KvoPageTopMonth;

// The page "promo": the courses on promotion, ten rows a page, each with
// the time its promotion has left, counted down every second while the
// page is on screen. A row whose promotion ended hides itself.
class KvoPagePromo : public KvoPageTops, public IKvoPage
{
    Q_OBJECT

public:
    KvoPagePromo(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPagePromo() override;

    void gotoDownloadsPage() override;
    void showEmptyList() override;
    void hideEmptyList() override;
    void populate() override;

    // IKvoPage
    QString title() const override;
    QString name() const override;
    QWidget* parentPage() const override;
    void onShow() override;

    Ui_KvoPageTopMonth* form() const { return ui.get(); }
    KvoPaginationWidget* pagination() const { return m_pagination; }
    const QTimer& timer() const { return m_timer; }
    QList<KvoTopItem*> rows() const;

signals:
    void onChangePage(const QString& key, bool addToHistory);

private slots:
    void onTimeout();
    void onChangePromoPage(int first, int last);

private:
    void countdownPass();

    std::unique_ptr<Ui_KvoPageTopMonth> ui;
    QWidget* m_parentPage = nullptr;
    QTimer m_timer;
    KvoPaginationWidget* m_pagination = nullptr;
};
