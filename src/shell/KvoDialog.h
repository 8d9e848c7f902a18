#pragma once

#include <QDialog>
#include <QPointer>
#include <QSize>
#include <QString>

class KvoDimmedCover;
class QPushButton;
class QTimer;
class Ui_KvoDialog;

// The frameless dialog every small question or notice of the client is
// shown in: a dark rounded panel with a drop shadow, an exit button on the
// panel's top-left corner and a darkening of one chosen widget behind it
// (as a rule the main window) while it is open.
//
// The caller puts its content (usually a plain widget with one of the shared
// forms set up on it) into the panel with addWidget() and shows it with
// showDialog(). The dialog ends with one of three results: Yes (0), No (1)
// or Cancel (2); the exit button and any other way of closing give Cancel
// unless one of closeWithYes()/closeWithNo() ran before.
class KvoDialog : public QDialog
{
    Q_OBJECT

public:
    enum Result { Yes = 0, No = 1, Cancel = 2 };

    // Exit button types: 0 the visible cross, 1 an invisible button that
    // still closes the dialog, 2 an invisible button that does nothing.
    struct ExitButtonImages
    {
        QString normal;
        QString hover;
        QSize size;
    };
    static const ExitButtonImages ExitButtonPixmap[3];

    KvoDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoDialog() override;

    // The widget darkened while the dialog is shown; the dialog also centres
    // itself on it. Not owned; may be destroyed while the dialog is open.
    void setDimmedWidget(QWidget* widget);
    QWidget* dimmedWidget() const;

    // Appends a content widget to the panel.
    void addWidget(QWidget* widget);

    // Margins of the panel's content layout. Note the order of the
    // arguments: top, left, bottom, right.
    void setContentsMargins(int top, int left, int bottom, int right);

    // 0 to 2, see ExitButtonPixmap.
    void setExitButtonType(int type);
    int exitButtonType() const;

    // Darkens the dimmed widget (faded in over about 200 ms when animated)
    // and shows the dialog. Modal: returns when the dialog is closed.
    // Returns the stored result, which for a non-modal call is the one that
    // stood before the dialog was shown.
    int showDialog(bool animated, bool modal);

    // The result of the last close through closeWithYes/No/Cancel (Cancel
    // before any).
    int closeResult() const;

    QPushButton* exitButton() const;

signals:
    void closed();

public slots:
    void closeWithYes();
    void closeWithNo();
    void closeWithCancel();
    // Lightens the dimmed widget, closes the window (ending a modal run) and
    // emits closed(). The result is not changed.
    bool close();
    // Modal showing without animation.
    void show();

private slots:
    void onTimeout();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // A kept dialog's title follows a change of the interface language.
    void changeEvent(QEvent* event) override;

private:
    void darken(bool animated);
    void lighten();
    void centre();

    Ui_KvoDialog* ui;
    QPushButton* m_exitButton = nullptr;
    int m_result = Cancel;
    double m_dimStrength = 0.0;
    double m_dimStep = 0.05;
    QTimer* m_fadeTimer = nullptr;
    QPointer<QWidget> m_dimmedWidget;

    int m_exitButtonType = 0;
    // The darkened picture over the dimmed widget this dialog holds a share
    // of while it is open (see KvoDimmedCover); it may go with the widget.
    QPointer<KvoDimmedCover> m_cover;
    bool m_open = false;
    bool m_closing = false;
    bool m_translucent = true;
};
