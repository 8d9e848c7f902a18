#include "KvoPlatform.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QSysInfo>

#include <cerrno>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The variables the client set for itself, with the values it was given.
struct OwnVariables
{
    QMutex mutex;
    QHash<QByteArray, std::optional<QByteArray>> given;
};

OwnVariables& ownVariables()
{
    static OwnVariables variables;
    return variables;
}

// Safe between a fork and an exec: system calls only.
void markInheritedCloseOnExec(int highest)
{
#ifdef CLOSE_RANGE_CLOEXEC
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0)
        return;
#endif
    for (int fd = 3; fd <= highest; ++fd) {
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC))
            ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}

} // namespace

QString KvoPlatform::preferencesFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base);
}

QString KvoPlatform::dataFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base);
}

QString KvoPlatform::cacheFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(base);
}

bool KvoPlatform::openWithSystem(const QString& path)
{
    if (path.isEmpty())
        return false;
    return startDetached(QStringLiteral("xdg-open"), {path});
}

void KvoPlatform::setForOwnUse(const char* name, const QByteArray& value)
{
    OwnVariables& own = ownVariables();
    QMutexLocker lock(&own.mutex);
    if (!own.given.contains(name))
        own.given.insert(name, qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                                               : std::nullopt);
    qputenv(name, value);
}

QByteArrayList KvoPlatform::startedProgramEnvironment()
{
    // Read as bytes: QProcessEnvironment would carry the values put back as
    // text, and a value that is not UTF-8 would reach the program altered.
    OwnVariables& own = ownVariables();
    QMutexLocker lock(&own.mutex);
    QByteArrayList entries;
    for (char** entry = environ; entry && *entry; ++entry) {
        const QByteArray variable(*entry);
        const qsizetype equals = variable.indexOf('=');
        if (!own.given.contains(equals < 0 ? variable : variable.left(equals)))
            entries.append(variable);
    }
    for (auto it = own.given.cbegin(); it != own.given.cend(); ++it) {
        if (it.value())
            entries.append(it.key() + '=' + *it.value());
    }
    return entries;
}

bool KvoPlatform::startDetached(const QString& program, const QStringList& arguments)
{
    // Found on the client's PATH, as QProcess would.
    const QString path = program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return false;
    // Everything the child needs is made before the fork: in a process with
    // threads, the child may only make calls that are safe in a signal
    // handler until it runs the program.
    const QByteArray file = QFile::encodeName(path);
    QByteArrayList words{QFile::encodeName(program)};
    for (const QString& argument : arguments)
        words.append(QFile::encodeName(argument));
    QByteArrayList environment = startedProgramEnvironment();
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (QByteArray& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    // Where the kernel cannot mark a range at once, every number up to the
    // limit is marked one by one; the limit is read here, before the fork.
    struct rlimit files = {};
    const int highest = ::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY
        ? int(qMin<rlim_t>(files.rlim_cur, 1 << 20)) - 1
        : int(qMax(::sysconf(_SC_OPEN_MAX), 1024L)) - 1;

    // The program's grandparent exits at once, so the program is nobody's
    // child to wait for; a pipe closed by the exec, or carrying errno when
    // the fork or the exec failed, tells whether it started.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            sigset_t none;
            ::sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            struct sigaction standard = {};
            standard.sa_handler = SIG_DFL;
            ::sigaction(SIGPIPE, &standard, nullptr);
            // The program gets the standard three and nothing else: the
            // client's sockets, shared memory and files (many opened by
            // libraries without close-on-exec) end with the exec.
            markInheritedCloseOnExec(highest);
            ::execve(file.constData(), argv.data(), envp.data());
        }
        if (grandchild > 0)
            ::_exit(0);
        const int error = errno;
        [[maybe_unused]] const ssize_t written = ::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(report[1]);
    int error = 0;
    ssize_t got;
    do
        got = ::read(report[0], &error, sizeof error);
    while (got < 0 && errno == EINTR);
    ::close(report[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return got == 0;
}

QString KvoPlatform::systemDescription()
{
    return QSysInfo::prettyProductName();
}

QString KvoPlatform::updatePackageType()
{
    return QStringLiteral("deb");
}

bool KvoPlatform::isUpdatePackage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // The archive's signature, then the first member's 60-byte header: a
    // name of 16 bytes (space-padded, GNU ar may end it with "/") and the
    // header's closing "`\n".
    const QByteArray head = file.read(8 + 60);
    if (head.size() != 8 + 60 || !head.startsWith("!<arch>\n") || !head.endsWith("`\n"))
        return false;
    QByteArray name = head.mid(8, 16).trimmed();
    if (name.endsWith('/'))
        name.chop(1);
    return name == "debian-binary";
}
