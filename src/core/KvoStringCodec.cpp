#include "KvoStringCodec.h"

namespace {

// A fixed shuffle of the 62 letters and digits, so that the stored form of
// ordinary ASCII text is not readable at a glance.
constexpr char kTable[] = "q7Hk2ZtVxB9mRfWc0LpJ4sYnG8eDaQ1uKiT6vOg3ChX5bMlIwPzA7";
constexpr int kBase = 62;
// Leading digits 0..59 start a two-character group (60 * 62 code points);
// 60 and 61 start a four-character group for the rest of UTF-16.
constexpr int kShortLeads = 60;
constexpr int kShortRange = kShortLeads * kBase; // 3720

const char* alphabet()
{
    static char table[kBase + 1] = {};
    static bool built = false;
    if (!built) {
        // kTable is a seed; build the permutation from it deterministically
        // so that every letter and digit appears exactly once.
        const char all[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        bool used[128] = {};
        int n = 0;
        for (const char* p = kTable; *p && n < kBase; ++p) {
            const unsigned char c = static_cast<unsigned char>(*p);
            if (!used[c]) {
                used[c] = true;
                table[n++] = *p;
            }
        }
        for (const char* p = all; *p && n < kBase; ++p) {
            const unsigned char c = static_cast<unsigned char>(*p);
            if (!used[c]) {
                used[c] = true;
                table[n++] = *p;
            }
        }
        table[kBase] = 0;
        built = true;
    }
    return table;
}

int digitOf(QChar c)
{
    static int reverse[128];
    static bool built = false;
    if (!built) {
        for (int& r : reverse)
            r = -1;
        const char* t = alphabet();
        for (int i = 0; i < kBase; ++i)
            reverse[static_cast<unsigned char>(t[i])] = i;
        built = true;
    }
    const ushort u = c.unicode();
    return u < 128 ? reverse[u] : -1;
}

struct TableInit
{
    TableInit()
    {
        alphabet();
        digitOf(QChar(u'0'));
    }
};
// Build both tables before main() so that concurrent first calls from
// several threads never race on them.
const TableInit tableInit;

} // namespace

QString KvoStringCodec::encode(const QString& text)
{
    const char* t = alphabet();
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar ch : text) {
        const int u = ch.unicode();
        if (u < kShortRange) {
            out += QLatin1Char(t[u / kBase]);
            out += QLatin1Char(t[u % kBase]);
        } else {
            const int rest = u - kShortRange; // < 61816 < 2 * 62^3
            const int lead = kShortLeads + rest / (kBase * kBase * kBase);
            const int low = rest % (kBase * kBase * kBase);
            out += QLatin1Char(t[lead]);
            out += QLatin1Char(t[low / (kBase * kBase)]);
            out += QLatin1Char(t[(low / kBase) % kBase]);
            out += QLatin1Char(t[low % kBase]);
        }
    }
    return out;
}

QString KvoStringCodec::decode(const QString& stored)
{
    QString out;
    out.reserve(stored.size() / 2);
    int i = 0;
    const int n = stored.size();
    while (i < n) {
        const int lead = digitOf(stored.at(i));
        if (lead < 0)
            return QString();
        if (lead < kShortLeads) {
            if (i + 1 >= n)
                return QString();
            const int d = digitOf(stored.at(i + 1));
            if (d < 0)
                return QString();
            out += QChar(lead * kBase + d);
            i += 2;
        } else {
            if (i + 3 >= n)
                return QString();
            const int a = digitOf(stored.at(i + 1));
            const int b = digitOf(stored.at(i + 2));
            const int c = digitOf(stored.at(i + 3));
            if (a < 0 || b < 0 || c < 0)
                return QString();
            const int value = kShortRange + (lead - kShortLeads) * kBase * kBase * kBase
                              + a * kBase * kBase + b * kBase + c;
            if (value > 0xFFFF)
                return QString();
            out += QChar(value);
            i += 4;
        }
    }
    return out;
}
