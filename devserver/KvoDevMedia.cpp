#include "KvoDevMedia.h"

#include "KvoDevPackage.h"
#include "KvoQozFile.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <memory>
#include <vector>

namespace {

// Fills the block with non-repeating bytes (xorshift*), so that nothing on
// the way can compress a large test file; state carries on between blocks.
void fillNoise(QByteArray& block, quint64& state)
{
    auto* words = reinterpret_cast<quint64*>(block.data());
    for (int i = 0; i < block.size() / 8; ++i) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        words[i] = state * 0x2545F4914F6CDD1Dull;
    }
}

// Writes data to path through a temporary name, so a file that exists is
// always complete.
bool writeWhole(const QString& path, const QByteArray& data)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(data);
    return f.commit();
}

bool present(const QString& path)
{
    const QFileInfo fi(path);
    return fi.isFile() && fi.size() > 0;
}

// Bytes that look like a media file to nobody: used when ffmpeg is missing.
QByteArray syntheticClip(int clip)
{
    QByteArray b;
    b.reserve(64 * 1024);
    quint32 x = 0x9e3779b9u + quint32(clip);
    // A minimal "ftyp" box first, then noise.
    b.append("\x00\x00\x00\x14" "ftypisom\x00\x00\x02\x00" "isom", 20);
    while (b.size() < 64 * 1024) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b.append(char(x & 0xff));
    }
    return b;
}

// True for a clip left by an earlier start without ffmpeg, which a start
// with ffmpeg replaces by a real one.
bool isSynthetic(const QString& path, int clip)
{
    QFile f(path);
    const QByteArray expected = syntheticClip(clip);
    return f.size() == expected.size() && f.open(QIODevice::ReadOnly) && f.readAll() == expected;
}

} // namespace

namespace {

struct ClipKind
{
    const char* source;
    int width;
    int height;
    int seconds;
};

const ClipKind kClips[KvoDevMedia::kClipCount] = {
    {"testsrc", 320, 180, 3},
    {"testsrc2", 640, 360, 4},
    {"smptebars", 1280, 720, 3},
    {"testsrc2", 1920, 1080, 3},
};

} // namespace

QSize KvoDevMedia::clipSize(int clip)
{
    const ClipKind& kind = kClips[qBound(0, clip, kClipCount - 1)];
    return QSize(kind.width, kind.height);
}

int KvoDevMedia::clipSeconds(int clip)
{
    return kClips[qBound(0, clip, kClipCount - 1)].seconds;
}

KvoDevMedia::KvoDevMedia(const QString& dataPath)
    : m_data(dataPath)
{
}

QString KvoDevMedia::clipPath(int clip) const
{
    // The name carries the clip's make, so a folder made by an older
    // version gets the clips of this one.
    const ClipKind& kind = kClips[qBound(0, clip, kClipCount - 1)];
    return m_data + QStringLiteral("/clips/clip%1-%2x%3-%4s.mp4").arg(clip).arg(kind.width).arg(kind.height).arg(kind.seconds);
}

QString KvoDevMedia::updatePackagePath() const
{
    return m_data + QStringLiteral("/update/vistrelle-2.1.0.deb");
}

bool KvoDevMedia::prepare()
{
    QDir dir(m_data);
    for (const char* sub : {"clips", "videos", "pictures", "update", "misc"})
        if (!dir.mkpath(QLatin1String(sub)))
            return false;

    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    std::vector<std::unique_ptr<QProcess>> jobs;
    std::vector<int> jobClip;
    for (int k = 0; k < kClipCount; ++k) {
        if (present(clipPath(k)) && !(isSynthetic(clipPath(k), k) && !ffmpeg.isEmpty()))
            continue;
        if (ffmpeg.isEmpty())
            break;
        const int seconds = clipSeconds(k);
        const QSize size = clipSize(k);
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->setStandardOutputFile(QProcess::nullDevice());
        p->start(ffmpeg, {
            QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
            QStringLiteral("-f"), QStringLiteral("lavfi"),
            QStringLiteral("-i"), QStringLiteral("%1=size=%2x%3:rate=25:duration=%4")
                                     .arg(QLatin1String(kClips[k].source))
                                     .arg(size.width())
                                     .arg(size.height())
                                     .arg(seconds),
            QStringLiteral("-f"), QStringLiteral("lavfi"),
            QStringLiteral("-i"), QStringLiteral("sine=frequency=%1:duration=%2").arg(440 + 220 * k).arg(seconds),
            QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("veryfast"),
            QStringLiteral("-crf"), QStringLiteral("30"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
            QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"), QStringLiteral("32k"),
            QStringLiteral("-shortest"), QStringLiteral("-movflags"), QStringLiteral("+faststart"),
            QStringLiteral("-f"), QStringLiteral("mp4"),
            clipPath(k) + QStringLiteral(".tmp")});
        jobs.push_back(std::move(p));
        jobClip.push_back(k);
    }
    for (size_t i = 0; i < jobs.size(); ++i) {
        QProcess* p = jobs[i].get();
        const QString tmp = clipPath(jobClip[i]) + QStringLiteral(".tmp");
        const bool ok = p->waitForFinished(60000) && p->exitStatus() == QProcess::NormalExit
                        && p->exitCode() == 0 && present(tmp);
        if (ok) {
            QFile::remove(clipPath(jobClip[i]));
            QFile::rename(tmp, clipPath(jobClip[i]));
        } else {
            QFile::remove(tmp);
            qWarning("devserver: ffmpeg failed for clip %d", jobClip[i]);
        }
    }
    for (int k = 0; k < kClipCount; ++k) {
        if (present(clipPath(k)))
            continue;
        if (!m_fallback)
            qWarning("devserver: ffmpeg missing or failing; serving synthetic bytes as videos");
        m_fallback = true;
        if (!writeWhole(clipPath(k), syntheticClip(k)))
            return false;
    }

    // A real Debian package of the newer version, rewritten when the file
    // holds anything else (an older data folder).
    const QByteArray package = KvoDevPackage::debian(QStringLiteral("vistrelle"), QStringLiteral("2.1.0"),
                                                     kUpdateReleaseTime);
    QFile existing(updatePackagePath());
    const bool same = existing.open(QIODevice::ReadOnly) && existing.size() == package.size()
                      && existing.readAll() == package;
    existing.close();
    if (!same && !writeWhole(updatePackagePath(), package))
        return false;
    return true;
}

QString KvoDevMedia::videoPath(int clip, quint32 purchaseId, quint32 fileId)
{
    const QString dir = m_data + QStringLiteral("/videos/%1").arg(purchaseId);
    const QString path = dir + QStringLiteral("/%1.qoz").arg(fileId);
    // Reused while it is still made of the current clip.
    if (QFileInfo(path).size() == QFileInfo(clipPath(clip)).size() + KvoQozFile::kTrailerSize
        && KvoQozFile(path).isValid())
        return path;
    QDir().mkpath(dir);
    const QString tmp = path + QStringLiteral(".tmp");
    QFile::remove(tmp);
    if (!QFile::copy(clipPath(clip), tmp) || !KvoQozFile::appendTrailer(tmp, purchaseId, fileId)) {
        QFile::remove(tmp);
        return QString();
    }
    QFile::remove(path);
    if (!QFile::rename(tmp, path))
        return QString();
    return path;
}

QString KvoDevMedia::picturePath(const QString& name, const QString& label, int seed, int width, int height)
{
    const QString path = m_data + QStringLiteral("/pictures/") + name;
    if (present(path))
        return path;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    const QColor base = QColor::fromHsv((seed * 67) % 360, 150, 200);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, width, height);
    g.setColorAt(0, base.lighter(130));
    g.setColorAt(1, base.darker(140));
    p.fillRect(image.rect(), g);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawEllipse(QPointF(width * 0.8, height * 0.25), width * 0.35, width * 0.35);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setBold(true);
    // The largest size at which the wrapped label fits inside the picture.
    const QRect box = image.rect().adjusted(6, 6, -6, -6);
    int size = qMax(10, qMin(height / 5, width / 8));
    for (; size > 8; --size) {
        font.setPixelSize(size);
        const QRect needed = QFontMetrics(font).boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, label);
        if (needed.width() <= box.width() && needed.height() <= box.height())
            break;
    }
    font.setPixelSize(size);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, label);
    p.end();
    {
        QSaveFile f(path);
        if (!f.open(QIODevice::WriteOnly) || !image.save(&f, "PNG") || !f.commit())
            return QString();
    }
    return path;
}

QString KvoDevMedia::flagPath(const QString& code)
{
    if (code != QLatin1String("fr") && code != QLatin1String("en"))
        return QString();
    const QString path = m_data + QStringLiteral("/pictures/flag_%1.png").arg(code);
    if (present(path))
        return path;
    QImage image(24, 16, QImage::Format_RGB32);
    QPainter p(&image);
    if (code == QLatin1String("fr")) {
        p.fillRect(0, 0, 8, 16, QColor(0, 35, 149));
        p.fillRect(8, 0, 8, 16, Qt::white);
        p.fillRect(16, 0, 8, 16, QColor(237, 41, 57));
    } else {
        p.fillRect(image.rect(), QColor(1, 33, 105));
        p.fillRect(0, 6, 24, 4, Qt::white);
        p.fillRect(10, 0, 4, 16, Qt::white);
        p.fillRect(0, 7, 24, 2, QColor(200, 16, 46));
        p.fillRect(11, 0, 2, 16, QColor(200, 16, 46));
    }
    p.end();
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || !image.save(&f, "PNG") || !f.commit())
        return QString();
    return path;
}

QString KvoDevMedia::redirectedPath()
{
    const QString path = m_data + QStringLiteral("/misc/redirected.bin");
    if (!present(path))
        writeWhole(path, QByteArray(4096, 'R'));
    return path;
}

QString KvoDevMedia::attachmentPath()
{
    const QString path = m_data + QStringLiteral("/misc/attachment.zip");
    if (!present(path)) {
        // End-of-central-directory record alone: an empty archive.
        QByteArray zip("PK\x05\x06", 4);
        zip.append(QByteArray(18, '\0'));
        writeWhole(path, zip);
    }
    return path;
}

QString KvoDevMedia::benchPath(int megabytes)
{
    const QString path = m_data + QStringLiteral("/misc/bench_%1MiB.bin").arg(megabytes);
    const qint64 size = qint64(megabytes) * 1024 * 1024;
    if (QFileInfo(path).size() == size)
        return path;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    quint64 x = 0x2545F4914F6CDD1Dull;
    for (int m = 0; m < megabytes; ++m) {
        fillNoise(block, x);
        f.write(block);
    }
    return f.commit() ? path : QString();
}

QString KvoDevMedia::benchPackagePath(int megabytes)
{
    const QString path = m_data + QStringLiteral("/misc/bench_%1MiB.deb").arg(megabytes);
    const qint64 payload = qint64(megabytes) * 1024 * 1024;
    QFile existing(path);
    if (existing.size() > payload && existing.open(QIODevice::ReadOnly)
        && KvoDevPackage::looksLikeDebian(existing.read(64)))
        return path;
    existing.close();
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)
        || !KvoDevPackage::writeLarge(&f, QStringLiteral("vistrelle"), QStringLiteral("2.1.0"), kUpdateReleaseTime,
                                      payload))
        return QString();
    return f.commit() ? path : QString();
}

QString KvoDevMedia::benchVideoPath(int megabytes, quint32 purchaseId, quint32 fileId)
{
    const QString dir = m_data + QStringLiteral("/videos/%1").arg(purchaseId);
    const QString path = dir + QStringLiteral("/%1_%2MiB.qoz").arg(fileId).arg(megabytes);
    const qint64 size = qint64(megabytes) * 1024 * 1024;
    if (QFileInfo(path).size() == size + KvoQozFile::kTrailerSize) {
        const KvoQozFile stored(path);
        if (stored.isValid() && stored.purchaseId() == purchaseId && stored.fileId() == fileId)
            return path;
    }
    QDir().mkpath(dir);
    const QString tmp = path + QStringLiteral(".tmp");
    QFile f(tmp);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    QByteArray block(4096, Qt::Uninitialized);
    quint64 x = 0x9E3779B97F4A7C15ull ^ (quint64(fileId) << 20);
    for (int m = 0; m < megabytes; ++m) {
        fillNoise(block, x);
        // The rest of each MiB is a hole: seeking past the end and writing
        // further on leaves it unallocated.
        if (!f.seek(qint64(m) * 1024 * 1024) || f.write(block) != block.size()) {
            f.remove();
            return QString();
        }
    }
    const bool sized = f.resize(size);
    f.close();
    if (!sized || !KvoQozFile::appendTrailer(tmp, purchaseId, fileId)) {
        QFile::remove(tmp);
        return QString();
    }
    QFile::remove(path);
    return QFile::rename(tmp, path) ? path : QString();
}
