#include "KvoDevData.h"

#include "KvoDevMedia.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSaveFile>

#include <algorithm>

namespace {

qint64 now()
{
    return QDateTime::currentSecsSinceEpoch();
}

QJsonArray intArray(const QList<int>& ids)
{
    QJsonArray a;
    for (int id : ids)
        a.append(id);
    return a;
}

// Purchase times of the demo libraries: fixed, one day apart.
qint64 demoPurchaseTime(int index)
{
    return QDateTime(QDate(2026, 3, 2), QTime(10, 0), Qt::UTC).toSecsSinceEpoch() + index * 86400;
}

} // namespace

KvoDevData::KvoDevData(const QString& statePath)
    : m_statePath(statePath)
{
    buildCatalogue();
    buildAccounts();
    load();
}

void KvoDevData::reset()
{
    buildAccounts();
    if (m_benchMegabytes > 0)
        if (Account* demo = account(QStringLiteral("demo")))
            demo->owned.insert(BenchCourseId, now());
    save();
}

void KvoDevData::addBenchCourse(int megabytes)
{
    m_benchMegabytes = megabytes;
    if (!course(BenchCourseId)) {
        Course c;
        c.id = BenchCourseId;
        c.title = QStringLiteral("Banc d'essai : trois vidéos de %1 Mio").arg(megabytes);
        c.softwareIds = {1};
        c.authorIds = {1};
        c.price = 1;
        c.age = 999;
        c.description = QStringLiteral("Des fichiers volumineux pour mesurer les téléchargements.");
        for (int k = 1; k <= 3; ++k) {
            Video v;
            v.id = BenchCourseId * 10 + k;
            v.courseId = BenchCourseId;
            v.order = k;
            v.title = QStringLiteral("Fichier %1").arg(k);
            v.duration = 60;
            v.clip = -1;
            c.videos.append(v);
        }
        m_courses.append(c);
    }
    if (Account* demo = account(QStringLiteral("demo"))) {
        if (!demo->owned.contains(BenchCourseId)) {
            demo->owned.insert(BenchCourseId, now());
            touchLibrary(*demo);
        }
    }
}

void KvoDevData::buildCatalogue()
{
    m_softwares = {
        {1, QStringLiteral("Photomaton Pro")},
        {2, QStringLiteral("Tableur Plus")},
        {3, QStringLiteral("Studio Son")},
        {4, QStringLiteral("Mise en Page")},
    };
    m_authors = {
        {1, QStringLiteral("Claire Dubois"), QStringLiteral("Photographe et formatrice depuis quinze ans.")},
        {2, QStringLiteral("Julien Martin"), QStringLiteral("Expert-comptable, passionné de tableurs.")},
        {3, QStringLiteral("Sophie Lefèvre"), QStringLiteral("Ingénieure du son et graphiste à ses heures.")},
    };

    struct Seed {
        int id;
        const char* title;
        QList<int> softwares;
        int author;
        int price;
        int rating;
        int sales;
        int chapters; // 0: no chapters
        int videos;
    };
    // The titles exercise file-name handling: "/", ":", quotes and "%1".
    // Prices run from free (117) and one credit (112) to six (118).
    const QList<Seed> seeds = {
        {101, "Photomaton Pro : les bases", {1}, 1, 3, 4, 812, 2, 4},
        {102, "Retouche : avant/après, le \"pas à pas\"", {1}, 1, 4, 5, 455, 3, 5},
        {103, "Tableur Plus pour débutants", {2}, 2, 2, 4, 1290, 2, 3},
        {104, "Modèles « %1 » et publipostage", {2, 4}, 2, 3, 3, 120, 2, 4},
        {105, "Studio Son : enregistrer sa voix", {3}, 3, 3, 4, 344, 3, 6},
        {106, "Mixage et mastering", {3}, 3, 5, 5, 610, 2, 4},
        {107, "Mise en Page : une affiche en 1 heure", {4}, 3, 2, 3, 95, 0, 3},
        {108, "Tableaux croisés dynamiques", {2}, 2, 4, 4, 733, 3, 5},
        {109, "Photomaton Pro : les calques", {1}, 1, 3, 4, 502, 2, 4},
        {110, "Podcast de A à Z", {3, 4}, 3, 4, 5, 288, 3, 6},
        {111, "Brochures et dépliants", {4}, 3, 3, 3, 77, 2, 3},
        {112, "Photomaton Pro : détourage express", {1}, 1, 1, 4, 390, 2, 3},
        {113, "Macros du Tableur Plus", {2}, 2, 5, 4, 156, 2, 4},
        {114, "Effets sonores créatifs", {3}, 3, 3, 4, 64, 2, 3},
        {115, "Typographie pour tous", {4}, 3, 2, 5, 210, 2, 4},
        {116, "Photomaton Pro : portraits", {1}, 1, 4, 4, 431, 3, 5},
        {117, "Graphiques qui parlent", {2, 4}, 2, 0, 3, 58, 2, 3},
        {118, "Studio Son : le podcast en direct", {3}, 3, 6, 4, 19, 2, 4},
    };
    static const char* const videoTitles[] = {
        "Introduction", "Découvrir l'interface", "Premiers réglages",
        "Exercice pratique", "Aller plus loin", "Conclusion",
    };
    static const char* const chapterTitles[] = {
        "Prise en main", "Mise en pratique", "Astuces de pro",
    };
    // Promotions, counted from the start of the service: one ends after a
    // minute and a half (its row counts down the seconds, then goes), the
    // others show each wording of the time left.
    struct Promotion {
        int id;
        int reducedPrice;
        qint64 lasts; // seconds
    };
    const QList<Promotion> promotions = {
        {111, 2, 3 * 86400},  // "3 jours restants"
        {114, 1, 90},         // ends during a demo
        {116, 3, 20 * 3600},  // "1 jour restant"
        {109, 2, 5 * 3600},   // "5 heure restantes"
        {110, 3, 50 * 60},    // "expire dans 49 minutes"
    };
    const qint64 start = now();

    m_courses.clear();
    int age = 0;
    for (const Seed& s : seeds) {
        Course c;
        c.id = s.id;
        c.title = QString::fromUtf8(s.title);
        c.softwareIds = s.softwares;
        c.authorIds = {s.author};
        c.price = s.price;
        c.rating = s.rating;
        c.sales = s.sales;
        c.age = (age += 5);
        c.description = QStringLiteral("Une formation courte et concrète : %1.").arg(c.title);
        c.attachment = (s.id % 2) == 1;
        for (const Promotion& p : promotions) {
            if (p.id != s.id)
                continue;
            c.previousPrice = s.price;
            c.reducedPrice = p.reducedPrice;
            c.endTs = start + p.lasts;
        }
        for (int k = 1; k <= s.videos; ++k) {
            Video v;
            v.id = s.id * 10 + k;
            v.courseId = s.id;
            v.order = k;
            v.title = QString::fromUtf8(videoTitles[(k - 1) % 6]);
            if (k == s.videos)
                v.title = QString::fromUtf8(videoTitles[5]);
            v.clip = v.id % KvoDevMedia::kClipCount;
            v.duration = KvoDevMedia::clipSeconds(v.clip); // the length of the base clip
            if (s.chapters > 0) {
                v.chapter = 1 + (k - 1) * s.chapters / s.videos;
                v.chapterTitle = QString::fromUtf8(chapterTitles[v.chapter - 1]);
            }
            // One video whose download right ends, to show an expiry date.
            if (v.id == 1023)
                v.expiry = QDateTime(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
            c.videos.append(v);
        }
        m_courses.append(c);
    }

    // Answers hold simple HTML, as the service writes them; "{site}" is the
    // service's address.
    m_faq = {
        {1, QStringLiteral("Comment télécharger une vidéo ?"),
         QStringLiteral("Ouvrez la page <b>« À télécharger »</b> et cliquez sur la flèche à droite de la vidéo.")},
        {2, QStringLiteral("Où sont enregistrées mes vidéos ?"),
         QStringLiteral("Dans le dossier choisi dans la <i>Configuration du player</i>, "
                        "un sous-dossier par formation.")},
        {3, QStringLiteral("Comment acheter des crédits ?"),
         QStringLiteral("Cliquez sur « Acheter des crédits » : la <a href=\"{site}/fr/credits\">page du site</a> "
                        "s'ouvre dans votre navigateur.")},
        {4, QStringLiteral("Puis-je regarder mes vidéos sans connexion ?"),
         QStringLiteral("Oui :<ul><li>une vidéo téléchargée se regarde hors connexion ;</li>"
                        "<li>la bibliothèque se met à jour au retour de la connexion.</li></ul>")},
        {5, QStringLiteral("Question en cours de rédaction"), QString()}, // no answer yet: not shown
        {6, QStringLiteral("Comment contacter l'assistance ?"),
         QStringLiteral("Cliquez sur « Contactez-nous » : écrivez-nous, nous répondons sous 48&nbsp;h.")},
    };
}

bool KvoDevData::Course::onPromotion() const
{
    return reducedPrice > 0 && endTs > now();
}

void KvoDevData::buildAccounts()
{
    const qint64 t = now();
    Account demo;
    demo.userId = QStringLiteral("1042");
    demo.login = QStringLiteral("demo");
    demo.password = QStringLiteral("demo");
    demo.pseudo = QStringLiteral("Démo");
    demo.email = QStringLiteral("demo@example.org");
    demo.credits = 12;
    demo.changeTime = t;
    int i = 0;
    for (int id : {101, 102, 103, 104, 105, 106, 107, 108})
        demo.owned.insert(id, demoPurchaseTime(i++));
    demo.favourites = {111, 113, 115};
    demo.subscriptions = {1};

    Account marie;
    marie.userId = QStringLiteral("1043");
    marie.login = QStringLiteral("marie");
    marie.password = QStringLiteral("Motdepasse+1&");
    marie.pseudo = QStringLiteral("Marie");
    marie.email = QStringLiteral("marie@example.org");
    marie.credits = 3;
    marie.changeTime = t;
    i = 0;
    for (int id : {103, 109, 110})
        marie.owned.insert(id, demoPurchaseTime(i++));
    marie.favourites = {101};

    m_accounts = {demo, marie};
}

void KvoDevData::load()
{
    if (m_statePath.isEmpty())
        return;
    QFile f(m_statePath);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QJsonObject root = QJsonDocument::fromJson(f.readAll()).object();
    for (Account& a : m_accounts) {
        const QJsonObject o = root.value(a.login).toObject();
        if (o.isEmpty())
            continue;
        a.credits = o.value(QStringLiteral("credits")).toInt(a.credits);
        a.session = o.value(QStringLiteral("session")).toString();
        a.changeTime = qint64(o.value(QStringLiteral("change_time")).toDouble(double(a.changeTime)));
        a.owned.clear();
        const QJsonObject owned = o.value(QStringLiteral("owned")).toObject();
        for (auto it = owned.begin(); it != owned.end(); ++it)
            if (course(it.key().toInt()))
                a.owned.insert(it.key().toInt(), qint64(it.value().toDouble()));
        a.favourites.clear();
        for (const QJsonValue& v : o.value(QStringLiteral("favourites")).toArray())
            a.favourites.append(v.toInt());
        a.subscriptions.clear();
        for (const QJsonValue& v : o.value(QStringLiteral("subscriptions")).toArray())
            a.subscriptions.insert(v.toInt());
    }
}

void KvoDevData::save() const
{
    if (m_statePath.isEmpty())
        return;
    QJsonObject root;
    for (const Account& a : m_accounts) {
        QJsonObject o;
        o.insert(QStringLiteral("credits"), a.credits);
        o.insert(QStringLiteral("session"), a.session);
        o.insert(QStringLiteral("change_time"), double(a.changeTime));
        QJsonObject owned;
        for (auto it = a.owned.begin(); it != a.owned.end(); ++it)
            owned.insert(QString::number(it.key()), double(it.value()));
        o.insert(QStringLiteral("owned"), owned);
        o.insert(QStringLiteral("favourites"), intArray(a.favourites));
        QList<int> subs = a.subscriptions.values();
        std::sort(subs.begin(), subs.end());
        o.insert(QStringLiteral("subscriptions"), intArray(subs));
        root.insert(a.login, o);
    }
    QSaveFile f(m_statePath);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(QJsonDocument(root).toJson());
        f.commit();
    }
}

KvoDevData::Account* KvoDevData::authenticate(const QByteArray& authorization)
{
    const QByteArray prefix = QByteArrayLiteral("Basic ");
    if (!authorization.startsWith(prefix))
        return nullptr;
    const QByteArray decoded = QByteArray::fromBase64(authorization.mid(prefix.size()).trimmed(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
    const int colon = decoded.indexOf(':');
    if (colon <= 0)
        return nullptr;
    const QString login = QString::fromUtf8(decoded.left(colon));
    const QString password = QString::fromUtf8(decoded.mid(colon + 1));
    Account* a = account(login);
    return (a && a->password == password) ? a : nullptr;
}

KvoDevData::Account* KvoDevData::account(const QString& login)
{
    for (Account& a : m_accounts)
        if (a.login == login)
            return &a;
    return nullptr;
}

QJsonObject KvoDevData::signIn(Account& account)
{
    QByteArray token(16, Qt::Uninitialized);
    for (char& c : token)
        c = char(QRandomGenerator::system()->bounded(256));
    account.session = QString::fromLatin1(token.toHex());
    save();
    QJsonObject o;
    o.insert(QStringLiteral("status"), QStringLiteral("OK"));
    o.insert(QStringLiteral("user_id"), account.userId);
    o.insert(QStringLiteral("login"), account.login);
    o.insert(QStringLiteral("pseudo"), account.pseudo);
    o.insert(QStringLiteral("email"), account.email);
    o.insert(QStringLiteral("credits"), QString::number(account.credits));
    o.insert(QStringLiteral("session"), account.session);
    return o;
}

QJsonObject KvoDevData::library(const Account& account) const
{
    QJsonArray vorns;
    QList<int> authorIds, softwareIds;
    for (auto it = account.owned.begin(); it != account.owned.end(); ++it) {
        const Course* c = course(it.key());
        if (!c)
            continue;
        vorns.append(courseMap(*c, &account));
        for (int id : c->authorIds)
            if (!authorIds.contains(id))
                authorIds.append(id);
        for (int id : c->softwareIds)
            if (!softwareIds.contains(id))
                softwareIds.append(id);
    }
    QJsonArray authors, softwares;
    for (const Author& a : m_authors)
        if (authorIds.contains(a.id))
            authors.append(authorMap(a));
    for (const Software& s : m_softwares)
        if (softwareIds.contains(s.id))
            softwares.append(softwareMap(s, &account));
    QJsonObject o;
    o.insert(QStringLiteral("status"), QStringLiteral("OK"));
    o.insert(QStringLiteral("timestamp"), double(account.changeTime));
    o.insert(QStringLiteral("credits"), QString::number(account.credits));
    o.insert(QStringLiteral("vorns"), vorns);
    o.insert(QStringLiteral("authors"), authors);
    o.insert(QStringLiteral("softwares"), softwares);
    return o;
}

bool KvoDevData::setPromotionEnd(int courseId, qint64 endTs)
{
    for (Course& c : m_courses) {
        if (c.id == courseId && c.reducedPrice > 0) {
            c.endTs = endTs;
            return true;
        }
    }
    return false;
}

const KvoDevData::Course* KvoDevData::course(int id) const
{
    for (const Course& c : m_courses)
        if (c.id == id)
            return &c;
    return nullptr;
}

const KvoDevData::Video* KvoDevData::video(int fileId) const
{
    const Course* c = course(fileId / 10);
    if (!c)
        return nullptr;
    for (const Video& v : c->videos)
        if (v.id == fileId)
            return &v;
    return nullptr;
}

QJsonObject KvoDevData::courseMap(const Course& c, const Account* owner) const
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), c.id);
    o.insert(QStringLiteral("title"), c.title);
    QStringList names;
    for (int id : c.softwareIds)
        for (const Software& s : m_softwares)
            if (s.id == id)
                names.append(s.name);
    o.insert(QStringLiteral("softwares"), names.join(QStringLiteral(", ")));
    o.insert(QStringLiteral("software_ids"), intArray(c.softwareIds));
    o.insert(QStringLiteral("author_ids"), intArray(c.authorIds));
    o.insert(QStringLiteral("price"), c.price);
    const bool promotion = c.onPromotion();
    o.insert(QStringLiteral("reduced_price"), promotion ? c.reducedPrice : 0);
    o.insert(QStringLiteral("previous_price"), promotion ? c.previousPrice : 0);
    o.insert(QStringLiteral("rating"), c.rating);
    o.insert(QStringLiteral("sales"), c.sales);
    o.insert(QStringLiteral("thumbnail"), link(QStringLiteral("/files/thumbs/vorn_%1.png").arg(c.id)));
    o.insert(QStringLiteral("url"), link(QStringLiteral("/fr/vorn/%1").arg(c.id)));
    o.insert(QStringLiteral("end_ts"), promotion ? double(c.endTs) : 0.0);
    o.insert(QStringLiteral("preview_uri"), link(QStringLiteral("/files/previews/%1.mp4").arg(c.id)));
    o.insert(QStringLiteral("width"), 320);
    o.insert(QStringLiteral("height"), 180);
    o.insert(QStringLiteral("attachment_url"),
             c.attachment ? link(QStringLiteral("/files/attachments/%1.zip").arg(c.id)) : QString());
    o.insert(QStringLiteral("description"), c.description);
    if (owner) {
        o.insert(QStringLiteral("purchase_date"), double(owner->owned.value(c.id)));
        QJsonArray files;
        for (const Video& v : c.videos)
            files.append(videoMap(v));
        o.insert(QStringLiteral("files"), files);
    }
    return o;
}

QJsonObject KvoDevData::videoMap(const Video& v) const
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), v.id);
    o.insert(QStringLiteral("title"), v.title);
    o.insert(QStringLiteral("duration"), v.duration);
    o.insert(QStringLiteral("order"), v.order);
    o.insert(QStringLiteral("n_chapter"), v.chapter);
    o.insert(QStringLiteral("t_chapter"), v.chapterTitle);
    o.insert(QStringLiteral("expiry_ts"), double(v.expiry));
    o.insert(QStringLiteral("thumbnail"), link(QStringLiteral("/files/thumbs/video_%1.png").arg(v.id)));
    const QSize size = v.clip >= 0 ? KvoDevMedia::clipSize(v.clip) : QSize(320, 180);
    o.insert(QStringLiteral("width"), size.width());
    o.insert(QStringLiteral("height"), size.height());
    return o;
}

QJsonObject KvoDevData::softwareMap(const Software& s, const Account* account) const
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), s.id);
    o.insert(QStringLiteral("name"), s.name);
    o.insert(QStringLiteral("thumbnail"), link(QStringLiteral("/files/thumbs/software_%1.png").arg(s.id)));
    o.insert(QStringLiteral("url"), link(QStringLiteral("/fr/software/%1").arg(s.id)));
    o.insert(QStringLiteral("suscribed"), account && account->subscriptions.contains(s.id));
    return o;
}

QJsonObject KvoDevData::authorMap(const Author& a) const
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), a.id);
    o.insert(QStringLiteral("pseudo"), a.pseudo);
    o.insert(QStringLiteral("avatar"), link(QStringLiteral("/files/thumbs/author_%1.png").arg(a.id)));
    o.insert(QStringLiteral("bio"), a.bio);
    o.insert(QStringLiteral("avatar_url"), link(QStringLiteral("/fr/author/%1/avatar").arg(a.id)));
    o.insert(QStringLiteral("profile_url"), link(QStringLiteral("/fr/author/%1").arg(a.id)));
    o.insert(QStringLiteral("fan"), a.id == 1);
    return o;
}

bool KvoDevData::list(const QString& name, const Account& account, QJsonArray* out) const
{
    QList<const Course*> picked;
    if (name == QLatin1String("fave")) {
        for (int id : account.favourites)
            if (const Course* c = course(id))
                picked.append(c);
    } else if (name == QLatin1String("top")) {
        for (const Course& c : m_courses)
            picked.append(&c);
        std::stable_sort(picked.begin(), picked.end(),
                         [](const Course* a, const Course* b) { return a->sales > b->sales; });
        picked = picked.mid(0, 10);
    } else if (name == QLatin1String("new")) {
        for (const Course& c : m_courses)
            picked.append(&c);
        std::stable_sort(picked.begin(), picked.end(),
                         [](const Course* a, const Course* b) { return a->age > b->age; });
        picked = picked.mid(0, 8);
    } else if (name == QLatin1String("promo")) {
        for (const Course& c : m_courses)
            if (c.onPromotion())
                picked.append(&c);
    } else {
        return false;
    }
    for (const Course* c : picked)
        out->append(courseMap(*c));
    return true;
}

QJsonObject KvoDevData::search(const QString& query, int start, int limit) const
{
    const QString q = query.trimmed();
    QList<const Course*> hits;
    for (const Course& c : m_courses) {
        bool match = q.isEmpty() || c.title.contains(q, Qt::CaseInsensitive);
        for (int id : c.softwareIds)
            for (const Software& s : m_softwares)
                if (s.id == id && s.name.contains(q, Qt::CaseInsensitive))
                    match = true;
        if (match)
            hits.append(&c);
    }
    QJsonArray results;
    start = qMax(0, start);
    limit = limit <= 0 ? 10 : limit;
    for (int i = start; i < hits.size() && i < start + limit; ++i)
        results.append(courseMap(*hits.at(i)));
    QJsonObject vorn;
    vorn.insert(QStringLiteral("results"), results);
    vorn.insert(QStringLiteral("total"), hits.size());
    QJsonObject o;
    o.insert(QStringLiteral("vorn"), vorn);
    return o;
}

bool KvoDevData::buy(Account& account, int courseId, QString* error)
{
    const Course* c = course(courseId);
    if (!c) {
        *error = QStringLiteral("Cette formation n'existe pas.");
        return false;
    }
    if (account.owned.contains(courseId)) {
        *error = QStringLiteral("Vous possédez déjà cette formation.");
        return false;
    }
    const int price = c->onPromotion() ? c->reducedPrice : c->price;
    if (account.credits < price) {
        *error = QStringLiteral("Crédits insuffisants.");
        return false;
    }
    account.credits -= price;
    account.owned.insert(courseId, now());
    touchLibrary(account);
    return true;
}

bool KvoDevData::removeFavourite(Account& account, int courseId)
{
    const bool removed = account.favourites.removeAll(courseId) > 0;
    if (removed)
        save();
    return removed;
}

bool KvoDevData::setSubscription(Account& account, int softwareId, bool on)
{
    bool known = false;
    for (const Software& s : m_softwares)
        known = known || s.id == softwareId;
    if (!known)
        return false;
    if (on)
        account.subscriptions.insert(softwareId);
    else
        account.subscriptions.remove(softwareId);
    touchLibrary(account);
    return true;
}

int KvoDevData::ownedFileCourse(const Account& account, int fileId) const
{
    const Video* v = video(fileId);
    return (v && account.owned.contains(v->courseId)) ? v->courseId : 0;
}

void KvoDevData::touchLibrary(Account& account)
{
    // Strictly increasing even for two changes within one second.
    account.changeTime = qMax(now(), account.changeTime + 1);
    save();
}

QString KvoDevData::pageTitle(const QString& kind, int id) const
{
    if (kind == QLatin1String("vorn")) {
        if (const Course* c = course(id))
            return c->title;
    } else if (kind == QLatin1String("software")) {
        for (const Software& s : m_softwares)
            if (s.id == id)
                return s.name;
    } else if (kind == QLatin1String("author")) {
        for (const Author& a : m_authors)
            if (a.id == id)
                return a.pseudo;
    }
    return QString();
}
