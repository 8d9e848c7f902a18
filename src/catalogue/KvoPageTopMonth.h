#pragma once

#include "IKvoPage.h"
#include "KvoPageTops.h"

#include <QList>
#include <QString>

#include <memory>

class KvoTopItem;
class Ui_KvoPageTopMonth;

// The page "top": the courses of the month, best sellers first, each row
// with its place and its number of sales.
// The list is fetched once per run; offline, the last list received shows.
class KvoPageTopMonth : public KvoPageTops, public IKvoPage
{
    Q_OBJECT

public:
    KvoPageTopMonth(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPageTopMonth() override;

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
    QList<KvoTopItem*> rows() const;

signals:
    void onChangePage(const QString& key, bool addToHistory);

private:
    std::unique_ptr<Ui_KvoPageTopMonth> ui;
    QWidget* m_parentPage = nullptr;
};
