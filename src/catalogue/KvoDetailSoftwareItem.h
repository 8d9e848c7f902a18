#pragma once

#include "KvoPurchase.h"

#include <QMap>
#include <QString>
#include <QWidget>

class QEvent;
class QFrame;
class QHBoxLayout;
class QLabel;
class QPaintEvent;
class QProgressBar;
class QPushButton;

// One row of a software's page: a course (Purchase), a chapter heading
// (Chapter) or a video (Video). It shows the title, a video's duration,
// the watched percentage as a thin bar and a number, a course's support
// files link and a delete button; a video whose file has gone from the disk
// shows a warning and a button to point it at another file. The row reads
// the library only from the copy its page hands to refresh(), and reports
// clicks through signals that carry the row.
class KvoDetailSoftwareItem : public QWidget
{
    Q_OBJECT

public:
    enum Type { Purchase = 0, Chapter = 1, Video = 2 };

    KvoDetailSoftwareItem(int type, QWidget* parent = nullptr);
    ~KvoDetailSoftwareItem() override;

    void setVideoId(const uint& id) { m_videoId = id; }
    uint videoId() const { return m_videoId; }
    void setPurchaseId(const uint& id) { m_purchaseId = id; }
    uint purchaseId() const { return m_purchaseId; }
    void setGroup(const int& group) { m_group = group; }
    int group() const { return m_group; }
    int type() const { return m_type; }

    // Makes the row ready to show another entry of the same type (the page
    // keeps its rows across list pages): the next refresh writes the texts
    // again as a first refresh does. Set the ids and the group afterwards.
    void reset();

    // Fills the row from the library copy: texts on the first call, the
    // state (file present, watched percentage, colours) on every call.
    void refresh(QMap<int, KvoPurchase>& purchases);
    void clearHighlight();
    // For the page, whose reused rows get no enter event when they come
    // under the mouse.
    void setHighlighted(bool highlighted);

    bool isHighlighted() const { return m_highlighted; }
    // A video row's file exists (as of the last refresh).
    bool isPresent() const { return m_present; }
    // The percentage shown.
    uint seen() const { return m_seen; }
    QString supportUrl() const { return m_supportUrl; }

    // For inspection (tests, screenshots).
    QPushButton* titleButton() const { return m_titleButton; }
    QPushButton* deleteButton() const { return m_deleteButton; }
    QPushButton* parcourirButton() const { return m_parcourirButton; }
    QPushButton* missingButton() const { return m_missingButton; }
    QPushButton* supportButton() const { return m_supportButton; }
    QLabel* durationLabel() const { return m_durationLabel; }
    QLabel* percentageLabel() const { return m_percentageLabel; }
    QProgressBar* progressBar() const { return m_progressBar; }

    // "0:59", "59:59", "1:02:05".
    static QString formatDuration(uint seconds);
    // The integer mean of the watched percentages of the course's listed
    // videos; 0 when none is listed.
    static uint listedMean(const KvoPurchase& purchase);

    // The looks every row shares (delete, Parcourir, missing-file and
    // support buttons, chapter titles), to set once on the widget that
    // holds the rows: one parsed sheet, and one decoded delete image, for
    // the whole list instead of one per row. A row made without a parent
    // sets it on itself.
    static QString sharedStyleSheet();

signals:
    void mouseOver(KvoDetailSoftwareItem* row);
    void parcourirClicked(KvoDetailSoftwareItem* row);
    void videoClicked(KvoDetailSoftwareItem* row);
    void deleteClicked(KvoDetailSoftwareItem* row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private slots:
    void onClickTitle();
    void onClickParcourir();
    void onClickDelete();
    void onClickSupportFiles();

private:
    void refreshVideo(const KvoVideoFile& video);
    void refreshPurchase(const KvoPurchase& purchase);
    void createVideoWidgets();
    void createMissingWidgets();
    void createPurchaseWidgets();
    void showSupportFiles(const QString& url);
    QProgressBar* createProgressBar();
    QLabel* createPercentageLabel();
    void showSeen(uint seen, bool complete);

    int m_type;
    uint m_videoId = 0;
    uint m_purchaseId = 0;
    int m_group = 0;
    bool m_initialised = false;
    bool m_highlighted = false;
    bool m_present = false;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_titleButton = nullptr;
    QLabel* m_durationLabel = nullptr;
    QPushButton* m_parcourirButton = nullptr;
    QPushButton* m_missingButton = nullptr;
    QPushButton* m_supportButton = nullptr;
    QFrame* m_supportSpace = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_percentageLabel = nullptr;
    uint m_seen = 0;
    QString m_supportUrl;
    QHBoxLayout* m_layout = nullptr;
};
