#pragma once

#include <QMessageBox>

// A standard message box filled from a message type. The start-up shows it,
// before any window of the client exists, when another instance runs.
class KvoMessageBox : public QMessageBox
{
    Q_OBJECT

public:
    enum Type {
        // Another instance of the client already runs.
        AlreadyRunning = 0,
        // The database was damaged and replaced by a fresh one; the detail
        // is where the damaged file went.
        DatabaseReplaced,
        // The database cannot be opened at all; the detail is its path.
        DatabaseUnavailable,
        // A write of the library failed (a full disk).
        LibraryNotSaved
    };

    // Any type other than those above gives a box without icon, title or
    // texts. The box is at least 500 pixels wide.
    explicit KvoMessageBox(int type, const QString& detail = QString(), QWidget* parent = nullptr);

    // The box's texts as plain lines, for a console when no box can be shown.
    QString plainText() const;
};
