#include "KvoDialog.h"
#include "KvoDimmedCover.h"
#include "KvoDialogDriver.h"
#include "KvoInfobulle.h"
#include "KvoMessageBox.h"
#include "KvoScreenshots.h"

#include "ui_UIConnection.h"
#include "ui_UIDeleteVideoDialog.h"
#include "ui_UIErrorPlayVideoDialog.h"
#include "ui_UISessionDialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

#include <functional>
#include <memory>

namespace {

const Qt::WindowFlags DialogFlags = Qt::Dialog | Qt::FramelessWindowHint;

KvoDimmedCover* cover(QWidget* widget)
{
    return KvoDimmedCover::of(widget, false);
}

bool isDark(QWidget* widget)
{
    KvoDimmedCover* dim = cover(widget);
    return dim && dim->isVisible() && qFuzzyCompare(dim->strength(), 1.0);
}

bool isLight(QWidget* widget)
{
    KvoDimmedCover* dim = cover(widget);
    return !dim || !dim->isVisible();
}

// Runs a modal showDialog() and does `action` once the dialog shows, from
// inside its event loop; a dialog the action leaves open is closed, so a
// failing test cannot hang. -1 when the dialog never showed.
int runModal(KvoDialog* dialog, const std::function<void()>& action, bool animated = false)
{
    if (dialog->objectName().isEmpty())
        dialog->setObjectName(QStringLiteral("dialogUnderTest"));
    KvoDialogDriver driver;
    driver.expect<KvoDialog>(dialog->objectName(), [&action](KvoDialog*) { action(); });
    const int result = dialog->showDialog(animated, true);
    if (!driver.done()) {
        QTest::qFail(driver.report(), __FILE__, __LINE__);
        return -1;
    }
    return result;
}

void saveShot(QWidget* widget, const QString& name)
{
    KvoScreenshots::save(widget, name);
}

// Empty when every pixel of dimmed is that of page darkened by the cover's
// factor; otherwise where it is not.
QString darkeningError(const QImage& page, const QImage& dimmed)
{
    if (dimmed.size() != page.size())
        return QStringLiteral("sizes differ");
    const double kept = 1.0 - KvoDimmedCover::Darkness;
    int worst = 0;
    QPoint where;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QRgb before = page.pixel(x, y);
            const QRgb after = dimmed.pixel(x, y);
            for (int shift : {0, 8, 16}) {
                const int expected = qRound(((before >> shift) & 0xff) * kept);
                const int error = qAbs(int((after >> shift) & 0xff) - expected);
                if (error > worst) {
                    worst = error;
                    where = QPoint(x, y);
                }
            }
        }
    }
    if (worst <= 2)
        return QString();
    return QStringLiteral("off by %1 at %2,%3").arg(worst).arg(where.x()).arg(where.y());
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void closeSlotsGiveResult_data();
    void closeSlotsGiveResult();
    void exitButtonTypes_data();
    void exitButtonTypes();
    void resultIsKeptAcrossShowings();
    void nonModalReturnsAtOnce();
    void escapeIsIgnored();
    void closedOtherwise_data();
    void closedOtherwise();
    void windowManagerClose_data();
    void windowManagerClose();

    void dimmingAppliedAndRemoved();
    void dimmedPictureIsThePage();
    void dimmedPageFollowsChanges();
    void dimmingFadesIn();
    void twoDialogsShareTheDimming_data();
    void twoDialogsShareTheDimming();
    void creatorDestroyedWhileOtherDims();
    void keptDialogOutlivesItsSharer();
    void effectOfTheWidgetIsLeftAlone();
    void dimmedWidgetDestroyedWhileOpen();
    void dimmedWidgetDestroyedDuringModalRun();
    void parentDestroyedDuringModalRun();

    void centresOnReference();
    void contentMarginsOrder();

    void sharedForms_data();
    void sharedForms();

    void messageBox_data();
    void messageBox();

    void bubbleSplitsTitle_data();
    void bubbleSplitsTitle();
    void bubbleGeometry();
    void bubbleDoesNotTakeFocus();
};

void TestDialogs::initTestCase()
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    QApplication::setFont(font);
}

void TestDialogs::closeSlotsGiveResult_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("expected");
    QTest::newRow("yes") << 0 << 0;
    QTest::newRow("no") << 1 << 1;
    QTest::newRow("cancel") << 2 << 2;
}

void TestDialogs::closeSlotsGiveResult()
{
    QFETCH(int, slot);
    QFETCH(int, expected);

    KvoDialog dialog(nullptr, DialogFlags);
    QSignalSpy closed(&dialog, &KvoDialog::closed);
    const int result = runModal(&dialog, [&] {
        QVERIFY(dialog.isVisible());
        if (slot == 0)
            dialog.closeWithYes();
        else if (slot == 1)
            dialog.closeWithNo();
        else
            dialog.closeWithCancel();
    });
    QCOMPARE(result, expected);
    QCOMPARE(dialog.closeResult(), expected);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(closed.count(), 1);
}

void TestDialogs::exitButtonTypes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("hasImage");
    QTest::newRow("0 image") << 0 << true << true;
    QTest::newRow("1 invisible") << 1 << true << false;
    QTest::newRow("2 blocked") << 2 << false << false;
}

void TestDialogs::exitButtonTypes()
{
    QFETCH(int, type);
    QFETCH(bool, closes);
    QFETCH(bool, hasImage);

    KvoDialog dialog(nullptr, DialogFlags);
    dialog.setExitButtonType(type);
    QPushButton* button = dialog.exitButton();
    QCOMPARE(button->size(), QSize(24, 24));
    QCOMPARE(button->styleSheet().contains(QStringLiteral("dialog_exit_button_out.png")), hasImage);
    QCOMPARE(button->styleSheet().contains(QStringLiteral("dialog_exit_button_hover.png")), hasImage);

    bool stillOpenAfterClick = false;
    const int result = runModal(&dialog, [&] {
        dialog.closeWithYes(); // sets 0 first, so the exit button must bring 2 back
    });
    QCOMPARE(result, 0);

    const int second = runModal(&dialog, [&] {
        QTest::mouseClick(dialog.exitButton(), Qt::LeftButton);
        stillOpenAfterClick = dialog.isVisible();
        if (stillOpenAfterClick)
            dialog.closeWithNo();
    });
    QCOMPARE(stillOpenAfterClick, !closes);
    QCOMPARE(second, closes ? 2 : 1);

    // A later type gives the signals back.
    if (type == 2) {
        dialog.setExitButtonType(0);
        const int third = runModal(&dialog, [&] { QTest::mouseClick(dialog.exitButton(), Qt::LeftButton); });
        QCOMPARE(third, 2);
    }
}

void TestDialogs::resultIsKeptAcrossShowings()
{
    KvoDialog dialog(nullptr, DialogFlags);
    QCOMPARE(dialog.closeResult(), 2);
    QCOMPARE(runModal(&dialog, [&] { dialog.closeWithNo(); }), 1);
    QCOMPARE(runModal(&dialog, [&] { dialog.close(); }), 1);
    QCOMPARE(runModal(&dialog, [&] { dialog.reject(); }), 1);
}

void TestDialogs::nonModalReturnsAtOnce()
{
    KvoDialog dialog(nullptr, DialogFlags);
    QCOMPARE(runModal(&dialog, [&] { dialog.closeWithYes(); }), 0);
    QCOMPARE(dialog.showDialog(false, false), 0);
    QVERIFY(dialog.isVisible());
    dialog.closeWithNo();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.closeResult(), 1);
}

void TestDialogs::escapeIsIgnored()
{
    KvoDialog dialog(nullptr, DialogFlags);
    QSignalSpy closed(&dialog, &KvoDialog::closed);
    dialog.showDialog(false, false);
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &press);
    QVERIFY(!press.isAccepted());
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &release);
    QVERIFY(!release.isAccepted());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    QCOMPARE(closed.count(), 0);

    // Other keys are the base dialog's.
    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &other);
    QVERIFY(dialog.isVisible());
    dialog.close();
    QCOMPARE(closed.count(), 1);
}

void TestDialogs::closedOtherwise_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("reject") << 0;
    QTest::newRow("accept") << 1;
    QTest::newRow("hide") << 2;
    QTest::newRow("QWidget::close") << 3;
}

void TestDialogs::closedOtherwise()
{
    QFETCH(int, how);
    QWidget window;
    window.show();
    KvoDialog dialog(&window, DialogFlags);
    dialog.setDimmedWidget(&window);
    QSignalSpy closed(&dialog, &KvoDialog::closed);

    const int result = runModal(&dialog, [&] {
        QVERIFY(isDark(&window));
        switch (how) {
        case 0: dialog.reject(); break;
        case 1: dialog.accept(); break;
        case 2: dialog.hide(); break;
        default: static_cast<QWidget&>(dialog).close(); break;
        }
    });
    // None of these is a choice: the result stays Cancel, the window behind
    // is light again and the owner hears of the closing.
    QCOMPARE(result, 2);
    QVERIFY(isLight(&window));
    QCOMPARE(closed.count(), 1);
    QVERIFY(!dialog.isVisible());
}

void TestDialogs::windowManagerClose_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("closes");
    QTest::newRow("type 0") << 0 << true;
    QTest::newRow("type 2") << 2 << false;
}

void TestDialogs::windowManagerClose()
{
    QFETCH(int, type);
    QFETCH(bool, closes);
    QWidget window;
    window.show();
    KvoDialog dialog(&window, DialogFlags);
    dialog.setDimmedWidget(&window);
    dialog.setExitButtonType(type);
    QSignalSpy closed(&dialog, &KvoDialog::closed);

    bool openAfter = false;
    const int result = runModal(&dialog, [&] {
        dialog.windowHandle()->close(); // what the window manager's close does
        openAfter = dialog.isVisible();
        if (openAfter)
            dialog.closeWithYes();
    });
    QCOMPARE(openAfter, !closes);
    QCOMPARE(result, closes ? 2 : 0);
    QVERIFY(isLight(&window));
    QCOMPARE(closed.count(), 1);
}

void TestDialogs::dimmingAppliedAndRemoved()
{
    QWidget window;
    window.show();
    KvoDialog dialog(&window, DialogFlags);
    dialog.setDimmedWidget(&window);
    QVERIFY(!cover(&window));

    dialog.showDialog(false, false);
    QVERIFY(isDark(&window));
    QCOMPARE(cover(&window)->geometry(), window.rect());

    dialog.close();
    QVERIFY(isLight(&window));

    // Shown again.
    QCOMPARE(runModal(&dialog, [&] {
        QVERIFY(isDark(&window));
        dialog.closeWithYes();
    }), 0);
    QVERIFY(isLight(&window));

    // Closing twice does not touch a dimming that is no longer its own.
    dialog.close();
    QVERIFY(isLight(&window));
}

void TestDialogs::dimmedPictureIsThePage()
{
    // A dark page with a white title, a blue button and a grey picture in
    // nested widgets, as the pages behind the dialogs have.
    QWidget window;
    window.setStyleSheet(QStringLiteral("QWidget#page{background:#181a21;} QLabel{color:white;font-size:20px;}"
                                        "QPushButton{background:#009ee0;color:white;border:0;}"));
    window.setObjectName(QStringLiteral("page"));
    window.setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QVBoxLayout(&window);
    auto* row = new QWidget;
    auto* rowLayout = new QGridLayout(row);
    rowLayout->addWidget(new QLabel(QStringLiteral("Titre de la formation")), 0, 0);
    rowLayout->addWidget(new QPushButton(QStringLiteral("voir extrait")), 0, 1);
    auto* picture = new QLabel;
    QPixmap grey(80, 40);
    grey.fill(QColor(150, 150, 150));
    picture->setPixmap(grey);
    rowLayout->addWidget(picture, 1, 0);
    layout->addWidget(row);
    window.resize(400, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage page = window.grab().toImage().convertToFormat(QImage::Format_RGB32);

    KvoDialog dialog(&window, DialogFlags);
    dialog.setDimmedWidget(&window);
    dialog.showDialog(false, false);
    const QImage dimmed = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    dialog.close();
    // Every pixel is the page's own, darkened by the same factor: light
    // texts as much as pictures and buttons.
    const QString error = darkeningError(page, dimmed);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(isLight(&window));
    QCOMPARE(window.grab().toImage().convertToFormat(QImage::Format_RGB32), page);
}

void TestDialogs::dimmedPageFollowsChanges()
{
    // The page changes under an open dialog (it finishes loading, the
    // status comes back online): the dimmed page shows it as it is now.
    QWidget window;
    window.setObjectName(QStringLiteral("page"));
    window.setAttribute(Qt::WA_StyledBackground);
    window.setStyleSheet(QStringLiteral("QWidget#page{background:#181a21;} QLabel{color:white;font-size:20px;}"));
    auto* layout = new QVBoxLayout(&window);
    auto* status = new QLabel(QStringLiteral("Hors-ligne"));
    layout->addWidget(status);
    window.resize(300, 120);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    KvoDialog dialog(&window, DialogFlags);
    dialog.setDimmedWidget(&window);
    dialog.showDialog(false, false);
    status->setText(QStringLiteral("En ligne"));
    const QImage dimmed = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    dialog.close();
    const QImage page = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString error = darkeningError(page, dimmed);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestDialogs::dimmingFadesIn()
{
    QWidget window;
    window.show();
    KvoDialog dialog(&window, DialogFlags);
    dialog.setDimmedWidget(&window);
    dialog.showDialog(true, false);
    KvoDimmedCover* dim = cover(&window);
    QVERIFY(dim && dim->isVisible());
    QVERIFY(dim->strength() < 1.0);
    QTRY_VERIFY_WITH_TIMEOUT(dim->strength() >= 0.999, 5000);
    dialog.close();
    QVERIFY(isLight(&window));
}

void TestDialogs::twoDialogsShareTheDimming_data()
{
    QTest::addColumn<bool>("firstClosesFirst");
    QTest::newRow("first closes first") << true;
    QTest::newRow("second closes first") << false;
}

void TestDialogs::twoDialogsShareTheDimming()
{
    QFETCH(bool, firstClosesFirst);
    QWidget window;
    window.show();
    KvoDialog first(&window, DialogFlags);
    KvoDialog second(&window, DialogFlags);
    first.setDimmedWidget(&window);
    second.setDimmedWidget(&window);

    first.showDialog(false, false);
    KvoDimmedCover* shared = cover(&window);
    QVERIFY(shared);
    // Animated on top of an existing darkening: no flicker back to light,
    // and one darkening, not two.
    second.showDialog(true, false);
    QCOMPARE(cover(&window), shared);
    QCOMPARE(window.findChildren<KvoDimmedCover*>().size(), 1);
    QVERIFY(isDark(&window));

    (firstClosesFirst ? first : second).close();
    QVERIFY(isDark(&window));
    (firstClosesFirst ? second : first).close();
    QVERIFY(isLight(&window));

    // Both again, the other way round, modal inside non-modal.
    second.showDialog(false, false);
    QCOMPARE(runModal(&first, [&] {
        QVERIFY(isDark(&window));
        first.closeWithNo();
    }), 1);
    QVERIFY(isDark(&window));
    second.close();
    QVERIFY(isLight(&window));
}

void TestDialogs::creatorDestroyedWhileOtherDims()
{
    QWidget window;
    window.show();
    auto* creator = new KvoDialog(&window, DialogFlags);
    KvoDialog other(&window, DialogFlags);
    creator->setDimmedWidget(&window);
    other.setDimmedWidget(&window);

    creator->showDialog(false, false);
    other.showDialog(false, false);
    delete creator;
    QVERIFY(isDark(&window)); // the other dialog still darkens the window
    other.close();
    QVERIFY(isLight(&window));
    QCOMPARE(runModal(&other, [&] {
        QVERIFY(isDark(&window));
        other.closeWithYes();
    }), 0);
    QVERIFY(isLight(&window));
}

void TestDialogs::keptDialogOutlivesItsSharer()
{
    QWidget window;
    window.show();
    auto* creator = new KvoDialog(&window, DialogFlags);
    KvoDialog kept(&window, DialogFlags);
    creator->setDimmedWidget(&window);
    kept.setDimmedWidget(&window);

    creator->showDialog(false, false);
    QCOMPARE(runModal(&kept, [&] { kept.closeWithNo(); }), 1);
    QVERIFY(isDark(&window)); // the creator is still open
    creator->close();
    delete creator;
    QVERIFY(isLight(&window));

    QCOMPARE(runModal(&kept, [&] {
        QVERIFY(isDark(&window));
        kept.closeWithYes();
    }), 0);
    QVERIFY(isLight(&window));
}

void TestDialogs::effectOfTheWidgetIsLeftAlone()
{
    QWidget window;
    window.show();
    auto* fade = new QGraphicsOpacityEffect;
    window.setGraphicsEffect(fade);
    KvoDialog dialog(&window, DialogFlags);
    dialog.setDimmedWidget(&window);
    QCOMPARE(runModal(&dialog, [&] {
        QVERIFY(isDark(&window));
        dialog.closeWithYes();
    }), 0);
    QCOMPARE(window.graphicsEffect(), fade);
    QVERIFY(isLight(&window));
}

void TestDialogs::dimmedWidgetDestroyedWhileOpen()
{
    auto* window = new QWidget;
    window->show();
    KvoDialog dialog(nullptr, DialogFlags);
    KvoDialog other(nullptr, DialogFlags);
    dialog.setDimmedWidget(window);
    other.setDimmedWidget(window);
    dialog.showDialog(false, false);
    other.showDialog(false, false);
    delete window;
    QVERIFY(!dialog.dimmedWidget());
    other.closeWithNo();
    dialog.closeWithYes();
    QCOMPARE(dialog.closeResult(), 0);

    // A new widget afterwards is darkened as usual.
    QWidget next;
    next.show();
    dialog.setDimmedWidget(&next);
    QCOMPARE(runModal(&dialog, [&] {
        QVERIFY(isDark(&next));
        dialog.closeWithNo();
    }), 1);
    QVERIFY(isLight(&next));
}

void TestDialogs::dimmedWidgetDestroyedDuringModalRun()
{
    auto* window = new QWidget;
    window->show();
    KvoDialog dialog(nullptr, DialogFlags);
    dialog.setDimmedWidget(window);
    const int result = runModal(&dialog, [&] {
        delete window;
        dialog.closeWithYes();
    });
    QCOMPARE(result, 0);
}

void TestDialogs::parentDestroyedDuringModalRun()
{
    auto* window = new QWidget;
    window->show();
    QPointer<KvoDialog> dialog = new KvoDialog(window, DialogFlags);
    dialog->setDimmedWidget(window);
    dialog->closeWithYes(); // an earlier result must not be reported
    dialog->setObjectName(QStringLiteral("orphaned"));
    KvoDialogDriver driver;
    driver.expect<KvoDialog>(dialog->objectName(), [window](KvoDialog*) { delete window; });
    const int result = dialog->showDialog(false, true);
    QVERIFY2(driver.done(), driver.report());
    QVERIFY(!dialog);
    QCOMPARE(result, 2);
}

void TestDialogs::centresOnReference()
{
    QWidget window;
    window.setGeometry(100, 80, 600, 400);
    window.show();
    KvoDialog dialog(&window, DialogFlags);
    auto* body = new QWidget;
    body->setFixedSize(200, 100);
    dialog.addWidget(body);
    dialog.setDimmedWidget(&window);
    dialog.showDialog(false, false);
    QCOMPARE(dialog.pos(), QPoint(window.x() + window.width() / 2 - dialog.width() / 2,
                                  window.y() + window.height() / 2 - dialog.height() / 2));

    // The exit button's centre lies on the panel's top-left corner.
    auto* content = dialog.findChild<QWidget*>(QStringLiteral("content"));
    QVERIFY(content);
    QCOMPARE(dialog.exitButton()->geometry().center() + QPoint(1, 1), content->pos());
    // Panel = content + 20 + 20 on each side of the panel's layout, plus the
    // outer margins of 20.
    QCOMPARE(dialog.size(), QSize(200 + 4 * 20, 100 + 4 * 20));
    dialog.close();

    // Neither dimmed widget nor parent: not moved.
    KvoDialog lone(nullptr, DialogFlags);
    lone.move(33, 44);
    lone.showDialog(false, false);
    QCOMPARE(lone.pos(), QPoint(33, 44));
    lone.close();
}

void TestDialogs::contentMarginsOrder()
{
    KvoDialog dialog(nullptr, DialogFlags);
    dialog.setContentsMargins(10, 5, 6, 7);
    auto* layout = dialog.findChild<QVBoxLayout*>(QStringLiteral("contentLayout"));
    QVERIFY(layout);
    QCOMPARE(layout->contentsMargins(), QMargins(5, 10, 7, 6));
}

void TestDialogs::sharedForms_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QStringList>("texts"); // objectName=text
    QTest::addColumn<QStringList>("pixelSizes"); // objectName=size
    QTest::addColumn<QString>("image"); // label with a pixmap

    QTest::newRow("error") << QStringLiteral("UIErrorPlayVideoDialog") << QSize(410, 84)
                           << QStringList{QStringLiteral("label_3=ERREUR DE LECTURE"),
                                          QStringLiteral("label_2=Vous ne disposez pas des droits nécessaires pour lire cette formation ou"),
                                          QStringLiteral("label_2=elle est corrompue et n'existe plus sur votre ordinateur.")}
                           << QStringList{QStringLiteral("label_3=14"), QStringLiteral("label_2=9")} << QString();
    QTest::newRow("session") << QStringLiteral("UISessionDialog") << QSize(470, 118)
                             << QStringList{QStringLiteral("label_2=SESSION EXPIRÉE"),
                                            QStringLiteral("label_3=Connexion au player interrompue car votre compte est utilisé depuis un autre poste.")}
                             << QStringList{QStringLiteral("label_2=14"), QStringLiteral("label_3=12")}
                             << QStringLiteral("label");
    QTest::newRow("connection") << QStringLiteral("UIConnection") << QSize(285, 118)
                                << QStringList{QStringLiteral("label_2=HORS CONNEXION"),
                                               QStringLiteral("label_3=Veuillez vous connecter à Internet pour continuer")}
                                << QStringList{QStringLiteral("label_2=14"), QStringLiteral("label_3=12")}
                                << QStringLiteral("label");
    QTest::newRow("delete") << QStringLiteral("UIDeleteVideoDialog") << QSize(475, 148)
                            << QStringList{QStringLiteral("label_2=Souhaitez-vous vraiment supprimer cette formation de votre bibliothèque ?"),
                                           QStringLiteral("buttonCancel=Annuler"),
                                           QStringLiteral("buttonKeep=Retirer de ma bibliothèque"),
                                           QStringLiteral("buttonTrash=Supprimer de mon ordinateur")}
                            << QStringList{QStringLiteral("label_2=12"), QStringLiteral("buttonCancel=13"),
                                           QStringLiteral("buttonKeep=13"), QStringLiteral("buttonTrash=13")}
                            << QStringLiteral("label");
}

void TestDialogs::sharedForms()
{
    QFETCH(QString, form);
    QFETCH(QSize, size);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, pixelSizes);
    QFETCH(QString, image);

    auto* widget = new QWidget;
    Ui_UIErrorPlayVideoDialog error;
    Ui_UISessionDialog session;
    Ui_UIConnection connection;
    Ui_UIDeleteVideoDialog remove;
    if (form == QLatin1String("UIErrorPlayVideoDialog"))
        error.setupUi(widget);
    else if (form == QLatin1String("UISessionDialog"))
        session.setupUi(widget);
    else if (form == QLatin1String("UIConnection"))
        connection.setupUi(widget);
    else
        remove.setupUi(widget);
    QCOMPARE(widget->objectName(), form);
    QCOMPARE(widget->size(), size);
    QCOMPARE(widget->font().family(), QStringLiteral("Arial"));

    QWidget window;
    window.resize(900, 600);
    window.show();
    KvoDialog dialog(&window, DialogFlags);
    dialog.setDimmedWidget(&window);
    dialog.addWidget(widget);
    dialog.showDialog(false, false);
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    for (const QString& entry : texts) {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        const QString text = entry.section(QLatin1Char('='), 1);
        auto* child = widget->findChild<QWidget*>(name);
        QVERIFY2(child, qPrintable(name));
        if (auto* label = qobject_cast<QLabel*>(child)) {
            QVERIFY2(label->text().contains(text), qPrintable(label->text()));
            QCOMPARE(label->alignment(), Qt::AlignCenter);
        } else {
            auto* button = qobject_cast<QPushButton*>(child);
            QVERIFY(button);
            QCOMPARE(button->text(), text);
            QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
        }
    }
    for (const QString& entry : pixelSizes) {
        auto* child = widget->findChild<QWidget*>(entry.section(QLatin1Char('='), 0, 0));
        QVERIFY(child);
        QCOMPARE(child->font().pixelSize(), entry.section(QLatin1Char('='), 1).toInt());
        QCOMPARE(child->font().family(), QStringLiteral("Arial"));
    }
    if (!image.isEmpty()) {
        auto* label = widget->findChild<QLabel*>(image);
        QVERIFY(label);
        QVERIFY(!label->pixmap().isNull());
    }

    // Nothing is cut: every label and button got at least the room it asks.
    const auto children = widget->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (!qobject_cast<QLabel*>(child) && !qobject_cast<QPushButton*>(child))
            continue;
        QVERIFY2(child->width() >= child->sizeHint().width(), qPrintable(child->objectName()));
        QVERIFY2(child->height() >= child->sizeHint().height(), qPrintable(child->objectName()));
        QVERIFY(dialog.rect().contains(child->mapTo(&dialog, child->rect().bottomRight())));
    }
    saveShot(&dialog, QStringLiteral("dialog_") + form);
    dialog.close();
}

void TestDialogs::messageBox_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("informative");
    QTest::addColumn<bool>("icon");
    QTest::newRow("already running")
        << 0 << QStringLiteral("Vistrelle")
        << QStringLiteral("<b>Une instance du Vistrelle est déjà lancée !</b>")
        << QStringLiteral("Fermez l'instance et relancez cette application.\n"
                          "Si le problème persiste, veuillez prendre contact avec le support.")
        << true;
    QTest::newRow("unknown") << 7 << QString() << QString() << QString() << false;
}

void TestDialogs::messageBox()
{
    QFETCH(int, type);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QString, informative);
    QFETCH(bool, icon);

    KvoMessageBox box(type);
    QVERIFY(!box.parentWidget());
    QCOMPARE(box.windowTitle(), title);
    QCOMPARE(box.text(), text);
    QCOMPARE(box.informativeText(), informative);
    QCOMPARE(!box.iconPixmap().isNull(), icon);
    if (icon)
        QCOMPARE(box.iconPixmap().size(), QSize(32, 32));

    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    QVERIFY(grid);
    QLayoutItem* last = grid->itemAtPosition(grid->rowCount() - 1, 0);
    QVERIFY(last && last->spacerItem());

    box.setObjectName(QStringLiteral("boxUnderTest"));
    int width = 0;
    KvoDialogDriver driver;
    driver.expect<KvoMessageBox>(box.objectName(), [&width](KvoMessageBox* shown) {
        saveShot(shown, QStringLiteral("messagebox_%1").arg(shown->text().isEmpty() ? 1 : 0));
        width = shown->width();
        shown->accept();
    });
    box.exec();
    QVERIFY2(driver.done(), driver.report());
    QVERIFY(width >= 500);
}

void TestDialogs::bubbleSplitsTitle_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("Lecture") << QString() << QStringLiteral("Lecture");
    QTest::newRow("title") << QStringLiteral("<b>1:02:03 </b> Introduction") << QStringLiteral("1:02:03 ")
                           << QStringLiteral(" Introduction");
    QTest::newRow("title only") << QStringLiteral("<b>Signet</b>") << QStringLiteral("Signet") << QString();
    QTest::newRow("two closing tags") << QStringLiteral("<b>a</b>b</b>c") << QString()
                                      << QStringLiteral("a</b>b</b>c");
    QTest::newRow("closing tag only") << QStringLiteral("x</b>y") << QStringLiteral("x") << QStringLiteral("y");
    QTest::newRow("empty") << QString() << QString() << QString();
}

void TestDialogs::bubbleSplitsTitle()
{
    QFETCH(QString, input);
    QFETCH(QString, title);
    QFETCH(QString, text);

    KvoInfobulle bubble(QStringLiteral("unchanged <b>x</b>"));
    QCOMPARE(bubble.text(), QStringLiteral("unchanged <b>x</b>"));
    QVERIFY(bubble.isHidden());
    bubble.setText(input);
    QCOMPARE(bubble.title(), title);
    QCOMPARE(bubble.text(), text);

    const QFontMetrics textMetrics(KvoInfobulle::textFont());
    const QFontMetrics titleMetrics(KvoInfobulle::titleFont());
    QCOMPARE(bubble.width(), titleMetrics.horizontalAdvance(title) + textMetrics.horizontalAdvance(text) + 20);
    QCOMPARE(bubble.height(), textMetrics.boundingRect(text).height() + 16);
    QCOMPARE(bubble.minimumSize(), bubble.maximumSize());
}

void TestDialogs::bubbleGeometry()
{
    KvoInfobulle bubble{QString()};
    QCOMPARE(KvoInfobulle::textFont().pixelSize(), 11);
    QCOMPARE(KvoInfobulle::titleFont().weight(), QFont::Bold);

    bubble.setText(QStringLiteral("Plein écran"));
    const int w = bubble.width();
    const int h = bubble.height();
    QCOMPARE(bubble.bodyRect(), QRect(0, 0, w, h - 7));
    QCOMPARE(bubble.arrowPosition(), QPoint(15, h - 8));
    // A plain text is centred as a whole.
    const QRect plain = bubble.textRect();
    QCOMPARE(bubble.titleRect().width(), 0);
    QVERIFY(qAbs(plain.x() + plain.width() / 2 - w / 2) <= 1);
    QCOMPARE(plain.height(), h - 7);
    saveShot(&bubble, QStringLiteral("bubble_plain"));

    // Title and text side by side, the pair centred.
    bubble.setText(QStringLiteral("<b>12:34 </b> Les calques de réglage"));
    const QRect title = bubble.titleRect();
    const QRect text = bubble.textRect();
    QVERIFY(title.width() > 0);
    QCOMPARE(text.x(), title.x() + title.width());
    QCOMPARE(title.bottom(), bubble.height() - 8);
    QVERIFY(title.x() >= 0);
    QVERIFY(text.right() < bubble.width());

    bubble.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bubble));
    const QImage picture = bubble.grab().toImage();
    QCOMPARE(QColor(picture.pixel(5, bubble.height() / 2 - 3)), QColor(QStringLiteral("#35363c")));
    // The arrow below the body, on its left side.
    QVERIFY(QColor(picture.pixel(19, bubble.height() - 5)) == QColor(QStringLiteral("#35363c"))
            || qAlpha(picture.pixel(19, bubble.height() - 5)) > 0);
    saveShot(&bubble, QStringLiteral("bubble_title"));

    // A bookmark's time is drawn whole: as much ink as the same time
    // drawn freely (its first figure was cut off).
    // Inside the body, off its round corners.
    const auto ink = [](const QImage& image, int right) {
        qint64 sum = 0;
        for (int y = 3; y < image.height() - 11; ++y)
            for (int x = 3; x < right; ++x)
                sum += qMax(0, qGray(image.pixel(x, y)) - 0x60);
        return sum;
    };
    bubble.setText(QStringLiteral("<b>0:01 </b> Début"));
    const QImage shown = bubble.grab().toImage();
    QImage free(shown.size(), QImage::Format_RGB32);
    free.fill(QColor(QStringLiteral("#35363c")));
    {
        QPainter painter(&free);
        painter.setPen(Qt::white);
        painter.setFont(KvoInfobulle::titleFont());
        painter.drawText(QPoint(6, QFontMetrics(KvoInfobulle::titleFont()).ascent() + 3), bubble.title());
    }
    const qint64 expected = ink(free, free.width());
    const qint64 drawn = ink(shown, bubble.textRect().x());
    QVERIFY2(qAbs(drawn - expected) * 20 < expected, qPrintable(QStringLiteral("%1 %2").arg(drawn).arg(expected)));
}

void TestDialogs::bubbleDoesNotTakeFocus()
{
    QWidget window;
    window.show();
    window.activateWindow();
    KvoInfobulle bubble(QString(), &window);
    QCOMPARE(bubble.windowType(), Qt::ToolTip);
    QVERIFY(bubble.testAttribute(Qt::WA_ShowWithoutActivating));
    bubble.setText(QStringLiteral("Volume"));
    bubble.show();
    QVERIFY(!bubble.isActiveWindow());
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
