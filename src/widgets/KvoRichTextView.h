#pragma once

#include <QTextBrowser>

// Formatted text from outside shown in full, as a label would: no frame, no
// scroll bars, as tall as its text at its width, links reported through
// anchorClicked() and never followed. Its document loads no resource (see
// KvoInertTextDocument); a QLabel's own document cannot be kept from it.
class KvoRichTextView : public QTextBrowser
{
    Q_OBJECT

public:
    explicit KvoRichTextView(QWidget* parent = nullptr);
    ~KvoRichTextView() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};
