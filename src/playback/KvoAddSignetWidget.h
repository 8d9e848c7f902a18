#pragma once

#include "KvoPlayerOverlay.h"
#include "ui_KvoAddSignetWidget.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QPushButton;

// The bookmark overlay over the player page: a title and a time, which
// opens on the playing position and cannot go beyond the video's length.
// OK hands both to the main window, which stores the bookmark and puts its
// marker on the seek bar.
class KvoAddSignetWidget : public QDialog, public KvoPlayerOverlay
{
    Q_OBJECT

public:
    KvoAddSignetWidget(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoAddSignetWidget() override;

    void setAnchor(QWidget* anchor) override;
    void placeNearAnchor() override;
    // The editor's latest time: 00:00:00 plus ms (a time of day stands for
    // the offset into the video, so 24 hours and more cannot be reached).
    void setDuration(qint64 ms) override;
    // The playing position: shown by the editor, kept for the next opening.
    void setCurrentTime(qint64 ms) override;
    virtual void setHidden(bool hidden);

    // KvoPlayerOverlay
    QWidget* overlayWidget() override { return this; }
    void setOverlayHidden(bool hidden) override { setHidden(hidden); }
    bool isOverlayVisible() const override { return isVisible(); }

    Ui_KvoAddSignetWidget& form() { return m_form; }
    QPushButton* exitButton() const { return m_exitButton; }
    qint64 position() const { return m_position; }

    // Where a confirmed bookmark goes; the main window's onClickSignet
    // unless a test puts another.
    using Receiver = std::function<void(const QString& title, const QTime& time)>;
    static void setReceiver(const Receiver& receiver);

signals:
    void closeAddSignetClicked();

private slots:
    void onExit();
    void onOK();

protected:
    void focusOutEvent(QFocusEvent* event) override;
    // Escape asks the owner to close, as the exit button does.
    void reject() override;
    // Built with the player page, long before it opens: its texts follow a
    // change of the interface language.
    void changeEvent(QEvent* event) override;

private:
    static QTime offset(qint64 ms);

    Ui_KvoAddSignetWidget m_form;
    QPushButton* m_exitButton = nullptr;
    QPointer<QWidget> m_anchor;
    qint64 m_position = 0;
};
