// Editing a parameter set without a device: the window started with "/S",
// a device template chosen in its File menu, the pages with the template's
// factory values and page logic, parameter files saved and refused, and a
// file saved offline written into a device of the demo network by the tool.
#include "configfixture.h"
#include "toolrun.h"

#include <lns/offlinedevice.h>
#include <params/paramcollection.h>
#include <platform/filedialogs.h>
#include <ui/offlineediting.h>

#include <QAction>
#include <QComboBox>
#include <QTest>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

const QString kT1 = QStringLiteral("AerolisCtrl-T1");

QString templateTool(const QString &name)
{
    return QStringLiteral("Template:") + name;
}

// What a user sees of every control of the pages and of the tab strips.
QStringList pageState(ui::frmMain &w)
{
    QStringList out;
    for (model::ControlState *c : w.pageModel()->controls()) {
        QString line = QStringLiteral("%1 visible=%2 enabled=%3 readOnly=%4 colour=%5")
                           .arg(c->objectName())
                           .arg(c->isVisible())
                           .arg(c->isEnabled())
                           .arg(c->isReadOnly())
                           .arg(c->textColor());
        switch (c->kind()) {
        case model::ControlKind::TextBox:
            line += QStringLiteral(" text=") + c->text();
            break;
        case model::ControlKind::ComboBox:
            line += QStringLiteral(" items=%1 current=%2").arg(c->count()).arg(c->currentText());
            break;
        case model::ControlKind::CheckBox:
        case model::ControlKind::OptionButton:
            line += QStringLiteral(" checked=%1").arg(c->isChecked());
            break;
        default:
            break;
        }
        out << line;
    }
    for (int i = 0; i < 2; ++i)
        for (int t = 0; t < w.tabStrip(i)->count(); ++t)
            out << QStringLiteral("tab %1: %2").arg(i).arg(w.tabStrip(i)->key(t));
    return out;
}

// The first line where two page states differ, for the failure message.
QString firstDifference(const QStringList &a, const QStringList &b, const char *first = "online",
                        const char *second = "offline")
{
    for (int i = 0; i < qMax(a.size(), b.size()); ++i)
        if (a.value(i) != b.value(i))
            return QStringLiteral("%1: %2\n%3: %4").arg(QLatin1String(first), a.value(i), QLatin1String(second), b.value(i));
    return QString();
}

// The fixture's program started without a device, the scripted file dialogs
// in place.
std::shared_ptr<platform::ScriptedFileDialogs> startOffline(ConfigFixture &f)
{
    auto dialogs = std::make_shared<platform::ScriptedFileDialogs>();
    platform::setFileDialogService(dialogs);
    host::Main({QStringLiteral("/S")});
    return dialogs;
}

void chooseTemplate(ConfigFixture &f, const QString &name)
{
    QAction *a = f.win->tool(templateTool(name));
    QVERIFY2(a && a->isVisible(), qPrintable(name));
    a->trigger();
}

} // namespace

class TestOffline : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { platform::setFileDialogService(nullptr); }
    void menuOffersTheTemplates();
    void pagesOpenWithFactoryValues_data();
    void pagesOpenWithFactoryValues();
    void writesStayInMemory();
    void savedFileWritesIntoADevice_data();
    void savedFileWritesIntoADevice();
    void fileOfAnotherTemplate_data();
    void fileOfAnotherTemplate();
    void anotherTemplateReplacesThePages();
    void sameLogicAsOnline_data();
    void sameLogicAsOnline();
};

void TestOffline::menuOffersTheTemplates()
{
    ConfigFixture f;
    startOffline(f);
    QVERIFY(f.win && f.win->isVisible());
    QCOMPARE(host::state().commandIndex, host::kCmdStandAlone);
    // One tool per template of the INI file; nothing to load or save yet.
    QStringList expected;
    for (const platform::TemplateEntry &t : f.ini.templates())
        expected << templateTool(t.name);
    QCOMPARE(f.win->templateToolNames(), expected);
    QVERIFY(f.win->tool(QStringLiteral("DeviceTemplate"))->isVisible());
    QVERIFY(f.win->tool(QStringLiteral("OpenFile"))->isVisible());
    QVERIFY(!f.win->tool(QStringLiteral("OpenFile"))->isEnabled());
    QVERIFY(!f.win->tool(QStringLiteral("SaveFile"))->isEnabled());
    for (const char *deviceTool : {"ReadParameters", "WriteParameters", "SpreadParameters", "Report", "History"})
        QVERIFY2(!f.win->tool(QString::fromLatin1(deviceTool))->isVisible(), deviceTool);
    // The Configuration button only.
    QCOMPARE(f.win->navigationBar()->count(), 1);

    chooseTemplate(f, kT1);
    QCOMPARE(ui::offlineTemplateName(), kT1);
    QVERIFY(f.win->tool(QStringLiteral("OpenFile"))->isEnabled());
    QVERIFY(f.win->tool(QStringLiteral("SaveFile"))->isEnabled());
    QVERIFY(f.win->tool(templateTool(kT1))->isChecked());
    QVERIFY(f.win->windowTitle().contains(kT1));
    QVERIFY(!f.win->parametersChanged());
}

void TestOffline::pagesOpenWithFactoryValues_data()
{
    QTest::addColumn<QString>("templateName");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("types");          // entries of the controller type list
    QTest::addColumn<QList<int>>("noCp");     // text boxes of CPs the template leaves out
    QTest::addColumn<double>("heatComfort");
    // Every template's list of controller types, and the CPs some leave out
    // (T3 OffDelay, T4 CycleTime, T5 MinDischAirTemp). The heating comfort
    // setpoint is the factory 21.0 °C (8 52), except where the template's
    // application mode is a cooling-only one (T4: mode 4): the page logic
    // puts it to 15.0 °C.
    QTest::newRow("T1") << kT1 << 1 << 5 << QList<int>{} << 21.0;
    QTest::newRow("T2") << "AerolisCtrl-T2" << 2 << 9 << QList<int>{} << 21.0;
    QTest::newRow("T3") << "AerolisCtrl-T3" << 3 << 5 << QList<int>{23} << 21.0;
    QTest::newRow("T4") << "AerolisCtrl-T4" << 4 << 9 << QList<int>{33} << 15.0;
    QTest::newRow("T5") << "AerolisCtrl-T5" << 5 << 1 << QList<int>{26} << 21.0;
}

void TestOffline::pagesOpenWithFactoryValues()
{
    QFETCH(QString, templateName);
    QFETCH(int, kind);
    QFETCH(int, types);
    QFETCH(QList<int>, noCp);
    QFETCH(double, heatComfort);
    ConfigFixture f;
    startOffline(f);
    chooseTemplate(f, templateName);
    QCOMPARE(f.win->ctrlType(), kind);
    configuration::cConfiguration *c = f.config();
    QVERIFY(c);
    QCOMPARE(f.win->control<QComboBox>(QStringLiteral("ComboBox"), 0)->count(), types);
    // Factory bytes of the template: MaxSendTime 2 88 (60.0 s in tenths),
    // MinDeltaLevel 4 (2.0 % in half percent, a CP of an NV).
    QCOMPARE(c->Parameters().TextBoxParameterByName(QStringLiteral("HeatSetpointComfort"))->ValueCalc(), heatComfort);
    QCOMPARE(c->Parameters().TextBoxParameterByName(QStringLiteral("MaxSendTime"))->ValueCalc(), 60.0);
    QCOMPARE(c->Parameters().TextBoxParameterByName(QStringLiteral("MinDeltaLevel"))->ValueCalc(), 2.0);
    QCOMPARE(f.box(1)->text(), QStringLiteral("60"));
    for (int box : noCp)
        QVERIFY2(!c->Parameters().TextBoxParameterByControlIndex(box), qPrintable(QString::number(box)));
    // Nothing was reported unread, and nothing counts as changed.
    QVERIFY(c->Parameters().lastUnreadNames().isEmpty());
    QVERIFY(!f.win->parametersChanged());
}

void TestOffline::writesStayInMemory()
{
    platform::IniFile ini;
    QVERIFY(ini.setFileName(TestEnvironment::iniPath()));
    const lns::OfflineConnection c = lns::makeOfflineDevice(ini, kT1);
    QVERIFY(lns::isOfflineDevice(c.device));
    const lns::ConfigPropertyPtr cp = c.object->configProperties()->item(4); // MaxSendTime
    QCOMPARE(cp->name(), QStringLiteral("MaxSendTime"));
    cp->setFormatSpecifier(QStringLiteral("RAW"));
    QCOMPARE(cp->value(), QStringLiteral("2\t88"));
    // A cancelled transaction puts the bytes back, a committed one keeps them.
    c.system->startTransaction();
    cp->setValue(QStringLiteral("1\t44"));
    c.system->cancelTransaction();
    QCOMPARE(cp->value(), QStringLiteral("2\t88"));
    c.system->startTransaction();
    cp->setValue(QStringLiteral("1\t44"));
    c.system->commitTransaction();
    QCOMPARE(cp->value(), QStringLiteral("1\t44"));
    QCOMPARE(cp->databaseValue(), QStringLiteral("1\t44"));
    QCOMPARE(cp->templateDefaultValue(), QStringLiteral("2\t88"));
    // Bad values and other templates' names are refused.
    QVERIFY_THROWS_EXCEPTION(lns::LnsError, cp->setValue(QStringLiteral("1")));
    QVERIFY_THROWS_EXCEPTION(lns::LnsError, lns::makeOfflineDevice(ini, QStringLiteral("NoSuchTemplate")));
    // The CP of an NV of the object and the device's own CP.
    QCOMPARE(c.object->networkVariables()->item(3)->configProperties()->item(1)->name(), QStringLiteral("MinDeltaLevel"));
    QCOMPARE(c.device->configProperties()->item(1)->name(), QStringLiteral("TempCalib"));
}

void TestOffline::savedFileWritesIntoADevice_data()
{
    QTest::addColumn<QString>("room");
    QTest::addColumn<QString>("templateName");
    QTest::newRow("ceiling T1") << "Room101" << kT1;
    QTest::newRow("fan coil T2") << "Room102" << "AerolisCtrl-T2";
    QTest::newRow("ceiling T3") << "Room103" << "AerolisCtrl-T3";
}

void TestOffline::savedFileWritesIntoADevice()
{
    QFETCH(QString, room);
    QFETCH(QString, templateName);
    ConfigFixture f;
    const int id = f.deviceId(room);
    auto dialogs = startOffline(f);
    chooseTemplate(f, templateName);
    // The heating comfort setpoint down to 18 °C pulls the standby setpoint
    // (19 °C) down with it: the page logic's correction.
    f.type(3, QStringLiteral("18"));
    QCOMPARE(f.box(4)->text(), QStringLiteral("18.0"));
    // A value of its own CP: the maximum send time, 300 s.
    f.type(1, QStringLiteral("300"));
    QVERIFY(f.win->parametersChanged());

    const QString file = f.env.file(QStringLiteral("offline.dat"));
    dialogs->queueFile(file);
    f.win->menuToolClick(QStringLiteral("SaveFile"));
    QVERIFY(f.messages->shown.isEmpty());
    const QByteArray saved = fileBytes(file);
    QVERIFY(saved.contains("PlugInName = nordaQRT"));
    QVERIFY(saved.contains("HeatSetpointComfort = 1800"));
    QVERIFY(saved.contains("HeatSetpointStandby = 1800"));
    // Nothing of the offline work reached the network.
    QCOMPARE(f.admin->deviceCp(id, QStringLiteral("MaxSendTime")), bytes({2, 88}));
    f.win->setParametersChanged(false);
    f.win->hide();

    const Run write = runTool(f, {QStringLiteral("write"), objectOf(room), file});
    QVERIFY2(write.status == 0, qPrintable(write.out + write.err));
    // Cooling 23, 25, 28 °C as the template has them; heating 18, 18, 16 °C.
    QCOMPARE(f.admin->deviceCp(id, QStringLiteral("SetPoints")),
             bytes({8, 252, 9, 196, 10, 240, 7, 8, 7, 8, 6, 64}));
    QCOMPARE(f.admin->deviceCp(id, QStringLiteral("MaxSendTime")), bytes({11, 184}));
    QVERIFY(f.consistent(id));
}

void TestOffline::fileOfAnotherTemplate_data()
{
    QTest::addColumn<QString>("savedFor");
    QTest::addColumn<bool>("refused");
    // T1 takes the files of T3 (its compatible program id), not those of T2.
    QTest::newRow("fan coil T2 file") << "AerolisCtrl-T2" << true;
    QTest::newRow("compatible T3 file") << "AerolisCtrl-T3" << false;
}

void TestOffline::fileOfAnotherTemplate()
{
    QFETCH(QString, savedFor);
    QFETCH(bool, refused);
    ConfigFixture f;
    auto dialogs = startOffline(f);
    const QString file = f.env.file(QStringLiteral("other.dat"));
    chooseTemplate(f, savedFor);
    f.type(1, QStringLiteral("300"));
    dialogs->queueFile(file);
    f.win->menuToolClick(QStringLiteral("SaveFile"));
    QVERIFY(QFileInfo::exists(file));

    // The pages of T1, untouched; the other template's file.
    f.win->setParametersChanged(false);
    chooseTemplate(f, kT1);
    QCOMPARE(ui::offlineTemplateName(), kT1);
    const QStringList before = pageState(*f.win);
    QCOMPARE(f.box(1)->text(), QStringLiteral("60"));
    dialogs->queueFile(file);
    f.win->menuToolClick(QStringLiteral("OpenFile"));

    if (refused) {
        // Nothing on the pages changed, nothing counts as changed.
        const QStringList after = pageState(*f.win);
        QVERIFY2(after == before, qPrintable(firstDifference(before, after, "before", "after")));
        QVERIFY(!f.win->parametersChanged());
        QVERIFY(!f.win->applyEnabled());
        QCOMPARE(f.messages->shown.size(), 1);
        QCOMPARE(f.messages->shown.first().text,
                 QStringLiteral("The selected parameter set was saved for device template AerolisCtrl-T2, not for "
                                "AerolisCtrl-T1; nothing was loaded."));
    } else {
        QVERIFY(f.messages->shown.isEmpty());
        QCOMPARE(f.box(1)->text(), QStringLiteral("300"));
        QVERIFY(f.win->parametersChanged());
    }
}

void TestOffline::anotherTemplateReplacesThePages()
{
    // T1 first, edited; the question is answered "No" and then "Yes".
    QStringList switched;
    {
    ConfigFixture f;
    startOffline(f);
    chooseTemplate(f, kT1);
    f.type(1, QStringLiteral("300"));
    f.messages->queueAnswer(platform::ANS_No);
    chooseTemplate(f, QStringLiteral("AerolisCtrl-T2"));
    QCOMPARE(ui::offlineTemplateName(), kT1);
    QCOMPARE(f.box(1)->text(), QStringLiteral("300"));
    f.messages->queueAnswer(platform::ANS_Yes);
    chooseTemplate(f, QStringLiteral("AerolisCtrl-T2"));
    QCOMPARE(ui::offlineTemplateName(), QStringLiteral("AerolisCtrl-T2"));
    QVERIFY(f.win->tool(QStringLiteral("Template:AerolisCtrl-T2"))->isChecked());
    QVERIFY(!f.win->tool(templateTool(kT1))->isChecked());
    switched = pageState(*f.win);
    }

    // The same pages as T2 chosen first.
    ConfigFixture fresh;
    startOffline(fresh);
    chooseTemplate(fresh, QStringLiteral("AerolisCtrl-T2"));
    const QStringList direct = pageState(*fresh.win);
    QVERIFY2(switched == direct, qPrintable(firstDifference(direct, switched, "chosen first", "after another")));
}

void TestOffline::sameLogicAsOnline_data()
{
    QTest::addColumn<QString>("room");
    QTest::addColumn<QString>("templateName");
    for (int kind = 1; kind <= 5; ++kind)
        QTest::addRow("kind %d", kind) << QStringLiteral("Room10%1").arg(kind)
                                       << QStringLiteral("AerolisCtrl-T%1").arg(kind);
}

void TestOffline::sameLogicAsOnline()
{
    QFETCH(QString, room);
    QFETCH(QString, templateName);
    QStringList online;
    QString file;
    int app = 0;
    QTemporaryDir keep;
    {
        // The controller's pages online, and its values saved to a file.
        ConfigFixture f;
        auto dialogs = std::make_shared<platform::ScriptedFileDialogs>();
        platform::setFileDialogService(dialogs);
        f.start(room);
        QVERIFY(f.config());
        app = f.config()->appNumber();
        file = keep.filePath(QStringLiteral("online.dat"));
        dialogs->queueFile(file);
        f.win->menuToolClick(QStringLiteral("SaveFile"));
        QVERIFY(QFileInfo::exists(file));
        // Loaded back, as the offline window loads it.
        dialogs->queueFile(file);
        f.win->menuToolClick(QStringLiteral("OpenFile"));
        QVERIFY(f.messages->shown.isEmpty());
        online = pageState(*f.win);
    }
    ConfigFixture f;
    auto dialogs = startOffline(f);
    chooseTemplate(f, templateName);
    // The controller type the device runs, then its values.
    auto *type = f.win->control<QComboBox>(QStringLiteral("ComboBox"), 0);
    if (f.config()->appNumber() != app)
        type->setCurrentIndex(type->findData(app));
    QCOMPARE(f.config()->appNumber(), app);
    dialogs->queueFile(file);
    f.win->menuToolClick(QStringLiteral("OpenFile"));
    QVERIFY(f.messages->shown.isEmpty());
    const QStringList offline = pageState(*f.win);
    QVERIFY2(offline == online, qPrintable(firstDifference(online, offline)));
}

QTEST_MAIN(TestOffline)
#include "tst_offline.moc"
