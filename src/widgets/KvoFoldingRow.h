#pragma once

#include <QLayout>

class QGridLayout;

// A row of a grid that folds where it is narrow: one widget of the row goes
// under the widget before it, into the grid's next row, while the row
// cannot give both their widths side by side, and comes back as soon as
// they fit. The grid keeps its widgets (only that one changes cells) and
// its place in its parent layout, inside this layout. The parents learn the
// height each width needs (height for width), so a scrolling area gives
// its content the right height at once, and the smallest width asked of
// them is the folded one.
//
// Made for a row of one line: the moving widget and the one it goes under
// each stand alone in their column, and the row under them is empty.
class KvoFoldingRow : public QLayout
{
public:
    // Puts a folding row in the grid's place in its parent box layout and
    // the grid into it; `moving` is a widget of the grid with a widget
    // before it in its row. Null when the grid or the widget is not so.
    static KvoFoldingRow* install(QGridLayout* grid, QWidget* moving);
    ~KvoFoldingRow() override;

    bool isFolded() const { return m_folded; }

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    QSize maximumSize() const override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    int minimumHeightForWidth(int width) const override;
    void setGeometry(const QRect& rect) override;

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;

private:
    enum class Measure { Minimum, Hint };

    KvoFoldingRow(QGridLayout* grid, QWidget* moving, QWidget* under, int row, int column, int underColumn);

    QSize itemSize(QWidget* widget, Measure measure) const;
    QSize gridSize(Measure measure) const;
    // The width of the row side by side, and its height folded and not.
    int wideWidth(Measure measure) const;
    int foldedWidth(Measure measure) const;
    int height(bool folded, Measure measure) const;
    bool foldsAt(int width) const;
    void fold(bool folded);

    QGridLayout* m_grid;
    QWidget* m_moving;
    QWidget* m_under;
    int m_row;
    int m_column;
    int m_underColumn;
    bool m_folded = false;
};
