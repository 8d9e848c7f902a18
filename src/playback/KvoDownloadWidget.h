#pragma once

#include "KvoDownloadJob.h"
#include "KvoPageRequest.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class KvoPageDownloads;
class KvoProgressBar;

namespace Ui {
class KvoDownloadWidget;
}

// One row of the downloads page. It shows a download job (KvoDownloadJob,
// which holds the queue state and the transfer) and hands the clicks to
// it; the page makes rows only for the jobs of the list page on screen and
// moves a row to another job when the list page changes. A child row (one
// video of an expanded course) is indented.
class KvoDownloadWidget : public QWidget
{
    Q_OBJECT

public:
    KvoDownloadWidget(KvoPageDownloads* page, QWidget* parent, KvoDownloadJob* job = nullptr);
    ~KvoDownloadWidget() override;

    // The widget the page places in its list.
    virtual QWidget* widget();

    // Shows another job (or none).
    void setJob(KvoDownloadJob* job);
    KvoDownloadJob* job() const { return m_job; }

signals:
    void onChangePage(const QString& key, bool addToHistory);
    void onChangePageRequest(const KvoPageRequest& request);

public slots:
    // Shows the job's state again.
    void refresh();
    void onClickDownload();
    void onClickExpand();
    void onClickTitle();

private:
    void onButtonClicked();

    Ui::KvoDownloadWidget* ui;
    KvoPageDownloads* page;
    QPointer<KvoDownloadJob> m_job;
    KvoProgressBar* progressBar = nullptr;
    bool m_indented = true;
};
