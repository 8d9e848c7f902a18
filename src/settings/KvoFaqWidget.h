#pragma once

#include <QWidget>

#include <memory>

class Ui_KvoFaqWidget;

// One entry of the FAQ: the question as a button that folds its answer open
// and shut. An entry starts folded.
class KvoFaqWidget : public QWidget
{
    Q_OBJECT

public:
    explicit KvoFaqWidget(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoFaqWidget() override;

    void setQuestion(const QString& text);
    // The answer as the service wrote it (it may hold simple HTML; links to
    // web pages open in the browser; pictures are not shown).
    void setAnswer(const QString& text);

    QString question() const;
    bool isOpen() const;

private slots:
    void onClickQuestion();

private:
    std::unique_ptr<Ui_KvoFaqWidget> ui;
};
