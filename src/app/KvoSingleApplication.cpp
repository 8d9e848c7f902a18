#include "KvoSingleApplication.h"

#include "KvoEnvironment.h"
#include "KvoInstanceGuard.h"

#include <QDir>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

KvoSingleApplication::KvoSingleApplication(int& argc, char** argv, const QString& key)
    : QApplication(argc, argv)
    , m_guard(new KvoInstanceGuard(key, this))
    , m_translator(new QTranslator(this))
    , m_qtTranslator(new QTranslator(this))
{
    connect(m_guard, &KvoInstanceGuard::messageReceived, this,
            &KvoSingleApplication::onMessageFromInstance);
}

KvoSingleApplication::~KvoSingleApplication() = default;

KvoSingleApplication* KvoSingleApplication::instance()
{
    return qobject_cast<KvoSingleApplication*>(QCoreApplication::instance());
}

bool KvoSingleApplication::isRunning() const
{
    return m_guard->isRunning();
}

bool KvoSingleApplication::sendMessage(const QString& message, int timeoutMs)
{
    return m_guard->sendMessage(message, timeoutMs);
}

void KvoSingleApplication::setReceiverReady(bool ready)
{
    m_receiverReady = ready;
    // A receiver may run an event loop in its slot, during which more items
    // arrive: post() appends them while older ones wait, so the order holds.
    while (m_receiverReady && !m_pending.isEmpty())
        emitItem(m_pending.takeFirst());
}

QTranslator* KvoSingleApplication::translator()
{
    KvoSingleApplication* app = instance();
    return app ? app->m_translator : nullptr;
}

bool KvoSingleApplication::installTranslation(int languageIndex)
{
    QTranslator* tr = translator();
    if (!tr)
        return false;
    const Language& row = KvoEnvironment::language(languageIndex);
    QCoreApplication::removeTranslator(tr);
    bool loaded = false;
    if (!row.file.isEmpty()) {
        QString path = translationFile(QCoreApplication::applicationDirPath(), row.file);
        if (path.isEmpty())
            path = QCoreApplication::applicationDirPath() + QStringLiteral("/langues/") + row.file;
        loaded = tr->load(path);
        if (!loaded)
            qWarning("KvoSingleApplication: cannot load the translation %s", qPrintable(path));
    }
    if (loaded)
        QCoreApplication::installTranslator(tr);
    installQtTranslation(row.locale);
    if (languageIndex >= 0 && languageIndex < KvoEnvironment::languageCount())
        KvoEnvironment::setInterfaceLanguageIndex(languageIndex);
    return loaded;
}

void KvoSingleApplication::installQtTranslation(const QString& locale)
{
    // Qt's own texts (the file choosers, the standard buttons) in the
    // interface language; English, their source language, needs no file.
    KvoSingleApplication* app = instance();
    if (!app)
        return;
    QCoreApplication::removeTranslator(app->m_qtTranslator);
    if (locale.isEmpty())
        return;
    if (app->m_qtTranslator->load(QLocale(locale), QStringLiteral("qtbase"), QStringLiteral("_"),
                                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(app->m_qtTranslator);
}

QStringList KvoSingleApplication::translationFolders(const QString& executableFolder)
{
    return {QDir::cleanPath(executableFolder + QStringLiteral("/langues")),
            QDir::cleanPath(executableFolder + QStringLiteral("/../share/vistrelle/langues"))};
}

QString KvoSingleApplication::translationFile(const QString& executableFolder, const QString& file)
{
    for (const QString& folder : translationFolders(executableFolder)) {
        const QString path = folder + QLatin1Char('/') + file;
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

bool KvoSingleApplication::isVornLink(const QString& text)
{
    return text.trimmed().startsWith(QLatin1String("vorn:"), Qt::CaseInsensitive);
}

QString KvoSingleApplication::normalizeArgument(const QString& argument)
{
    if (argument.isEmpty() || isVornLink(argument))
        return argument;
    if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(argument);
        if (url.isLocalFile())
            return QDir::toNativeSeparators(url.toLocalFile());
        return argument;
    }
    const QFileInfo info(argument);
    if (info.isRelative() && info.exists())
        return QDir::toNativeSeparators(info.absoluteFilePath());
    return argument;
}

bool KvoSingleApplication::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::FileOpen: {
        auto* open = static_cast<QFileOpenEvent*>(e);
        if (!open->file().isEmpty())
            post({Kind::FileOpen, open->file(), QUrl()});
        else if (!open->url().isEmpty())
            post({Kind::UrlOpen, QString(), open->url()});
        return true;
    }
    case QEvent::Close:
        post({Kind::Close, QString(), QUrl()});
        e->accept();
        return true;
    default:
        return QApplication::event(e);
    }
}

void KvoSingleApplication::onMessageFromInstance(const QString& text)
{
    if (isVornLink(text))
        post({Kind::Url, QString(), QUrl(text.trimmed())});
    else
        post({Kind::Message, text, QUrl()});
}

void KvoSingleApplication::post(const Pending& item)
{
    if (m_receiverReady && m_pending.isEmpty()) {
        emitItem(item);
        return;
    }
    // A close request is meant for what is on screen now (the sign-in, or a
    // window on its way out): kept, it would close the next session's
    // window as soon as it opened.
    if (item.kind == Kind::Close)
        return;
    m_pending.append(item);
}

void KvoSingleApplication::emitItem(const Pending& item)
{
    switch (item.kind) {
    case Kind::Message:
        emit messageAvailable(item.text);
        break;
    case Kind::Url:
        emit urlAvailable(item.url);
        break;
    case Kind::FileOpen:
        emit fileOpenRequested(item.text);
        break;
    case Kind::UrlOpen:
        emit urlOpenRequested(item.url);
        break;
    case Kind::Close:
        emit closeRequested();
        break;
    }
}
