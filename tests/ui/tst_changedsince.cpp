// Another session writes a CP while the window has the controller open: the
// window's write is refused with what changed, who changed it and when, and
// the user writes over it, reads the controller again, or leaves everything
// as it is.
#include "configfixture.h"
#include "demorooms.h"

#include <lns/rawtext.h>

#include <QtTest>

namespace {

const QString kRoom = QStringLiteral("Room101");
const QString kSetPoints = QStringLiteral("SetPoints");

// A session of its own on the network (another technician's program), which
// writes `bytes` into `cp` of the room's controller through the object server.
void writeAsAnotherSession(const QString &root, const QString &cp, const QByteArray &bytes)
{
    auto server = lnssim::SimObjectServer::create(root, TestEnvironment::iniPath());
    server->open(0);
    const lns::NetworkPtr network = server->networks()->item(QStringLiteral("Demo"));
    network->open(false);
    demoControllerCp(network->system(), kRoom, cp)->setValue(lns::formatRaw(bytes));
    network->close();
    server->close();
}

} // namespace

class TestChangedSince : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void answers_data();
    void answers();
};

void TestChangedSince::answers_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("windowWins");  // the device ends with the window's set
    QTest::addColumn<bool>("editKept");    // the typed value stays in its box
    QTest::newRow("yes: write over the change") << int(platform::ANS_Yes) << true << true;
    QTest::newRow("no: read the controller again") << int(platform::ANS_No) << false << false;
    QTest::newRow("cancel: leave everything") << int(platform::ANS_Cancel) << false << true;
}

void TestChangedSince::answers()
{
    QFETCH(int, answer);
    QFETCH(bool, windowWins);
    QFETCH(bool, editKept);
    ConfigFixture f;
    const int id = f.deviceId(kRoom);
    f.start(kRoom);
    QVERIFY(f.config());
    const QString shownBefore = f.box(3)->text();
    QByteArray theirs = f.admin->deviceCp(id, kSetPoints);
    theirs[theirs.size() - 1] = char(quint8(theirs.back()) + 10);
    writeAsAnotherSession(f.env.lnsRoot(), kSetPoints, theirs);
    QCOMPARE(f.admin->deviceCp(id, kSetPoints), theirs);

    f.type(3, QStringLiteral("23"));
    const QString typed = f.box(3)->text();
    QVERIFY(typed != shownBefore);
    f.messages->queueAnswer(answer);
    f.win->menuToolClick(QStringLiteral("WriteParameters"));

    QCOMPARE(f.messages->shown.size(), 1);
    const platform::Message &asked = f.messages->shown.first();
    QCOMPARE(asked.icon, platform::MsgIcon::Exclamation);
    QCOMPARE(asked.buttons, int(platform::MB_YesNoCancel));
    QVERIFY2(asked.text.contains(kSetPoints), qPrintable(asked.text));
    QVERIFY2(asked.text.contains(QStringLiteral(" UTC")), qPrintable(asked.text));

    const QByteArray device = f.admin->deviceCp(id, kSetPoints);
    QCOMPARE(device == theirs, !windowWins);
    QCOMPARE(f.box(3)->text(), editKept ? typed : shownBefore);
    QCOMPARE(f.win->parametersChanged(), answer == platform::ANS_Cancel);
    QVERIFY(f.consistent(id));
}

QTEST_MAIN(TestChangedSince)
#include "tst_changedsince.moc"
