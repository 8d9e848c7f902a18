#include "KvoProgressWidget.h"
#include "KvoFont.h"
#include "ui_KvoProgressWidget.h"

#include <QFont>

namespace {

QString barStyle(const char* chunkColor)
{
    return QStringLiteral("QProgressBar\n{\n\tborder:0;\n\tbackground-color: #181a21;\n}\n\n"
                          "QProgressBar::chunk\n{\n\tbackground-color: %1;\n}")
        .arg(QLatin1String(chunkColor));
}

} // namespace

KvoProgressWidget::KvoProgressWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::KvoProgressWidget)
{
    ui->setupUi(this);
    ui->text->setFont(KvoFont::arial(11));
}

KvoProgressWidget::~KvoProgressWidget() = default;

void KvoProgressWidget::setProgress(int percent)
{
    percent = qMax(percent, 0);
    const char* color = percent < 100 ? "#cd457f" : "#97bf0d";
    ui->progressBar->setStyleSheet(barStyle(color));
    ui->text->setStyleSheet(QStringLiteral("color:%1; background-color:transparent;").arg(QLatin1String(color)));
    // The bar ends at 100: a larger value would be ignored and leave the
    // bar of an earlier value beside a green text.
    ui->progressBar->setValue(qMin(percent, 100));
    ui->text->setText(tr("lu à %0%").arg(percent));
}

int KvoProgressWidget::barValue() const
{
    return ui->progressBar->value();
}

QString KvoProgressWidget::text() const
{
    return ui->text->text();
}

bool KvoProgressWidget::isComplete() const
{
    return ui->text->styleSheet().contains(QLatin1String("#97bf0d"));
}
