#include "KvoDevFaults.h"

namespace {

struct Switch
{
    const char* name;
    const char* value; // what the value is, for a switch that takes one
    bool numeric;      // whose value is a number rather than on/off
    const char* effect;
};

// Every switch the service has, with what it does (docs/web-api.md says
// more of each).
const Switch kSwitches[] = {
    {"status", "CODE", true, "every /0.1/ path answers CODE with a JSON error body (304: no body)"},
    {"poll304", nullptr, false, "/0.1/playerUserPurchases/ always answers 304"},
    {"poll409", nullptr, false, "/0.1/playerUserPurchases/ always answers 409 (the session expired)"},
    {"slow", "MS", true, "every answer but /_control/ is sent MS milliseconds late"},
    {"nojson", nullptr, false, "every /0.1/ path answers 200 with a body that is not JSON"},
    {"truncate", nullptr, false, "every /0.1/ path does its work, then answers the first half of its JSON"},
    {"fileurl_nourl", nullptr, false, "/0.1/playerFileUrl/ answers 200 {} for a file the user owns"},
    {"file404", nullptr, false, "downloads (videos, update package, bench file) answer 404"},
    {"file_short", nullptr, false, "downloads announce the full length, send half the bytes, then close"},
    {"file_long", nullptr, false, "downloads announce half the length, send every byte, then close"},
    {"file_stall", nullptr, false, "downloads send at most 16 KiB, then nothing, the connection left open"},
    {"redirect", nullptr, false, "downloads answer 302 to /files/redirected.bin, another file"},
    {"file_nolength", nullptr, false, "downloads send every byte without Content-Length, then close"},
    {"version", "KIND", false,
     "/0.1/playerVersion/ answers as KIND says: old, edge, negative, nourl, nosize or wrongsize"},
    {"faq", "KIND", false, "/0.1/playerFaq/ answers as KIND says: empty, error or script"},
    {"preview404", nullptr, false, "previews answer 404"},
    {"preview_short", nullptr, false, "previews announce the full length, send half the bytes, then close"},
    {"preview_stall", nullptr, false, "previews send at most 16 KiB, then nothing, the connection left open"},
    {"preview_garbage", nullptr, false, "previews answer 200 video/mp4 with bytes that are no video"},
    {"preview_redirect", nullptr, false, "previews answer 302 to the same address with ?moved=1"},
    {"promo_end", "S", true, "the shortest promotion (course 114) runs until S seconds after the switch is set"},
    {"list_rows", "N", true, "/0.1/playerListVorn/ answers N courses (its own over and over)"},
    {"faq_rows", "N", true, "/0.1/playerFaq/ answers at least N entries (the demo's over and over)"},
    {"faq_bytes", "N", true, "/0.1/playerFaq/ answers a first entry whose answer holds N letters"},
};

const Switch* find(const QString& name)
{
    for (const Switch& s : kSwitches) {
        if (name == QLatin1String(s.name))
            return &s;
    }
    return nullptr;
}

} // namespace

QStringList KvoDevFaults::names()
{
    QStringList names;
    for (const Switch& s : kSwitches)
        names.append(QLatin1String(s.name));
    return names;
}

QString KvoDevFaults::describe()
{
    const auto head = [](const Switch& s) {
        return s.value ? QLatin1String(s.name) + QLatin1Char('=') + QLatin1String(s.value) : QString::fromLatin1(s.name);
    };
    qsizetype width = 0;
    for (const Switch& s : kSwitches)
        width = qMax(width, head(s).size());
    QStringList lines;
    for (const Switch& s : kSwitches)
        lines.append(QStringLiteral("  ") + head(s).leftJustified(width + 2) + QLatin1String(s.effect));
    return lines.join(QLatin1Char('\n'));
}

bool KvoDevFaults::set(const QString& assignment)
{
    const int eq = assignment.indexOf(QLatin1Char('='));
    if (eq < 0)
        return set(assignment, QStringLiteral("1"));
    return set(assignment.left(eq), assignment.mid(eq + 1));
}

bool KvoDevFaults::set(const QString& name, const QString& value)
{
    const Switch* known = find(name);
    if (!known)
        return false;
    const QString v = value.isEmpty() ? QStringLiteral("1") : value;
    if (v == QLatin1String("0")) {
        m_values.remove(name);
        return true;
    }
    if (known->numeric) {
        bool ok = false;
        const int n = v.toInt(&ok);
        if (!ok || n < 0 || (name == QLatin1String("status") && (n < 100 || n > 599)))
            return false;
    }
    m_values.insert(name, v);
    return true;
}

bool KvoDevFaults::isOn(const QString& name) const
{
    return m_values.contains(name);
}

QString KvoDevFaults::value(const QString& name) const
{
    return m_values.value(name);
}

int KvoDevFaults::number(const QString& name) const
{
    return m_values.value(name).toInt();
}

QJsonObject KvoDevFaults::toJson() const
{
    QJsonObject o;
    for (auto it = m_values.begin(); it != m_values.end(); ++it)
        o.insert(it.key(), it.value());
    return o;
}
