#include "KvoDevPackage.h"

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

QByteArray KvoDevPackage::tar(const QList<Entry>& entries, qint64 timestamp)
{
    QByteArray out;
    for (const Entry& e : entries) {
        char h[512];
        memset(h, 0, sizeof h);
        const bool folder = e.path.endsWith('/');
        memcpy(h, e.path.constData(), size_t(qMin<qsizetype>(e.path.size(), 99)));
        octal(h + 100, 8, folder ? 0755 : 0644);
        octal(h + 108, 8, 0);
        octal(h + 116, 8, 0);
        octal(h + 124, 12, folder ? 0 : e.data.size());
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
        out.append(h, 512);
        if (!folder) {
            out.append(e.data);
            out.append(QByteArray((512 - e.data.size() % 512) % 512, '\0'));
        }
    }
    out.append(QByteArray(1024, '\0'));
    // Whole records of 20 blocks, as tar writes them.
    out.append(QByteArray((10240 - out.size() % 10240) % 10240, '\0'));
    return out;
}

QByteArray KvoDevPackage::arMember(const QByteArray& name, const QByteArray& data, qint64 timestamp)
{
    QByteArray h = name.leftJustified(16, ' ');
    h += QByteArray::number(timestamp).leftJustified(12, ' ');
    h += QByteArray("0").leftJustified(6, ' ');
    h += QByteArray("0").leftJustified(6, ' ');
    h += QByteArray("100644").leftJustified(8, ' ');
    h += QByteArray::number(data.size()).leftJustified(10, ' ');
    h += "`\n";
    h += data;
    if (data.size() % 2)
        h += '\n';
    return h;
}

QByteArray KvoDevPackage::debian(const QString& name, const QString& version, qint64 timestamp)
{
    const QByteArray pkg = name.toUtf8();
    const QByteArray readme =
        "This is the update package of the local demo service of " + pkg + " " + version.toUtf8()
        + ".\nIt only installs this file.\n";
    const QByteArray control = "Package: " + pkg + "\nVersion: " + version.toUtf8()
                               + "\nArchitecture: all\nMaintainer: Qozmira <support@example.org>\n"
                                 "Installed-Size: 1\nSection: video\nPriority: optional\n"
                                 "Description: video course client (demo update)\n"
                                 " The update package the local demo service offers. It installs a\n"
                                 " short text file and nothing else.\n";
    const QByteArray doc = "./usr/share/doc/" + pkg + "/";
    const QByteArray data = tar({{"./", {}}, {"./usr/", {}}, {"./usr/share/", {}}, {"./usr/share/doc/", {}},
                                 {doc, {}}, {doc + "README", readme}},
                                timestamp);
    const QByteArray controlTar = tar({{"./", {}}, {"./control", control}}, timestamp);
    return "!<arch>\n" + arMember("debian-binary", "2.0\n", timestamp)
           + arMember("control.tar", controlTar, timestamp) + arMember("data.tar", data, timestamp);
}

bool KvoDevPackage::looksLikeDebian(const QByteArray& head)
{
    return head.startsWith("!<arch>\ndebian-binary   ");
}
