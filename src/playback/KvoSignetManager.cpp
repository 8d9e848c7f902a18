#include "KvoSignetManager.h"

#include "KvoSignetWidget.h"

#include <QSqlQuery>
#include <QVariant>

KvoSignetManager::~KvoSignetManager()
{
    // The markers belong to their parent widget, which may be gone first.
}

void KvoSignetManager::deleteMarkers()
{
    for (KvoSignetWidget* marker : std::as_const(m_markers))
        delete marker;
    m_markers.clear();
}

void KvoSignetManager::load(KvoVideoPlayer* player, KvoVideoSeeker* seeker, QWidget* parent)
{
    deleteMarkers();
    QSqlQuery query;
    query.prepare(QStringLiteral("SELECT `value`, `name`, rowid FROM `signets` WHERE id_video = :id_video"));
    query.bindValue(QStringLiteral(":id_video"), m_videoId);
    if (!query.exec())
        return;
    while (query.next()) {
        auto* marker = new KvoSignetWidget(this, player, seeker, parent);
        marker->setValue(qint64(query.value(0).toULongLong()));
        marker->setName(query.value(1).toString());
        marker->setRowId(query.value(2).toLongLong());
        marker->updatePosition();
        marker->show();
        marker->setIndex(m_markers.size());
        m_markers.insert(m_markers.size(), marker);
    }
}

void KvoSignetManager::add(KvoSignetWidget* marker)
{
    if (!marker)
        return;
    marker->setIndex(m_markers.size());
    m_markers.insert(m_markers.size(), marker);
    QSqlQuery query;
    query.prepare(QStringLiteral(
        "INSERT INTO `signets` (`id_video`, `value`, `name`) VALUES (:id_video, :value, :name)"));
    query.bindValue(QStringLiteral(":id_video"), m_videoId);
    query.bindValue(QStringLiteral(":value"), marker->value());
    query.bindValue(QStringLiteral(":name"), marker->name());
    if (query.exec())
        marker->setRowId(query.lastInsertId().toLongLong());
}

void KvoSignetManager::remove(KvoSignetWidget* marker)
{
    if (!marker)
        return;
    // By its own row: another bookmark at the same time must survive.
    if (marker->rowId() > 0) {
        QSqlQuery query;
        query.prepare(QStringLiteral("DELETE FROM `signets` WHERE rowid = :rowid AND id_video = :id_video"));
        query.bindValue(QStringLiteral(":rowid"), marker->rowId());
        query.bindValue(QStringLiteral(":id_video"), m_videoId);
        query.exec();
    }
    marker->hide();
}

void KvoSignetManager::updatePositions()
{
    for (KvoSignetWidget* marker : std::as_const(m_markers))
        marker->updatePosition();
}

void KvoSignetManager::setMarkersHidden(bool hidden)
{
    for (KvoSignetWidget* marker : std::as_const(m_markers)) {
        if (!hidden && marker->isRemoved())
            continue;
        marker->setVisible(!hidden);
    }
}
