#pragma once

#include "IKvoPage.h"

#include <QMap>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <memory>

class Ui_KvoPageContact;

// The support page ("support"): a message to the service's support team,
// put into the queue of outgoing requests with the user's e-mail address,
// the client's version and a description of the system, so a message
// written offline goes out later. The page itself never waits for the
// service.
class KvoPageContact : public QWidget, public IKvoPage
{
    Q_OBJECT

public:
    KvoPageContact(QWidget* parent, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPageContact() override;

    // The page above this one in the breadcrumb (the help page).
    void setParentPage(QWidget* page);

    QString title() const override;
    QString name() const override;
    QWidget* parentPage() const override;
    void onShow() override;

    // "VadavudIdizev: v<version> / OS: <the system's description>".
    static QString systemConfig();
    // The fields of a support message with this (already trimmed) text.
    static QMap<QString, QVariant> messageFields(const QString& text);

signals:
    void onChangePage(const QString& key, bool addToHistory);

private slots:
    void onClickSend();

private:
    void scrollWhenShort();

    std::unique_ptr<Ui_KvoPageContact> ui;
    QWidget* m_parentPage = nullptr;
};
