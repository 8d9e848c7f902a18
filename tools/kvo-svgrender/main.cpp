// kvo-svgrender: renders one SVG drawing into one image file at build time.
//
//   kvo-svgrender [options] INPUT.svg OUTPUT.(png|jpg|gif)
//   kvo-svgrender --sheet OUTPUT.png IMAGE...
//
// The output format follows the output suffix. Variants of one drawing (the
// hover and disabled states of a button, a mirrored arrow) come from the same
// source through --replace, --opacity and --transform, so the sources stay few.

#include "KvoGifWriter.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>
#include <QTransform>

#include <cstdio>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "kvo-svgrender: %s\n", qPrintable(message));
    return 1;
}

bool parseSize(const QString& text, QSize* size)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2)
        return false;
    bool okW = false;
    bool okH = false;
    const int w = parts[0].toInt(&okW);
    const int h = parts[1].toInt(&okH);
    if (!okW || !okH || w <= 0 || h <= 0 || w > 4096 || h > 4096)
        return false;
    *size = QSize(w, h);
    return true;
}

QImage applyTransform(const QImage& image, const QString& transform)
{
    if (transform.isEmpty())
        return image;
    if (transform == QLatin1String("fliph"))
        return image.mirrored(true, false);
    if (transform == QLatin1String("flipv"))
        return image.mirrored(false, true);
    int degrees = 0;
    if (transform == QLatin1String("rot90"))
        degrees = 90;
    else if (transform == QLatin1String("rot180"))
        degrees = 180;
    else if (transform == QLatin1String("rot270"))
        degrees = 270;
    else
        return QImage();
    return image.transformed(QTransform().rotate(degrees));
}

// One image per cell on a dark panel, with its file name under it: a quick
// way to look over the whole set.
int makeSheet(const QString& output, const QStringList& inputs)
{
    const int cell = 132;
    const int columns = 8;
    const int rows = (int(inputs.size()) + columns - 1) / columns;
    QImage sheet(columns * cell, rows * cell, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(0x24, 0x26, 0x2f));
    QPainter p(&sheet);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(9);
    p.setFont(font);
    for (int i = 0; i < inputs.size(); ++i) {
        const QRect box((i % columns) * cell, (i / columns) * cell, cell, cell);
        p.fillRect(box.adjusted(2, 2, -2, -2), (i / columns + i % columns) % 2
                       ? QColor(0x18, 0x1a, 0x21) : QColor(0x1c, 0x1e, 0x26));
        QImageReader reader(inputs[i]);
        QImage image = reader.read();
        const QString name = QFileInfo(inputs[i]).fileName();
        p.setPen(Qt::white);
        if (image.isNull()) {
            p.setPen(Qt::red);
            p.drawText(box, Qt::AlignCenter, QStringLiteral("UNREADABLE"));
        } else {
            const QSize natural = image.size();
            const QSize area(cell - 12, cell - 30);
            if (natural.width() > area.width() || natural.height() > area.height())
                image = image.scaled(area, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            else if (natural.width() * 2 <= area.width() && natural.height() * 2 <= area.height())
                image = image.scaled(natural * 2); // small icons doubled, pixels kept sharp
            const QPoint at(box.x() + (cell - image.width()) / 2,
                            box.y() + 6 + (area.height() - image.height()) / 2);
            p.drawImage(at, image);
            p.setPen(QColor(0x9a, 0x9c, 0xa8));
            p.drawText(box.adjusted(2, 0, -2, -12), Qt::AlignHCenter | Qt::AlignBottom,
                       QStringLiteral("%1x%2").arg(natural.width()).arg(natural.height()));
            p.setPen(Qt::white);
        }
        p.drawText(box.adjusted(2, 0, -2, -2), Qt::AlignHCenter | Qt::AlignBottom, name);
    }
    p.end();
    return sheet.save(output) ? 0 : fail(QStringLiteral("cannot write %1").arg(output));
}

// The offscreen platform complains about a missing XDG_RUNTIME_DIR once per
// run, which would fill the build log with one line per image.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("QStandardPaths:")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char* argv[])
{
    // Rendering needs no display; the build may run without one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvo-svgrender"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders an SVG drawing into an image file."));
    parser.addHelpOption();
    const QCommandLineOption sizeOption(QStringLiteral("size"),
        QStringLiteral("Output size WxH (default: the drawing's own size)."), QStringLiteral("WxH"));
    const QCommandLineOption replaceOption(QStringLiteral("replace"),
        QStringLiteral("Replace text FROM by TO in the SVG source before rendering (repeatable)."),
        QStringLiteral("FROM=TO"));
    const QCommandLineOption opacityOption(QStringLiteral("opacity"),
        QStringLiteral("Overall opacity, 0 to 1."), QStringLiteral("F"));
    const QCommandLineOption transformOption(QStringLiteral("transform"),
        QStringLiteral("fliph, flipv, rot90, rot180 or rot270, applied after rendering."),
        QStringLiteral("T"));
    const QCommandLineOption framesOption(QStringLiteral("frames"),
        QStringLiteral("GIF: number of frames, the drawing turned a full circle over them."),
        QStringLiteral("N"));
    const QCommandLineOption delayOption(QStringLiteral("delay"),
        QStringLiteral("GIF: milliseconds per frame."), QStringLiteral("MS"));
    const QCommandLineOption matteOption(QStringLiteral("matte"),
        QStringLiteral("GIF and JPEG: colour under translucent pixels."), QStringLiteral("#RRGGBB"));
    const QCommandLineOption sheetOption(QStringLiteral("sheet"),
        QStringLiteral("Draw the given images on one contact sheet OUTPUT."), QStringLiteral("OUTPUT"));
    parser.addOptions({sizeOption, replaceOption, opacityOption, transformOption, framesOption,
                       delayOption, matteOption, sheetOption});
    parser.process(app);

    if (parser.isSet(sheetOption))
        return makeSheet(parser.value(sheetOption), parser.positionalArguments());

    const QStringList args = parser.positionalArguments();
    if (args.size() != 2)
        return fail(QStringLiteral("expected INPUT.svg OUTPUT"));
    const QString input = args[0];
    const QString output = args[1];

    QFile file(input);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(input, file.errorString()));
    QString source = QString::fromUtf8(file.readAll());
    for (const QString& rule : parser.values(replaceOption)) {
        const int eq = rule.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return fail(QStringLiteral("bad --replace %1").arg(rule));
        const QString from = rule.left(eq);
        if (!source.contains(from))
            return fail(QStringLiteral("--replace: %1 does not occur in %2").arg(from, input));
        source.replace(from, rule.mid(eq + 1));
    }

    QSvgRenderer renderer(source.toUtf8());
    if (!renderer.isValid())
        return fail(QStringLiteral("invalid SVG %1").arg(input));

    QSize size = renderer.defaultSize();
    if (parser.isSet(sizeOption) && !parseSize(parser.value(sizeOption), &size))
        return fail(QStringLiteral("bad --size %1").arg(parser.value(sizeOption)));
    if (size.isEmpty())
        return fail(QStringLiteral("%1 has no size").arg(input));

    double opacity = 1.0;
    if (parser.isSet(opacityOption)) {
        bool ok = false;
        opacity = parser.value(opacityOption).toDouble(&ok);
        if (!ok || opacity < 0.0 || opacity > 1.0)
            return fail(QStringLiteral("bad --opacity"));
    }
    const QString transform = parser.value(transformOption);

    int frames = 1;
    if (parser.isSet(framesOption)) {
        bool ok = false;
        frames = parser.value(framesOption).toInt(&ok);
        if (!ok || frames < 1 || frames > 360)
            return fail(QStringLiteral("bad --frames"));
    }
    QColor matte(0x24, 0x26, 0x2f);
    if (parser.isSet(matteOption)) {
        matte = QColor(parser.value(matteOption));
        if (!matte.isValid())
            return fail(QStringLiteral("bad --matte"));
    }

    auto render = [&](double degrees) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform
                         | QPainter::TextAntialiasing);
        p.setOpacity(opacity);
        if (degrees != 0.0) {
            p.translate(size.width() / 2.0, size.height() / 2.0);
            p.rotate(degrees);
            p.translate(-size.width() / 2.0, -size.height() / 2.0);
        }
        renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
        p.end();
        return applyTransform(image, transform);
    };

    const QString suffix = QFileInfo(output).suffix().toLower();
    if (suffix == QLatin1String("gif")) {
        KvoGifWriter gif(matte);
        if (parser.isSet(delayOption))
            gif.setDelay(parser.value(delayOption).toInt());
        for (int i = 0; i < frames; ++i) {
            const QImage frame = render(360.0 * i / frames);
            if (frame.isNull())
                return fail(QStringLiteral("bad --transform %1").arg(transform));
            gif.addFrame(frame);
        }
        QString error;
        if (!gif.write(output, &error))
            return fail(QStringLiteral("cannot write %1: %2").arg(output, error));
        return 0;
    }
    if (frames != 1)
        return fail(QStringLiteral("--frames needs a .gif output"));

    QImage image = render(0.0);
    if (image.isNull())
        return fail(QStringLiteral("bad --transform %1").arg(transform));
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(matte);
        QPainter p(&flat);
        p.drawImage(0, 0, image);
        p.end();
        image = flat;
        if (!image.save(output, "JPEG", 92))
            return fail(QStringLiteral("cannot write %1").arg(output));
        return 0;
    }
    if (suffix != QLatin1String("png"))
        return fail(QStringLiteral("unsupported output type %1").arg(output));
    if (!image.save(output, "PNG"))
        return fail(QStringLiteral("cannot write %1").arg(output));
    return 0;
}
