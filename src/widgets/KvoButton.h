#pragma once

#include <QIcon>
#include <QPushButton>

class QEnterEvent;
class QEvent;

// A push button with two icons: the normal one, and the hover one while the
// pointer is over the button.
class KvoButton : public QPushButton
{
    Q_OBJECT

public:
    explicit KvoButton(QWidget* parent = nullptr);
    ~KvoButton() override;

    // Shows the normal icon now, whether or not the pointer is over the
    // button; the hover icon comes with the next entry.
    void setIcons(const QIcon& normal, const QIcon& hover);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QIcon m_normalIcon;
    QIcon m_hoverIcon;
};
