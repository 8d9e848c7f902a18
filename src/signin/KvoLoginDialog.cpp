#include "KvoLoginDialog.h"
#include "ui_KvoLoginDialog.h"

#include "KvoSignIn.h"

#include <QLayout>
#include <QPropertyAnimation>

KvoLoginDialog::KvoLoginDialog(QWidget* parent)
    : QDialog(parent)
    , m_ui(new Ui::KvoLoginDialog)
    , m_signIn(new KvoSignIn(this))
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_ui->errorLabel->hide();

    connect(m_ui->submitButton, &QPushButton::clicked, this, &KvoLoginDialog::onSubmit);
    connect(m_signIn, &KvoSignIn::signedIn, this, &KvoLoginDialog::onSignedIn);
    connect(m_signIn, &KvoSignIn::failed, this, &KvoLoginDialog::onFailed);

    if (KvoSignIn::isRemembered()) {
        m_ui->loginEdit->setText(KvoSignIn::rememberedLogin());
        m_ui->passwordEdit->setText(KvoSignIn::rememberedPassword());
        m_ui->rememberCheck->setChecked(true);
    }
    if (m_ui->loginEdit->text().isEmpty())
        m_ui->loginEdit->setFocus();
    else if (m_ui->passwordEdit->text().isEmpty())
        m_ui->passwordEdit->setFocus();
    else
        m_ui->submitButton->setFocus();
    fitHeight();
}

KvoLoginDialog::~KvoLoginDialog()
{
    delete m_ui;
}

QString KvoLoginDialog::signedInLogin() const
{
    return m_signIn->signedInLogin();
}

void KvoLoginDialog::fadeIn()
{
    if (m_fade)
        m_fade->stop();
    setWindowOpacity(0.0);
    show();
    m_fade = new QPropertyAnimation(this, "windowOpacity", this);
    m_fade->setDuration(250);
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
    m_fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void KvoLoginDialog::reject()
{
    // Closing the window while the service is being asked abandons the
    // attempt: no session starts behind the user's back.
    m_signIn->abort();
    setBusy(false);
    QDialog::reject();
}

void KvoLoginDialog::onSubmit()
{
    if (m_signIn->isRunning())
        return;
    showError(QString());
    setBusy(true);
    // The answer may come at once (an empty field): after setBusy, so that
    // onFailed's setBusy(false) wins.
    m_signIn->signIn(m_ui->loginEdit->text(), m_ui->passwordEdit->text(), m_ui->rememberCheck->isChecked());
}

void KvoLoginDialog::onSignedIn(bool online)
{
    m_online = online;
    setBusy(false);
    accept();
}

void KvoLoginDialog::onFailed(const QString& message)
{
    setBusy(false);
    showError(message);
    if (m_ui->loginEdit->text().trimmed().isEmpty()) {
        m_ui->loginEdit->setFocus();
    } else {
        m_ui->passwordEdit->setFocus();
        m_ui->passwordEdit->selectAll();
    }
}

void KvoLoginDialog::setBusy(bool busy)
{
    m_ui->loginEdit->setEnabled(!busy);
    m_ui->passwordEdit->setEnabled(!busy);
    m_ui->rememberCheck->setEnabled(!busy);
    m_ui->submitButton->setEnabled(!busy);
    m_ui->submitButton->setText(busy ? tr("Connexion en cours…") : tr("Se connecter"));
}

void KvoLoginDialog::showError(const QString& message)
{
    m_ui->errorLabel->setText(message);
    m_ui->errorLabel->setVisible(!message.isEmpty());
    fitHeight();
}

void KvoLoginDialog::fitHeight()
{
    // Not adjustSize(): it measures the wrapped texts at the layout's
    // narrower preferred width, so the window came out taller than its
    // content and the spare height, spread over the rows, moved the fields
    // whenever the error line came or went.
    layout()->activate();
    const int height = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width())
                                                      : layout()->totalSizeHint().height();
    resize(width(), height);
}
