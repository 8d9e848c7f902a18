#pragma once

#include <QRegion>
#include <QWidget>

// What a widget shows while a dialog in front of it is open: the widget as
// it is, darkened evenly by a translucent black laid over it. The widgets
// below keep painting themselves (a page that finishes loading, a status
// that changes), and the cover is drawn again over what they paint, so the
// dimmed page is always the live one; nothing repaints unless they do. A
// graphics effect on the live widgets instead repainted parts of the page
// on their own (rows went missing, pieces showed in the wrong place) and a
// colour filter left light texts bright. Several dialogs share the one
// cover of a widget; it goes when the last lets go. Mouse events pass
// through it.
class KvoDimmedCover : public QWidget
{
    Q_OBJECT

public:
    // Black drawn over the widget at full strength.
    static constexpr double Darkness = 0.6;

    // The widget's cover; made hidden and without holder when there is
    // none and `create` is true.
    static KvoDimmedCover* of(QWidget* widget, bool create);

    // A dialog starts or stops darkening the widget; the cover shows while
    // it has holders and is deleted when the last one lets go.
    void hold();
    void release();
    int holders() const { return m_holders; }

    // 0 the plain widget, 1 fully darkened.
    void setStrength(double strength);
    double strength() const { return m_strength; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    explicit KvoDimmedCover(QWidget* widget);
    QRegion composedApart() const;

    int m_holders = 0;
    double m_strength = 1.0;
};
