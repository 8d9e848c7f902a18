#pragma once

#include "KvoAuthor.h"
#include "KvoPurchase.h"
#include "KvoSoftware.h"

#include <QMap>

// The user's library as one value: the courses with their video files, and
// the softwares and authors they name, each keyed by the service's id.
struct KvoLibrary
{
    QMap<int, KvoPurchase> purchases;
    QMap<int, KvoSoftware> softwares;
    QMap<int, KvoAuthor> authors;
};
