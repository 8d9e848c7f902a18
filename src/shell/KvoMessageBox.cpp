#include "KvoMessageBox.h"

#include <QGridLayout>
#include <QPixmap>
#include <QSpacerItem>

KvoMessageBox::KvoMessageBox(int type, const QString& detail, QWidget* parent)
    : QMessageBox(parent)
{
    const auto head = [this](const QString& text) {
        setIconPixmap(QPixmap(QStringLiteral(":/KvoMainWindow/Resources/icon.png"))
                          .scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        setWindowTitle(QStringLiteral("Vistrelle"));
        setText(QStringLiteral("<b>") + text.toHtmlEscaped() + QStringLiteral("</b>"));
    };
    switch (type) {
    case AlreadyRunning:
        head(tr("Une instance du Vistrelle est déjà lancée !"));
        setInformativeText(tr("Fermez l'instance et relancez cette application.\n"
                              "Si le problème persiste, veuillez prendre contact avec le support."));
        break;
    case DatabaseReplaced:
        head(tr("Les données de Vistrelle sur cet ordinateur étaient endommagées."));
        setInformativeText(tr("Elles ont été mises de côté et Vistrelle repart de données neuves. "
                              "Connectez-vous en ligne : votre bibliothèque sera reconstruite et les vidéos "
                              "déjà téléchargées dans votre dossier de vidéos seront retrouvées. "
                              "Vos réglages sont à refaire.\n\nFichier mis de côté :\n%1")
                               .arg(detail));
        break;
    case DatabaseUnavailable:
        head(tr("Vistrelle ne peut pas ouvrir ses données sur cet ordinateur."));
        setInformativeText(tr("Vérifiez l'espace disque disponible et les droits d'accès du fichier, "
                              "puis relancez l'application.\n\nFichier :\n%1")
                               .arg(detail));
        break;
    case LibraryNotSaved:
        head(tr("Votre bibliothèque n'a pas pu être enregistrée sur cet ordinateur."));
        setInformativeText(tr("Le disque est peut-être plein. Libérez de l'espace : les changements "
                              "seront enregistrés à la prochaine synchronisation. Tant que ce n'est pas "
                              "fait, ils risquent d'être perdus à la fermeture."));
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

QString KvoMessageBox::plainText() const
{
    QString head = text();
    head.remove(QStringLiteral("<b>")).remove(QStringLiteral("</b>"));
    return head + QLatin1Char('\n') + informativeText();
}
