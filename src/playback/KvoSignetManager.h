#pragma once

#include <QMap>

class KvoSignetWidget;
class KvoVideoPlayer;
class KvoVideoSeeker;
class QWidget;

// The bookmarks of the playing video (table `signets`): loads them as
// markers over the seek bar, stores new ones and deletes those the user
// drags off. A bookmark is known by its row, so two bookmarks at the same
// time are two rows and deleting one leaves the other.
class KvoSignetManager
{
public:
    KvoSignetManager() = default;
    ~KvoSignetManager();
    KvoSignetManager(const KvoSignetManager&) = delete;
    KvoSignetManager& operator=(const KvoSignetManager&) = delete;

    void setVideoId(uint videoId) { m_videoId = videoId; }
    uint videoId() const { return m_videoId; }

    // Deletes the markers there are and makes one per bookmark of the video,
    // children of parent (the seek bar's parent), placed and shown.
    void load(KvoVideoPlayer* player, KvoVideoSeeker* seeker, QWidget* parent);
    // Takes a marker made, valued, named, placed and shown by the caller
    // and stores its bookmark.
    void add(KvoSignetWidget* marker);
    // Deletes every marker (another video is loading).
    void clear() { deleteMarkers(); }
    // Deletes the marker's bookmark and hides the marker (it stays in the
    // map until the next load).
    void remove(KvoSignetWidget* marker);
    void updatePositions();
    // Shows (false) or hides the markers; a deleted one stays hidden.
    void setMarkersHidden(bool hidden);

    const QMap<int, KvoSignetWidget*>& markers() const { return m_markers; }

private:
    void deleteMarkers();

    QMap<int, KvoSignetWidget*> m_markers;
    uint m_videoId = 0;
};
