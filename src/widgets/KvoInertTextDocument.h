#pragma once

#include <QTextDocument>
#include <QTextObjectInterface>

// A text document for formatted text from outside (the service's HTML): it
// lays out and draws the text but never fetches a resource the text names.
// QTextDocument reads any <img>, background or style sheet address from the
// local disk, synchronously, and its image handler opens the file itself
// when no resource is given: here resources are always empty and pictures
// take no room and draw nothing.
class KvoInertTextDocument : public QTextDocument, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    explicit KvoInertTextDocument(QObject* parent = nullptr);
    ~KvoInertTextDocument() override;

    // The picture handler: no size, nothing drawn.
    QSizeF intrinsicSize(QTextDocument* doc, int posInDocument, const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* doc, int posInDocument,
                    const QTextFormat& format) override;

protected:
    QVariant loadResource(int type, const QUrl& name) override;
};
