#pragma once

class QWidget;

// The parent for a standard dialog (a file dialog) opened from a page. A
// dialog takes the style sheets of all its ancestors, and the pages' sheets
// ("background:transparent", light text on dark) make a system dialog
// unreadable. The window of the page serves when neither it nor anything
// above it has a style sheet; otherwise none (the dialog is then
// application-modal on its own).
class KvoDialogParent
{
public:
    static QWidget* styleNeutral(QWidget* from);
};
