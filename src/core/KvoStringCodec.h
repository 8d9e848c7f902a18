#pragma once

#include <QString>

// The stored form of values the database keeps out of plain sight (the
// user id, remembered and proxy passwords). Deterministic and one-to-one,
// made of letters and digits only, two characters per character of the
// text for every character below U+0E88 and four beyond (the stored form
// must hold any password a user may type).
class KvoStringCodec
{
public:
    static QString encode(const QString& text);
    // The inverse of encode(); a text that no encode() produced gives an
    // empty string.
    static QString decode(const QString& stored);
};
