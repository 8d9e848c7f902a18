#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class KvoDialog;

// What the settings tests share: a database with signed-in users, and the
// dialogs of the pages answered at once and recorded.
class KvoSettingsFixture
{
public:
    // Opens a fresh database in folder with the accounts "1042" (login
    // "demo", e-mail demo@example.org) and "1043" ("marie"), each with its
    // configurations row, and signs "1042" in (environment, manager,
    // notifier).
    static bool openWithUsers(const QString& folder);
    static void signIn(const QString& plainUserId, const QString& login);
    static void close();

    // Every dialog a page runs is answered `answer` at once; its texts
    // (object name, then each label's text) are recorded.
    static void answerDialogs(int answer);
    static void answerDialogs(const std::function<int(KvoDialog*)>& answer);
    static QStringList dialogTexts(KvoDialog* dialog);
    static QList<QStringList>& shownDialogs();
};
