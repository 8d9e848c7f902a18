#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

// Copies one file so that nothing is ever lost: the bytes go to
// "TARGET.part", every write is checked, and only a complete copy (as many
// bytes as the source holds, written and closed without error) is renamed
// to the target, replacing an older file there in one step. A failed or
// cancelled copy leaves no ".part" behind and never touches the source.
class KvoFileCopier
{
public:
    enum class Result {
        Copied,           // the target now holds a complete copy
        SameFile,         // source and target are one file (same folder, a link): nothing done
        SourceMissing,    // no regular file at the source
        SourceUnreadable, // the source does not open
        TargetUnwritable, // the ".part" file cannot be made, or not renamed
        WriteFailed,      // a write or the close failed (a full disk)
        ReadFailed,       // a read failed, or the source changed size meanwhile
        Cancelled,        // progress() asked to stop
    };

    // Called after every chunk with the bytes just written; returning false
    // cancels the copy.
    using Progress = std::function<bool(qint64 bytes)>;

    static constexpr qint64 ChunkSize = qint64(1) << 20;       // reads and writes
    static constexpr qint64 KernelChunkSize = qint64(8) << 20; // copy_file_range

    // written (optional) receives the bytes written, error (optional) the
    // system's text of a failure.
    static Result copy(const QString& source, const QString& target, const Progress& progress = {},
                       qint64* written = nullptr, QString* error = nullptr);

    // True when both paths name one existing file (same device and inode),
    // whatever links or separators lead to it.
    static bool isSameFile(const QString& a, const QString& b);

    // Forces the data of every file system holding one of the files to the
    // disk; false when one of them failed.
    static bool syncFileSystemsOf(const QStringList& paths);

    static QString partPath(const QString& target) { return target + QStringLiteral(".part"); }
};
