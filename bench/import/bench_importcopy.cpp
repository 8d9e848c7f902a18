// bench_importcopy [--megabytes N] [--files F] [--dir PARENT]
//
// Writes an earlier player's store of N MiB (default 2048) in F files
// (default 64) of varying bytes, copies its "qoz" folder with cp(1), then
// runs the first-run import window on it (offscreen when there is no
// display) and compares: cp's copy against the import's copy pass, and cp
// followed by sync against the whole import (copy, each copy forced to disk
// before its original is removed, registration). Reports the worst
// lateness of a 5 ms GUI-thread timer during the import.

#include "KvoBenchHome.h"

#include "KvoEnvironment.h"
#include "KvoOldStoreWriter.h"
#include "KvoVideoImportDialog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption mbOpt(QStringLiteral("megabytes"), QStringLiteral("Size of the store in MiB."), QStringLiteral("n"), QStringLiteral("2048"));
    const QCommandLineOption filesOpt(QStringLiteral("files"), QStringLiteral("Files in the store."), QStringLiteral("n"), QStringLiteral("64"));
    const QCommandLineOption dirOpt(QStringLiteral("dir"), QStringLiteral("Where the store is made."), QStringLiteral("dir"), QDir::currentPath());
    parser.addOptions({mbOpt, filesOpt, dirOpt});
    parser.process(app);
    const qint64 megabytes = qBound(qint64(1), qint64(parser.value(mbOpt).toLongLong()), qint64(16384));
    const int files = qBound(1, parser.value(filesOpt).toInt(), 10000);
    const qint64 perFile = megabytes * 1024 * 1024 / files;

    KvoBenchHome home(parser.value(dirOpt));
    if (!home.isValid()) {
        std::fprintf(stderr, "bench_importcopy: cannot prepare the database\n");
        return 1;
    }
    KvoOldStoreWriter::Course course;
    course.id = QStringLiteral("42");
    course.title = QStringLiteral("Banc d'essai");
    for (int i = 0; i < files; ++i) {
        KvoOldStoreWriter::Video v;
        v.id = QString::number(5000 + i);
        v.title = QStringLiteral("Vidéo %1").arg(i);
        v.size = perFile;
        course.videos.append(v);
    }
    const QString player = KvoEnvironment::preferencesPath() + QStringLiteral("/QozmiraPlayer");
    std::printf("writing a store of %lld MiB in %d files...\n", megabytes, files);
    std::fflush(stdout);
    QElapsedTimer made;
    made.start();
    QString error;
    if (!KvoOldStoreWriter::write(player, QStringLiteral("data-1234.sqlite"), {course}, QString(), &error)) {
        std::fprintf(stderr, "bench_importcopy: %s\n", qPrintable(error));
        return 1;
    }
    timeCommand(QStringLiteral("sync"));
    std::printf("store written in %.1f s\n", made.nsecsElapsed() / 1e9);
    const double mib = double(perFile) * files / (1024.0 * 1024.0);

    const QString qoz = player + QStringLiteral("/Local Store/qoz");
    const QString cpTarget = home.path() + QStringLiteral("/cp-copy");
    const double cpMs = timeCommand(QStringLiteral("cp -r '%1' '%2'").arg(qoz, cpTarget));
    const double cpSyncMs = timeCommand(QStringLiteral("sync"));
    timeCommand(QStringLiteral("rm -rf '%1' && sync").arg(cpTarget));

    KvoVideoImportDialog dialog(nullptr, Qt::FramelessWindowHint);
    if (!dialog.hasSomethingToImport()) {
        std::fprintf(stderr, "bench_importcopy: the store was not found\n");
        return 1;
    }
    dialog.show();
    const quint64 needed = dialog.importer().calcNeeded();
    QEventLoop loop;
    QObject::connect(&dialog, &KvoVideoImportDialog::importFinished, &loop, &QEventLoop::quit);
    KvoLatenessProbe probe;
    QElapsedTimer t;
    double copyPassMs = -1;
    QTimer watch;
    watch.setInterval(2);
    QObject::connect(&watch, &QTimer::timeout, &dialog, [&] {
        if (copyPassMs < 0 && dialog.importer().copiedSize() >= needed)
            copyPassMs = t.nsecsElapsed() / 1e6;
    });
    probe.start();
    t.start();
    watch.start();
    dialog.findChild<QPushButton*>(QStringLiteral("buttonLaunch"))->click();
    loop.exec();
    const double importMs = t.nsecsElapsed() / 1e6;
    probe.stop();
    watch.stop();

    std::printf("\nstore: %.0f MiB in %d files\n", mib, files);
    std::printf("cp -r:              %8.1f ms  %7.1f MiB/s\n", cpMs, mib / (cpMs / 1000));
    std::printf("import copy pass:   %8.1f ms  %7.1f MiB/s  ratio %.2f of cp (bar: >= 0.80)\n", copyPassMs,
                mib / (copyPassMs / 1000), cpMs / copyPassMs);
    std::printf("cp -r + sync:       %8.1f ms  %7.1f MiB/s\n", cpMs + cpSyncMs, mib / ((cpMs + cpSyncMs) / 1000));
    std::printf("whole import:       %8.1f ms  %7.1f MiB/s  ratio %.2f of cp + sync\n", importMs,
                mib / (importMs / 1000), (cpMs + cpSyncMs) / importMs);
    std::printf("copied %d, failed %d; worst GUI-thread lateness %.1f ms (bar: <= 50 ms)\n",
                dialog.importer().copiedCount(), dialog.importer().failedCount(), probe.worstMs());
    return 0;
}
