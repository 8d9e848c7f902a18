#include "KvoAddCommentWidget.h"

#include "KvoApi.h"
#include "KvoAsynchronousSender.h"
#include "KvoDoubleClickGuard.h"
#include "KvoMarkWidget.h"
#include "KvoOverlayWindow.h"
#include "KvoPurchase.h"
#include "KvoPurchaseVideoManager.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLayout>
#include <QPushButton>

KvoAddCommentWidget::KvoAddCommentWidget(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    KvoOverlayWindow::setUpTranslucency(this);

    m_ratingContainer = new QWidget(this);
    m_ratingContainer->hide();
    m_form.setupUi(m_ratingContainer);

    m_mark = new KvoMarkWidget(nullptr, 5, 0);
    m_form.markLayout->insertWidget(0, m_mark);

    m_doneContainer = new QWidget(this);
    m_doneContainer->hide();
    m_doneForm.setupUi(m_doneContainer);

    clearFocus();
    hide();

    connect(m_mark, &KvoMarkWidget::markChanged, this, &KvoAddCommentWidget::onMarkChanged);
    connect(m_form.submit, &QPushButton::clicked, this, &KvoAddCommentWidget::onSubmit);
    connect(m_doneForm.buttonFacebook, &QPushButton::clicked, this, &KvoAddCommentWidget::onClickFacebook);
    KvoDoubleClickGuard::actOnce(m_doneForm.buttonFacebook);
    connect(m_form.commentArea, &QTextEdit::textChanged, this, &KvoAddCommentWidget::onTextChanged);

    m_exitButton = KvoOverlayWindow::createExitButton(this);
    m_exitButton->hide();
    m_exitButton->move(width() - 36, 12);
    connect(m_exitButton, &QPushButton::clicked, this, &KvoAddCommentWidget::onExit);
}

KvoAddCommentWidget::~KvoAddCommentWidget() = default;

void KvoAddCommentWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        m_form.retranslateUi(m_ratingContainer);
        m_doneForm.retranslateUi(m_doneContainer);
        // The line under the field counts what is typed: the code's text.
        onTextChanged();
    }
    QDialog::changeEvent(event);
}

void KvoAddCommentWidget::setPurchaseId(uint id)
{
    m_purchaseId = id;
}

void KvoAddCommentWidget::setAnchor(QWidget* anchor)
{
    m_anchor = anchor;
}

void KvoAddCommentWidget::placeNearAnchor()
{
    KvoOverlayWindow::placeNear(this, m_anchor);
}

void KvoAddCommentWidget::setHidden(bool hidden)
{
    if (!hidden) {
        showForm();
        KvoOverlayWindow::present(this, m_anchor);
        m_form.commentArea->setFocus(Qt::OtherFocusReason);
        return;
    }
    KvoOverlayWindow::dismiss(this, m_anchor);
}

void KvoAddCommentWidget::showForm()
{
    const QMap<int, KvoPurchase> purchases = KvoPurchaseVideoManager::instance()->purchases();
    // Every opening starts from five stars.
    m_mark->changeClickedMark(5);
    if (purchases.value(int(m_purchaseId)).commented)
        showFormDone();
    else
        showCommentUI();
}

void KvoAddCommentWidget::showCommentUI()
{
    m_doneContainer->hide();
    m_form.commentArea->clear();
    showContainer(m_ratingContainer, m_doneContainer, m_form.content);
}

void KvoAddCommentWidget::showFormDone()
{
    showContainer(m_doneContainer, m_ratingContainer, m_doneForm.content);
}

void KvoAddCommentWidget::showContainer(QWidget* shown, QWidget* hidden, QWidget* panel)
{
    hidden->hide();
    shown->show();
    m_exitButton->setParent(shown);
    m_exitButton->show();
    m_exitButton->raise();
    m_exitButton->repaint();
    // The size the form gives its container; laid out now, so that the
    // panel's place is known for the window's shape.
    shown->move(0, 0);
    if (QLayout* layout = shown->layout())
        layout->activate();
    resize(shown->size());
    m_exitButton->move(width() - 36, 12);
    KvoOverlayWindow::fitMask(this, panel, m_exitButton);
    placeNearAnchor();
}

void KvoAddCommentWidget::onMarkChanged(int mark)
{
    m_form.markLabel->setText(QString::number(mark) + QStringLiteral("/5"));
    onTextChanged();
}

void KvoAddCommentWidget::onTextChanged()
{
    // In UTF-16 units, as the service counts them.
    const int length = int(m_form.commentArea->toPlainText().trimmed().size());
    if (length >= MinimumLength) {
        const int mark = m_mark->clickedMark();
        if (mark >= 1 && mark <= 5) {
            m_form.submit->setEnabled(true);
            m_form.labelMinimum->clear();
        } else {
            m_form.labelMinimum->setText(tr("Veuillez notez ce vorn"));
        }
        return;
    }
    m_form.submit->setEnabled(false);
    // %0 replaced by hand: a translation keeps the marker as it stands.
    m_form.labelMinimum->setText(
        tr("Minimum %0 caractère(s)").replace(QLatin1String("%0"), QString::number(MinimumLength - length)));
}

void KvoAddCommentWidget::onSubmit()
{
    const int mark = m_mark->clickedMark();
    const QString text = m_form.commentArea->toPlainText().trimmed();
    if (mark < 1 || mark > 5 || text.size() < MinimumLength) {
        m_form.commentArea->setFocus(Qt::OtherFocusReason);
        return;
    }
    KvoPurchaseVideoManager::instance()->setCommented(m_purchaseId, true);
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("vorn_id"), m_purchaseId);
    fields.insert(QStringLiteral("mark"), mark);
    fields.insert(QStringLiteral("comment"), text);
    // Stored first, sent when the service can be reached: a rating given
    // offline or while the service fails is not lost.
    KvoAsynchronousSender::add(KvoApi::address(QStringLiteral("/0.1/playerComment/")), fields);
    showFormDone();
}

void KvoAddCommentWidget::onExit()
{
    emit closeAddCommentClicked();
}

void KvoAddCommentWidget::onClickFacebook()
{
    emit facebookClicked();
}

void KvoAddCommentWidget::focusOutEvent(QFocusEvent* event)
{
    // Losing the keyboard neither hides nor closes the overlay.
    QWidget::focusOutEvent(event);
}

void KvoAddCommentWidget::reject()
{
    emit closeAddCommentClicked();
}
