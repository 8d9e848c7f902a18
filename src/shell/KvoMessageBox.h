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
        AlreadyRunning = 0
    };

    // Any type other than those above gives a box without icon, title or
    // texts. The box is at least 500 pixels wide.
    explicit KvoMessageBox(int type);
};
