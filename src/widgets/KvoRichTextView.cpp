#include "KvoRichTextView.h"

#include "KvoInertTextDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QtMath>

KvoRichTextView::KvoRichTextView(QWidget* parent)
    : QTextBrowser(parent)
{
    setDocument(new KvoInertTextDocument(this));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // A word longer than the line is broken, as it comes: laying out one
    // endless word to find a break takes seconds.
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    viewport()->setAutoFillBackground(false);
    // The text laid out anew at another width: another height.
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &QWidget::updateGeometry);
}

KvoRichTextView::~KvoRichTextView() = default;

QSize KvoRichTextView::sizeHint() const
{
    // The frame and the padding around the text.
    const int around = height() - viewport()->height();
    return QSize(QTextBrowser::sizeHint().width(), qCeil(document()->size().height()) + qMax(0, around));
}

QSize KvoRichTextView::minimumSizeHint() const
{
    return QSize(0, sizeHint().height());
}
