#include "KvoFileCopier.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool statOf(const QString& path, struct stat* st)
{
    return ::stat(QFile::encodeName(path).constData(), st) == 0;
}

} // namespace

bool KvoFileCopier::isSameFile(const QString& a, const QString& b)
{
    struct stat sa;
    struct stat sb;
    if (!statOf(a, &sa) || !statOf(b, &sb))
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool KvoFileCopier::syncFileSystemsOf(const QStringList& paths)
{
    QSet<dev_t> done;
    for (const QString& path : paths) {
        struct stat st;
        if (!statOf(path, &st))
            return false;
        if (done.contains(st.st_dev))
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || ::syncfs(file.handle()) != 0)
            return false;
        done.insert(st.st_dev);
    }
    return true;
}

KvoFileCopier::Result KvoFileCopier::copy(const QString& source, const QString& target, const Progress& progress,
                                          qint64* written, QString* error)
{
    qint64 total = 0;
    auto report = qScopeGuard([&] {
        if (written)
            *written = total;
    });
    auto fail = [error](Result result, const QString& text) {
        if (error)
            *error = text;
        return result;
    };

    const QFileInfo info(source);
    if (!info.exists() || !info.isFile())
        return fail(Result::SourceMissing, QStringLiteral("No such file"));
    const QString part = partPath(target);
    // A target (or a leftover ".part") that is the source under another name
    // would be truncated by the copy: the file is already where it belongs.
    if (isSameFile(source, target))
        return Result::SameFile;
    if (isSameFile(source, part))
        return fail(Result::TargetUnwritable, QStringLiteral("The source is the temporary file of its copy"));

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(Result::SourceUnreadable, in.errorString());
    const qint64 size = in.size();

    // A leftover of an interrupted copy goes first; the new file is created,
    // never opened through an existing entry (a link would lead elsewhere).
    QFile::remove(part);
    QFile out(part);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return fail(Result::TargetUnwritable, out.errorString());
    bool keepPart = false;
    auto dropPart = qScopeGuard([&] {
        if (!keepPart) {
            out.close();
            QFile::remove(part);
        }
    });

    // In the kernel where the file systems allow it (no trip of the bytes
    // through this process); by reads and writes otherwise.
    bool kernelCopy = true;
    while (kernelCopy) {
        const ssize_t n = ::copy_file_range(in.handle(), nullptr, out.handle(), nullptr, size_t(KernelChunkSize), 0);
        if (n < 0) {
            const int code = errno;
            if (total == 0 && (code == EXDEV || code == ENOSYS || code == EINVAL || code == EOPNOTSUPP)) {
                kernelCopy = false;
                break;
            }
            const QString text = QString::fromLocal8Bit(std::strerror(code));
            return fail(code == ENOSPC || code == EFBIG || code == EDQUOT ? Result::WriteFailed : Result::ReadFailed,
                        text);
        }
        if (n == 0)
            break;
        total += n;
        if (progress && !progress(n))
            return fail(Result::Cancelled, QString());
    }
    // The source's own offset is where the kernel copy left off (0).
    QByteArray buffer(kernelCopy ? 0 : int(ChunkSize), Qt::Uninitialized);
    while (!kernelCopy) {
        const qint64 n = in.read(buffer.data(), ChunkSize);
        if (n < 0)
            return fail(Result::ReadFailed, in.errorString());
        if (n == 0)
            break;
        const qint64 w = out.write(buffer.constData(), n);
        if (w > 0)
            total += w;
        if (w != n)
            return fail(Result::WriteFailed, out.error() != QFileDevice::NoError ? out.errorString()
                                                                                 : QStringLiteral("Short write"));
        if (progress && !progress(n))
            return fail(Result::Cancelled, QString());
    }
    if (total != size)
        return fail(Result::ReadFailed, QStringLiteral("The source changed while it was copied"));
    if (!out.flush() || out.error() != QFileDevice::NoError)
        return fail(Result::WriteFailed, out.errorString());
    out.close();
    if (out.error() != QFileDevice::NoError)
        return fail(Result::WriteFailed, out.errorString());
    if (QFileInfo(part).size() != size)
        return fail(Result::WriteFailed, QStringLiteral("Short copy"));

    // rename() replaces an older target in one step.
    if (::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) != 0)
        return fail(Result::TargetUnwritable, QString::fromLocal8Bit(std::strerror(errno)));
    keepPart = true;
    return Result::Copied;
}
