#include "KvoFloatingFrame.h"

#include "KvoAbstractAnimation.h"

QList<KvoFloatingFrame*> KvoFloatingFrame::s_openFrames;

KvoFloatingFrame::KvoFloatingFrame(QWidget* parent)
    : QWidget(parent)
    , m_reference(parent)
{
    m_ui.setupUi(this);
    hide();
    connect(m_ui.closeButton, &QPushButton::clicked, this, &KvoFloatingFrame::closeFrame);
}

KvoFloatingFrame::~KvoFloatingFrame()
{
    // A destroyed frame must never stay in the list.
    close(false);
}

QList<KvoFloatingFrame*> KvoFloatingFrame::openFrames()
{
    return s_openFrames;
}

void KvoFloatingFrame::setOpenAnimation(KvoAbstractAnimation* animation)
{
    m_openAnimation = animation;
}

void KvoFloatingFrame::setCloseAnimation(KvoAbstractAnimation* animation)
{
    if (m_closeAnimation)
        disconnect(m_closeAnimation, &KvoAbstractAnimation::finished, this, &KvoFloatingFrame::atEndOfAnimation);
    m_closeAnimation = animation;
    if (animation)
        connect(animation, &KvoAbstractAnimation::finished, this, &KvoFloatingFrame::atEndOfAnimation);
}

void KvoFloatingFrame::addWidget(QWidget* widget)
{
    m_ui.content->addWidget(widget);
}

void KvoFloatingFrame::centerOn(QWidget* reference)
{
    m_reference = reference;
    if (!reference)
        return;
    if (reference == parentWidget()) {
        move(reference->width() / 2 - width() / 2, reference->height() / 2 - height() / 2);
        return;
    }
    // Up to, not including, the top-level window, which is then expected
    // to be this frame's parent.
    int x = 0;
    int y = 0;
    for (QWidget* widget = reference; widget && widget->parentWidget(); widget = widget->parentWidget()) {
        x += widget->x();
        y += widget->y();
    }
    move(x + reference->width() / 2 - width() / 2, y + reference->height() / 2 - height() / 2);
}

void KvoFloatingFrame::recenterFrames()
{
    const QList<KvoFloatingFrame*> frames = s_openFrames;
    for (KvoFloatingFrame* frame : frames)
        frame->centerOn(frame->m_reference);
}

void KvoFloatingFrame::open(bool animated)
{
    // Reopened while an animated close runs: that close no longer applies.
    m_closing = false;
    centerOn(m_reference);
    const bool animate = animated && m_openAnimation;
    if (animate)
        m_openAnimation->setWidget(this);
    s_openFrames.append(this);
    show();
    if (animate)
        m_openAnimation->start();
    emit onOpen();
}

void KvoFloatingFrame::open()
{
    open(false);
}

void KvoFloatingFrame::close(bool animated)
{
    s_openFrames.removeAll(this);
    if (animated && m_closeAnimation) {
        m_closing = true;
        m_closeAnimation->setWidget(this);
        m_closeAnimation->start();
        emit onClose();
        return;
    }
    m_closing = false;
    hide();
    emit onClose();
}

void KvoFloatingFrame::close()
{
    close(false);
}

void KvoFloatingFrame::adjustSize(int width, int height, bool animated)
{
    Q_UNUSED(animated) // the new size is taken at once either way
    setFixedSize(width, height);
}

void KvoFloatingFrame::adjustSize(int width, int height)
{
    adjustSize(width, height, false);
}

void KvoFloatingFrame::closeFrame()
{
    close(true);
}

void KvoFloatingFrame::atEndOfAnimation()
{
    // The end of an open animation (the same object may be both) or of a
    // close overtaken by a new open must not hide the frame.
    if (!m_closing)
        return;
    close(false);
}
