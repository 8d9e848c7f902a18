#include "KvoInertTextDocument.h"

#include <QAbstractTextDocumentLayout>

KvoInertTextDocument::KvoInertTextDocument(QObject* parent)
    : QTextDocument(parent)
{
    // Replaces the layout's own image handler, which would open the file.
    documentLayout()->registerHandler(QTextFormat::ImageObject, this);
}

KvoInertTextDocument::~KvoInertTextDocument() = default;

QSizeF KvoInertTextDocument::intrinsicSize(QTextDocument*, int, const QTextFormat&)
{
    return QSizeF(0, 0);
}

void KvoInertTextDocument::drawObject(QPainter*, const QRectF&, QTextDocument*, int, const QTextFormat&)
{
}

QVariant KvoInertTextDocument::loadResource(int, const QUrl&)
{
    return QVariant();
}
