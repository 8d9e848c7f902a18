#pragma once

#include "IKvoPage.h"
#include "KvoPageRequest.h"
#include "KvoSoftwareDetailOrder.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <functional>
#include <memory>

class KvoAsyncImage;
class KvoDetailSoftwareItem;
class KvoPaginationWidget;
class QPushButton;
class Ui_KvoPageDetailSoftware;

// The page of one software ("detail_software_<id>"): the user's videos of
// that software, course by course and chapter by chapter, 15 videos per
// list page, under one of nine sort and filter modes. From it the user plays
// a video, removes a video or a course from the library (and optionally
// from the disk), points a video whose file went missing at a stored file,
// subscribes to the software's e-mails, opens its web page or goes to the
// support page.
//
// The list is rebuilt from a copy of the library at every show; the rows of
// the list page shown are refreshed from it. Rows are kept and reused from
// one list page to the next, except a row whose click waits on a modal
// dialog: that one is dropped at the next rebuild. The library's setters refresh the current
// page before they return, so the page's own changes to the library run
// with refresh suspended and end with one rebuild.
class KvoPageDetailSoftware : public QWidget, public IKvoPage
{
    Q_OBJECT

public:
    using ItemPair = KvoSoftwareDetailOrder::ItemPair;
    using Video = KvoSoftwareDetailOrder::Video;
    using Formation = KvoSoftwareDetailOrder::Formation;

    static constexpr int ItemsPerPage = 15;

    KvoPageDetailSoftware(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPageDetailSoftware() override;

    // IKvoPage
    QString title() const override;
    QString name() const override;
    QWidget* parentPage() const override;
    void onShow() override;

    // The least height the page needs at that width: its name's lines and
    // the least height of each column; the list scrolls in what is left.
    // The window's page stack takes a page's height for a width as its
    // least height (it has no least height of its own), and it asks every
    // page it holds, shown or not: the preferred height there, which grows
    // with the rows of the list, would stop the window above its smallest
    // size on every page once a long list was shown.
    int heightForWidth(int width) const override;

    void setParentPage(QWidget* page);
    // Takes the software's name, web address and subscription from the
    // library (an unknown id gives empty texts and no subscription).
    void setSoftwareId(uint id);
    uint softwareId() const { return m_softwareId; }

    // For the player: the listed videos of every list page, in list order,
    // whose file exists on the disk, as (course id, file id) pairs of
    // unsigned-integer variants. Both lists get the same number of entries.
    void collectDownloadedVideos(QList<QVariant>& purchaseIds, QList<QVariant>& fileIds);

    // The ordering of the list (see KvoSoftwareDetailOrder), for this page's
    // software and sort mode.
    float purchaseProgress(int purchaseId, QMap<int, KvoPurchase>& purchases);
    QList<ItemPair> buildItemList();
    void sortItems(QList<ItemPair>& items, QMap<int, KvoPurchase>& purchases);

    // Asks the user for a stored video file (parent, caption, start folder,
    // filter); an empty path when the user cancels. A file dialog unless
    // replaced, as tests do to hand over a path without a dialog.
    using FileChooser = std::function<QString(QWidget* parent, const QString& caption, const QString& folder,
                                              const QString& filter)>;
    void setFileChooser(const FileChooser& chooser) { m_chooseFile = chooser; }

    int sortMode() const { return m_sortMode; }
    bool isSubscribed() const { return m_subscribed; }
    QString softwareName() const { return m_softwareName; }
    QString softwareUrl() const { return m_softwareUrl; }
    const QList<ItemPair>& items() const { return m_items; }
    KvoPaginationWidget* pagination() const { return m_pagination; }
    // The rows of the list page shown, top to bottom.
    QList<KvoDetailSoftwareItem*> rows() const;

signals:
    void onChangePage(const QString& key, bool addToHistory);
    void onChangePageRequest(const KvoPageRequest& request);

public slots:
    void onClickSupport();
    void updateAbo();
    void onClickVisiter();
    void onClickAbonnement();
    void onChangePage(int first, int last);
    void onClickSort();
    void onClickVorn(KvoDetailSoftwareItem* row);
    void onClickDelete(KvoDetailSoftwareItem* row);
    void onClickParcourir(KvoDetailSoftwareItem* row);
    void showParcourirError();
    void onMouseOver(KvoDetailSoftwareItem* row);

private:
    void applyFonts();
    void setSortStyles(QPushButton* active);
    void releaseRows();
    KvoDetailSoftwareItem* addRow(int type, uint purchaseId, uint fileId, bool complete = false);
    void syncHover();
    bool isBusy(const KvoDetailSoftwareItem* row) const;
    void setBusy(KvoDetailSoftwareItem* row, bool busy);

    std::unique_ptr<Ui_KvoPageDetailSoftware> ui;
    QWidget* m_parentPage = nullptr;
    QString m_softwareName;
    uint m_softwareId = 0;
    KvoAsyncImage* m_image = nullptr;
    QString m_thumbnail;
    QString m_softwareUrl;
    bool m_subscribed = false;
    KvoPaginationWidget* m_pagination = nullptr;
    QList<ItemPair> m_items;
    // Rows out of the layout, hidden, ready for the next list page.
    QList<KvoDetailSoftwareItem*> m_spareRows;
    // Rows whose click is being answered inside a modal dialog.
    QList<QPointer<KvoDetailSoftwareItem>> m_busyRows;
    FileChooser m_chooseFile;
    int m_sortMode = 1;
    bool m_refreshEnabled = true;
    bool m_shownOnce = false;
};
