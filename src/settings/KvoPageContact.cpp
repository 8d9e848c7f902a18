#include "KvoPageContact.h"

#include "KvoApi.h"
#include "KvoAsynchronousSender.h"
#include "KvoDatabase.h"
#include "KvoDialog.h"
#include "KvoFocusInView.h"
#include "KvoMainWindow.h"
#include "KvoModalRunner.h"
#include "KvoPlatform.h"
#include "KvoPurchaseVideoManager.h"
#include "KvoScrollBarStyle.h"
#include "KvoStringCodec.h"
#include "ui_KvoPageContact.h"
#include "ui_UISentMessageDialog.h"

#include <QDateTime>
#include <QScrollArea>
#include <QScrollBar>
#include <QSqlQuery>

KvoPageContact::KvoPageContact(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
    , ui(std::make_unique<Ui_KvoPageContact>())
{
    ui->setupUi(this);
    scrollWhenShort();
    connect(ui->button, &QPushButton::clicked, this, &KvoPageContact::onClickSend);
    m_parentPage = parent;
}

KvoPageContact::~KvoPageContact() = default;

void KvoPageContact::scrollWhenShort()
{
    // The form is taller than the page area of the smallest window: there
    // it scrolls instead of laying the button over the message box, and it
    // sets no smallest height for the window. Its rows move as they are,
    // with the form's margins and spacing, into the scrolled content.
    QBoxLayout* top = ui->verticalLayout_2;
    auto* rows = new QVBoxLayout;
    rows->setContentsMargins(top->contentsMargins());
    rows->setSpacing(top->spacing());
    while (QLayoutItem* item = top->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            rows->addWidget(widget, 0, item->alignment());
            delete item;
        } else if (QLayout* layout = item->layout()) {
            rows->addLayout(layout);
        } else {
            rows->addItem(item);
        }
    }
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("scrollContent"));
    content->setLayout(rows);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrollArea"));
    scroll->setFrameShape(QFrame::NoFrame);
    // Only a frame around the rows: the Tab stops stay those of the form.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; border: none; }"
                                         "QWidget#scrollContent { background: transparent; }"));
    scroll->viewport()->setAutoFillBackground(false);
    scroll->verticalScrollBar()->setStyleSheet(KvoScrollBarStyle::darkVertical());
    scroll->setWidget(content);
    KvoFocusInView::install(scroll);
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(scroll);
}

void KvoPageContact::setParentPage(QWidget* page)
{
    m_parentPage = page;
}

QString KvoPageContact::title() const
{
    return tr("Contacter le support");
}

QString KvoPageContact::name() const
{
    return QStringLiteral("support");
}

QWidget* KvoPageContact::parentPage() const
{
    return m_parentPage;
}

void KvoPageContact::onShow()
{
}

QString KvoPageContact::systemConfig()
{
    return QStringLiteral("VadavudIdizev: v") + QStringLiteral(VISTRELLE_VERSION) + QStringLiteral(" / OS: ")
           + KvoPlatform::systemDescription();
}

QMap<QString, QVariant> KvoPageContact::messageFields(const QString& text)
{
    const QString storedId = KvoPurchaseVideoManager::instance()->userId();
    QString email;
    QSqlQuery q(KvoDatabase::database());
    q.prepare(QStringLiteral("SELECT email FROM `users` WHERE id_qoz_user = :id"));
    q.bindValue(QStringLiteral(":id"), storedId);
    if (q.exec() && q.next())
        email = q.value(0).toString();

    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("user_id"), KvoStringCodec::decode(storedId));
    fields.insert(QStringLiteral("message"), text);
    fields.insert(QStringLiteral("email"), email);
    fields.insert(QStringLiteral("config"), systemConfig());
    fields.insert(QStringLiteral("timestamp"), qint64(QDateTime::currentMSecsSinceEpoch() / 1000));
    return fields;
}

void KvoPageContact::onClickSend()
{
    const QString text = ui->message->toPlainText().trimmed();
    if (text.isEmpty())
        return;
    const bool queued = KvoAsynchronousSender::add(KvoApi::address(QStringLiteral("/0.1/playerSupport/")),
                                                   messageFields(text));

    KvoDialog dialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    auto* content = new QWidget;
    Ui_UISentMessageDialog form;
    form.setupUi(content);
    if (queued) {
        ui->message->clear();
    } else {
        // The text stays in the box: nothing of it is lost, and the user can
        // send it again once the disk has room.
        dialog.setObjectName(QStringLiteral("supportErrorDialog"));
        form.label_2->setText(tr("MESSAGE NON ENVOYÉ"));
        form.label_2->setStyleSheet(QStringLiteral("color:#cd457f; font-size:14px; font-weight:bold;"));
        form.label_3->setText(tr("Votre message n'a pas pu être enregistré. Vérifiez l'espace disque "
                                 "disponible puis réessayez."));
    }
    dialog.setDimmedWidget(KvoMainWindow::instance());
    dialog.addWidget(content);
    KvoModalRunner::run(&dialog);
}
