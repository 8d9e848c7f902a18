#pragma once

#include "IKvoPage.h"
#include "KvoPageTops.h"

#include <QList>
#include <QString>

#include <memory>

class KvoTopItem;
class Ui_KvoPageTopMonth;

// The page "news": the newest courses of the catalogue.
// The list is fetched once per run; offline, the last list received shows.
class KvoPageNews : public KvoPageTops, public IKvoPage
{
    Q_OBJECT

public:
    KvoPageNews(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPageNews() override;

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
