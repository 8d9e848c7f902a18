#pragma once

#include "KvoPlayerOverlay.h"
#include "ui_KvoAddCommentDoneWidget.h"
#include "ui_KvoAddCommentWidget.h"

#include <QDialog>
#include <QPointer>

class KvoMarkWidget;
class QPushButton;

// The rating overlay over the player page: the user gives the course that
// plays one to five stars and a comment of at least 50 characters. Sending
// marks the course commented and leaves the rating in the queue of outgoing
// requests, which delivers it whenever the service can be reached; the
// overlay then thanks the user. A course already rated opens on the thanks.
class KvoAddCommentWidget : public QDialog, public KvoPlayerOverlay
{
    Q_OBJECT

public:
    // Fewest characters of a comment, white space around it not counted.
    static constexpr int MinimumLength = 50;

    KvoAddCommentWidget(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoAddCommentWidget() override;

    void setPurchaseId(uint id) override;
    uint purchaseId() const { return m_purchaseId; }
    void setAnchor(QWidget* anchor) override;
    void placeNearAnchor() override;
    virtual void setHidden(bool hidden);

    // KvoPlayerOverlay
    QWidget* overlayWidget() override { return this; }
    void setOverlayHidden(bool hidden) override { setHidden(hidden); }
    bool isOverlayVisible() const override { return isVisible(); }

    // The forms and the stars, for the page and for tests.
    Ui_KvoAddCommentWidget& ratingForm() { return m_form; }
    Ui_KvoAddCommentDoneWidget& thanksForm() { return m_doneForm; }
    KvoMarkWidget* markInput() const { return m_mark; }
    QWidget* ratingContainer() const { return m_ratingContainer; }
    QWidget* thanksContainer() const { return m_doneContainer; }
    QPushButton* exitButton() const { return m_exitButton; }

signals:
    void facebookClicked();
    void closeAddCommentClicked();

private slots:
    void onSubmit();
    void showForm();
    void showFormDone();
    void showCommentUI();
    void onMarkChanged(int mark);
    void onExit();
    void onClickFacebook();
    void onTextChanged();

protected:
    void focusOutEvent(QFocusEvent* event) override;
    // Escape asks the owner to close, as the exit button does.
    void reject() override;
    // Built with the player page, long before it opens: its texts follow a
    // change of the interface language.
    void changeEvent(QEvent* event) override;

private:
    void showContainer(QWidget* shown, QWidget* hidden, QWidget* panel);

    Ui_KvoAddCommentWidget m_form;
    Ui_KvoAddCommentDoneWidget m_doneForm;
    KvoMarkWidget* m_mark = nullptr;
    uint m_purchaseId = 0;
    QWidget* m_ratingContainer = nullptr;
    QWidget* m_doneContainer = nullptr;
    QPushButton* m_exitButton = nullptr;
    QPointer<QWidget> m_anchor;
};
