#include "KvoMessageBox.h"

#include <QGridLayout>
#include <QPixmap>
#include <QSpacerItem>

KvoMessageBox::KvoMessageBox(int type)
    : QMessageBox(nullptr)
{
    switch (type) {
    case AlreadyRunning:
        setIconPixmap(QPixmap(QStringLiteral(":/KvoMainWindow/Resources/icon.png"))
                          .scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        setWindowTitle(QStringLiteral("Vistrelle"));
        setText(QStringLiteral("<b>") + tr("Une instance du Vistrelle est déjà lancée !")
                + QStringLiteral("</b>"));
        setInformativeText(tr("Fermez l'instance et relancez cette application.\n"
                              "Si le problème persiste, veuillez prendre contact avec le support."));
        break;
    default:
        break;
    }

    // A spacer across a new last row keeps the box from shrinking to the
    // width of its texts.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addItem(new QSpacerItem(500, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}
