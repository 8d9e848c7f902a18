#include "KvoFoldingRow.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QWidget>

KvoFoldingRow* KvoFoldingRow::install(QGridLayout* grid, QWidget* moving)
{
    auto* box = grid ? qobject_cast<QBoxLayout*>(grid->parent()) : nullptr;
    const int index = grid && moving ? grid->indexOf(moving) : -1;
    if (!box || index < 0)
        return nullptr;
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    // The nearest widget before it in its row.
    QWidget* under = nullptr;
    int underColumn = column;
    while (!under && --underColumn >= 0) {
        if (QLayoutItem* item = grid->itemAtPosition(row, underColumn))
            under = item->widget();
    }
    if (!under || grid->itemAtPosition(row + 1, underColumn))
        return nullptr;
    const int place = box->indexOf(grid);
    const int stretch = box->stretch(place);
    box->takeAt(place); // the grid has no parent now
    auto* folding = new KvoFoldingRow(grid, moving, under, row, column, underColumn);
    box->insertLayout(place, folding, stretch);
    return folding;
}

KvoFoldingRow::KvoFoldingRow(QGridLayout* grid, QWidget* moving, QWidget* under, int row, int column,
                             int underColumn)
    : m_grid(grid)
    , m_moving(moving)
    , m_under(under)
    , m_row(row)
    , m_column(column)
    , m_underColumn(underColumn)
{
    setObjectName(grid->objectName() + QStringLiteral("Folding"));
    setContentsMargins(0, 0, 0, 0);
    addChildLayout(grid);
}

KvoFoldingRow::~KvoFoldingRow()
{
    // The grid goes with its row, as a child layout goes with a box layout.
    QGridLayout* grid = m_grid;
    m_grid = nullptr;
    delete grid;
}

QSize KvoFoldingRow::itemSize(QWidget* widget, Measure measure) const
{
    if (!m_grid)
        return QSize(0, 0);
    QLayoutItem* item = m_grid->itemAt(m_grid->indexOf(widget));
    if (!item || item->isEmpty())
        return QSize(0, 0);
    return measure == Measure::Minimum ? item->minimumSize() : item->sizeHint();
}

QSize KvoFoldingRow::gridSize(Measure measure) const
{
    if (!m_grid)
        return QSize(0, 0);
    return measure == Measure::Minimum ? m_grid->minimumSize() : m_grid->sizeHint();
}

// Side by side the two widgets take a column each, with the grid's
// spacing between them; folded, one column as wide as the wider of them.
int KvoFoldingRow::wideWidth(Measure measure) const
{
    const int moving = itemSize(m_moving, measure).width();
    const int under = itemSize(m_under, measure).width();
    if (!m_folded || moving == 0)
        return gridSize(measure).width();
    return gridSize(measure).width() - qMax(moving, under) + under + qMax(0, m_grid->horizontalSpacing()) + moving;
}

int KvoFoldingRow::foldedWidth(Measure measure) const
{
    const int moving = itemSize(m_moving, measure).width();
    const int under = itemSize(m_under, measure).width();
    if (m_folded || moving == 0)
        return gridSize(measure).width();
    return gridSize(measure).width() - under - qMax(0, m_grid->horizontalSpacing()) - moving + qMax(moving, under);
}

// Folded, the row keeps the height of its other widgets and a line of the
// moving widget's height comes under it.
int KvoFoldingRow::height(bool folded, Measure measure) const
{
    const int moving = itemSize(m_moving, measure).height();
    if (folded == m_folded || moving == 0)
        return gridSize(measure).height();
    int others = 0;
    for (int i = 0; i < m_grid->count(); ++i) {
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        m_grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        QLayoutItem* item = m_grid->itemAt(i);
        // Spacers count, hidden widgets do not, as in the grid itself.
        const bool shown = !item->widget() || !item->isEmpty();
        if (row == m_row && rowSpan == 1 && item->widget() != m_moving && shown)
            others = qMax(others, measure == Measure::Minimum ? item->minimumSize().height()
                                                              : item->sizeHint().height());
    }
    const int line = qMax(0, m_grid->verticalSpacing()) + moving;
    if (folded)
        return gridSize(measure).height() - qMax(others, moving) + others + line;
    return gridSize(measure).height() - line - others + qMax(others, moving);
}

bool KvoFoldingRow::foldsAt(int width) const
{
    return width < wideWidth(Measure::Minimum);
}

QSize KvoFoldingRow::sizeHint() const
{
    return QSize(wideWidth(Measure::Hint), height(false, Measure::Hint));
}

QSize KvoFoldingRow::minimumSize() const
{
    return QSize(foldedWidth(Measure::Minimum), height(false, Measure::Minimum));
}

QSize KvoFoldingRow::maximumSize() const
{
    return m_grid ? m_grid->maximumSize() : QLayout::maximumSize();
}

Qt::Orientations KvoFoldingRow::expandingDirections() const
{
    return m_grid ? m_grid->expandingDirections() : Qt::Orientations();
}

bool KvoFoldingRow::hasHeightForWidth() const
{
    return true;
}

int KvoFoldingRow::heightForWidth(int width) const
{
    return height(foldsAt(width), Measure::Hint);
}

int KvoFoldingRow::minimumHeightForWidth(int width) const
{
    return height(foldsAt(width), Measure::Minimum);
}

void KvoFoldingRow::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    if (!m_grid)
        return;
    fold(foldsAt(rect.width()));
    m_grid->setGeometry(rect);
}

void KvoFoldingRow::fold(bool folded)
{
    if (folded == m_folded)
        return;
    const int index = m_grid->indexOf(m_moving);
    if (index < 0)
        return;
    const Qt::Alignment alignment = m_grid->itemAt(index)->alignment();
    delete m_grid->takeAt(index);
    if (folded)
        m_grid->addWidget(m_moving, m_row + 1, m_underColumn, alignment);
    else
        m_grid->addWidget(m_moving, m_row, m_column, alignment);
    m_folded = folded;
}

void KvoFoldingRow::addItem(QLayoutItem* item)
{
    // Holds its grid and nothing else.
    delete item;
}

QLayoutItem* KvoFoldingRow::itemAt(int index) const
{
    return index == 0 ? m_grid : nullptr;
}

QLayoutItem* KvoFoldingRow::takeAt(int index)
{
    if (index != 0 || !m_grid)
        return nullptr;
    QGridLayout* grid = m_grid;
    m_grid = nullptr;
    return grid;
}

int KvoFoldingRow::count() const
{
    return m_grid ? 1 : 0;
}
