#pragma once

#include <QList>
#include <QString>

// The last FAQ the web service sent, kept in the table faq so that the help
// page shows it at once and offline. Runs on the GUI thread's connection.
class KvoFaqCache
{
public:
    struct Entry
    {
        uint id = 0;
        QString question;
        QString answer;
    };

    // The most entries kept from one answer: more than anyone reads, and
    // the page stays light whatever the service sends.
    static constexpr int MaxEntries = 300;
    // The longest answer text kept, in characters; a longer entry is left
    // out.
    static constexpr int MaxAnswerLength = 8 * 1024;

    // The entries of an accepted answer ({"status":"OK","q":[…]}), in the
    // answer's order, without those whose answer is empty or too long, and
    // no more than MaxEntries (what is left out is logged). False (and no
    // entries) for an answer that is not accepted.
    static bool parseAnswer(const QString& body, QList<Entry>* entries);

    // Replaces the whole cache with the entries, in one transaction: on any
    // failure the former cache stays whole. Returns whether it was replaced.
    static bool replace(const QList<Entry>& entries);
    // The cached entries in the order they were stored, MaxEntries at most.
    static QList<Entry> entries();
};
