// kvo-oldstore: writes an earlier player's store for the first-run import.
//
//   kvo-oldstore --preferences DIR --user ID [--folder NAME] [--size BYTES]
//                [--media FILE] COURSE:TITLE:FILE[,FILE...] ...
//
// Each COURSE:TITLE:FILES argument adds a course with its video file ids;
// the videos are named "Vidéo N". The database is "data-ID.sqlite" in
// DIR/NAME/Local Store (NAME defaults to "QozmiraPlayer").

#include "KvoOldStoreWriter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes an earlier player's store for the first-run import."));
    parser.addHelpOption();
    const QCommandLineOption preferences(QStringLiteral("preferences"),
                                         QStringLiteral("The preferences folder (default: $XDG_CONFIG_HOME or ~/.config)."),
                                         QStringLiteral("dir"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("The user's plain id."), QStringLiteral("id"));
    const QCommandLineOption folder(QStringLiteral("folder"), QStringLiteral("The player folder's name."),
                                    QStringLiteral("name"), QStringLiteral("QozmiraPlayer"));
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("Bytes of each video (default 1048576, or the clip's size)."),
                                  QStringLiteral("bytes"), QStringLiteral("1048576"));
    const QCommandLineOption media(QStringLiteral("media"), QStringLiteral("A video whose bytes start each file."),
                                   QStringLiteral("file"));
    parser.addOptions({preferences, user, folder, size, media});
    parser.addPositionalArgument(QStringLiteral("courses"), QStringLiteral("COURSE:TITLE:FILE[,FILE...]"));
    parser.process(app);

    if (!parser.isSet(user) || parser.positionalArguments().isEmpty())
        parser.showHelp(2);
    QString base = parser.value(preferences);
    if (base.isEmpty()) {
        base = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (base.isEmpty())
            base = QDir::homePath() + QStringLiteral("/.config");
    }
    bool sizeOk = false;
    qint64 bytes = parser.value(size).toLongLong(&sizeOk);
    // A clip without --size: the clip and the identification box, a video
    // that plays as it is.
    if (parser.isSet(media) && !parser.isSet(size))
        bytes = QFileInfo(parser.value(media)).size() + 32;
    if (!sizeOk || bytes < 0) {
        std::fprintf(stderr, "kvo-oldstore: bad --size\n");
        return 2;
    }

    QList<KvoOldStoreWriter::Course> courses;
    for (const QString& arg : parser.positionalArguments()) {
        // The title may hold ':' itself: the id ends at the first, the file
        // ids start after the last.
        const int first = arg.indexOf(QLatin1Char(':'));
        const int last = arg.lastIndexOf(QLatin1Char(':'));
        const QStringList parts = first < 0 || first == last
                                      ? QStringList()
                                      : QStringList{arg.left(first), arg.mid(first + 1, last - first - 1), arg.mid(last + 1)};
        if (parts.size() != 3) {
            std::fprintf(stderr, "kvo-oldstore: expected COURSE:TITLE:FILES, got %s\n", qPrintable(arg));
            return 2;
        }
        KvoOldStoreWriter::Course course;
        course.id = parts.at(0);
        course.title = parts.at(1);
        int n = 1;
        for (const QString& id : parts.at(2).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            KvoOldStoreWriter::Video video;
            video.id = id;
            video.title = QStringLiteral("Vidéo %1").arg(n++);
            video.size = bytes;
            course.videos.append(video);
        }
        courses.append(course);
    }
    const QString playerFolder = base + QLatin1Char('/') + parser.value(folder);
    QString error;
    if (!KvoOldStoreWriter::write(playerFolder, QStringLiteral("data-%1.sqlite").arg(parser.value(user)), courses,
                                  parser.value(media), &error)) {
        std::fprintf(stderr, "kvo-oldstore: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(QDir::toNativeSeparators(playerFolder)));
    return 0;
}
