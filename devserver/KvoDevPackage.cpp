#include "KvoDevPackage.h"

#include <QIODevice>
#include <QList>

namespace {

// An octal number right-aligned in a field of `width` bytes, NUL-ended.
void octal(char* field, int width, qint64 value)
{
    const QByteArray digits = QByteArray::number(value, 8).rightJustified(width - 1, '0');
    memcpy(field, digits.constData(), size_t(width - 1));
    field[width - 1] = '\0';
}

} // namespace

QByteArray KvoDevPackage::tarHeader(const QByteArray& path, qint64 size, qint64 timestamp)
{
    char h[512];
    memset(h, 0, sizeof h);
    const bool folder = path.endsWith('/');
    memcpy(h, path.constData(), size_t(qMin<qsizetype>(path.size(), 99)));
    octal(h + 100, 8, folder ? 0755 : 0644);
    octal(h + 108, 8, 0);
    octal(h + 116, 8, 0);
    octal(h + 124, 12, folder ? 0 : size);
    octal(h + 136, 12, timestamp);
    memset(h + 148, ' ', 8);
    h[156] = folder ? '5' : '0';
    memcpy(h + 257, "ustar\0" "00", 8);
    memcpy(h + 265, "root", 4);
    memcpy(h + 297, "root", 4);
    unsigned sum = 0;
    for (unsigned char c : h)
        sum += c;
    octal(h + 148, 7, sum);
    h[155] = ' ';
    return QByteArray(h, 512);
}

QByteArray KvoDevPackage::tarEntries(const QList<Entry>& entries, qint64 timestamp)
{
    QByteArray out;
    for (const Entry& e : entries) {
        out.append(tarHeader(e.path, e.data.size(), timestamp));
        if (!e.path.endsWith('/')) {
            out.append(e.data);
            out.append(QByteArray(blockPadding(e.data.size()), '\0'));
        }
    }
    return out;
}

QByteArray KvoDevPackage::tarEnd(qint64 sizeSoFar)
{
    // Two empty blocks, then whole records of 20 blocks, as tar writes them.
    return QByteArray(1024 + int((10240 - (sizeSoFar + 1024) % 10240) % 10240), '\0');
}

int KvoDevPackage::blockPadding(qint64 size)
{
    return int((512 - size % 512) % 512);
}

QByteArray KvoDevPackage::tar(const QList<Entry>& entries, qint64 timestamp)
{
    const QByteArray body = tarEntries(entries, timestamp);
    return body + tarEnd(body.size());
}

QByteArray KvoDevPackage::arHeader(const QByteArray& name, qint64 size, qint64 timestamp)
{
    QByteArray h = name.leftJustified(16, ' ');
    h += QByteArray::number(timestamp).leftJustified(12, ' ');
    h += QByteArray("0").leftJustified(6, ' ');
    h += QByteArray("0").leftJustified(6, ' ');
    h += QByteArray("100644").leftJustified(8, ' ');
    h += QByteArray::number(size).leftJustified(10, ' ');
    h += "`\n";
    return h;
}

QByteArray KvoDevPackage::arMember(const QByteArray& name, const QByteArray& data, qint64 timestamp)
{
    QByteArray h = arHeader(name, data.size(), timestamp);
    h += data;
    if (data.size() % 2)
        h += '\n';
    return h;
}

QByteArray KvoDevPackage::control(const QByteArray& pkg, const QString& version, qint64 installedKb,
                                  const QByteArray& installs)
{
    return "Package: " + pkg + "\nVersion: " + version.toUtf8()
           + "\nArchitecture: all\nMaintainer: Qozmira <support@example.org>\n"
             "Installed-Size: " + QByteArray::number(installedKb) + "\nSection: video\nPriority: optional\n"
             "Description: video course client (demo update)\n"
             " The update package the local demo service offers. It installs a\n"
             " " + installs + "\n";
}

QList<KvoDevPackage::Entry> KvoDevPackage::docEntries(const QByteArray& pkg, const QString& version)
{
    const QByteArray readme =
        "This is the update package of the local demo service of " + pkg + " " + version.toUtf8()
        + ".\nIt only installs this file.\n";
    const QByteArray doc = "./usr/share/doc/" + pkg + "/";
    return {{"./", {}}, {"./usr/", {}}, {"./usr/share/", {}}, {"./usr/share/doc/", {}}, {doc, {}},
            {doc + "README", readme}};
}

QByteArray KvoDevPackage::debian(const QString& name, const QString& version, qint64 timestamp)
{
    const QByteArray pkg = name.toUtf8();
    const QByteArray data = tar(docEntries(pkg, version), timestamp);
    const QByteArray controlTar = tar({{"./", {}}, {"./control", control(pkg, version, 1, "short text file and nothing else.")}}, timestamp);
    return "!<arch>\n" + arMember("debian-binary", "2.0\n", timestamp)
           + arMember("control.tar", controlTar, timestamp) + arMember("data.tar", data, timestamp);
}

bool KvoDevPackage::writeLarge(QIODevice* out, const QString& name, const QString& version, qint64 timestamp,
                               qint64 payload)
{
    const QByteArray pkg = name.toUtf8();
    const QByteArray controlTar =
        tar({{"./", {}}, {"./control", control(pkg, version, 1 + payload / 1024,
                                               "short text file and a large one of filler bytes.")}}, timestamp);
    // The data archive: the usual folders and README, then one large file
    // of varying bytes, written a block at a time.
    QList<Entry> entries = docEntries(pkg, version);
    entries.append({"./usr/share/" + pkg + "/", {}});
    const QByteArray head = tarEntries(entries, timestamp)
                            + tarHeader("./usr/share/" + pkg + "/payload.bin", payload, timestamp);
    const QByteArray padding(blockPadding(payload), '\0');
    const QByteArray end = tarEnd(head.size() + payload + padding.size());
    const qint64 dataSize = head.size() + payload + padding.size() + end.size();

    if (out->write("!<arch>\n" + arMember("debian-binary", "2.0\n", timestamp)
                   + arMember("control.tar", controlTar, timestamp) + arHeader("data.tar", dataSize, timestamp) + head)
        < 0)
        return false;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    quint64 state = 0x9E3779B97F4A7C15ull;
    for (qint64 left = payload; left > 0; left -= block.size()) {
        auto* words = reinterpret_cast<quint64*>(block.data());
        for (int i = 0; i < block.size() / 8; ++i) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            words[i] = state;
        }
        if (out->write(block.constData(), qMin<qint64>(left, block.size())) < 0)
            return false;
    }
    // data.tar is a whole number of blocks: no odd byte to pad in the ar.
    return out->write(padding + end) >= 0;
}

bool KvoDevPackage::looksLikeDebian(const QByteArray& head)
{
    return head.startsWith("!<arch>\ndebian-binary   ");
}
