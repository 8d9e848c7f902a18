#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QMovie>
#include <QTest>

namespace {

// The interface images compiled into the application (123 names loaded by
// the forms and pages, plus the remaining button states and page arrows).
static const char* const kImageNames[] = {
    "abonnement_out.png",
    "add_comment.png",
    "add_signet.png",
    "all_dl.png",
    "arianne_next_disabled.png",
    "arianne_next_in.png",
    "arianne_next_out.png",
    "arianne_previous_disabled.png",
    "arianne_previous_in.png",
    "arianne_previous_out.png",
    "arianne_separateur.png",
    "arrow_grey_down.png",
    "arrow_grey_right.png",
    "attachement_out.png",
    "background.png",
    "ballon.png",
    "caddy.png",
    "close_in.png",
    "close_out.png",
    "connection_icon.png",
    "corner_left.png",
    "corner_middle.png",
    "corner_right.png",
    "defaut.jpg",
    "delete_fave.png",
    "delete_in.png",
    "delete_out.png",
    "dialog_delete.png",
    "dialog_exit_button_hover.png",
    "dialog_exit_button_out.png",
    "dialog_send.png",
    "dialog_update.png",
    "download_icon.png",
    "fave_tag.png",
    "first.png",
    "flag_fr.png",
    "flag_gb.png",
    "floating_window_exit_cross.png",
    "header_logo.png",
    "icon.png",
    "icon_account.png",
    "icon_buy.png",
    "icon_config.png",
    "icon_contact.png",
    "icon_disconnect.png",
    "icon_download.png",
    "icon_facebook.png",
    "icon_favoris.png",
    "icon_home.png",
    "icon_hot.png",
    "icon_news.png",
    "icon_play.png",
    "icon_top.png",
    "icon_twitter.png",
    "icon_videos.png",
    "icon_videos_disabled.png",
    "import.png",
    "infobulle_pic.png",
    "last.png",
    "left_title.png",
    "liner.png",
    "link_facebook.png",
    "loader.png",
    "loader_mini.gif",
    "logo_mini.png",
    "mark_star_off.png",
    "mark_star_on.png",
    "maximize_in.png",
    "maximize_out.png",
    "minimize_in.png",
    "minimize_out.png",
    "news_tag.png",
    "next.png",
    "notification.png",
    "parcourir.png",
    "pause_in.png",
    "pause_out.png",
    "plaque_faq.png",
    "play_in.png",
    "play_out.png",
    "player_notification_close.png",
    "player_notification_close_hover.png",
    "player_notification_logo.png",
    "previous.png",
    "purchase_ico.png",
    "refresh.png",
    "resizer.png",
    "retry.png",
    "right_title.png",
    "scrollbar_down.png",
    "scrollbar_left.png",
    "scrollbar_right.png",
    "scrollbar_top.png",
    "search_extrait.png",
    "search_software.png",
    "search_star_in.png",
    "search_star_out.png",
    "shadow_bottom.png",
    "shadow_bottom_bleft.png",
    "shadow_bottom_bright.png",
    "shadow_bottom_left.png",
    "shadow_bottom_right.png",
    "shadow_left.png",
    "shadow_right.png",
    "shadow_top_left.png",
    "shadow_top_right.png",
    "signet_bar.png",
    "sort_asc_off.png",
    "sort_asc_on.png",
    "sort_desc_off.png",
    "sort_desc_on.png",
    "top_month_pos.png",
    "top_month_pos_others.png",
    "validate.png",
    "validate_disabled.png",
    "visiter_out.png",
    "volume_loud.png",
    "volume_mute_in.png",
    "volume_mute_out.png",
    "volume_stop_in.png",
    "volume_stop_out.png",
    "warning.png",
    "windowed.png",
    "display_normal_out.png",
    "display_normal_in.png",
    "display_normal_disabled.png",
    "display_apprentissage_out.png",
    "display_apprentissage_in.png",
    "display_apprentissage_disabled.png",
    "display_fullscreen_out.png",
    "display_fullscreen_in.png",
    "display_fullscreen_disabled.png",
    "comment_out.png",
    "comment_in.png",
    "comment_disabled.png",
    "signet_out.png",
    "signet_in.png",
    "signet_disabled.png",
    "link_out.png",
    "link_in.png",
    "link_disabled.png",
    "previous_out.png",
    "previous_in.png",
    "previous_disabled.png",
    "next_out.png",
    "next_in.png",
    "next_disabled.png",
    "play_disabled.png", "pause_disabled.png",
    "pagination-first.png", "pagination-previous.png", "pagination-next.png", "pagination-last.png",
};

const QString kPrefix = QStringLiteral(":/KvoMainWindow/Resources/");

QImage load(const QString& name)
{
    QImageReader reader(kPrefix + name);
    return reader.read().convertToFormat(QImage::Format_ARGB32);
}

int maxAlpha(const QImage& image)
{
    int result = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            result = qMax(result, qAlpha(image.pixel(x, y)));
    return result;
}

int columnAlpha(const QImage& image, int x)
{
    int sum = 0;
    for (int y = 0; y < image.height(); ++y)
        sum += qAlpha(image.pixel(x, y));
    return sum / image.height();
}

int rowAlpha(const QImage& image, int y)
{
    int sum = 0;
    for (int x = 0; x < image.width(); ++x)
        sum += qAlpha(image.pixel(x, y));
    return sum / image.width();
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void everyImageLoads_data();
    void everyImageLoads();
    void sizesFitTheirWidgets_data();
    void sizesFitTheirWidgets();
    void buttonStatesMatch_data();
    void buttonStatesMatch();
    void shadowsFadeAwayFromThePanel();
    void placeholderIsARealJpeg();
    void miniLoaderIsAnAnimatedGif();
};

void TestResources::everyImageLoads_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : kImageNames)
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestResources::everyImageLoads()
{
    QFETCH(QString, name);
    QVERIFY2(QFile::exists(kPrefix + name), qPrintable(name));
    QImageReader reader(kPrefix + name);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QVERIFY(image.width() > 0 && image.height() > 0);
    // Nothing may be blank: a wrong colour substitution or a drawing
    // outside the view box gives a fully transparent picture.
    QVERIFY2(maxAlpha(image.convertToFormat(QImage::Format_ARGB32)) > 0, qPrintable(name));
}

void TestResources::sizesFitTheirWidgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("close") << "close_out.png" << QSize(10, 10);
    QTest::newRow("minimize (under an 8 px top margin)") << "minimize_in.png" << QSize(13, 2);
    QTest::newRow("maximize") << "maximize_out.png" << QSize(15, 10);
    QTest::newRow("breadcrumb arrow") << "arianne_next_disabled.png" << QSize(15, 16);
    QTest::newRow("play") << "play_out.png" << QSize(23, 23);
    QTest::newRow("display mode") << "display_fullscreen_in.png" << QSize(25, 18);
    QTest::newRow("menu icon") << "icon_home.png" << QSize(15, 15);
    QTest::newRow("logo") << "logo_mini.png" << QSize(184, 32);
    QTest::newRow("corner") << "corner_right.png" << QSize(6, 6);
    QTest::newRow("side shadow top") << "shadow_top_right.png" << QSize(14, 34);
    QTest::newRow("bottom shadow corner") << "shadow_bottom_left.png" << QSize(14, 22);
    QTest::newRow("bottom shadow under the panel") << "shadow_bottom_bright.png" << QSize(16, 22);
    QTest::newRow("busy mark") << "loader.png" << QSize(32, 32);
    QTest::newRow("rating star") << "mark_star_on.png" << QSize(17, 16);
    QTest::newRow("search star lit") << "search_star_in.png" << QSize(13, 12);
    QTest::newRow("search star unlit") << "search_star_out.png" << QSize(12, 12);
    QTest::newRow("top badge") << "top_month_pos_others.png" << QSize(40, 70);
    QTest::newRow("dialog exit") << "dialog_exit_button_hover.png" << QSize(24, 24);
    QTest::newRow("notification logo") << "player_notification_logo.png" << QSize(22, 25);
    QTest::newRow("purchase") << "purchase_ico.png" << QSize(47, 48);
    QTest::newRow("faq plaque") << "plaque_faq.png" << QSize(148, 129);
    QTest::newRow("page arrow") << "pagination-last.png" << QSize(17, 17);
    QTest::newRow("sort indicator") << "sort_desc_on.png" << QSize(10, 6);
    QTest::newRow("size grip") << "resizer.png" << QSize(11, 11);
    QTest::newRow("downloads counter") << "ballon.png" << QSize(25, 14);
    QTest::newRow("title cap") << "right_title.png" << QSize(10, 61);
    QTest::newRow("placeholder") << "defaut.jpg" << QSize(100, 100);
    QTest::newRow("application icon") << "icon.png" << QSize(256, 256);
}

void TestResources::sizesFitTheirWidgets()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QCOMPARE(load(name).size(), size);
}

void TestResources::buttonStatesMatch_data()
{
    QTest::addColumn<QString>("base");
    for (const char* raw : kImageNames) {
        const QString name = QString::fromLatin1(raw);
        // The search stars share the suffixes but are lit/unlit pictures of
        // different sizes, not the states of one button.
        if (name.endsWith(QLatin1String("_out.png")) && !name.startsWith(QLatin1String("search_star"))
            && QFile::exists(kPrefix + name.chopped(8) + QLatin1String("_in.png")))
            QTest::newRow(raw) << name.chopped(8);
    }
}

void TestResources::buttonStatesMatch()
{
    // The states replace each other in place: the same size, a visible change
    // on hover and a fainter disabled picture.
    QFETCH(QString, base);
    const QImage normal = load(base + QLatin1String("_out.png"));
    const QImage hover = load(base + QLatin1String("_in.png"));
    QCOMPARE(hover.size(), normal.size());
    QVERIFY(hover != normal);
    const QString disabledName = base + QLatin1String("_disabled.png");
    if (QFile::exists(kPrefix + disabledName)) {
        const QImage disabled = load(disabledName);
        QCOMPARE(disabled.size(), normal.size());
        QVERIFY(maxAlpha(disabled) < maxAlpha(normal));
    }
}

void TestResources::shadowsFadeAwayFromThePanel()
{
    const QImage left = load(QStringLiteral("shadow_left.png"));
    const QImage right = load(QStringLiteral("shadow_right.png"));
    const QImage bottom = load(QStringLiteral("shadow_bottom.png"));
    QVERIFY(maxAlpha(left) < 255);
    QVERIFY(maxAlpha(bottom) < 255);
    // The panel is right of the left shadow, left of the right one, above the bottom one.
    QVERIFY(columnAlpha(left, left.width() - 1) > columnAlpha(left, 0));
    QVERIFY(columnAlpha(right, 0) > columnAlpha(right, right.width() - 1));
    QVERIFY(rowAlpha(bottom, 0) > rowAlpha(bottom, bottom.height() - 1));
    QVERIFY(columnAlpha(left, 0) <= 8); // nothing left at the outer edge
}

void TestResources::placeholderIsARealJpeg()
{
    QImageReader reader(kPrefix + QStringLiteral("defaut.jpg"));
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    const QImage image = reader.read();
    QVERIFY(!image.isNull());
    QVERIFY(!image.hasAlphaChannel());
}

void TestResources::miniLoaderIsAnAnimatedGif()
{
    QFile file(kPrefix + QStringLiteral("loader_mini.gif"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.peek(6) == "GIF89a");
    file.close();

    QMovie movie(kPrefix + QStringLiteral("loader_mini.gif"));
    QVERIFY(movie.isValid());
    QCOMPARE(movie.format(), QByteArray("gif"));
    QCOMPARE(movie.frameCount(), 8);
    QVERIFY(movie.jumpToFrame(0));
    const QImage first = movie.currentImage();
    QCOMPARE(first.size(), QSize(16, 16));
    QVERIFY(movie.jumpToNextFrame());
    QVERIFY(movie.jumpToNextFrame());
    QCOMPARE(movie.currentFrameNumber(), 2);
    const QImage third = movie.currentImage();
    QCOMPARE(third.size(), QSize(16, 16));
    QVERIFY(first != third); // it turns
    // Transparent around the dots, so it sits on any panel.
    QCOMPARE(qAlpha(first.convertToFormat(QImage::Format_ARGB32).pixel(0, 0)), 0);
    QVERIFY(movie.nextFrameDelay() > 0);
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
