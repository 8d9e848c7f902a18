#pragma once

#include "IKvoPage.h"
#include "KvoFaqCache.h"

#include <QNetworkReply>
#include <QWidget>

#include <memory>

class KvoHTTPRequest;
class KvoLoadingFrame;
class Ui_KvoPageHelp;

// The help page ("help"): the service's FAQ as folding entries and a plaque
// that leads to the support page. The last FAQ received is kept in the
// database and shown at once, offline too; the page asks the service until
// one answer was accepted, then never again in its life.
class KvoPageHelp : public QWidget, public IKvoPage
{
    Q_OBJECT

public:
    KvoPageHelp(QWidget* parent, Qt::WindowFlags flags = Qt::WindowFlags());
    ~KvoPageHelp() override;

    QString title() const override;
    QString name() const override;
    QWidget* parentPage() const override;
    void onShow() override;

    bool isLoaded() const { return m_loaded; }
    bool isWaiting() const { return m_waiting; }
    int questionCount() const;

signals:
    void onChangePage(const QString& key, bool addToHistory);

private slots:
    void updateQuestions();
    void onClickSupport();
    void onSuccessRequest(const QString& body);
    void onErrorRequest(QNetworkReply::NetworkError error, const QString& text);

private:
    void sendRequest();
    void endWaiting();
    void addQuestions(const QList<KvoFaqCache::Entry>& entries, int from, quint64 generation);

    std::unique_ptr<Ui_KvoPageHelp> ui;
    QWidget* m_parentPage = nullptr;
    KvoHTTPRequest* m_request = nullptr;
    bool m_loaded = false;
    bool m_waiting = false;
    KvoLoadingFrame* m_loadingFrame = nullptr;
    quint64 m_buildGeneration = 0;
};
