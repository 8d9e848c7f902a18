#include "KvoPaginationWidget.h"

#include "KvoFont.h"
#include "ui_KvoPaginationWidget.h"

#include <QFont>
#include <QHBoxLayout>
#include <QPushButton>

namespace {
constexpr int kNumbersPadding = 18;
const char kNormalStyle[] = "color: #7b7b7c;";
const char kHighlightedStyle[] = "color: #009ee0;";
}

KvoPaginationWidget::KvoPaginationWidget(QWidget* parent)
    : QWidget(parent)
    , m_ui(new Ui::KvoPaginationWidget)
{
    m_ui->setupUi(this);

    m_ui->numbers->setFixedWidth(m_buttonWidth * m_buttonCount + kNumbersPadding);

    const QFont font = KvoFont::arial(12);
    for (int i = 0; i < m_buttonCount; ++i) {
        auto* button = new QPushButton(m_ui->numbers);
        button->setFont(font);
        button->setText(QString::number(i + 1));
        button->setFocusPolicy(Qt::NoFocus);
        button->setCursor(Qt::PointingHandCursor);
        button->setFixedWidth(m_buttonWidth);
        m_ui->horizontalLayout->addWidget(button);
        connect(button, &QPushButton::clicked, this, &KvoPaginationWidget::onClickPageNumber);
        m_buttons[i] = button;
    }
    highlight(m_buttons[0]);

    m_nextStyle = m_ui->next->styleSheet();
    m_lastStyle = m_ui->last->styleSheet();
    m_previousStyle = m_ui->previous->styleSheet();
    m_firstStyle = m_ui->first->styleSheet();
    connect(m_ui->first, &QPushButton::clicked, this, &KvoPaginationWidget::firstPage);
    connect(m_ui->last, &QPushButton::clicked, this, &KvoPaginationWidget::lastPage);
    connect(m_ui->previous, &QPushButton::clicked, this, &KvoPaginationWidget::previousPage);
    connect(m_ui->next, &QPushButton::clicked, this, &KvoPaginationWidget::nextPage);

    hide();
}

KvoPaginationWidget::~KvoPaginationWidget()
{
    delete m_ui;
}

void KvoPaginationWidget::setItemCount(int count)
{
    m_itemCount = qMax(0, count);
}

void KvoPaginationWidget::setItemsPerPage(int n)
{
    m_itemsPerPage = qMax(0, n);
}

int KvoPaginationWidget::currentPage() const
{
    return m_currentPage;
}

int KvoPaginationWidget::itemsPerPage() const
{
    return m_itemsPerPage;
}

void KvoPaginationWidget::enable()
{
    setEnabled(true);
}

void KvoPaginationWidget::disable()
{
    setEnabled(false);
}

int KvoPaginationWidget::pageCountFor(int itemCount, int itemsPerPage)
{
    if (itemCount <= 0)
        return 0;
    if (itemsPerPage <= 0)
        return 1;
    return itemCount / itemsPerPage + (itemCount % itemsPerPage > 0 ? 1 : 0);
}

void KvoPaginationWidget::refresh(int page)
{
    m_pageCount = pageCountFor(m_itemCount, m_itemsPerPage);

    const int shown = qMin(m_pageCount, m_buttonCount);
    m_ui->numbers->setFixedWidth(m_buttonWidth * shown + kNumbersPadding);
    for (int i = 0; i < m_buttonCount; ++i)
        m_buttons[i]->setVisible(i < shown);

    const int target = page < m_pageCount ? page : m_pageCount - 1;

    if (m_pageCount < 2) {
        hide();
    } else {
        const bool ends = m_pageCount > 2;
        m_ui->first->setVisible(ends);
        m_ui->last->setVisible(ends);
        show();
    }

    if (pageExists(target))
        moveToPage(target);
}

void KvoPaginationWidget::setCurrentPage(int page)
{
    if (pageExists(page))
        moveToPage(page);
}

void KvoPaginationWidget::firstPage()
{
    setCurrentPage(0);
}

void KvoPaginationWidget::previousPage()
{
    setCurrentPage(m_currentPage - 1);
}

void KvoPaginationWidget::nextPage()
{
    setCurrentPage(m_currentPage + 1);
}

void KvoPaginationWidget::lastPage()
{
    setCurrentPage(m_pageCount - 1);
}

void KvoPaginationWidget::onClickPageNumber()
{
    const int index = indexOfPageButton(qobject_cast<QPushButton*>(sender()));
    if (index < 0 || index >= m_buttonCount)
        return;
    setCurrentPage(m_firstShownPage + index);
}

int KvoPaginationWidget::indexOfPageButton(QPushButton* button) const
{
    if (!button)
        return -1;
    for (int i = 0; i < m_buttonCount; ++i) {
        if (m_buttons[i] == button)
            return i;
    }
    return m_buttonCount;
}

QPushButton* KvoPaginationWidget::pageButton(int index) const
{
    return index >= 0 && index < m_buttonCount ? m_buttons[index] : nullptr;
}

bool KvoPaginationWidget::pageExists(int page) const
{
    return page >= 0 && page < m_pageCount;
}

void KvoPaginationWidget::moveToPage(int page)
{
    m_currentPage = page;
    updateButtons();

    // A page size under 1 stands for the whole list on one page.
    const qint64 size = m_itemsPerPage > 0 ? m_itemsPerPage : m_itemCount;
    const qint64 first = qint64(m_currentPage) * size;
    const qint64 last = qMin<qint64>(qint64(m_currentPage + 1) * size, m_itemCount) - 1;
    emit changePage(int(first), int(last));
}

void KvoPaginationWidget::updateButtons()
{
    const int half = m_buttonCount / 2;
    int chosen = 0;
    if (m_currentPage >= half && m_pageCount > m_buttonCount) {
        m_firstShownPage = m_currentPage - half;
        chosen = half;
    } else {
        m_firstShownPage = 0;
        chosen = m_currentPage;
    }

    for (int i = 0; i < m_buttonCount; ++i) {
        if (m_firstShownPage + i < m_pageCount)
            makeNormal(m_buttons[i], m_firstShownPage + 1 + i);
        else
            makeBlank(m_buttons[i]);
    }

    const bool backwards = m_currentPage != 0;
    setArrowUsable(m_ui->previous, m_previousStyle, backwards);
    setArrowUsable(m_ui->first, m_firstStyle, backwards);
    const bool forwards = m_currentPage + 1 < m_pageCount;
    setArrowUsable(m_ui->next, m_nextStyle, forwards);
    setArrowUsable(m_ui->last, m_lastStyle, forwards);

    highlight(m_buttons[chosen]);
}

void KvoPaginationWidget::setArrowUsable(QPushButton* button, const QString& styleSheet,
                                         bool usable)
{
    button->setStyleSheet(usable ? styleSheet : QString());
    button->blockSignals(!usable);
    button->setCursor(usable ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void KvoPaginationWidget::makeNormal(QPushButton* button, int number)
{
    button->setText(QString::number(number));
    button->setStyleSheet(QLatin1String(kNormalStyle));
    button->blockSignals(false);
    button->setCursor(Qt::PointingHandCursor);
    if (m_highlighted == button)
        m_highlighted = nullptr;
}

void KvoPaginationWidget::makeBlank(QPushButton* button)
{
    button->setText(QString());
    button->blockSignals(true);
    button->setCursor(Qt::ArrowCursor);
}

void KvoPaginationWidget::highlight(QPushButton* button)
{
    // A previously highlighted button still recorded here shows no page
    // any more (one that does was made normal) and keeps its blank look.
    m_highlighted = nullptr;
    if (!button)
        return;
    button->setStyleSheet(QLatin1String(kHighlightedStyle));
    button->blockSignals(true);
    button->setCursor(Qt::ArrowCursor);
    m_highlighted = button;
}
