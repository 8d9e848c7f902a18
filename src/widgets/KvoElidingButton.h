#pragma once

#include <QPushButton>

class QPaintEvent;

// A push button whose text, where the button is narrower than it, is drawn
// cut at its end with "…", so its first letters stay readable. text() and
// the size hint keep the whole text.
class KvoElidingButton : public QPushButton
{
    Q_OBJECT

public:
    explicit KvoElidingButton(QWidget* parent = nullptr);
    ~KvoElidingButton() override;

    // The text as drawn at the button's present width ("&&" shown as one
    // "&").
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
