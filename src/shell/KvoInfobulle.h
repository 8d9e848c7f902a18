#pragma once

#include <QDialog>
#include <QFont>
#include <QRect>
#include <QString>

class QImage;

// The tooltip bubble of the player's control bar: a dark rounded body with
// a small arrow below its left side, showing an optional bold title and a
// text side by side. A text given as "<b>title</b>rest" shows "title" in
// bold before "rest".
class KvoInfobulle : public QDialog
{
    Q_OBJECT

public:
    // The bubble is created hidden; the text is taken as it is, without
    // splitting or measuring (setText() does both).
    explicit KvoInfobulle(const QString& text, QWidget* parent = nullptr);

    void setText(const QString& text);

    QString text() const;
    QString title() const;

    // Where the title and the text are drawn, for the bubble's current
    // size. The title's box is empty when there is no title.
    QRect titleRect() const;
    QRect textRect() const;

    // The arrow's top-left corner, below the body's bottom edge.
    QPoint arrowPosition() const;
    // The rounded body; the bottom 7 pixels are left for the arrow.
    QRect bodyRect() const;

    static QFont textFont();
    static QFont titleFont();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    static const QImage& arrow();
    void updateMask();

    QString m_text;
    QString m_title;
    bool m_translucent = true;
};
