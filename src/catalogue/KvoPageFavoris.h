#pragma once

#include "IKvoPage.h"
#include "KvoPageTops.h"

#include <QList>
#include <QString>

#include <memory>

class KvoPaginationWidget;
class KvoTopItem;
class Ui_KvoPageTopMonth;

// The page "favoris": the courses the user marked as favourites on the
// service, ten rows a page, each with a way to remove it from the
// favourites. The list is fetched again at every show; the rows on screen
// stay while it comes, and a failed fetch leaves them as they are.
class KvoPageFavoris : public KvoPageTops, public IKvoPage
{
    Q_OBJECT

public:
    KvoPageFavoris(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPageFavoris() override;

    void gotoDownloadsPage() override;
    void showEmptyList() override;
    void hideEmptyList() override;
    void populate() override;
    void showLoading() override;
    void removePurchase(const KvoPurchase& purchase) override;

    // IKvoPage
    QString title() const override;
    QString name() const override;
    QWidget* parentPage() const override;
    void onShow() override;

    Ui_KvoPageTopMonth* form() const { return ui.get(); }
    KvoPaginationWidget* pagination() const { return m_pagination; }
    QList<KvoTopItem*> rows() const;

signals:
    void onChangePage(const QString& key, bool addToHistory);

protected:
    bool keepsListWhileFetching() const override { return true; }

private slots:
    void onChangeFavePage(int first, int last);

private:
    std::unique_ptr<Ui_KvoPageTopMonth> ui;
    QWidget* m_parentPage = nullptr;
    KvoPaginationWidget* m_pagination = nullptr;
    int m_shownCount = 0;
};
