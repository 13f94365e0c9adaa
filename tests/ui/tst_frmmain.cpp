// The main window offscreen: menus per command, navigation, tab records,
// page switching, logger output, position memory, closing, language, help,
// information windows and the screenshot tour.
#include "uifixture.h"

#include <platform/registry.h>
#include <platform/stringutil.h>
#include <platform/version.h>
#include <ui/pages.h>
#include <ui/screenshottour.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleFactory>
#include <QTest>

using ui::frmMain;

namespace {

QList<int> keyNumbers(const ui::TabStrip *strip)
{
    QList<int> n;
    for (const QString &k : strip->keys())
        n << ui::keyNumber(k);
    return n;
}

const QString kProductKey = QStringLiteral("SOFTWARE\\norda\\Aerolis Controller");

// With AEROLIS_TOUR_DIR set, windows the tests open are kept as pictures
// there for a look by eye.
void keepPicture(QWidget *w, const QString &name)
{
    if (qEnvironmentVariableIsSet("AEROLIS_TOUR_DIR"))
        w->grab().save(QDir(qEnvironmentVariable("AEROLIS_TOUR_DIR")).filePath(name));
}

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void menuVisibilityPerCommand_data();
    void menuVisibilityPerCommand();
    void navigationPerCommand_data();
    void navigationPerCommand();
    void tabHidingAndRestoring_data();
    void tabHidingAndRestoring();
    void restoredTabKeepsItsRecord();
    void showPageBeforeAnyStripDoesNothing();
    void pageLiesOverTheClientArea();
    void logLine_data();
    void logLine();
    void loggerBatchEndsOnItsLastLine_data();
    void loggerBatchEndsOnItsLastLine();
    void logStamped();
    void displayShowsLoggerAfterErrors();
    void positionIsRestored_data();
    void positionIsRestored();
    void positionRoundTrip();
    void minimisedWindowKeepsStoredPosition();
    void closing_data();
    void closing();
    void okWritesOnlyChangedParameters_data();
    void okWritesOnlyChangedParameters();
    void applyWritesAndDisables();
    void language_data();
    void language();
    void captionsInBothLanguages_data();
    void captionsInBothLanguages();
    void unknownLanguageGivesEmptyTexts();
    void tagLoading_data();
    void tagLoading();
    void help_data();
    void help();
    void informationWindows();
    void forceAppDownloadFollowsTickMark();
    void notificationCounter();
    void indicatorsBlinkAndStop();
    void lists_data();
    void lists();
    void screenshotTourWritesEveryPage();
};

void TestFrmMain::menuVisibilityPerCommand_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("fileTools");
    QTest::newRow("configuration") << host::kCmdConfiguration << true;
    QTest::newRow("control") << host::kCmdControl << false;
    QTest::newRow("command 2") << 2 << false;
    QTest::newRow("command 3") << 3 << false;
    QTest::newRow("stand-alone") << host::kCmdStandAlone << false;
}

void TestFrmMain::menuVisibilityPerCommand()
{
    QFETCH(int, command);
    QFETCH(bool, fileTools);
    UiFixture f(command);
    frmMain &w = f.load();
    w.setupForCommand(command);
    for (const char *name : {"OpenFile", "SaveFile", "FileSeperator", "ReadParameters", "WriteParameters",
                             "SpreadParameters", "ParameterSeperator"})
        QVERIFY2(w.tool(QLatin1String(name))->isVisible() == fileTools, name);
    for (const char *name : {"Language", "Quit", "German", "English", "Manual", "AppDoc", "DeviceInfo", "About", "Logger"})
        QVERIFY2(w.tool(QLatin1String(name))->isVisible(), name);
    // Extras (forced download) belongs to the configuration command only;
    // the template's controller kind 1 offers it.
    w.display();
    QCOMPARE(w.tool(QStringLiteral("Extras"))->isVisible(), command == host::kCmdConfiguration);
}

void TestFrmMain::navigationPerCommand_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("strip");
    QTest::addColumn<int>("page");
    QTest::addColumn<QList<bool>>("monitoring");
    // Without a device the accessibility check fails: configuration keeps
    // its Configuration button only.
    QTest::newRow("configuration, device unreachable")
        << host::kCmdConfiguration << QStringList{QStringLiteral("1001")} << 0 << 0 << QList<bool>{false};
    QTest::newRow("control") << host::kCmdControl << QStringList{QStringLiteral("1003")} << 1 << 2
                             << QList<bool>{false};
    QTest::newRow("stand-alone") << host::kCmdStandAlone << QStringList{QStringLiteral("1001")} << 0 << 0
                                 << QList<bool>{false};
    QTest::newRow("unknown command keeps both") << 7 << QStringList{QStringLiteral("1001"), QStringLiteral("1003")}
                                                << 0 << 0 << QList<bool>{false};
}

void TestFrmMain::navigationPerCommand()
{
    QFETCH(int, command);
    QFETCH(QStringList, buttons);
    QFETCH(int, strip);
    QFETCH(int, page);
    QFETCH(QList<bool>, monitoring);
    UiFixture f(command);
    frmMain &w = f.load();
    QList<bool> calls;
    frmMain::CommandHooks hooks;
    hooks.setMonitoring = [&calls](frmMain &, bool on) { calls << on; };
    w.setCommandHooks(hooks);
    w.setupForCommand(command);
    w.display();

    QStringList tags;
    for (int i = 0; i < w.navigationBar()->count(); ++i)
        tags << w.navigationBar()->buttonAt(i).tag;
    QCOMPARE(tags, buttons);
    QCOMPARE(w.navigationBar()->selected(), 0);
    QCOMPARE(w.currentTabStrip(), w.tabStrip(strip));
    QVERIFY(w.tabStrip(strip)->isVisible());
    QVERIFY(!w.tabStrip(1 - strip)->isVisible());
    QCOMPARE(w.currentPage(), page);
    QVERIFY(w.page(page)->isVisible());
    QCOMPARE(calls, monitoring);
    QVERIFY(w.isVisible());
}

void TestFrmMain::tabHidingAndRestoring_data()
{
    // Each step: "h<n>" hides key n, "s<n>" shows it, "t<a,b,...>" ShowTabs.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("keys");
    const QList<int> design{0, 1, 3, 4, 5, 6, 7, 8, 9};
    QTest::newRow("hidden 5 returns after 3") << QStringList{"h4", "h5", "s5"} << QList<int>{0, 1, 3, 5, 6, 7, 8, 9};
    QTest::newRow("then 4 between 3 and 5") << QStringList{"h4", "h5", "s5", "s4"} << design;
    QTest::newRow("shown key changes nothing") << QStringList{"s3"} << design;
    QTest::newRow("hide missing key changes nothing") << QStringList{"h2", "h42"} << design;
    QTest::newRow("never recorded key adds nothing") << QStringList{"s2", "s42"} << design;
    QTest::newRow("first returns to the front") << QStringList{"h0", "h1", "s1", "s0"} << design;
    QTest::newRow("last returns to the end") << QStringList{"h8", "h9", "s9"} << QList<int>{0, 1, 3, 4, 5, 6, 7, 9};
    QTest::newRow("ShowTabs 0 1 9") << QStringList{"t0,1,9"} << QList<int>{0, 1, 9};
    QTest::newRow("ShowTabs order is the design's") << QStringList{"t9,3,0"} << QList<int>{0, 3, 9};
    QTest::newRow("ShowTabs brings hidden ones back") << QStringList{"t0,1,9", "t0,1,3,4,5,6,7,8,9"} << design;
}

void TestFrmMain::tabHidingAndRestoring()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, keys);
    UiFixture f;
    frmMain &w = f.load();
    ui::cTabStrip *strip = w.tabStripRecord(0);
    QVERIFY(strip);
    QCOMPARE(strip->Tabs()->Count(), 9);
    for (const QString &step : steps) {
        const QString arg = step.mid(1);
        if (step.startsWith(QLatin1Char('h'))) {
            strip->Tabs()->HideTabByKeyNo(arg.toInt());
        } else if (step.startsWith(QLatin1Char('s'))) {
            strip->Tabs()->ShowTabByKeyNo(arg.toInt());
        } else {
            QList<int> list;
            for (const QString &n : arg.split(QLatin1Char(',')))
                list << n.toInt();
            strip->ShowTabs(list);
        }
    }
    QCOMPARE(keyNumbers(w.tabStrip(0)), keys);
}

void TestFrmMain::restoredTabKeepsItsRecord()
{
    UiFixture f;
    frmMain &w = f.load();
    ui::TabStrip *strip = w.tabStrip(0);
    const int i = strip->indexOfKey(QStringLiteral("KEY:6"));
    const QString caption = strip->caption(i);
    QCOMPARE(caption, gLoadResString(1015));
    ui::cTab *record = w.tabStripRecord(0)->Tabs()->ItemByKey(QStringLiteral("KEY:6"));
    QVERIFY(record);
    QCOMPARE(record->Index(), 6);
    QCOMPARE(w.tabStripRecord(0)->Tabs()->Item(6), record);
    QVERIFY(!w.tabStripRecord(0)->Tabs()->ItemByKey(QStringLiteral("key:6"))); // keys are case-sensitive
    w.tabStripRecord(0)->Tabs()->HideTabByKeyNo(6);
    QCOMPARE(strip->indexOfKey(QStringLiteral("KEY:6")), -1);
    w.tabStripRecord(0)->Tabs()->ShowTabByKeyNo(6);
    const int j = strip->indexOfKey(QStringLiteral("KEY:6"));
    QCOMPARE(j, i);
    QCOMPARE(strip->caption(j), caption);
    QCOMPARE(strip->tag(j).toString(), QStringLiteral("1015/0"));
}

void TestFrmMain::showPageBeforeAnyStripDoesNothing()
{
    UiFixture f;
    frmMain &w = f.load();
    QVERIFY(!w.currentTabStrip());
    w.showPage(3);
    QCOMPARE(w.currentPage(), -1);
}

void TestFrmMain::pageLiesOverTheClientArea()
{
    UiFixture f;
    frmMain &w = f.show();
    for (int key : {3, 9, 0}) {
        w.tabStrip(0)->select(w.tabStrip(0)->indexOfKey(QStringLiteral("KEY:") + QString::number(key)));
        QCOMPARE(w.currentPage(), key);
        const QRect client = w.tabStrip(0)->clientArea();
        const QRect page = w.page(key)->geometry();
        QCOMPARE(page, QRect(client.left() - 3, client.top() - 1, client.width() + 4, client.height() + 2));
        for (int other = 0; other < 10; ++other) {
            if (other == key)
                continue;
            QVERIFY(!w.page(other)->isVisible());
            QVERIFY(!w.page(other)->isEnabled());
            QVERIFY(w.page(other)->x() < -10000);
        }
    }
    // The log list fills the logger page, 12 pixels (180 twips) above its bottom.
    w.ShowLogger();
    const QRect log = w.logger()->geometry();
    QCOMPARE(log.bottom() + 1, w.page(9)->height() - 12);
    QCOMPARE(log.width(), w.page(9)->width() - 2 * log.x());
    // Nothing of the client area lies outside the fixed window.
    QVERIFY(w.centralWidget()->rect().contains(w.buttonLine()->geometry()));
    QVERIFY(w.centralWidget()->rect().contains(w.tabStrip(0)->geometry()));
    QVERIFY(!w.navigationBar()->geometry().intersects(w.tabStrip(0)->geometry()));
    QVERIFY(!w.buttonLine()->geometry().intersects(w.tabStrip(0)->geometry()));
}

void TestFrmMain::logLine_data()
{
    QTest::addColumn<qint32>("color");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("withTime");
    QTest::addColumn<int>("blanks");
    QTest::addColumn<QColor>("shown");
    QTest::addColumn<bool>("errorFlag");
    QTest::newRow("green, time, 2 blank lines") << frmMain::kGreen << false << true << 2 << QColor(0, 128, 0) << false;
    QTest::newRow("blue becomes dark blue") << frmMain::kBlue << false << false << 0 << QColor(0, 0, 192) << false;
    QTest::newRow("red sets the errors flag") << frmMain::kRed << true << false << 1 << QColor(255, 0, 0) << true;
    QTest::newRow("black") << frmMain::kBlack << false << true << 0 << QColor(0, 0, 0) << false;
    QTest::newRow("magenta as given") << frmMain::kMagenta << false << false << 0 << QColor(255, 0, 255) << false;
}

void TestFrmMain::logLine()
{
    QFETCH(qint32, color);
    QFETCH(bool, bold);
    QFETCH(bool, withTime);
    QFETCH(int, blanks);
    QFETCH(QColor, shown);
    QFETCH(bool, errorFlag);
    UiFixture f;
    frmMain &w = f.load();
    w.LogLine(QStringLiteral("x"), color, bold, withTime, blanks);
    QCOMPARE(w.errorsLogged(), errorFlag);
    for (ui::LogBox *box : {w.logger(), w.loggerWindow()->log()}) {
        QCOMPARE(box->count(), 1 + blanks);
        const QListWidgetItem *line = box->item(0);
        if (withTime)
            QVERIFY2(QRegularExpression(QStringLiteral("^([01]\\d|2[0-3]):[0-5]\\d:[0-5]\\d - x$")).match(line->text()).hasMatch(),
                     qPrintable(line->text()));
        else
            QCOMPARE(line->text(), QStringLiteral("x"));
        QCOMPARE(line->foreground().color(), shown);
        QCOMPARE(line->font().bold(), bold);
        for (int i = 1; i <= blanks; ++i)
            QVERIFY(box->item(i)->text().isEmpty());
    }
}

// A batch of lines logged without the event loop in between: every line
// arrives in order in both lists, and once the batch is over the list in
// front shows the last one, whether it was in front while the lines came or
// was brought there afterwards.
void TestFrmMain::loggerBatchEndsOnItsLastLine_data()
{
    QTest::addColumn<QString>("front"); // "page", "page later", "window later"
    QTest::newRow("logger page in front") << "page";
    QTest::newRow("logger page brought to the front") << "page later";
    QTest::newRow("logger window opened") << "window later";
}

void TestFrmMain::loggerBatchEndsOnItsLastLine()
{
    QFETCH(QString, front);
    constexpr int kLines = 400;
    UiFixture f;
    frmMain &w = f.load();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    if (front == QLatin1String("page"))
        w.ShowLogger();
    QCoreApplication::processEvents();
    for (int i = 0; i < kLines; ++i)
        w.LogLine(QStringLiteral("line %1").arg(i));
    QCoreApplication::processEvents();
    if (front == QLatin1String("page later"))
        w.ShowLogger();
    if (front == QLatin1String("window later")) {
        w.loggerWindow()->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.loggerWindow()));
    }
    QCoreApplication::processEvents();
    for (ui::LogBox *box : {w.logger(), w.loggerWindow()->log()}) {
        QCOMPARE(box->count(), kLines);
        for (int i : {0, kLines / 2, kLines - 1})
            QCOMPARE(box->item(i)->text(), QStringLiteral("line %1").arg(i));
    }
    ui::LogBox *shown = front == QLatin1String("window later") ? w.loggerWindow()->log() : w.logger();
    QVERIFY(shown->isVisible());
    const QRect last = shown->visualItemRect(shown->item(kLines - 1));
    QVERIFY2(shown->viewport()->rect().intersects(last),
             qPrintable(QStringLiteral("last line at %1,%2 in a viewport %3 high").arg(last.top()).arg(last.bottom()).arg(shown->viewport()->height())));
    const QRect first = shown->visualItemRect(shown->item(0));
    QVERIFY(!shown->viewport()->rect().intersects(first));
    w.loggerWindow()->hide();
    w.hide();
}

void TestFrmMain::logStamped()
{
    UiFixture f;
    frmMain &w = f.load();
    w.LogStamped(QStringLiteral("Plug-in started"), frmMain::kBlue);
    const QListWidgetItem *line = w.logger()->item(0);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d :Plug-in started$")).match(line->text()).hasMatch(),
             qPrintable(line->text()));
    // LogStamped passes its colour as it is.
    QCOMPARE(line->foreground().color(), QColor(0, 0, 255));
    QVERIFY(!w.errorsLogged());
}

void TestFrmMain::displayShowsLoggerAfterErrors()
{
    UiFixture f;
    frmMain &w = f.load();
    w.LogLine(QStringLiteral("failed"), frmMain::kRed);
    w.setupForCommand(host::kCmdConfiguration);
    w.display();
    QCOMPARE(w.currentPage(), 9);
    QVERIFY(!w.errorsLogged());
    QCOMPARE(w.statusText(), gLoadResString(1517));
    QVERIFY(w.logger()->item(w.logger()->count() - 1)->text().endsWith(QStringLiteral(" :Plug-in started")));
    QVERIFY(!w.applyEnabled());
    QVERIFY(f.traced(QStringLiteral("[frmMain] Public Sub Display()")));
    QVERIFY(f.traced(QStringLiteral("[frmMain] Private Sub Form_Load()")));
}

void TestFrmMain::positionIsRestored_data()
{
    QTest::addColumn<QString>("top");
    QTest::addColumn<QString>("left");
    QTest::addColumn<bool>("moved");
    QTest::addColumn<QPoint>("pos");
    QTest::newRow("stored") << "1500" << "3000" << true << QPoint(200, 100);
    QTest::newRow("rounded to pixels") << "1507" << "22" << true << QPoint(1, 100);
    QTest::newRow("default -1") << "-1" << "-1" << false << QPoint();
    QTest::newRow("missing") << QString() << QString() << false << QPoint();
    QTest::newRow("not numeric") << "abc" << "" << false << QPoint();
    QTest::newRow("only top") << "750" << "x" << true << QPoint(-1, 50);
}

void TestFrmMain::positionIsRestored()
{
    QFETCH(QString, top);
    QFETCH(QString, left);
    QFETCH(bool, moved);
    QFETCH(QPoint, pos);
    UiFixture f;
    if (!top.isNull())
        platform::Registry::write(kProductKey, QStringLiteral("Settings"), QStringLiteral("Top"), top);
    if (!left.isNull())
        platform::Registry::write(kProductKey, QStringLiteral("Settings"), QStringLiteral("Left"), left);
    const QPoint unmoved = QMainWindow().pos();
    frmMain &w = f.load();
    if (!moved)
        QCOMPARE(w.pos(), unmoved);
    else
        QCOMPARE(w.pos(), QPoint(pos.x() < 0 ? unmoved.x() : pos.x(), pos.y()));
}

void TestFrmMain::positionRoundTrip()
{
    {
        UiFixture f;
        frmMain &w = f.show();
        w.move(123, 77);
        QVERIFY(w.close());
        QCOMPARE(platform::Registry::read(kProductKey, QStringLiteral("Settings"), QStringLiteral("Top")),
                 QStringLiteral("1155"));
        QCOMPARE(platform::Registry::read(kProductKey, QStringLiteral("Settings"), QStringLiteral("Left")),
                 QStringLiteral("1845"));
        QCOMPARE(w.statusText(), gLoadResString(1507));
        QVERIFY(f.traced(QStringLiteral("[frmMain] Private Sub Form_Unload(Cancel As Integer)")));
        QVERIFY(f.traced(QStringLiteral("[M_LcaPlugIn] Public Sub EndApp()")));
        // The next start, in the same registry.
        host::resetState();
        host::InitApp();
        frmMain again;
        QCOMPARE(again.pos(), QPoint(123, 77));
    }
}

void TestFrmMain::minimisedWindowKeepsStoredPosition()
{
    UiFixture f;
    platform::Registry::write(kProductKey, QStringLiteral("Settings"), QStringLiteral("Top"), QStringLiteral("300"));
    platform::Registry::write(kProductKey, QStringLiteral("Settings"), QStringLiteral("Left"), QStringLiteral("600"));
    frmMain &w = f.show();
    w.move(200, 200);
    w.showMinimized();
    QVERIFY(w.isMinimized());
    QVERIFY(w.close());
    QCOMPARE(platform::Registry::read(kProductKey, QStringLiteral("Settings"), QStringLiteral("Top")),
             QStringLiteral("300"));
    QCOMPARE(platform::Registry::read(kProductKey, QStringLiteral("Settings"), QStringLiteral("Left")),
             QStringLiteral("600"));
}

void TestFrmMain::closing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::newRow("no changes, window close") << "close" << false << 0 << true;
    QTest::newRow("changes, No keeps it open") << "close" << true << int(platform::ANS_No) << false;
    QTest::newRow("changes, Yes closes") << "close" << true << int(platform::ANS_Yes) << true;
    QTest::newRow("Quit tool, No") << "Quit" << true << int(platform::ANS_No) << false;
    QTest::newRow("Quit tool, no changes") << "Quit" << false << 0 << true;
    QTest::newRow("Cancel button, No") << "Cancel" << true << int(platform::ANS_No) << false;
    QTest::newRow("Cancel button, Yes") << "Cancel" << true << int(platform::ANS_Yes) << true;
}

void TestFrmMain::closing()
{
    QFETCH(QString, how);
    QFETCH(bool, changed);
    QFETCH(int, answer);
    QFETCH(bool, closed);
    UiFixture f;
    frmMain &w = f.show();
    w.setParametersChanged(changed);
    if (answer)
        f.messages->queueAnswer(answer);
    if (how == QLatin1String("close"))
        w.close();
    else if (how == QLatin1String("Quit"))
        w.tool(how)->trigger();
    else
        QTest::mouseClick(w.buttonLine()->button(ui::ButtonLine::Cancel), Qt::LeftButton);

    if (changed) {
        QCOMPARE(f.messages->shown.size(), 1);
        const platform::Message &m = f.messages->shown.first();
        QCOMPARE(m.text, gLoadResString(1428, 3));
        QCOMPARE(m.icon, platform::MsgIcon::Question);
        QCOMPARE(m.buttons, int(platform::MB_YesNo));
        QCOMPARE(m.title, w.windowTitle());
        // "No" is the default: an unanswered question keeps the window open.
        QCOMPARE(m.defaultButton, int(platform::ANS_No));
    } else {
        QVERIFY(f.messages->shown.isEmpty());
    }
    QCOMPARE(w.isVisible(), !closed);
    QCOMPARE(w.isLoaded(), !closed);
    QCOMPARE(host::state().ending, closed);
    // Kept open: the changes are still unwritten.
    if (!closed)
        QVERIFY(w.parametersChanged());
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestFrmMain::okWritesOnlyChangedParameters_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<bool>("writeOk");
    QTest::addColumn<int>("writes");
    QTest::newRow("changed, written") << host::kCmdConfiguration << true << true << 1;
    QTest::newRow("unchanged, nothing written") << host::kCmdConfiguration << false << true << 0;
    QTest::newRow("control command never writes") << host::kCmdControl << true << true << 0;
    QTest::newRow("failed write") << host::kCmdConfiguration << true << false << 1;
}

void TestFrmMain::okWritesOnlyChangedParameters()
{
    QFETCH(int, command);
    QFETCH(bool, changed);
    QFETCH(bool, writeOk);
    QFETCH(int, writes);
    UiFixture f(command);
    frmMain &w = f.show();
    int count = 0;
    frmMain::CommandHooks hooks;
    hooks.writeParameters = [&](frmMain &win) {
        ++count;
        if (writeOk)
            win.setParametersChanged(false);
        return writeOk;
    };
    w.setCommandHooks(hooks);
    w.setParametersChanged(changed);
    w.setApplyEnabled(true);
    // A failed write leaves the changes: the close question then keeps the window.
    f.messages->queueAnswer(platform::ANS_No);
    QTest::mouseClick(w.buttonLine()->button(ui::ButtonLine::OK), Qt::LeftButton);
    QCOMPARE(count, writes);
    if (command == host::kCmdConfiguration && changed && !writeOk) {
        QVERIFY(w.isVisible());
        QVERIFY(!w.applyEnabled());
    } else if (command == host::kCmdConfiguration || !changed) {
        QVERIFY(!w.isVisible());
    }
}

void TestFrmMain::applyWritesAndDisables()
{
    UiFixture f;
    frmMain &w = f.show();
    int count = 0;
    frmMain::CommandHooks hooks;
    hooks.writeParameters = [&](frmMain &) { return ++count > 0; };
    w.setCommandHooks(hooks);
    w.setApplyEnabled(true);
    QTest::mouseClick(w.buttonLine()->button(ui::ButtonLine::Apply), Qt::LeftButton);
    QCOMPARE(count, 1);
    QVERIFY(!w.applyEnabled());
    QVERIFY(w.isVisible());
}

void TestFrmMain::language_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("message");
    QTest::newRow("English to German") << "0" << "German" << "1000" << true;
    QTest::newRow("German already set") << "1000" << "German" << "1000" << false;
    QTest::newRow("German to English") << "1000" << "English" << "0" << true;
    QTest::newRow("missing value is English") << QString() << "English" << QString() << false;
    QTest::newRow("unknown value") << "5" << "English" << "0" << true;
    QTest::newRow("text value counts as 0") << "abc" << "German" << "1000" << true;
}

void TestFrmMain::language()
{
    QFETCH(QString, stored);
    QFETCH(QString, tool);
    QFETCH(QString, written);
    QFETCH(bool, message);
    UiFixture f;
    if (!stored.isNull())
        platform::Registry::write(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"), stored);
    frmMain &w = f.show();
    const int offsetBefore = platform::languageOffset();
    const QString captionBefore = w.buttonLine()->button(ui::ButtonLine::Cancel)->text();
    w.tool(tool)->trigger();
    QCOMPARE(platform::Registry::read(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language")),
             written);
    QCOMPARE(f.messages->shown.size(), message ? 1 : 0);
    if (message) {
        const platform::Message &m = f.messages->shown.first();
        QCOMPARE(m.icon, platform::MsgIcon::Information);
        QCOMPARE(m.title, w.windowTitle());
        QString caption = w.tool(tool)->text();
        caption.remove(QLatin1Char('&'));
        QCOMPARE(m.text, platform::fillPlaceholders(gLoadResString(1490), {caption}));
    }
    // The running plug-in keeps its language.
    QCOMPARE(platform::languageOffset(), offsetBefore);
    QCOMPARE(w.buttonLine()->button(ui::ButtonLine::Cancel)->text(), captionBefore);
}

void TestFrmMain::captionsInBothLanguages_data()
{
    QTest::addColumn<QString>("registry");
    QTest::addColumn<QString>("cancel");
    QTest::addColumn<QString>("file");
    QTest::newRow("English") << "0" << "Cancel" << "&File";
    QTest::newRow("German") << "1000" << "Abbrechen" << "&Datei";
}

void TestFrmMain::captionsInBothLanguages()
{
    QFETCH(QString, registry);
    QFETCH(QString, cancel);
    QFETCH(QString, file);
    UiFixture f;
    // A restart with the language the menu stored.
    platform::Registry::write(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"), registry);
    host::InitApp();
    frmMain &w = f.show();
    QCOMPARE(w.buttonLine()->button(ui::ButtonLine::Cancel)->text(), cancel);
    QCOMPARE(w.tool(QStringLiteral("File"))->text(), file);

    // Every control whose tag names a caption shows that string, and no
    // caption stays empty; no caption is wider than its control.
    int checked = 0;
    const auto all = w.findChildren<QWidget *>();
    for (QWidget *c : all) {
        const int id = platform::leadingInt32(ui::controlTag(c).section(QLatin1Char('/'), 0, 0));
        if (id <= 0 || ui::controlKind(c) == QLatin1String("TabStrip") || c == &w)
            continue;
        const int item = c->property("TagItem").isValid() ? c->property("TagItem").toInt() : 1;
        QString expected = gLoadResString(id, item);
        // The timing page's NV lists depend on the controller family.
        if (c->objectName() == QLatin1String("Label21") || c->objectName() == QLatin1String("Label37"))
            continue;
        QVERIFY2(!expected.isEmpty(), qPrintable(c->objectName()));
        QCOMPARE(ui::controlCaption(c), expected);
        if (auto *l = qobject_cast<QLabel *>(c); l && !l->wordWrap())
            QVERIFY2(l->sizeHint().width() <= l->width(), qPrintable(c->objectName() + QLatin1String(": ") + expected));
        if (auto *b = qobject_cast<QAbstractButton *>(c))
            QVERIFY2(b->sizeHint().width() <= b->width(), qPrintable(c->objectName() + QLatin1String(": ") + expected));
        ++checked;
    }
    QVERIFY(checked > 60);
    for (auto b : {ui::ButtonLine::OK, ui::ButtonLine::Cancel, ui::ButtonLine::Apply})
        QVERIFY(w.buttonLine()->button(b)->sizeHint().width() <= w.buttonLine()->button(b)->width());
    for (int i = 0; i < w.navigationBar()->count(); ++i) {
        const QToolButton *b = w.navigationBar()->buttonAt(i).widget;
        QVERIFY2(b->sizeHint().width() <= b->width(), qPrintable(b->text()));
    }
    for (int i = 0; i < w.tabStrip(0)->count(); ++i)
        QVERIFY(!w.tabStrip(0)->caption(i).isEmpty());
    for (const QString &name : w.activeBar()->toolNames())
        if (!name.endsWith(QLatin1String("Seperator")))
            QVERIFY2(!w.tool(name)->text().isEmpty(), qPrintable(name));
}

void TestFrmMain::unknownLanguageGivesEmptyTexts()
{
    UiFixture f;
    platform::Registry::write(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"),
                              QStringLiteral("5"));
    host::InitApp();
    QCOMPARE(platform::languageOffset(), 5);
    frmMain &w = f.show();
    // Every lookup is shifted past its entry: empty captions, a working window.
    QVERIFY(w.buttonLine()->button(ui::ButtonLine::Cancel)->text().isEmpty());
    QVERIFY(w.findChild<QLabel *>(QStringLiteral("Label49"))->text().isEmpty());
    QVERIFY(w.isVisible());
    QCOMPARE(w.currentPage(), 0);
    w.tool(QStringLiteral("English"))->trigger();
    QCOMPARE(platform::Registry::read(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language")),
             QStringLiteral("0"));
    QVERIFY(w.close());
}

void TestFrmMain::tagLoading_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<bool>("tooltips");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tooltip");
    QTest::newRow("caption and tooltip") << "1082/1083" << true << "Night purge" << "Energy hold off";
    QTest::newRow("0/5 keeps the caption") << "0/1084" << true << "before" << "Frost alarm";
    QTest::newRow("tooltips off") << "0/1084" << false << "before" << "";
    QTest::newRow("missing id gives empty text") << "1999/1998" << true << "" << "";
    QTest::newRow("no number") << "abc/def" << true << "before" << "";
    QTest::newRow("empty tag") << "" << true << "before" << "";
    QTest::newRow("leading number rule") << "1084x/0" << true << "Frost alarm" << "";
}

void TestFrmMain::tagLoading()
{
    QFETCH(QString, tag);
    QFETCH(bool, tooltips);
    QFETCH(QString, caption);
    QFETCH(QString, tooltip);
    platform::setLanguageOffset(0);
    QLabel label(QStringLiteral("before"));
    label.setToolTip(QStringLiteral("old tip"));
    ui::setControlKind(&label, QStringLiteral("Label"), tag);
    ui::loadControlCaption(&label, tooltips);
    QCOMPARE(label.text(), caption);
    QCOMPARE(label.toolTip(), tooltip);
}

void TestFrmMain::help_data()
{
    QTest::addColumn<bool>("files");
    QTest::addColumn<bool>("component");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("messageId");
    QTest::addColumn<QString>("shown");
    QTest::newRow("manual") << true << true << "Manual" << 0 << "aerolis.html";
    QTest::newRow("F1") << true << true << "F1" << 0 << "aerolis.html";
    QTest::newRow("technical documentation") << true << true << "AppDoc" << 0 << "aerolis-technical.html";
    QTest::newRow("manual missing") << false << true << "Manual" << 1425 << "";
    QTest::newRow("F1, manual missing") << false << true << "F1" << 1425 << "";
    QTest::newRow("documentation missing") << false << true << "AppDoc" << 1527 << "";
    QTest::newRow("no help component") << true << false << "F1" << 1426 << "";
}

void TestFrmMain::help()
{
    QFETCH(bool, files);
    QFETCH(bool, component);
    QFETCH(QString, action);
    QFETCH(int, messageId);
    QFETCH(QString, shown);
    UiFixture f(host::kCmdConfiguration, files);
    frmMain &w = f.show();
    QCOMPARE(w.tool(QStringLiteral("Manual"))->isEnabled(), files);
    frmMain::setHelpComponentAvailable(component);
    if (action == QLatin1String("F1"))
        QTest::keyClick(&w, Qt::Key_F1);
    else
        w.menuToolClick(action);
    frmMain::setHelpComponentAvailable(true);
    if (messageId) {
        QCOMPARE(f.messages->shown.size(), 1);
        QString text = gLoadResString(messageId);
        if (messageId == 1425)
            text = platform::fillPlaceholders(text, {w.helpFile()});
        QCOMPARE(f.messages->shown.first().text, text);
        if (messageId != 1527)
            QCOMPARE(f.messages->shown.first().icon, platform::MsgIcon::Critical);
        QVERIFY(!w.helpViewer() || !w.helpViewer()->isVisible());
    } else {
        QVERIFY(f.messages->shown.isEmpty());
        QVERIFY(w.helpViewer() && w.helpViewer()->isVisible());
        QCOMPARE(w.helpViewer()->currentSource().fileName(), shown);
        QVERIFY(!w.helpViewer()->browser()->toPlainText().trimmed().isEmpty());
        keepPicture(w.helpViewer(), QStringLiteral("help-") + action + QStringLiteral(".png"));
    }
}

void TestFrmMain::informationWindows()
{
    UiFixture f;
    frmMain &w = f.show();
    w.tool(QStringLiteral("About"))->trigger();
    auto *about = w.findChild<ui::InfoWindow *>(QStringLiteral("frmAbout"));
    QVERIFY(about && about->isVisible());
    QCOMPARE(about->windowTitle(), gLoadResString(1850));
    QVERIFY(about->text().contains(platform::fullVersionText()));
    QVERIFY(about->text().contains(gLoadResString(1852)));
    keepPicture(about, QStringLiteral("about.png"));

    w.tool(QStringLiteral("DeviceInfo"))->trigger();
    auto *info = w.findChild<ui::InfoWindow *>(QStringLiteral("frmDeviceInfo"));
    QVERIFY(info && info->isVisible());
    for (int item = 1; item <= 6; ++item)
        QVERIFY(info->text().contains(gLoadResString(1383, item)));
    // Without a device every value is "unknown", nothing throws.
    QVERIFY(info->text().contains(gLoadResString(1383, 9)));
    keepPicture(info, QStringLiteral("device-info.png"));
    QVERIFY(f.messages->shown.isEmpty());
}

void TestFrmMain::forceAppDownloadFollowsTickMark()
{
    UiFixture f;
    frmMain &w = f.show();
    QVERIFY(!w.forceAppDownload());
    w.tool(QStringLiteral("ForceAppDownload"))->trigger();
    QVERIFY(w.forceAppDownload());
    QVERIFY(w.tool(QStringLiteral("ForceAppDownload"))->isChecked());
    w.tool(QStringLiteral("ForceAppDownload"))->trigger();
    QVERIFY(!w.forceAppDownload());
}

void TestFrmMain::notificationCounter()
{
    UiFixture f;
    frmMain &w = f.load();
    for (int i = 1; i <= 10; ++i) {
        w.LNS_Notification();
        QCOMPARE(w.notificationCount(), i);
    }
    w.LNS_Notification();
    QCOMPARE(w.notificationCount(), 0);
    w.LNS_Notification();
    QCOMPARE(w.notificationCount(), 1);
}

void TestFrmMain::indicatorsBlinkAndStop()
{
    UiFixture f(host::kCmdControl);
    frmMain &w = f.show();
    auto *frost = w.control<ui::IndicatorShape>(QStringLiteral("shpButton"), 2);
    QVERIFY(frost);
    w.SetFrostAlarmIndicator(false);
    QCOMPARE(frost->fillColor(), QColor(128, 0, 0));
    w.SetFrostAlarmIndicator(true);
    QVERIFY(w.indicatorTimer(2)->isActive());
    QCOMPARE(w.indicatorTimer(2)->interval(), 350);
    // First tick: counter 1, dark; second: bright.
    QTRY_COMPARE_WITH_TIMEOUT(frost->fillColor(), QColor(255, 0, 0), 3000);
    w.SetFrostAlarmIndicator(false);
    QVERIFY(!w.indicatorTimer(2)->isActive());
    QCOMPARE(frost->fillColor(), QColor(128, 0, 0));
    QVERIFY(!w.indicatorTimer(0)->isActive());
}

void TestFrmMain::lists_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QList<int>>("data");
    QTest::addColumn<QString>("first");
    // The template's controller kind 1 with AvailableApps 0,1,2,3 (modes:
    // radiator, chilled ceiling, combined ceiling with 1 or 2 valves, chilled
    // ceiling and radiator).
    QTest::newRow("controller type") << 0 << QList<int>{1, 2, 3, 4, 5} << gLoadResString(1032, 1);
    QTest::newRow("application mode") << 1 << QList<int>{0, 1, 2, 3, 4, 5, 6} << gLoadResString(1072, 1);
    QTest::newRow("heating mode") << 2 << QList<int>{0, 1, 2} << gLoadResString(1102, 1);
    QTest::newRow("cooling mode") << 4 << QList<int>{0, 1, 2} << gLoadResString(1102, 1);
    QTest::newRow("occupancy") << 9 << QList<int>{0, 3, 1, 255} << gLoadResString(1076, 1);
    QTest::newRow("parameter list stays empty") << 7 << QList<int>{} << QString();
}

void TestFrmMain::lists()
{
    QFETCH(int, index);
    QFETCH(QList<int>, data);
    QFETCH(QString, first);
    UiFixture f;
    frmMain &w = f.show();
    auto *cb = w.control<QComboBox>(QStringLiteral("ComboBox"), index);
    QVERIFY(cb);
    QList<int> got;
    for (int i = 0; i < cb->count(); ++i)
        got << cb->itemData(i).toInt();
    QCOMPARE(got, data);
    if (!data.isEmpty())
        QCOMPARE(cb->itemText(0), first);
}

void TestFrmMain::screenshotTourWritesEveryPage()
{
    UiFixture f;
    frmMain &w = f.show();
    const QString folder = qEnvironmentVariableIsSet("AEROLIS_TOUR_DIR") ? qEnvironmentVariable("AEROLIS_TOUR_DIR")
                                                                          : f.env.file(QStringLiteral("shots"));
    const QStringList files = ui::runScreenshotTour(w, folder);
    QStringList names;
    for (const QString &p : files)
        names << QFileInfo(p).fileName();
    QStringList expected;
    for (int key : {0, 1, 3, 4, 5, 6, 7, 8, 9})
        expected << ui::screenshotFileName(QStringLiteral("KEY:") + QString::number(key));
    expected << QStringLiteral("logger-window.png") << QStringLiteral("logger.txt");
    QCOMPARE(names, expected);
    QImage page(QDir(folder).filePath(QStringLiteral("page-KEY3.png")));
    QCOMPARE(page.size(), w.size() * w.devicePixelRatio());
    QFile log(QDir(folder).filePath(QStringLiteral("logger.txt")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(log.readAll()).contains(QStringLiteral(" :Plug-in started")));
    // The window is back where it was.
    QCOMPARE(w.currentPage(), 0);
}

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
