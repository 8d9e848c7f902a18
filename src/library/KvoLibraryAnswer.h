#pragma once

#include "KvoLibrary.h"

#include <QString>

// One 200 answer of the library poll, taken whole or refused whole. The
// service's list is authoritative, so anything it leaves out leaves the
// library: an answer that is not entirely readable must change nothing.
class KvoLibraryAnswer
{
public:
    KvoLibrary library;
    uint timestamp = 0; // the service's change time, sent back as "since"
    QString credits;    // null when the answer has none

    // False, with `error` saying why, unless the text is a JSON object whose
    // "status" (when present) is "OK" and whose "vorns", "authors" and
    // "softwares" are lists of objects with a positive "id" each, no id twice
    // in one list, every course holding its "files" as a list (or an object
    // keyed by id) of objects with a positive "id", no file id twice in the
    // answer. An empty "vorns" list is a library without courses.
    bool parse(const QString& body);
    QString error;
};
