#pragma once

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>

// The fault switches of the local service (docs/web-api.md, "Fault
// switches"): a name and a value; the value "0" (or none set) is off.
class KvoDevFaults
{
public:
    static QStringList names();
    // One line per switch, "  NAME[=VALUE]  what it does", for --help
    // (without a last line break).
    static QString describe();

    // Parses "NAME" or "NAME=VALUE" (value 1 when none). False for an
    // unknown name or a switch that needs a number and got none.
    bool set(const QString& assignment);
    bool set(const QString& name, const QString& value);
    void clear() { m_values.clear(); }

    bool isOn(const QString& name) const;
    int number(const QString& name) const;
    // The value as set; empty when the switch is off.
    QString value(const QString& name) const;
    QJsonObject toJson() const;

private:
    QMap<QString, QString> m_values;
};
