#pragma once

#include <QString>

class KvoPurchase;

// Decides when a course folder of the user's video folder goes. A folder
// goes only when it is empty, lies directly in the user's video folder and
// no transfer (a download, a copy of the first-run import) holds it. A
// transfer holds its course folder from the moment it makes or finds it
// until its file is in place or removed, so that removing the last video
// of a course never takes the folder from under a download of the same
// course that has not opened its file yet. A folder is known by its
// resolved path, so every spelling of it and every link to it or to the
// video folder is the same folder. Any thread.
class KvoCourseFolders
{
public:
    // One transfer's hold on one folder, as makeAndHold() gives it; its
    // release names it. A default one holds nothing.
    class Hold
    {
    public:
        Hold() = default;
        bool isHeld() const { return m_number != 0; }

    private:
        friend class KvoCourseFolders;
        // The folder as it was when held, links resolved.
        QString m_folder;
        quint64 m_number = 0;
    };

    // A transfer writes into folder: makes it when it is missing (and the
    // video folder with it) and holds it, in one step that no removal can
    // come between. A hold that holds nothing when no folder can be made
    // there.
    static Hold makeAndHold(const QString& folder);
    // That transfer ended: lets go exactly its hold, whatever the links on
    // the way to the folder have become since, and never another transfer's
    // hold on the same written path. Once the last holder lets the folder
    // go, it goes by the rule above when a transfer made it or when a
    // removal was refused while it was held. A hold let go already, or one
    // that held nothing, changes nothing.
    static void release(const Hold& hold, const QString& videoFolder);
    // Once the file at filePath is gone (the user removed the video): its
    // folder goes by the rule above when it carries the name the client
    // gives that course. A folder the user named stays, even when reached
    // through a link named for the course. A held folder goes when its last
    // holder lets it go.
    static bool removeEmptyCourseFolder(const QString& filePath, const KvoPurchase& purchase,
                                        const QString& videoFolder);
};
