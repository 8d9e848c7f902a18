#pragma once

#include "IKvoPage.h"
#include "KvoPurchase.h"
#include "KvoSoftware.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class KvoListWidget;
class QListWidgetItem;

namespace Ui {
class KvoPageSoftwares;
}

// The page "softwares", the entry point of the user's own library: one tile
// per software that holds the user's videos, in alphabetical order, with
// its thumbnail and its number of downloaded videos. A click on a tile
// opens the page of that software.
//
// Tiles are only ever added: a software that no longer has videos keeps its
// place, its tile hidden while its count is 0, and a software that gains
// videos later gets its tile at its place in the order.
class KvoPageSoftwares : public QWidget, public IKvoPage
{
    Q_OBJECT

public:
    KvoPageSoftwares(QWidget* parent, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPageSoftwares() override;

    QString title() const override;
    QString name() const override;
    QWidget* parentPage() const override;
    void onShow() override;

    // Whether the software has a page in that library: one of its courses
    // has a video on disk and a video that was not removed from the library
    // (they may be two different videos). The same rule as the main
    // window's menu entry for this page.
    static bool softwareHasVideos(uint softwareId, const QMap<int, KvoPurchase>& purchases);
    // Whether any software of the user's library has a page here.
    static bool hasVideos();
    // The main window's name for hasVideos().
    static bool hasVisibleSoftwares();

    // The order of the tiles: alphabetical, ignoring case and accents;
    // names alike in that way are ordered by their case-insensitive text.
    static int compareNames(const QString& a, const QString& b);
    // Where a software of that name goes among the shown softwares: before
    // the first whose name does not sort below it.
    static int insertPosition(const QList<KvoSoftware>& shown, const QString& name);

    KvoListWidget* list() const { return m_list; }
    QList<KvoSoftware> shownSoftwares() const { return m_shownSoftwares; }

signals:
    void onChangePage(const QString& key, bool addToHistory);

private slots:
    void onItemClicked(QListWidgetItem* item);
    void onItemEntered(QListWidgetItem* item);

private:
    std::unique_ptr<Ui::KvoPageSoftwares> ui;
    KvoListWidget* m_list = nullptr;
    QWidget* m_parentPage = nullptr;
    QList<KvoSoftware> m_shownSoftwares;
};
