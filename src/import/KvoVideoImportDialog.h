#pragma once

#include "KvoFirstRunImport.h"

#include <QDialog>
#include <QPoint>

class QThread;
class QTimer;
class Ui_KvoVideoImportDialog;

// The first-run assistant that offers, once per user, to take over the
// earlier player's library: a frameless window that fades in, shows the
// video folder (with a choice of another), the disk space the import needs,
// a progress bar, "NON MERCI" and "LANCER L'IMPORTATION".
//
// The import runs on a worker thread (KvoFirstRunImport::runCopy) while the
// window keeps its own event loop: progress is read every 50 ms, "ANNULER"
// stops the copy after the current chunk (what was copied completely is
// registered, nothing of the earlier store is removed), and a close by the
// window manager during the copy counts as "ANNULER".
class KvoVideoImportDialog : public QDialog
{
    Q_OBJECT

public:
    using ImportPurchase = KvoFirstRunImport::ImportPurchase;

    explicit KvoVideoImportDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~KvoVideoImportDialog() override;

    // Whether the signed-in user's earlier library was already offered.
    static bool isAlreadyImported();
    // Marks the user as offered and reads the earlier store; true when a
    // course with an existing video file was found.
    bool hasSomethingToImport();
    // true: fades the window in (the needed size is computed at its end);
    // false: fades it out and closes it.
    void fadeIn(bool in);

    // The start-up's step between the sign-in and the main window: offers
    // the import when the user was never offered it and something is there,
    // and returns when the window has closed.
    static void offerImport();

    // State for tests and the benchmark.
    KvoFirstRunImport& importer() { return m_import; }
    bool isImportRunning() const { return importRunning; }
    quint64 divisor() const { return unitDivisor; }

signals:
    // The copy pass and the registration have ended (before the fade-out).
    void importFinished();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private slots:
    void onClickParcourir();
    void calcNeeded();
    void onClickYes();
    void onClickNo();
    void progressStep();
    void onTimerUpdate();
    void onCopyFinished();

private:
    void showOutcome();
    void handleKey(QKeyEvent* event);

    Ui_KvoVideoImportDialog* ui;
    QTimer* fadeTimer;
    bool fadingIn = false;
    bool dragging = false;
    QPoint dragOrigin;
    quint64 unitDivisor = 1;
    quint64 neededSize = 0;
    quint64 copiedSize = 0;
    bool importRunning = false;

    KvoFirstRunImport m_import;
    QThread* m_worker = nullptr;
    QTimer* m_progressTimer;
    qreal m_opacity = 0.0;
    bool m_translucent = false;
    bool m_done = false;         // the import ran; it never runs twice
    bool m_closePending = false; // close once the copy has stopped
};
