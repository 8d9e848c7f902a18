#include "KvoFaqWidget.h"

#include "KvoButtonText.h"
#include "ui_KvoFaqWidget.h"

#include <QDesktopServices>
#include <QIcon>
#include <QTextDocument>
#include <QUrl>

KvoFaqWidget::KvoFaqWidget(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
    , ui(std::make_unique<Ui_KvoFaqWidget>())
{
    ui->setupUi(this);
    // Links in the page's accent colour: the document's own blue is hardly
    // readable on the dark page.
    ui->answer->document()->setDefaultStyleSheet(QStringLiteral("a { color: #009ee0; }"));
    connect(ui->answer, &QTextBrowser::anchorClicked, this, [](const QUrl& url) {
        // Only pages of the web: an answer cannot make the client open a
        // local file or start a program.
        if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
            QDesktopServices::openUrl(url);
    });
    onClickQuestion();
    connect(ui->question, &QPushButton::clicked, this, &KvoFaqWidget::onClickQuestion);
}

KvoFaqWidget::~KvoFaqWidget() = default;

void KvoFaqWidget::setQuestion(const QString& text)
{
    ui->question->setText(QStringLiteral(" ") + KvoButtonText::fromService(text));
}

void KvoFaqWidget::setAnswer(const QString& text)
{
    m_answer = text;
    m_answerSet = false;
    if (isOpen())
        layOutAnswer();
}

QString KvoFaqWidget::question() const
{
    return KvoButtonText::shown(ui->question->text());
}

bool KvoFaqWidget::isOpen() const
{
    return !ui->answer->isHidden();
}

void KvoFaqWidget::layOutAnswer()
{
    if (m_answerSet)
        return;
    m_answerSet = true;
    // Read as a label reads text of either kind: markup is laid out, with
    // no picture or other resource it names loaded (see KvoRichTextView);
    // anything else is shown as written, its line breaks and "<" kept.
    if (Qt::mightBeRichText(m_answer))
        ui->answer->setHtml(m_answer);
    else
        ui->answer->setPlainText(m_answer);
}

void KvoFaqWidget::onClickQuestion()
{
    if (ui->answer->isHidden())
        layOutAnswer();
    ui->answer->setVisible(ui->answer->isHidden());
    adjustSize();
    ui->question->setIcon(QIcon(ui->answer->isHidden() ? QStringLiteral(":/KvoMainWindow/Resources/arrow_grey_right.png")
                                                       : QStringLiteral(":/KvoMainWindow/Resources/arrow_grey_down.png")));
}
