#pragma once

#include "ui_KvoSearchItem.h"

#include <QList>
#include <QString>
#include <QStringList>

// What the price column of catalogue rows (list or search rows) shows, row
// after row: the price and the struck one ("1 crédit / 3 crédits"), or the
// owned mark.
struct KvoPriceColumn
{
    template <class Row>
    static QString of(const QList<Row*>& rows)
    {
        QStringList shown;
        for (Row* row : rows) {
            const Ui_KvoSearchItem* form = row->form();
            shown << (form->purchased->isHidden() ? form->credits->text() : form->purchased->text().trimmed())
                         + (form->previous_price->isHidden() ? QString() : " / " + form->previous_price->text());
        }
        return shown.join(QStringLiteral(", "));
    }
};
