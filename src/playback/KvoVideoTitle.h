#pragma once

#include <QDialog>

#include <memory>

class QCloseEvent;
class QKeyEvent;
class QTimer;
class Ui_KvoVideoTitle;

// The title of the playing video, shown over the bottom of the picture:
// held at full opacity for 2000 ms, then faded out in steps of 0.1 every
// 50 ms. It never takes the focus and cannot be closed by the user; its
// owner deletes it.
class KvoVideoTitle : public QDialog
{
    Q_OBJECT

public:
    // The parent is the video player; a title too long for its width is
    // shortened with an ellipsis.
    explicit KvoVideoTitle(QWidget* parent = nullptr);
    ~KvoVideoTitle() override;

    // Shows the text as it is (never read as markup), sizes the overlay to
    // it and makes it visible, without starting the hold and the fade.
    void setText(const QString& text);
    // The text last given to setText, before any shortening.
    QString text() const;

    // Visible at full opacity, held for 2000 ms, then faded out. Again
    // during the fade: back to full opacity with a new hold.
    void show();
    // Between show() and the end of the fade.
    bool isActive() const;

public slots:
    void display();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private slots:
    void onTimeout();

private:
    static constexpr int HoldMs = 2000;
    static constexpr int FadeStepMs = 50;

    std::unique_ptr<Ui_KvoVideoTitle> m_ui;
    QTimer* m_fadeTimer = nullptr;
    double m_opacity = 1.0;
    QString m_text;
};
