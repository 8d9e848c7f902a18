#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class KvoProgressWidget;
}

// How much of a course the user has watched: a thin bar and the text
// "lu à N%", pink below 100 % and green from 100 % on.
class KvoProgressWidget : public QWidget
{
    Q_OBJECT

public:
    explicit KvoProgressWidget(QWidget* parent = nullptr);
    ~KvoProgressWidget() override;

    // A negative percentage counts as 0; the bar is full from 100 on, while
    // the text names the value given.
    void setProgress(int percent);

    int barValue() const;
    QString text() const;
    // Whether the row shows the course as watched in full (green).
    bool isComplete() const;

private:
    std::unique_ptr<Ui::KvoProgressWidget> ui;
};
