// Loading and saving parameter files from the main window of the
// configuration command, started through Main on the demo network: the
// 1428 question, cancelled dialogs, the messages of every refusal, a save
// that cannot be written, and a set that goes to a file and comes back.
#include "configfixture.h"

#include <params/paramfile.h>
#include <platform/filedialogs.h>

#include <QtTest>

namespace {
const QString kT2 = QStringLiteral("90:00:9D:51:0A:04:04:02");

void writeText(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
} // namespace

class TstParameterFiles : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<ConfigFixture> f;
    std::shared_ptr<platform::ScriptedFileDialogs> dialogs;

    params::cParams &params() { return f->config()->Parameters(); }
    QString file(const QString &name) const { return f->env.file(name); }

private slots:
    void init()
    {
        f = std::make_unique<ConfigFixture>();
        dialogs = std::make_shared<platform::ScriptedFileDialogs>();
        platform::setFileDialogService(dialogs);
        f->start(QStringLiteral("Room101"));
        QVERIFY(f->config());
        f->messages->shown.clear();
    }
    void cleanup()
    {
        platform::setFileDialogService(nullptr);
        dialogs.reset();
        f.reset();
    }

    void cancelledDialogsChangeNothing_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::newRow("open") << "OpenFile";
        QTest::newRow("save") << "SaveFile";
    }
    void cancelledDialogsChangeNothing()
    {
        QFETCH(QString, tool);
        const QString before = f->box(3)->text();
        dialogs->queueCancel();
        f->win->menuToolClick(tool);
        QCOMPARE(dialogs->shown.size(), 1);
        const platform::FileDialogRequest &r = dialogs->shown.first();
        const bool open = tool == QLatin1String("OpenFile");
        QCOMPARE(r.title, open ? QStringLiteral("Load data from file") : QStringLiteral("Save data to file"));
        QCOMPARE(r.filter, QStringLiteral("Data (*.dat)|*.dat|All (*.*)|*.*"));
        QCOMPARE(r.initialFolder, f->appFolder);
        QCOMPARE(r.flags, open ? platform::kOpenFileFlags : platform::kSaveFileFlags);
        QVERIFY(f->messages->shown.isEmpty());
        QVERIFY(!f->win->parametersChanged());
        QCOMPARE(f->box(3)->text(), before);
        QVERIFY(f->win->isEnabled());
        QCOMPARE(QDir(f->appFolder).entryList({"*.dat"}, QDir::Files), QStringList());
    }

    void changedParametersAskFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("dialogs");
        QTest::newRow("no") << int(platform::ANS_No) << 0;
        QTest::newRow("yes") << int(platform::ANS_Yes) << 1;
    }
    void changedParametersAskFirst()
    {
        QFETCH(int, answer);
        QFETCH(int, dialogs);
        f->type(3, QStringLiteral("22.5"));
        QVERIFY(f->win->parametersChanged());
        f->messages->queueAnswer(answer);
        f->win->menuToolClick(QStringLiteral("OpenFile"));
        QCOMPARE(f->messages->shown.size(), 1);
        const platform::Message &m = f->messages->shown.first();
        QCOMPARE(m.text, QStringLiteral("Parameters have been changed !\n\nDo you want to load parameters from file?"));
        QCOMPARE(m.icon, platform::MsgIcon::Question);
        QCOMPARE(m.buttons, int(platform::MB_YesNo));
        QCOMPARE(m.defaultButton, int(platform::ANS_Yes));
        QCOMPARE(m.title, f->win->caption());
        QCOMPARE(this->dialogs->shown.size(), dialogs);
    }

    void savedSetComesBack()
    {
        f->type(3, QStringLiteral("22.5"));
        f->type(21, QStringLiteral("17"));
        const int heatTi = params().TextBoxParameterByName(QStringLiteral("HeatTi"))->Value();
        dialogs->queueFile(file("room101.dat"));
        f->win->menuToolClick(QStringLiteral("SaveFile"));
        QVERIFY(f->messages->shown.isEmpty());
        QFile saved(file("room101.dat"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QVERIFY(bytes.startsWith("[General]\r\nPlugInName = nordaQRT\r\nProgramId = 90:00:9D:51:0A:04:04:01\r\n"
                                 "DataFileVersion = 1\r\n\r\n[Settings]\r\n"));
        QVERIFY(bytes.contains("\r\nHeatSetpointComfort = 2250\r\n"));

        f->type(3, QStringLiteral("19"));
        f->type(21, QStringLiteral("40"));
        f->win->setParametersChanged(false);
        f->win->setApplyEnabled(false);
        dialogs->queueFile(file("room101.dat"));
        f->win->menuToolClick(QStringLiteral("OpenFile"));
        QVERIFY(f->messages->shown.isEmpty());
        QCOMPARE(f->box(3)->text(), QStringLiteral("22.5"));
        QCOMPARE(params().TextBoxParameterByName(QStringLiteral("HeatTi"))->Value(), heatTi);
        QVERIFY(f->win->parametersChanged());
        QVERIFY(f->win->applyEnabled());
        QVERIFY(f->win->isEnabled());
        QCOMPARE(f->win->statusText(), QStringLiteral("Ready."));
        QVERIFY(f->config()->checkValues());
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        const QByteArray tail = "DataFileVersion = 1\r\n[Settings]\r\nHeatSetpointComfort = 1000\r\n";
        QTest::newRow("another device type")
            << "[General]\r\nPlugInName = nordaQRT\r\nProgramId = " + kT2.toLatin1() + "\r\n" + tail
            << "The selected parameter set is not valid for this device.";
        QTest::newRow("another plug-in") << "[General]\r\nPlugInName = other\r\nProgramId = x\r\n" + tail
                                         << "The selected parameter set is not valid for this plug-in.";
        QTest::newRow("no program id") << "[General]\r\nPlugInName = nordaQRT\r\n" + tail
                                       << "The version of the selected parameter set is not compatible with this plug-in.";
        QTest::newRow("not text") << QByteArray("\xFF\xFE\0\0", 4)
                                  << "The selected file is not a text file of this plug-in.";
    }
    void refusedFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString before = f->box(3)->text();
        writeText(file("foreign.dat"), content);
        dialogs->queueFile(file("foreign.dat"));
        f->win->menuToolClick(QStringLiteral("OpenFile"));
        QCOMPARE(f->messages->shown.size(), 1);
        QCOMPARE(f->messages->shown.first().text, message);
        QCOMPARE(f->messages->shown.first().icon, platform::MsgIcon::Exclamation);
        QCOMPARE(f->box(3)->text(), before);
        // Marked changed whatever the outcome.
        QVERIFY(f->win->parametersChanged());
        QVERIFY(f->win->isEnabled());
    }

    void linesNotTakenAreLogged()
    {
        QByteArray content = "[General]\r\nPlugInName = nordaQRT\r\nProgramId = 90:00:9D:51:0A:04:04:01\r\n"
                             "DataFileVersion = 1\r\n[Settings]\r\nHeatTi = 12\r\nBogus = 1\r\nCoolTi = many\r\n";
        for (int i = 0; i < 30; ++i)
            content += "junk line\r\n";
        writeText(file("notes.dat"), content);
        dialogs->queueFile(file("notes.dat"));
        f->win->menuToolClick(QStringLiteral("OpenFile"));
        QVERIFY(f->messages->shown.isEmpty());
        QVERIFY(f->logged(QStringLiteral("Line 8: CoolTi = many is not a number; expected the scaled integer")));
        QVERIFY(f->logged(QStringLiteral("allowed 1 to 65534 (1 to 65534 min). The parameter keeps its value.")));
        QVERIFY(f->logged(QStringLiteral("Line 7: \"Bogus\" belongs to no parameter and was ignored.")));
        // 32 notes: 20 lines and one that counts the rest.
        QVERIFY(f->logged(QStringLiteral("12 more lines were not taken.")));
        QCOMPARE(params().TextBoxParameterByName(QStringLiteral("HeatTi"))->Value(), 12);
    }

    void saveThatCannotBeWritten()
    {
        writeText(file("plain"), "a file, not a folder");
        dialogs->queueFile(file("plain/set.dat"));
        f->win->menuToolClick(QStringLiteral("SaveFile"));
        QCOMPARE(f->messages->shown.size(), 1);
        QCOMPARE(f->messages->shown.first().text, QStringLiteral("The parameters could not be saved correctly."));
        QCOMPARE(f->messages->shown.first().icon, platform::MsgIcon::Critical);
        QVERIFY(f->win->isEnabled());
    }

    void invalidValuesStopTheSave()
    {
        auto p = params().TextBoxParameterByName(QStringLiteral("HeatSetpointComfort"));
        p->setValue(99000); // 990 degrees: red, out of range
        QVERIFY(params().AnyParameterValueIsInvalid());
        dialogs->queueFile(file("never.dat"));
        f->win->menuToolClick(QStringLiteral("SaveFile"));
        QVERIFY(dialogs->shown.isEmpty());
        QCOMPARE(f->messages->shown.size(), 1);
        QVERIFY(!QFile::exists(file("never.dat")));
    }
};

QTEST_MAIN(TstParameterFiles)
#include "tst_parameterfiles.moc"
