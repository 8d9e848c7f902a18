#pragma once

#include <QDialog>

class KvoVideoImporterThread;
class QMovie;
class Ui_KvoVideoImporter;

// The folder search assistant: the user picks a folder, the search thread
// finds the stored videos in its tree, copies them into the video folder if
// asked and registers them in the library; the window counts them.
//
// Closing the window during a search (the window manager, Alt+F4) stops the
// search and waits for its thread, and the registrations found so far are
// applied before the window goes.
class KvoVideoImporter : public QDialog
{
    Q_OBJECT

public:
    explicit KvoVideoImporter(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~KvoVideoImporter() override;

    // The settings page's entry point: opens the assistant over parent as a
    // frameless tool window, modal, and returns when it has closed.
    static void run(QWidget* parent);

    KvoVideoImporterThread* searchThread() const { return thread; }
    unsigned int count() const { return importedCount; }
    bool isSearching() const { return searching; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private slots:
    void onClickCancel();
    void onThreadFinished();
    void onClickLaunch();
    void onClickParcourir();
    void onNewVideoImported();

private:
    void handleKey(QKeyEvent* event);
    void stopAndWait();

    Ui_KvoVideoImporter* ui;
    bool searching = false;
    QMovie* loaderMovie;
    unsigned int importedCount = 0;
    KvoVideoImporterThread* thread;
    bool m_translucent = false;
};
