#pragma once

#include <QObject>

class QBoxLayout;
class QWidget;

// Keeps the entries of the window's left menu whole at every height of the
// window. The menu asks for no height of its own: it takes what the window
// gives it, so it never decides how small the window can be made (a page
// whose text wraps would otherwise make the size grip ask for the whole
// menu's height). Where the menu is shorter than its entries with the
// designed gaps between them, the gaps close first, down to none.
class KvoMenuFitter : public QObject
{
public:
    // The layout's spacing now is the designed gap.
    KvoMenuFitter(QWidget* menu, QBoxLayout* layout);

    // Sets the gaps for the menu's height and its visible entries; called
    // by itself when the menu is resized, and by the window when it shows
    // or hides entries.
    void fit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_menu;
    QBoxLayout* m_layout;
    int m_spacing;
};
