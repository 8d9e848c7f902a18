#pragma once

#include "KvoDialog.h"
#include "ui_KvoPreviewPlayer.h"

#include <QTimer>

class KvoLoadingFrame;
class KvoVideoPlayer;
class KvoVideoSeeker;
class QLabel;

// The dialog in which the catalogue plays the preview extract of a course:
// the picture streamed from the service above play, pause, the elapsed
// time, a seek bar and the length, with the busy overlay while the extract
// loads or buffers. One dialog serves every preview of its page; closing it
// stops the extract.
//
// An extract that cannot be played (not found, refused, not a video, or no
// progress at all for stallTimeout()) does not leave the busy overlay
// turning: the dialog says so and can be closed.
class KvoPreviewPlayer : public KvoDialog
{
    Q_OBJECT

public:
    explicit KvoPreviewPlayer(QWidget* parent = nullptr);
    ~KvoPreviewPlayer() override;

    // Loads and plays the extract at location and shows the dialog modally;
    // returns the dialog's result when it is closed (2 through the exit
    // button). The dialog keeps its size whatever width and height say.
    int open(const QString& location, int width = -1, int height = -1);

    // How long an extract may go without a new picture or a new time
    // before it counts as unplayable (ms; 15000 unless changed).
    static int stallTimeout();
    static void setStallTimeout(int ms);

    // For the catalogue and tests.
    KvoVideoPlayer* videoPlayer() const { return m_player; }
    KvoVideoSeeker* seekBar() const { return m_seeker; }
    KvoLoadingFrame* loadingFrame() const { return m_loading; }
    Ui_KvoPreviewPlayer& form() { return m_form; }
    // Shown when the extract cannot be played ("" otherwise).
    QString failureText() const;
    bool hasFailed() const { return m_failed; }

public slots:
    void pause();
    void play();

private slots:
    void seek(int seconds);
    void onDialogClosed();
    void buffering(bool on);
    void tick(qint64 time, qint64 length);
    void finished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void load(const QString& location);
    void onFailure();
    void onProgress();
    void layOutPicture();

    Ui_KvoPreviewPlayer m_form;
    QWidget* m_content = nullptr;
    KvoLoadingFrame* m_loading = nullptr;
    KvoVideoPlayer* m_player = nullptr;
    KvoVideoSeeker* m_seeker = nullptr;
    QLabel* m_message = nullptr;
    // Runs while the extract should be playing; each new picture or time
    // starts it again.
    QTimer m_watchdog;
    qint64 m_lastTime = -1;
    bool m_failed = false;
};
