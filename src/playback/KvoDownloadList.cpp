#include "KvoDownloadList.h"

#include "KvoDownloadJob.h"
#include "KvoDownloadQueue.h"
#include "KvoPurchaseVideoManager.h"

#include <QByteArray>
#include <QDateTime>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

KvoPurchaseVideoManager* library()
{
    return KvoPurchaseVideoManager::instance();
}

// The order of purchase dates as a number. Read from the date and time as
// the record holds them: a conversion to UTC asks the system's time zone
// rules each time, which costs seconds over a large library.
qint64 dateKey(const QDateTime& date)
{
    if (!date.isValid())
        return 0;
    return date.date().toJulianDay() * 86400000 + date.time().msecsSinceStartOfDay();
}

} // namespace

KvoDownloadList::KvoDownloadList(QObject* parent)
    : QObject(parent)
{
    // Queued: a job's end, and the write that brought it, finish first.
    connect(library(), &KvoPurchaseVideoManager::databaseUpdated, this, &KvoDownloadList::catchUp,
            Qt::QueuedConnection);
    connect(KvoDownloadQueue::instance(), &KvoDownloadQueue::jobEnded, this,
            [this](uint purchaseId) {
                KvoPurchase course;
                const bool present = library()->purchase(purchaseId, &course);
                updateCourse(purchaseId, course, present);
            },
            Qt::QueuedConnection);
}

KvoDownloadList::~KvoDownloadList()
{
    KvoDownloadQueue::instance()->clear();
    for (KvoDownloadJob* job : std::as_const(m_jobs))
        job->stop();
    // Each job takes its children with it.
    const QHash<int, KvoDownloadJob*> jobs = std::exchange(m_jobs, {});
    m_entries.clear();
    m_sorted.clear();
    qDeleteAll(jobs);
    KvoDownloadQueue::instance()->clear();
}

// --- the rules --------------------------------------------------------------

namespace {

bool isMissing(const KvoVideoFile& video, const QHash<uint, QString>& gone)
{
    if (video.KvoPath.isEmpty())
        return true;
    if (gone.isEmpty())
        return false;
    const auto it = gone.constFind(video.fileId);
    return it != gone.cend() && it.value() == video.KvoPath;
}

} // namespace

QSet<int> KvoDownloadList::missingVideos(const KvoPurchase& course, const QHash<uint, QString>& gone)
{
    QSet<int> missing;
    for (const KvoVideoFile& video : course.files)
        if (isMissing(video, gone))
            missing.insert(int(video.fileId));
    return missing;
}

bool KvoDownloadList::missesVideo(const KvoPurchase& course, const QHash<uint, QString>& gone)
{
    for (const KvoVideoFile& video : course.files)
        if (isMissing(video, gone))
            return true;
    return false;
}

// --- following the library --------------------------------------------------

void KvoDownloadList::setKeys(Entry& entry, const KvoPurchase& course)
{
    entry.purchaseId = int(course.id);
    entry.date = dateKey(course.purchaseDate);
    entry.softwareId = course.softwareIDs.isEmpty() ? 0 : course.softwareIDs.first();
}

void KvoDownloadList::markMisses(Entry& entry, bool misses)
{
    if (entry.misses == misses)
        return;
    entry.misses = misses;
    m_listedMissing += misses ? 1 : -1;
}

void KvoDownloadList::setMisses(int purchaseId, bool misses, bool present)
{
    const auto it = m_entries.find(purchaseId);
    if (it == m_entries.end()) {
        if (misses)
            m_missingUnlisted.insert(purchaseId);
        else
            m_missingUnlisted.remove(purchaseId);
        return;
    }
    markMisses(*it, misses);
    if (!present && !it->job)
        m_left.insert(purchaseId);
}

void KvoDownloadList::checkFiles(const KvoPurchase& course, bool lookAtDisk)
{
    for (const KvoVideoFile& video : course.files) {
        if (video.KvoPath.isEmpty())
            continue;
        const auto it = m_gone.find(video.fileId);
        if (it != m_gone.end()) {
            if (it.value() != video.KvoPath || video.isOnDisk())
                m_gone.erase(it);
        } else if (lookAtDisk && !video.isOnDisk()) {
            m_gone.insert(video.fileId, video.KvoPath);
        }
    }
}

void KvoDownloadList::catchUp()
{
    if (!m_built)
        return;
    QList<int> changed;
    quint64 now = 0;
    if (!library()->changedSince(m_revision, &changed, &now)) {
        walkLibrary(false);
        return;
    }
    m_revision = now;
    for (const int id : std::as_const(changed)) {
        KvoPurchase course;
        const bool present = library()->purchase(uint(id), &course);
        // A course just written to: a look at its few files tells at once
        // when one was deleted (the user removed a video) or came back.
        if (present)
            checkFiles(course, true);
        updateCourse(uint(id), course, present);
    }
}

void KvoDownloadList::updateCourse(uint purchaseId, const KvoPurchase& course, bool present)
{
    if (present && !m_gone.isEmpty())
        checkFiles(course, false);
    const QSet<int> missing = present ? missingVideos(course, m_gone) : QSet<int>();
    const int before = countNow();
    setMisses(int(purchaseId), !missing.isEmpty(), present);

    const auto it = m_entries.find(int(purchaseId));
    // A listed course that left the library keeps its job as it is: its
    // transfer tells the user when it cannot finish.
    if (it != m_entries.end() && present) {
        setKeys(*it, course);
        if (it->job)
            it->job->follow(course, missing);
    }
    if (countNow() != before)
        emit countChanged(countNow());
}

void KvoDownloadList::walkLibrary(bool takeNewCourses)
{
    // The revision first: a change made during the walk is seen again next
    // time, never lost.
    m_revision = library()->revision();
    const QMap<int, KvoPurchase> purchases = library()->purchases();
    const int before = countNow();
    // What is not listed is counted again from the walk.
    m_missingUnlisted.clear();
    if (takeNewCourses)
        m_entries.reserve(purchases.size());
    bool joined = false;
    qsizetype listedSeen = 0;
    // The first walk of a large library fills an empty list: no look-up
    // before each insertion.
    const bool fresh = m_entries.isEmpty();
    for (auto course = purchases.cbegin(); course != purchases.cend(); ++course) {
        if (!m_gone.isEmpty())
            checkFiles(course.value(), false);
        const bool misses = missesVideo(course.value(), m_gone);
        auto it = fresh ? m_entries.end() : m_entries.find(course.key());
        if (it == m_entries.end()) {
            if (!misses)
                continue;
            if (!takeNewCourses) {
                m_missingUnlisted.insert(course.key());
                continue;
            }
            it = m_entries.insert(course.key(), Entry());
            joined = true;
        }
        ++listedSeen;
        markMisses(*it, misses);
        setKeys(*it, course.value());
        if (it->job)
            it->job->follow(course.value(), missingVideos(course.value(), m_gone));
    }
    // Entries whose course left the library: only looked for when some
    // entry's course was not met in the walk. Those with a job stay while
    // it has something to show; the others go now or at the next rebuild.
    for (auto it = m_entries.begin(); listedSeen < m_entries.size() && it != m_entries.end();) {
        if (purchases.contains(it.key())) {
            ++it;
            continue;
        }
        markMisses(*it, false);
        if (it->job) {
            ++it;
        } else if (takeNewCourses) {
            it = m_entries.erase(it);
            joined = true;
        } else {
            m_left.insert(it.key());
            ++it;
        }
    }
    if (takeNewCourses) {
        m_left.clear();
        m_countAtRebuild = countNow();
    }
    if (countNow() != before)
        emit countChanged(countNow());
    if (joined || takeNewCourses)
        emit listChanged();
}

void KvoDownloadList::rebuild()
{
    if (!m_built) {
        m_built = true;
        // The counter hears the first count, even an empty one, once.
        const int before = countNow();
        walkLibrary(true);
        if (countNow() == before)
            emit countChanged(countNow());
        return;
    }
    catchUp();
    // Courses that miss a video and are not listed join the list; listed
    // ones without a job whose course left the library go.
    bool changed = false;
    KvoPurchase course;
    const QSet<int> joining = std::exchange(m_missingUnlisted, {});
    for (const int id : joining) {
        if (!library()->purchase(uint(id), &course))
            continue;
        Entry& entry = m_entries[id];
        setKeys(entry, course);
        markMisses(entry, true);
        changed = true;
    }
    const QSet<int> left = std::exchange(m_left, {});
    for (const int id : left) {
        const auto it = m_entries.find(id);
        if (it != m_entries.end() && !it->job && !library()->purchase(uint(id), &course)) {
            markMisses(*it, false);
            m_entries.erase(it);
            changed = true;
        }
    }
    m_countAtRebuild = countNow();
    if (changed)
        emit listChanged();
}

void KvoDownloadList::setGone(const QHash<uint, QString>& gone)
{
    if (gone == m_gone)
        return;
    m_gone = gone;
    // The look at the disk was asked for by a show of the page or by
    // "Actualiser": courses that lost a file join the list as at a show.
    if (m_built)
        walkLibrary(true);
}

// --- the list ---------------------------------------------------------------

void KvoDownloadList::sort(int mode, const QMap<int, KvoSoftware>& softwares)
{
    m_sortMode = mode;
    // Each entry becomes a pair of numbers (the key, then the id, which
    // orders entries with equal keys): a library of any size sorts at once.
    // Software names are ranked once per software, not once per comparison.
    QHash<uint, qint64> rankOf;
    if (mode == 2 || mode == 3) {
        QSet<uint> ids;
        for (const Entry& entry : std::as_const(m_entries))
            ids.insert(entry.softwareId);
        std::vector<std::pair<QByteArray, uint>> names;
        for (const uint id : std::as_const(ids))
            names.emplace_back(softwares.value(int(id)).name.toLower().toLatin1(), id);
        std::sort(names.begin(), names.end());
        qint64 rank = 0;
        for (size_t i = 0; i < names.size(); ++i) {
            if (i > 0 && names[i].first != names[i - 1].first)
                ++rank;
            rankOf.insert(names[i].second, rank);
        }
    }
    std::vector<std::pair<qint64, int>> keyed;
    keyed.reserve(size_t(m_entries.size()));
    for (const Entry& entry : std::as_const(m_entries)) {
        qint64 key = 0;
        switch (mode) {
        case 0: key = entry.date; break;
        case 1: key = -entry.date; break;
        case 2: key = rankOf.value(entry.softwareId); break;
        default: key = -rankOf.value(entry.softwareId); break;
        }
        keyed.emplace_back(key, entry.purchaseId);
    }
    std::sort(keyed.begin(), keyed.end());
    m_sorted.clear();
    m_sorted.reserve(qsizetype(keyed.size()));
    for (const auto& k : keyed)
        m_sorted.append(k.second);
}

KvoDownloadJob* KvoDownloadList::makeJob(Entry& entry, const KvoPurchase& course)
{
    auto* job = new KvoDownloadJob(course);
    job->setFlag(m_online);
    connect(job, &KvoDownloadJob::childrenChanged, this, &KvoDownloadList::rowsChanged);
    entry.job = job;
    m_jobs.insert(entry.purchaseId, job);
    // What the disk says counts from the first look: a file found gone is
    // missing, and a course that misses nothing any more shows finished.
    job->follow(course, missingVideos(course, m_gone));
    return job;
}

KvoDownloadJob* KvoDownloadList::job(uint purchaseId)
{
    auto it = m_entries.find(int(purchaseId));
    if (it == m_entries.end())
        return nullptr;
    if (!it->job) {
        KvoPurchase course;
        if (!library()->purchase(purchaseId, &course))
            return nullptr;
        makeJob(*it, course);
    }
    return it->job;
}

QList<KvoDownloadJob*> KvoDownloadList::jobs() const
{
    return m_jobs.values();
}

bool KvoDownloadList::remove(KvoDownloadJob* job)
{
    if (!job || job->parentJob())
        return false;
    const auto it = m_entries.find(int(job->purchaseId()));
    if (it == m_entries.end() || it->job != job)
        return false;
    // A course that still misses a video comes back at the next rebuild.
    if (it->misses)
        m_missingUnlisted.insert(int(job->purchaseId()));
    markMisses(*it, false);
    m_entries.erase(it);
    m_jobs.remove(int(job->purchaseId()));
    m_sorted.removeOne(int(job->purchaseId()));
    job->stop();
    // Called from a click on its row: the job goes from the event loop.
    job->deleteLater();
    emit listChanged();
    return true;
}

void KvoDownloadList::setOnline(bool online)
{
    m_online = online;
    for (KvoDownloadJob* job : std::as_const(m_jobs))
        job->setFlag(online);
}

void KvoDownloadList::stopAll()
{
    KvoDownloadQueue::instance()->clear();
    for (KvoDownloadJob* job : std::as_const(m_jobs))
        job->stop();
}
