#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

// The demo data of the local service: accounts, softwares, authors, courses
// with their chapters and videos, favourites, FAQ, and what the accounts did
// (sessions, purchases, subscriptions). Builds the JSON maps of the web API
// (docs/web-api.md). The mutable part is kept in a state file of the data
// folder so a restart keeps purchases and sessions.
class KvoDevData
{
public:
    struct Video {
        int id = 0;
        int courseId = 0;
        QString title;
        int duration = 0;
        int order = 0;
        int chapter = 0;
        QString chapterTitle;
        qint64 expiry = 0;
        int clip = 0; // which base clip the file is made of
    };
    struct Course {
        int id = 0;
        QString title;
        QList<int> softwareIds;
        QList<int> authorIds;
        int price = 0;
        int reducedPrice = 0;
        int previousPrice = 0;
        qint64 endTs = 0;
        int rating = 0;
        int sales = 0;
        int age = 0; // days since publication, for the "new" list
        QString description;
        bool attachment = false;
        QList<Video> videos;
        // A promotion runs until its end time; afterwards the course is
        // sold at its price again and leaves the "promo" list.
        bool onPromotion() const;
    };
    struct Software {
        int id = 0;
        QString name;
    };
    struct Author {
        int id = 0;
        QString pseudo;
        QString bio;
    };
    struct Account {
        QString userId;
        QString login;
        QString password;
        QString pseudo;
        QString email;
        int credits = 0;
        QString session;
        qint64 changeTime = 0;           // library change time, the poll's timestamp
        QMap<int, qint64> owned;         // course id -> purchase time
        QList<int> favourites;
        QSet<int> subscriptions;         // software ids whose e-mails the user receives
    };
    struct FaqEntry {
        int id = 0;
        QString question;
        QString answer;
    };

    // statePath: where the mutable state is kept ("" = memory only).
    explicit KvoDevData(const QString& statePath = QString());

    // The address the maps' links start with, "http://127.0.0.1:PORT".
    void setBaseUrl(const QString& baseUrl) { m_base = baseUrl; }
    QString baseUrl() const { return m_base; }

    // Back to the demo data as first shipped (and saved so).
    void reset();

    // The benchmark course: one more course (BenchCourseId) of three videos
    // of megabytes MiB each, owned by the demo account. Its videos have no
    // base clip (clip -1): KvoDevMedia::benchVideoPath() makes their files.
    static constexpr int BenchCourseId = 190;
    void addBenchCourse(int megabytes);
    int benchMegabytes() const { return m_benchMegabytes; }

    // The account of an "Authorization: Basic …" header value; null when
    // missing, malformed or wrong.
    Account* authenticate(const QByteArray& authorization);
    Account* account(const QString& login);

    // Sign-in: a new session token for the account.
    QJsonObject signIn(Account& account);

    // The whole library of the account (the poll's 200 answer).
    QJsonObject library(const Account& account) const;

    // The promotion that ends first, 90 s after the start.
    static constexpr int ShortPromotionId = 114;
    // Moves the end of a course's promotion, which runs again when it had
    // ended; false for a course that has none.
    bool setPromotionEnd(int courseId, qint64 endTs);

    const Course* course(int id) const;
    const Video* video(int fileId) const;
    const QList<Course>& courses() const { return m_courses; }
    const QList<Software>& softwares() const { return m_softwares; }
    const QList<Author>& authors() const { return m_authors; }
    const QList<FaqEntry>& faq() const { return m_faq; }

    // A course map; withFiles adds "files" and "purchase_date" (library).
    QJsonObject courseMap(const Course& course, const Account* owner = nullptr) const;
    QJsonObject videoMap(const Video& video) const;
    QJsonObject softwareMap(const Software& software, const Account* account) const;
    QJsonObject authorMap(const Author& author) const;

    // "top", "fave", "new", "promo"; false for another name.
    bool list(const QString& name, const Account& account, QJsonArray* out) const;
    // Case-insensitive substring search on titles and software names.
    QJsonObject search(const QString& query, int start, int limit) const;

    // Buys a course: true, or false with the refusal text in error.
    bool buy(Account& account, int courseId, QString* error);
    // Removes a favourite; false when it was none.
    bool removeFavourite(Account& account, int courseId);
    // Sets the e-mail subscription to a software; false for an unknown software.
    bool setSubscription(Account& account, int softwareId, bool on);

    // The course id of a video file the account owns; 0 when it owns none.
    int ownedFileCourse(const Account& account, int fileId) const;

    // Marks the account's library as changed (the poll answers 200 again).
    void touchLibrary(Account& account);

    QString pageTitle(const QString& kind, int id) const;

private:
    void buildCatalogue();
    void buildAccounts();
    void load();
    void save() const;
    QString link(const QString& path) const { return m_base + path; }

    QString m_statePath;
    QString m_base;
    QList<Software> m_softwares;
    QList<Author> m_authors;
    QList<Course> m_courses;
    QList<FaqEntry> m_faq;
    QList<Account> m_accounts;
    int m_benchMegabytes = 0;
};
