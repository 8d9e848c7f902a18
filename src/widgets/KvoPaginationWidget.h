#pragma once

#include <QString>
#include <QWidget>

class QPushButton;

namespace Ui {
class KvoPaginationWidget;
}

// The page bar under the long lists: first, previous, a window of seven
// page numbers, next and last. The owner gives the item count and the
// page size, calls refresh(), and shows the slice that changePage() names
// (indexes of the first and last item of the page, both included).
class KvoPaginationWidget : public QWidget
{
    Q_OBJECT

public:
    explicit KvoPaginationWidget(QWidget* parent = nullptr);
    ~KvoPaginationWidget() override;

    void setItemCount(int count);
    void setItemsPerPage(int n);

    int currentPage() const;
    int itemsPerPage() const;
    int itemCount() const { return m_itemCount; }
    int pageCount() const { return m_pageCount; }
    int firstShownPage() const { return m_firstShownPage; }

    void enable();
    void disable();

    void refresh(int page);
    void setCurrentPage(int page);

    int indexOfPageButton(QPushButton* button) const;
    QPushButton* pageButton(int index) const;
    QPushButton* highlightedButton() const { return m_highlighted; }

    // Number of pages for a list; a page size under 1 puts the whole list
    // on one page.
    static int pageCountFor(int itemCount, int itemsPerPage);

signals:
    void changePage(int first, int last);

public slots:
    void previousPage();
    void nextPage();
    void firstPage();
    void lastPage();

private slots:
    void onClickPageNumber();

private:
    bool pageExists(int page) const;
    void moveToPage(int page);
    void updateButtons();
    void setArrowUsable(QPushButton* button, const QString& styleSheet, bool usable);
    void makeNormal(QPushButton* button, int number);
    void makeBlank(QPushButton* button);
    void highlight(QPushButton* button);

    Ui::KvoPaginationWidget* m_ui;
    int m_itemCount = 0;
    int m_itemsPerPage = 0;
    int m_currentPage = 0;
    int m_pageCount = 0;
    int m_firstShownPage = 0;
    int m_buttonCount = 7;
    int m_buttonWidth = 30;
    QPushButton* m_buttons[7] = {};
    QPushButton* m_highlighted = nullptr;
    QString m_firstStyle;
    QString m_lastStyle;
    QString m_nextStyle;
    QString m_previousStyle;
};
