#include "KvoDevFaults.h"

namespace {
// Switches whose value is a number rather than on/off.
bool numeric(const QString& name)
{
    return name == QLatin1String("status") || name == QLatin1String("slow") || name == QLatin1String("list_rows")
           || name == QLatin1String("faq_rows") || name == QLatin1String("faq_bytes");
}
} // namespace

QStringList KvoDevFaults::names()
{
    return {QStringLiteral("status"),     QStringLiteral("poll304"),   QStringLiteral("poll409"),
            QStringLiteral("slow"),       QStringLiteral("nojson"),    QStringLiteral("truncate"),
            QStringLiteral("fileurl_nourl"), QStringLiteral("file404"), QStringLiteral("file_short"),
            QStringLiteral("file_long"),  QStringLiteral("file_stall"), QStringLiteral("redirect"),
            QStringLiteral("file_nolength"), QStringLiteral("version"), QStringLiteral("faq"),
            QStringLiteral("preview404"), QStringLiteral("preview_short"), QStringLiteral("preview_stall"),
            QStringLiteral("preview_garbage"), QStringLiteral("preview_redirect"), QStringLiteral("list_rows"),
            QStringLiteral("faq_rows"), QStringLiteral("faq_bytes")};
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
    if (!names().contains(name))
        return false;
    const QString v = value.isEmpty() ? QStringLiteral("1") : value;
    if (v == QLatin1String("0")) {
        m_values.remove(name);
        return true;
    }
    if (numeric(name)) {
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
