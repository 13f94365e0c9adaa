// The commissioning report: the `aerolis report` tool as a process on the
// simulated demo network, compared with the window started on the same
// network in this process; the window's menu entry with a scripted save
// dialog; the CSV quoting.
#include "toolrun.h"

#include <cli/paramview.h>
#include <host/hoststate.h>
#include <params/paramcollection.h>
#include <platform/filedialogs.h>
#include <platform/messages.h>
#include <platform/registry.h>
#include <platform/resstrings.h>
#include <report/reportwriters.h>
#include <ui/reportmenu.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocument>

namespace {

// RFC 4180 reading, written here independently of the writer.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool any = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        any = true;
        if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\r')) {
            continue;
        } else if (c == QLatin1Char('\n')) {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            any = false;
        } else {
            field += c;
        }
    }
    if (any || !field.isEmpty() || !row.isEmpty()) {
        row << field;
        rows << row;
    }
    return rows;
}

// The parameter rows of an HTML report: name -> (value, unit), cells with
// their tags removed and entities decoded, for the section of `object`.
QHash<QString, QStringList> htmlRows(const QString &html, const QString &object)
{
    QHash<QString, QStringList> out;
    const int from = html.indexOf(QStringLiteral(">") + object.toHtmlEscaped() + QStringLiteral("</h2>"));
    if (from < 0)
        return out;
    const int to = html.indexOf(QStringLiteral("<h2"), from + 1);
    const QString part = html.mid(from, to < 0 ? -1 : to - from);
    static const QRegularExpression rowRe(QStringLiteral("<tr[^>]*>(.*?)</tr>"),
                                          QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cellRe(QStringLiteral("<td[^>]*>(.*?)</td>"),
                                           QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    for (auto r = rowRe.globalMatch(part); r.hasNext();) {
        QStringList cells;
        const QString inner = r.next().captured(1);
        for (auto c = cellRe.globalMatch(inner); c.hasNext();) {
            QTextDocument d;
            d.setHtml(c.next().captured(1).remove(tags));
            cells << d.toPlainText();
        }
        if (cells.size() == 5)
            out.insert(cells.at(0), cells.mid(1));
    }
    return out;
}

int pdfPages(const QByteArray &pdf)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    int n = 0;
    for (auto m = page.globalMatch(QString::fromLatin1(pdf)); m.hasNext(); m.next())
        ++n;
    return n;
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

    // The report command of the tool.
    Run tool(ConfigFixture &f, const QStringList &args)
    {
        return runTool(f, QStringList{QStringLiteral("report")} + args);
    }

private Q_SLOTS:
    void htmlListsEveryParameterAsTheWindowShowsIt_data();
    void htmlListsEveryParameterAsTheWindowShowsIt();
    void changedParameterDiffersFromTheDefault();
    void csvParsesBackToTheWindowsRows();
    void csvQuoting_data();
    void csvQuoting();
    void pdfHasAPagePerController();
    void germanHeadings();
    void unreachableObjectInAList();
    void menuEntryWritesTheFile_data();
    void menuEntryWritesTheFile();
    void menuEntryCancelAndUnwritable();
    void badInput_data();
    void badInput();
};

void TestReport::htmlListsEveryParameterAsTheWindowShowsIt_data()
{
    QTest::addColumn<QString>("room");
    for (const char *room : {"Room101", "Room102", "Room103", "Room104", "Room105"})
        QTest::newRow(room) << QString::fromLatin1(room);
}

void TestReport::htmlListsEveryParameterAsTheWindowShowsIt()
{
    QFETCH(QString, room);
    ConfigFixture f;
    const QString file = f.env.file(QStringLiteral("report.html"));
    const Run r = tool(f, {objectOf(room), QStringLiteral("--html"), file});
    QVERIFY2(r.status == 0, qPrintable(QString::number(r.status) + QLatin1Char(' ') + r.out + r.err));
    const QHash<QString, QStringList> rows = htmlRows(QString::fromUtf8(fileBytes(file)), objectOf(room));

    // The window on the same controller: every parameter with its text and unit.
    f.start(room);
    QVERIFY(f.config());
    const QVector<cli::ParamView> shown = cli::describeParameters(f.config()->Parameters());
    QCOMPARE(rows.size(), shown.size());
    for (const cli::ParamView &v : shown) {
        QVERIFY2(rows.contains(v.name), qPrintable(v.name));
        // A value not read (the mode CPs of kinds 1 and 2) is named so.
        const QString expected = !v.available ? gLoadResString(1754) : v.read ? v.text : gLoadResString(1593);
        QCOMPARE(rows.value(v.name).at(0), expected);
        QCOMPARE(rows.value(v.name).at(1), v.unit);
    }
    // Nothing was written to the device.
    QCOMPARE(f.admin->totals().deviceWrites, 0);
}

void TestReport::changedParameterDiffersFromTheDefault()
{
    ConfigFixture f;
    f.start(QStringLiteral("Room101"));
    QVERIFY(f.config());
    params::cParams &p = f.config()->Parameters();
    // The first text box the user can edit whose template default is known.
    std::shared_ptr<params::cParamTextBox> x;
    report::ParameterRow before;
    for (int i = 1; i <= p.TextBoxParameterCount() && !x; ++i) {
        const auto c = p.TextBoxParameter(i);
        if (!c || !c->Available() || !c->TextBoxControl())
            continue;
        for (const report::ParameterRow &r : ui::controllerReport(*f.win).parameters)
            if (r.name == c->Name() && r.defaultKnown) {
                x = c;
                before = r;
            }
    }
    int known = 0;
    for (const report::ParameterRow &r : ui::controllerReport(*f.win).parameters)
        known += r.defaultKnown ? 1 : 0;
    QVERIFY2(x, qPrintable(QString::number(known)));
    QCOMPARE(before.differs, before.stored != before.defaultStored);
    // A value inside the box's range that is not the default.
    const double step = qMax(x->MinStep(), 1.0);
    double target = x->ValueCalc() + step;
    if (target > x->TextBoxRangeMax())
        target = x->ValueCalc() - step;
    const int index = x->TextBoxControl()->objectName().mid(QStringLiteral("TextBox").size()).toInt();
    QCOMPARE(f.win->modelControl(QStringLiteral("TextBox"), index), x->TextBoxControl());
    f.type(index, QString::number(target, 'f', x->MinStep() < 1.0 ? 1 : 0));
    if (QString::number(x->Value()) == before.defaultStored) {
        target += step;
        f.type(index, QString::number(target, 'f', x->MinStep() < 1.0 ? 1 : 0));
    }
    QVERIFY(QString::number(x->Value()) != before.defaultStored);

    for (const report::ParameterRow &r : ui::controllerReport(*f.win).parameters) {
        if (r.name != x->Name())
            continue;
        QVERIFY(r.differs);
        QCOMPARE(r.value, x->TextBoxControl()->text());
        QCOMPARE(r.defaultText, before.defaultText);
        QCOMPARE(r.stored, QString::number(x->Value()));
    }
    // Nothing was read from the device for it either: the report works on
    // what the window holds.
    QCOMPARE(f.admin->totals().deviceWrites, 0);
}

void TestReport::csvParsesBackToTheWindowsRows()
{
    ConfigFixture f;
    const QString file = f.env.file(QStringLiteral("report.csv"));
    const QStringList rooms{QStringLiteral("Room101"), QStringLiteral("Room104")};
    const Run r = tool(f, {objectOf(rooms.at(0)), objectOf(rooms.at(1)), QStringLiteral("--csv"), file});
    QVERIFY2(r.status == 0, qPrintable(QString::number(r.status) + QLatin1Char(' ') + r.out + r.err));
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(fileBytes(file)));
    QVERIFY(!rows.isEmpty());
    QCOMPARE(rows.first(), (QStringList{"Controller", "Page", "Parameter", "Value", "Unit", "Default", "Differs"}));

    // The same rows from the window on each controller, in the same order.
    QList<QStringList> expected;
    for (const QString &room : rooms) {
        f.start(room);
        QVERIFY(f.config());
        report::ControllerReport c = ui::controllerReport(*f.win, objectOf(room));
        report::Report one;
        one.controllers << c;
        const QList<QStringList> own = parseCsv(QString::fromUtf8(report::toCsv(one)));
        expected += own.mid(1);
        QCOMPARE(own.size() - 1, c.parameters.size());
        // Every parameter on a page names one.
        QSet<QString> pages;
        for (const report::ParameterRow &p : c.parameters) {
            QCOMPARE(p.page < 0, p.kind == QLatin1String("1-byte") || p.kind == QLatin1String("2-byte")
                                     || p.kind == QLatin1String("ascii"));
            pages.insert(p.pageTitle);
        }
        QVERIFY(pages.size() > 2);
        f.win->setParametersChanged(false);
        host::state().mainWindow.reset();
        f.win.reset();
    }
    QCOMPARE(rows.mid(1), expected);
    for (const QStringList &row : rows)
        QCOMPARE(row.size(), 7);
}

void TestReport::csvQuoting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << "21.0" << "21.0";
    QTest::newRow("comma") << "1,5" << "\"1,5\"";
    QTest::newRow("quote") << "say \"hi\"" << "\"say \"\"hi\"\"\"";
    QTest::newRow("line break") << "a\nb" << "\"a\nb\"";
    QTest::newRow("unit") << QString::fromUtf8("°C") << QString::fromUtf8("°C");
    QTest::newRow("empty") << "" << "";
}

void TestReport::csvQuoting()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(report::csvField(text), field);
    // A whole report with that text in every column reads back unchanged.
    report::ParameterRow p;
    p.page = 3;
    p.pageTitle = text;
    p.name = text;
    p.value = text;
    p.unit = text;
    p.defaultKnown = true;
    p.defaultText = text;
    report::ControllerReport c;
    c.object = text;
    c.parameters << p;
    report::Report r;
    r.controllers << c;
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(report::toCsv(r)));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(1), (QStringList{text, text, text, text, text, text, gLoadResString(1746, 2)}));
}

void TestReport::pdfHasAPagePerController()
{
    ConfigFixture f;
    const QString file = f.env.file(QStringLiteral("report.pdf"));
    const Run r = tool(f, {objectOf(QStringLiteral("Room101")), objectOf(QStringLiteral("Room102")),
                           QStringLiteral("--pdf"), file});
    QVERIFY2(r.status == 0, qPrintable(QString::number(r.status) + QLatin1Char(' ') + r.out + r.err));
    const QByteArray pdf = fileBytes(file);
    QVERIFY(pdf.startsWith("%PDF"));
    // Each controller starts a page of its own.
    QVERIFY2(pdfPages(pdf) >= 2, qPrintable(QString::number(pdfPages(pdf))));
}

void TestReport::germanHeadings()
{
    ConfigFixture f;
    QVERIFY(platform::Registry::write(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"),
                                      QStringLiteral("1000")));
    const QString html = f.env.file(QStringLiteral("bericht.html"));
    const QString csv = f.env.file(QStringLiteral("bericht.csv"));
    QCOMPARE(tool(f, {objectOf(QStringLiteral("Room103")), QStringLiteral("--html"), html}).status, 0);
    const Run r = tool(f, {objectOf(QStringLiteral("Room103")), QStringLiteral("--csv"), csv});
    QCOMPARE(r.status, 0);
    const QString text = QString::fromUtf8(fileBytes(html));
    QVERIFY(text.contains(QStringLiteral("<h1>Inbetriebnahmeprotokoll</h1>")));
    QVERIFY(text.contains(QStringLiteral("<th align=\"left\">Vorgabe</th>")));
    QVERIFY(text.contains(QStringLiteral("Gerätevorlage")));
    QVERIFY(!text.contains(QStringLiteral("Commissioning report")));
    QVERIFY(fileBytes(csv).startsWith("Regler,Seite,Parameter,Wert,Einheit,Vorgabe,Abweichend\r\n"));
    QVERIFY2(r.out.contains(QStringLiteral("Zusammenfassung: 1 protokolliert, 0 fehlgeschlagen.")), qPrintable(r.out));
}

void TestReport::unreachableObjectInAList()
{
    ConfigFixture f;
    const QString file = f.env.file(QStringLiteral("list.csv"));
    const QStringList rooms{QStringLiteral("Room101"), QStringLiteral("Room205"), QStringLiteral("Room206"),
                            QStringLiteral("Room105")};
    QStringList args;
    for (const QString &room : rooms)
        args << objectOf(room);
    const Run r = tool(f, args + QStringList{QStringLiteral("--csv"), file});
    QCOMPARE(r.status, 3);
    // One line on standard error per failed object, the others reported.
    const QStringList errLines = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts).filter(QStringLiteral("failed"));
    QVERIFY2(errLines.size() >= 1, qPrintable(r.err));
    QVERIFY(errLines.first().contains(QStringLiteral("Room205")));
    QVERIFY(errLines.first().contains(QStringLiteral("Communication with device failed.")));
    QVERIFY(r.out.contains(objectOf(QStringLiteral("Room101")) + QStringLiteral(": reported")));
    QVERIFY(r.out.contains(objectOf(QStringLiteral("Room105")) + QStringLiteral(": reported")));
    QVERIFY2(r.out.contains(QStringLiteral("Summary: %1 reported, %2 failed.").arg(4 - errLines.size()).arg(errLines.size())),
             qPrintable(r.out));
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(fileBytes(file)));
    QSet<QString> controllers;
    for (const QStringList &row : rows.mid(1))
        controllers.insert(row.first());
    for (const QString &room : rooms)
        QVERIFY2(controllers.contains(objectOf(room)), qPrintable(room));
    bool failureRow = false;
    for (const QStringList &row : rows)
        failureRow = failureRow || (row.first() == objectOf(QStringLiteral("Room205"))
                                    && row.at(3).startsWith(QStringLiteral("Not reported:")));
    QVERIFY(failureRow);
    QCOMPARE(f.admin->totals().deviceWrites, 0);
}

void TestReport::menuEntryWritesTheFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("start");
    QTest::newRow("html") << "r.html" << QByteArray("<!DOCTYPE html>");
    QTest::newRow("pdf") << "r.pdf" << QByteArray("%PDF");
    QTest::newRow("csv") << "r.csv" << QByteArray("Controller,Page,Parameter");
    QTest::newRow("no suffix: html") << "r" << QByteArray("<!DOCTYPE html>");
}

void TestReport::menuEntryWritesTheFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, start);
    ConfigFixture f;
    f.start(QStringLiteral("Room102"));
    QVERIFY(f.config());
    auto dialogs = std::make_shared<platform::ScriptedFileDialogs>();
    platform::setFileDialogService(dialogs);
    const QString file = f.env.file(name);
    dialogs->queueFile(file);
    const int reads = f.admin->totals().deviceReads;
    QVERIFY(f.win->tool(QStringLiteral("Report"))->isVisible());
    f.win->menuToolClick(QStringLiteral("Report"));
    QCOMPARE(dialogs->shown.size(), 1);
    QCOMPARE(dialogs->shown.first().kind, platform::FileDialogKind::Save);
    QCOMPARE(dialogs->shown.first().filter, gLoadResString(1742));
    const QString written = name.contains(QLatin1Char('.')) ? file : file + QStringLiteral(".html");
    QVERIFY2(fileBytes(written).startsWith(start), qPrintable(written));
    if (start.startsWith("<!")) {
        const QHash<QString, QStringList> rows = htmlRows(QString::fromUtf8(fileBytes(written)), objectOf("Room102"));
        QCOMPARE(rows.size(), f.config()->Parameters().AllParameters().size());
    }
    // The report takes the window's values: no device transaction.
    QCOMPARE(f.admin->totals().deviceReads, reads);
    QVERIFY(f.logged(QStringLiteral("Report written")));
    platform::setFileDialogService(std::make_shared<platform::UnattendedFileDialogs>());
}

void TestReport::menuEntryCancelAndUnwritable()
{
    ConfigFixture f;
    f.start(QStringLiteral("Room101"));
    QVERIFY(f.config());
    auto dialogs = std::make_shared<platform::ScriptedFileDialogs>();
    platform::setFileDialogService(dialogs);
    auto messages = std::make_shared<platform::ScriptedMessages>();
    platform::setMessageService(messages);
    // Cancel: nothing written, nothing said.
    dialogs->queueCancel();
    f.win->menuToolClick(QStringLiteral("Report"));
    QCOMPARE(messages->shown.size(), 0);
    QCOMPARE(QDir(f.env.path()).entryList({QStringLiteral("*.html")}).size(), 0);
    // A folder that is not there: one clear message.
    dialogs->queueFile(f.env.file(QStringLiteral("missing/r.html")));
    f.win->menuToolClick(QStringLiteral("Report"));
    QCOMPARE(messages->shown.size(), 1);
    QVERIFY(messages->shown.first().text.startsWith(QStringLiteral("The report cannot be written:")));
    QCOMPARE(messages->shown.first().icon, platform::MsgIcon::Critical);
    platform::setFileDialogService(std::make_shared<platform::UnattendedFileDialogs>());
    platform::setMessageService(std::make_shared<platform::UnattendedMessages>());
}

void TestReport::badInput_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errPart");
    const QString obj = objectOf(QStringLiteral("Room101"));
    QTest::newRow("no output") << QStringList{obj} << 2 << "Give one output";
    QTest::newRow("two outputs") << QStringList{obj, "--html", "OUT/a.html", "--csv", "OUT/a.csv"} << 2
                                 << "Only one output may be given";
    QTest::newRow("output without file") << QStringList{obj, "--pdf"} << 2 << "Missing argument: --pdf";
    QTest::newRow("no object") << QStringList{"--html", "OUT/a.html"} << 2 << "Missing argument: OBJECT";
    QTest::newRow("unknown option") << QStringList{obj, "--html", "OUT/a.html", "--xml"} << 2 << "Unknown option: --xml";
    QTest::newRow("unwritable output") << QStringList{obj, "--html", "OUT/none/a.html"} << 1
                                       << "The report cannot be written";
    QTest::newRow("object not in network")
        << QStringList{"Demo.Building.Floor1.Room999.Controller", "--html", "OUT/a.html"} << 1 << "Room999";
    QTest::newRow("unreachable alone") << QStringList{objectOf(QStringLiteral("Room205")), "--html", "OUT/a.html"} << 3
                                       << "Communication with device failed.";
}

void TestReport::badInput()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, errPart);
    ConfigFixture f;
    args.replaceInStrings(QStringLiteral("OUT/"), f.env.path() + QLatin1Char('/'));
    const Run r = tool(f, args);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(errPart), qPrintable(r.err));
    QCOMPARE(f.admin->totals().deviceWrites, 0);
    // A refused command leaves no report behind (a failed device still is one).
    if (status != 3)
        QCOMPARE(QDir(f.env.path()).entryList({QStringLiteral("a.*")}).size(), 0);
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
