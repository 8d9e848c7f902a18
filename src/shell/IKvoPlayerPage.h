#pragma once

#include <QString>

class KvoVideoSeeker;
class KvoVideoVolumeSlider;
class QLabel;
class QObject;
class QPushButton;
class QTime;
class QWidget;

// What the main window asks of the page "player" beyond IKvoPage, so that
// it never needs the page's class: the control bar it hands over, play and
// pause, the volume at the end of a session, the picture's overlays and
// the bookmark markers over the seek bar. The page's signals
// needToUpdateArianne(), needToReloadSignets(), onDoubleClick() and
// needToHideInfobulle() reach the window by name.
class IKvoPlayerPage
{
public:
    // The control bar of the window (not owned).
    struct Controls
    {
        QPushButton* play = nullptr;
        QPushButton* pause = nullptr;
        QPushButton* previous = nullptr;
        QPushButton* next = nullptr;
        QPushButton* mute = nullptr;
        QPushButton* link = nullptr;
        QPushButton* comment = nullptr;
        QPushButton* signet = nullptr;
        KvoVideoSeeker* seeker = nullptr;
        KvoVideoVolumeSlider* volume = nullptr;
        QLabel* duration = nullptr;
        QLabel* time = nullptr;
        // The seek bar's parent, where the bookmark markers sit.
        QWidget* markerParent = nullptr;
    };

    virtual ~IKvoPlayerPage() = default;

    // Takes the control bar over and loads the user's volume.
    virtual void setControls(const Controls& controls) = 0;
    virtual bool isPlaying() const = 0;
    // The current video has a file to play.
    virtual bool isPlayable() const = 0;
    // Plays or pauses (the play and pause buttons).
    virtual void onPlayClicked() = 0;
    // Places the picture's floating overlays again (the window moved).
    virtual void updateOverlays() = 0;

    // Loads the markers of the current video's bookmarks (hides them all
    // when the video cannot be played).
    virtual void reloadSignets() = 0;
    virtual void setMarkersHidden(bool hidden) = 0;
    virtual void updateMarkerPositions() = 0;
    // A new bookmark of the current video at a time (its milliseconds are
    // dropped); an empty name makes none.
    virtual void addSignet(const QString& name, const QTime& time) = 0;
    // The text of a marker, or "" when the object is none of them.
    virtual QString markerName(const QObject* object) const = 0;
    virtual int markerCount() const = 0;
};
