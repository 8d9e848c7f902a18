#pragma once

#include <QMetaType>
#include <QPointer>
#include <QString>
#include <QWidget>

// One page switch: the key of the page to show, whether the switch is
// recorded in the history, and what the page is to show once current.
// A switch to the player names the software whose video is chosen, the page
// above the player in the breadcrumb and the video to select; other switches
// leave them empty. The window hands the request to the page (see
// IKvoPage::onRequest) before it refreshes it, and keeps nothing of it
// after the switch.
struct KvoPageRequest
{
    QString key;
    bool addToHistory = true;
    uint idSoftware = 0;
    QPointer<QWidget> parentArianne;
    uint selectedIdVideo = 0;
    // A file opened from outside to play as that video; the player records
    // it as the video's file only once it has shown a picture.
    QString filePath;

    KvoPageRequest() = default;
    KvoPageRequest(const QString& pageKey, bool history)
        : key(pageKey)
        , addToHistory(history)
    {
    }

    // A switch to the player showing one video of a software, recorded in
    // the history, under the page `parent` in the breadcrumb.
    static KvoPageRequest player(uint softwareId, QWidget* parent, uint videoId)
    {
        KvoPageRequest request(QStringLiteral("player"), true);
        request.idSoftware = softwareId;
        request.parentArianne = parent;
        request.selectedIdVideo = videoId;
        return request;
    }
};

Q_DECLARE_METATYPE(KvoPageRequest)
