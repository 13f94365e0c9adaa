// The History window of the configuration command on the demo network: a
// write through the window shows up newest first with the values as the
// pages show them, and Restore takes that write back on the device through
// the window's own write, which is recorded as a restore.
#include "configfixture.h"

#include <ui/historywindow.h>

#include <QTableWidget>
#include <QtTest>

namespace {

const QString kRoom = QStringLiteral("Room101");
const QString kSetPoints = QStringLiteral("SetPoints");

enum Column { kTime = 0, kObject, kItem, kBefore, kAfter, kOutcome, kUser, kCommand };

int rowOf(const QTableWidget &table, const QString &item)
{
    for (int row = 0; row < table.rowCount(); ++row)
        if (table.item(row, kItem)->text() == item)
            return row;
    return -1;
}

ui::HistoryWindow *openHistory(ConfigFixture &f)
{
    f.win->menuToolClick(QStringLiteral("History"));
    return f.win->findChild<ui::HistoryWindow *>(QStringLiteral("frmHistory"));
}

} // namespace

class TestHistoryWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void menuEntryInBothLanguages_data();
    void menuEntryInBothLanguages();
    void writeIsListedAndRestored();
    void restoreAnsweredNoWritesNothing();
};

void TestHistoryWindow::menuEntryInBothLanguages_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("restore");
    QTest::newRow("English") << "0" << "History ..." << "Restore";
    QTest::newRow("German") << "1000" << "Verlauf ..." << "Wiederherstellen";
}

void TestHistoryWindow::menuEntryInBothLanguages()
{
    QFETCH(QString, language);
    QFETCH(QString, caption);
    QFETCH(QString, restore);
    ConfigFixture f;
    platform::Registry::write(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"), language);
    f.start(kRoom);
    QVERIFY(f.config());
    QAction *tool = f.win->tool(QStringLiteral("History"));
    QVERIFY(tool);
    QCOMPARE(tool->text(), caption);
    QVERIFY(tool->isVisible());
    ui::HistoryWindow *history = openHistory(f);
    QVERIFY(history);
    QVERIFY(history->isVisible());
    auto *button = history->findChild<QPushButton *>(QStringLiteral("cmdRestore"));
    QVERIFY(button);
    QCOMPARE(button->text(), restore);
    // Nothing selected, nothing to restore.
    QVERIFY(!button->isEnabled());
}

void TestHistoryWindow::writeIsListedAndRestored()
{
    ConfigFixture f;
    const int id = f.deviceId(kRoom);
    f.start(kRoom);
    QVERIFY(f.config());
    const QByteArray before = f.admin->deviceCp(id, kSetPoints);
    const QString shownBefore = f.box(3)->text();
    f.type(3, QStringLiteral("22.5"));
    f.win->menuToolClick(QStringLiteral("WriteParameters"));
    QVERIFY(f.messages->shown.isEmpty());
    const QByteArray written = f.admin->deviceCp(id, kSetPoints);
    QVERIFY(written != before);
    const QString shownAfter = f.box(3)->text();

    ui::HistoryWindow *history = openHistory(f);
    QVERIFY(history);
    QTableWidget *table = history->table();
    QVERIFY(table->rowCount() > 0);
    QCOMPARE(table->rowCount(), history->records().size());
    for (int row = 1; row < history->records().size(); ++row)
        QVERIFY(history->records().at(row - 1).id > history->records().at(row).id);
    const int row = rowOf(*table, kSetPoints);
    QVERIFY(row >= 0);
    QCOMPARE(table->item(row, kObject)->text(), QStringLiteral("Demo.Building.Floor1.Room101.Controller"));
    // The setpoint as its page shows it: the caption beside the box, the
    // text, the unit; before and after the write.
    const QString after = table->item(row, kAfter)->text();
    const QString beforeText = table->item(row, kBefore)->text();
    QVERIFY2(after.contains(QStringLiteral("Comfort")), qPrintable(after));
    QVERIFY2(after.contains(QStringLiteral(": ") + shownAfter + QStringLiteral(" °C")), qPrintable(after));
    QVERIFY2(beforeText.contains(QStringLiteral(": ") + shownBefore + QStringLiteral(" °C")), qPrintable(beforeText));
    QCOMPARE(table->item(row, kOutcome)->text(), lns::writeOutcomeText(lns::WriteOutcome::DeviceAndDatabase));

    table->selectRow(row);
    auto *button = history->findChild<QPushButton *>(QStringLiteral("cmdRestore"));
    QVERIFY(button->isEnabled());
    const int recordsBefore = history->records().size();
    f.messages->queueAnswer(platform::ANS_Yes);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(f.messages->shown.size(), 1);
    QCOMPARE(f.messages->shown.first().icon, platform::MsgIcon::Question);
    QVERIFY2(f.messages->shown.first().text.contains(kSetPoints), qPrintable(f.messages->shown.first().text));

    QCOMPARE(f.admin->deviceCp(id, kSetPoints), before);
    QVERIFY(f.consistent(id));
    QCOMPARE(f.box(3)->text(), shownBefore);
    // The window lists the restore at the top, named as such.
    QVERIFY(history->records().size() > recordsBefore);
    QVERIFY2(history->records().first().command.startsWith(QStringLiteral("Restore of the write of ")),
             qPrintable(history->records().first().command));
    QVERIFY(table->item(0, kCommand)->text().contains(QStringLiteral("(history window)")));
    const int restored = rowOf(*table, kSetPoints);
    QVERIFY(restored < history->records().size() - recordsBefore);
    const lns::WriteRecord &record = history->records().at(restored);
    QCOMPARE(record.before, written);
    QCOMPARE(record.after, before);
    QCOMPARE(record.command, history->records().first().command);
}

void TestHistoryWindow::restoreAnsweredNoWritesNothing()
{
    ConfigFixture f;
    const int id = f.deviceId(kRoom);
    f.start(kRoom);
    QVERIFY(f.config());
    f.type(3, QStringLiteral("23"));
    f.win->menuToolClick(QStringLiteral("WriteParameters"));
    const QByteArray written = f.admin->deviceCp(id, kSetPoints);
    ui::HistoryWindow *history = openHistory(f);
    QVERIFY(history);
    const int records = history->records().size();
    history->table()->selectRow(rowOf(*history->table(), kSetPoints));
    f.messages->queueAnswer(platform::ANS_No);
    QVERIFY(!history->restoreSelected());
    QCOMPARE(f.messages->shown.size(), 1);
    QCOMPARE(f.admin->deviceCp(id, kSetPoints), written);
    history->reload();
    QCOMPARE(history->records().size(), records);
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
