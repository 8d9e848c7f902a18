#pragma once

#include <QApplication>
#include <QList>
#include <QStringList>
#include <QString>
#include <QUrl>

class KvoInstanceGuard;
class QTranslator;

// The application object: a QApplication that owns the single-instance guard
// of its key (see KvoInstanceGuard), turns what later starts of the client
// forward and what the system asks for (file-open and close events) into
// signals, and holds the interface translator.
//
// Nothing is lost before the main window exists. Until a receiver declared
// itself ready with setReceiverReady(true), every forwarded text and every
// request to open a file or a link is kept in arrival order;
// setReceiverReady(true) emits the kept ones, in that order, and everything
// after that is emitted at once. A close request that finds no ready
// receiver is dropped: it was meant for the sign-in or for a window already
// going, never for the next session's window.
// The session loop therefore:
//   1. connects the main window to the signals,
//   2. hands the window its own command-line argument,
//   3. calls setReceiverReady(true) (the kept messages follow the argument),
//   4. calls setReceiverReady(false) before the window is destroyed, so that
//      what arrives during a second sign-in is kept again.
class KvoSingleApplication : public QApplication
{
    Q_OBJECT
public:
    KvoSingleApplication(int& argc, char** argv, const QString& key);
    ~KvoSingleApplication() override;

    static KvoSingleApplication* instance();

    // Another instance of the client owns the key.
    bool isRunning() const;
    // Hands a text to the running instance and waits for its acknowledgement.
    // False when no other instance runs, on time-out or on failure.
    bool sendMessage(const QString& message, int timeoutMs = 3000);
    KvoInstanceGuard* guard() const { return m_guard; }

    void setReceiverReady(bool ready);
    bool isReceiverReady() const { return m_receiverReady; }
    int pendingCount() const { return int(m_pending.size()); }

    // The one interface translator, installed by the start-up. A settings
    // page switches the language with installTranslation().
    static QTranslator* translator();
    // Loads the file of the row (see translationFile()) into the
    // translator, installs it again and makes the row the interface
    // language. False when the file cannot be loaded (the source texts,
    // French, are shown then).
    // Qt's own translations of the row's language (qtbase, from Qt's
    // translations folder) are installed beside it, when Qt has them.
    static bool installTranslation(int languageIndex);
    // Where the translations are looked for: "langues" beside the executable
    // (the build tree), then "share/vistrelle/langues" of the prefix the
    // executable is installed in ("<prefix>/bin/..").
    static QStringList translationFolders(const QString& executableFolder);
    // The first of those folders that holds the file; empty when none does.
    static QString translationFile(const QString& executableFolder, const QString& file);

    // The command-line argument in the form another instance can use: a
    // "file:" URL becomes its local path, an existing file given by a
    // relative path becomes absolute (the running instance has another
    // working folder); "vorn:" links and other texts are kept as they are.
    static QString normalizeArgument(const QString& argument);
    // Whether a text is one of the client's own "vorn:" links.
    static bool isVornLink(const QString& text);

signals:
    // A text forwarded by a later start: a "vorn:" link arrives as
    // urlAvailable, any other text (a file path, or empty) as messageAvailable.
    void messageAvailable(const QString& message);
    void urlAvailable(const QUrl& url);
    // The system asked to open a file or a URL, or to close the application.
    void fileOpenRequested(const QString& path);
    void urlOpenRequested(const QUrl& url);
    void closeRequested();

protected:
    bool event(QEvent* e) override;

private:
    enum class Kind { Message, Url, FileOpen, UrlOpen, Close };
    struct Pending
    {
        Kind kind;
        QString text;
        QUrl url;
    };

    static void installQtTranslation(const QString& locale);
    void onMessageFromInstance(const QString& text);
    void post(const Pending& item);
    void emitItem(const Pending& item);

    KvoInstanceGuard* m_guard = nullptr;
    QTranslator* m_translator = nullptr;
    QTranslator* m_qtTranslator = nullptr;
    bool m_receiverReady = false;
    QList<Pending> m_pending;
};
