#pragma once

#include <QString>

#include <functional>

class KvoDialog;
class QWidget;

// How the settings, support and help pages run their modal questions and
// notices, and ask for a folder: by default the real dialogs; tests put a
// function in place that answers at once (and may look at the dialog).
class KvoModalRunner
{
public:
    using DialogHook = std::function<int(KvoDialog* dialog)>;
    using FolderHook = std::function<QString(QWidget* parent, const QString& caption, const QString& start)>;

    // Shows the dialog without animation, modal, and returns its result
    // (KvoDialog::Yes, No or Cancel).
    static int run(KvoDialog* dialog);
    // An existing folder chosen by the user; empty when cancelled.
    static QString chooseFolder(QWidget* parent, const QString& caption, const QString& start);

    // An empty function puts the real dialog back.
    static void setDialogHook(const DialogHook& hook);
    static void setFolderHook(const FolderHook& hook);
};
