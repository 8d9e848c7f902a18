#pragma once

#include <QPointer>
#include <QPushButton>

class KvoSignetManager;
class KvoVideoPlayer;
class KvoVideoSeeker;
class QMouseEvent;

// One bookmark over the seek bar: a click plays from its time; pressing
// it and dragging the mouse out of it deletes it.
class KvoSignetWidget : public QPushButton
{
    Q_OBJECT

public:
    KvoSignetWidget(KvoSignetManager* store, KvoVideoPlayer* player, KvoVideoSeeker* seeker, QWidget* parent);

    void setValue(qint64 value) { m_value = value; }
    qint64 value() const { return m_value; }
    void setName(const QString& name) { m_name = name; }
    QString name() const { return m_name; }
    void setIndex(int index) { m_index = index; }
    int index() const { return m_index; }
    // The bookmark's row in `signets` (0 before it is stored).
    void setRowId(qint64 rowId) { m_rowId = rowId; }
    qint64 rowId() const { return m_rowId; }
    bool isRemoved() const { return m_removed; }

    // Moves the marker over the bookmark's share of the seek bar; stays
    // where it is while the video's length is unknown.
    void updatePosition();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private slots:
    void onClick();

private:
    qint64 m_value = 0;
    int m_x = 0;
    int m_y = 0;
    QPointer<KvoVideoPlayer> m_player;
    QPointer<KvoVideoSeeker> m_seeker;
    int m_index = 0;
    QString m_name;
    KvoSignetManager* m_store = nullptr;
    bool m_removed = false;
    qint64 m_rowId = 0;
};
