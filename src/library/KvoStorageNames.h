#pragma once

#include <QString>

class KvoPurchase;

// How the client names what it stores in the user's video folder: one
// folder per course, "<id> - <course title>", and in it one file per video,
// "<fileId> - <video title>.qoz". Downloads and both imports name by these
// rules, so that the videos of one course always meet in one folder.
class KvoStorageNames
{
public:
    // A title as it goes into a file or folder name: the characters
    // | < > ! ? : / \ * ' " and control characters removed.
    static QString cleanTitle(const QString& title);
    // "<id> - <title>" (or with the suffix), shortened so that the name, even
    // with ".part" appended, stays within the 255 bytes a file name may have.
    static QString nameComponent(uint id, const QString& cleanedTitle, const QString& suffix = QString());

    // The course folder's name; the course's own title when the record
    // holds one (a single-video copy), else its title.
    static QString courseFolderName(const KvoPurchase& purchase);
    static QString courseFolderName(uint purchaseId, const QString& courseTitle);
    static QString videoFileName(uint fileId, const QString& videoTitle);
};
