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
    // The answer as the service wrote it: plain text shown unchanged, or
    // simple HTML (links to web pages open in the browser; pictures are not
    // shown). It is laid out when the entry opens.
    void setAnswer(const QString& text);

    // The question as shown.
    QString question() const;
    bool isOpen() const;

private slots:
    void onClickQuestion();

private:
    void layOutAnswer();

    std::unique_ptr<Ui_KvoFaqWidget> ui;
    // The answer's text, laid out when the entry first opens.
    QString m_answer;
    bool m_answerSet = false;
};
