#pragma once

#include <QString>

// The start of the tests that run against the local web service: an online
// sign-in (the remembered login left alone) and the first library update.
class KvoTestSession
{
public:
    // Empty on success, else what went wrong (for QVERIFY2).
    static QString signInAndSync(const QString& login, const QString& password);
};
