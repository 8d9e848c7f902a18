#pragma once

#include <QColor>
#include <QSize>
#include <QString>

// The files of the local service, made in its data folder and reused on the
// next start: a few short video clips (ffmpeg), the stored videos made of
// them (clip + identification box), pictures painted with QPainter, the
// update package and an optional benchmark file.
class KvoDevMedia
{
public:
    static constexpr int kClipCount = 4;

    // Base clip k: its picture size and length (a few seconds, with sound;
    // from 320x180 up to 1920x1080).
    static QSize clipSize(int clip);
    static int clipSeconds(int clip);
    // The release time of the update package (2026-11-02 09:00 UTC).
    static constexpr qint64 kUpdateReleaseTime = 1793610000;

    explicit KvoDevMedia(const QString& dataPath);

    // Makes what is missing of the base clips (in parallel) and the update
    // package. False when the folder cannot be written.
    bool prepare();

    // Base clip k (0..kClipCount-1): a plain MP4, also served as preview.
    QString clipPath(int clip) const;
    // The stored video of one course's file: the clip with the box that
    // names purchaseId and fileId appended. Made on first use.
    QString videoPath(int clip, quint32 purchaseId, quint32 fileId);
    // A PNG picture named name (a file name without folder), painted on
    // first use: a coloured card with a label.
    QString picturePath(const QString& name, const QString& label, int seed, int width, int height);
    // A flag for a language code ("fr", "en"); "" for another code.
    QString flagPath(const QString& code);
    QString updatePackagePath() const;
    // Another file, the target of the "redirect" fault.
    QString redirectedPath();
    // A valid empty ZIP archive (support files of a course).
    QString attachmentPath();
    // A file of megabytes MiB of varying bytes, made once.
    QString benchPath(int megabytes);
    // A real Debian package of a little more than megabytes MiB (the update
    // package with a large file added), made once.
    QString benchPackagePath(int megabytes);
    // A stored video of megabytes MiB for the benchmark course: mostly
    // holes (sparse on disk, quick to make), a block of varying bytes at the
    // start of every MiB, and the identification box at the end. Made once.
    QString benchVideoPath(int megabytes, quint32 purchaseId, quint32 fileId);

    bool usedFallbackClips() const { return m_fallback; }

private:
    QString m_data;
    bool m_fallback = false;
};
