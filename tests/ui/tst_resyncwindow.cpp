// The resync dialog of the configuration command on the demo network: a
// write that reached only the database shows as exactly that CP with its
// page values, comparing leaves both sides as they were, Push and Pull bring
// them in line with their record, and a device that stops answering is said
// so instead of listed as agreeing.
#include "configfixture.h"

#include <lns/rawtext.h>
#include <lns/writehistory.h>
#include <ui/resyncwindow.h>

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {

const QString kRoom = QStringLiteral("Room101");
const QString kCp = QStringLiteral("OffDelay");

ui::ResyncWindow *openResync(ConfigFixture &f)
{
    f.win->menuToolClick(QStringLiteral("Resync"));
    return f.win->findChild<ui::ResyncWindow *>(QStringLiteral("frmResync"));
}

QByteArray otherBytes(const QByteArray &held)
{
    QByteArray b = held;
    b[b.size() - 1] = char(quint8(b.back()) + 10);
    return b;
}

// The newest record of `cp` of the fixture's network.
lns::WriteRecord newestOf(ConfigFixture &f, const QString &cp)
{
    lns::HistoryFilter filter;
    for (const lns::WriteRecord &r : host::state().conn.network->writeHistory(filter))
        if (r.item == cp)
            return r;
    Q_UNUSED(f);
    return {};
}

} // namespace

class TestResyncWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void menuEntryInBothLanguages_data();
    void menuEntryInBothLanguages();
    void databaseOnlyWriteIsListed();
    void bringsInLine_data();
    void bringsInLine();
    void unreachableDeviceIsSaid();
};

void TestResyncWindow::menuEntryInBothLanguages_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("push");
    QTest::addColumn<QString>("agree");
    QTest::newRow("English") << "0" << "Resync ..." << "Push (database to device)" << "Device and database agree.";
    QTest::newRow("German") << "1000" << "Abgleich ..." << "Übertragen (Datenbank in das Gerät)"
                            << "Gerät und Datenbank stimmen überein.";
}

void TestResyncWindow::menuEntryInBothLanguages()
{
    QFETCH(QString, language);
    QFETCH(QString, caption);
    QFETCH(QString, push);
    QFETCH(QString, agree);
    ConfigFixture f;
    platform::Registry::write(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"), language);
    f.start(kRoom);
    QVERIFY(f.config());
    QAction *tool = f.win->tool(QStringLiteral("Resync"));
    QVERIFY(tool);
    QCOMPARE(tool->text(), caption);
    QVERIFY(tool->isVisible());
    ui::ResyncWindow *resync = openResync(f);
    QVERIFY(resync);
    QVERIFY(resync->isVisible());
    auto *button = resync->findChild<QPushButton *>(QStringLiteral("cmdPush"));
    QVERIFY(button);
    QCOMPARE(button->text(), push);
    // Just started: the start's read left both sides alike.
    QCOMPARE(resync->table()->rowCount(), 0);
    QCOMPARE(resync->statusText(), agree);
    QVERIFY(!button->isEnabled());
}

// Exactly the CP written to the database alone, device and database value
// as the pages show them; the comparison changes neither side.
void TestResyncWindow::databaseOnlyWriteIsListed()
{
    ConfigFixture f;
    const int id = f.deviceId(kRoom);
    f.start(kRoom);
    QVERIFY(f.config());
    const QByteArray device = f.admin->deviceCp(id, kCp);
    const QByteArray database = otherBytes(device);
    f.admin->db().setDatabaseCp(id, kCp, database);

    ui::ResyncWindow *resync = openResync(f);
    QVERIFY(resync);
    QTableWidget *table = resync->table();
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(table->item(0, 0)->text(), kCp);
    const QString deviceText = table->item(0, 1)->text();
    const QString databaseText = table->item(0, 2)->text();
    QVERIFY(deviceText != databaseText);
    // Page values (caption, text, unit), not bytes.
    QVERIFY2(deviceText.contains(QStringLiteral(": ")), qPrintable(deviceText));
    QVERIFY2(databaseText != lns::formatDecimal(database), qPrintable(databaseText));
    QCOMPARE(resync->differences().size(), 1);
    QCOMPARE(resync->differences().first().database, database);
    QCOMPARE(resync->differences().first().device, device);
    QVERIFY(resync->findChild<QPushButton *>(QStringLiteral("cmdPush"))->isEnabled());

    QCOMPARE(f.admin->databaseCp(id, kCp), database);
    QCOMPARE(f.admin->deviceCp(id, kCp), device);
    // Compared again: still there.
    resync->compare();
    QCOMPARE(resync->table()->rowCount(), 1);
}

void TestResyncWindow::bringsInLine_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("databaseChanged");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("outcome");
    QTest::newRow("push") << "cmdPush" << true << "resync --push" << int(lns::WriteOutcome::DeviceAndDatabase);
    QTest::newRow("pull") << "cmdPull" << false << "resync --pull" << int(lns::WriteOutcome::DatabaseOnly);
}

void TestResyncWindow::bringsInLine()
{
    QFETCH(QString, button);
    QFETCH(bool, databaseChanged);
    QFETCH(QString, command);
    QFETCH(int, outcome);
    ConfigFixture f;
    const int id = f.deviceId(kRoom);
    f.start(kRoom);
    QVERIFY(f.config());
    const QByteArray held = f.admin->deviceCp(id, kCp);
    const QByteArray changed = otherBytes(held);
    if (databaseChanged)
        f.admin->db().setDatabaseCp(id, kCp, changed);
    else
        f.admin->setDeviceCp(id, kCp, changed);
    ui::ResyncWindow *resync = openResync(f);
    QVERIFY(resync);
    QCOMPARE(resync->table()->rowCount(), 1);

    f.messages->queueAnswer(platform::ANS_Yes);
    QTest::mouseClick(resync->findChild<QPushButton *>(button), Qt::LeftButton);
    QCOMPARE(f.messages->shown.size(), 1);
    QVERIFY2(f.messages->shown.first().text.contains(QStringLiteral("1 CP")), qPrintable(f.messages->shown.first().text));
    QCOMPARE(f.admin->deviceCp(id, kCp), changed);
    QCOMPARE(f.admin->databaseCp(id, kCp), changed);
    QVERIFY(f.consistent(id));
    QCOMPARE(resync->table()->rowCount(), 0);

    const lns::WriteRecord record = newestOf(f, kCp);
    QCOMPARE(record.command, command);
    QCOMPARE(record.before, held);
    QCOMPARE(record.after, changed);
    QCOMPARE(int(record.outcome), outcome);
}

// A device that stops answering is not "in line": the dialog says it could
// not be read and offers nothing to write.
void TestResyncWindow::unreachableDeviceIsSaid()
{
    ConfigFixture f;
    const int id = f.deviceId(kRoom);
    f.start(kRoom);
    QVERIFY(f.config());
    f.admin->db().setDatabaseCp(id, kCp, otherBytes(f.admin->deviceCp(id, kCp)));
    f.admin->setUnreachable(id, true);
    ui::ResyncWindow *resync = openResync(f);
    QVERIFY(resync);
    QCOMPARE(resync->table()->rowCount(), 0);
    QVERIFY2(resync->statusText().startsWith(QStringLiteral("The device could not be read: ")), qPrintable(resync->statusText()));
    QVERIFY2(resync->statusText().contains(kCp), qPrintable(resync->statusText()));
    QVERIFY(!resync->findChild<QPushButton *>(QStringLiteral("cmdPush"))->isEnabled());
    QVERIFY(!resync->findChild<QPushButton *>(QStringLiteral("cmdPull"))->isEnabled());
}

QTEST_MAIN(TestResyncWindow)
#include "tst_resyncwindow.moc"
