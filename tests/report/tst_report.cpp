// The commissioning report: the `aerolis report` tool as a process on the
// simulated demo network, compared with the window started on the same
// network in this process; the window's menu entry with a scripted save
// dialog; the CSV quoting.
#include "toolrun.h"

#include <cli/commands.h>
#include <cli/paramview.h>
#include <host/hoststate.h>
#include <params/paramcollection.h>
#include <platform/filedialogs.h>
#include <platform/messages.h>
#include <platform/registry.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <lnssim/networkstore.h>
#include <model/pagemodel.h>
#include <report/reportwriters.h>
#include <ui/reportmenu.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
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

// The parameter rows of an HTML report: (label, value, unit, default,
// differs), cells with their tags removed and entities decoded, for the
// section of `object`.
QList<QStringList> htmlRows(const QString &html, const QString &object)
{
    QList<QStringList> out;
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
            out << cells;
    }
    return out;
}

// The text of page `page` (1-based) of a PDF file, as laid out; empty when
// the file has no such page.
QString pdfPageText(const QString &file, int page)
{
    QProcess p;
    p.start(QStringLiteral(AEROLIS_PDFTOTEXT), {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page),
                                                QStringLiteral("-l"), QString::number(page), file, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
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
    void recordRowsMatchTheWindow_data();
    void recordRowsMatchTheWindow();
    void changedParameterDiffersFromTheDefault();
    void csvParsesBackToTheWindowsRows();
    void csvQuoting_data();
    void csvQuoting();
    void pdfHasAPagePerController();
    void pdfSheets_data();
    void pdfSheets();
    void germanHeadings();
    void headNamesTheDevicesUniqueId();
    void unreachableObjectInAList();
    void menuEntryWritesTheFile_data();
    void menuEntryWritesTheFile();
    void menuEntryCancelAndUnwritable();
    void badInput_data();
    void badInput();
    void oneNetworkOpenPerRun_data();
    void oneNetworkOpenPerRun();
    void channelsAreReadAtOnce_data();
    void channelsAreReadAtOnce();
    void oneModelServesEveryController();
};

void TestReport::recordRowsMatchTheWindow_data()
{
    QTest::addColumn<QString>("room");
    for (const char *room : {"Room101", "Room102", "Room103", "Room104", "Room105"})
        QTest::newRow(room) << QString::fromLatin1(room);
}

// Each controller kind: the record lists exactly the parameters whose
// control the window shows on a tab it shows, each labelled with the
// captions the window shows left of the control on its row, its value as
// the control shows it, and a differs mark only where the value can be
// edited. The window's widgets are the reference, laid out offscreen.
void TestReport::recordRowsMatchTheWindow()
{
    QFETCH(QString, room);
    ConfigFixture f;
    const QString file = f.env.file(QStringLiteral("report.csv"));
    const QString html = f.env.file(QStringLiteral("report.html"));
    Run r = tool(f, {objectOf(room), QStringLiteral("--csv"), file});
    QVERIFY2(r.status == 0, qPrintable(QString::number(r.status) + QLatin1Char(' ') + r.out + r.err));
    QHash<QString, QStringList> rows; // parameter name -> CSV row
    for (const QStringList &row : parseCsv(QString::fromUtf8(fileBytes(file))).mid(1))
        rows.insert(row.value(7), row);
    QCOMPARE(tool(f, {objectOf(room), QStringLiteral("--html"), html}).status, 0);
    QCOMPARE(htmlRows(QString::fromUtf8(fileBytes(html)), objectOf(room)).size(), rows.size());

    f.start(room);
    QVERIFY(f.config());
    f.win->show();
    QSet<QString> parameterNames;
    for (const auto &x : f.config()->Parameters().AllParameters())
        parameterNames.insert(x->Name());
    int expectedRows = 0;
    for (const model::ControlState *s : f.win->pageModel()->controls()) {
        const model::ControlKind kind = s->kind();
        if (!parameterNames.contains(s->tag()) || s->page() < 0
            || (kind != model::ControlKind::TextBox && kind != model::ControlKind::ComboBox
                && kind != model::ControlKind::CheckBox))
            continue;
        QWidget *w = f.win->findChild<QWidget *>(s->objectName());
        QVERIFY2(w, qPrintable(s->objectName()));
        const bool shown = !w->isHidden() && f.config()->window()->tabVisible(s->page());
        QVERIFY2(rows.contains(s->tag()) == shown, qPrintable(s->tag() + QLatin1Char(' ') + s->objectName()));
        if (!shown)
            continue;
        ++expectedRows;
        const QStringList row = rows.value(s->tag());
        // The captions left of the control on its row, as the window lays
        // them out; a check box is its own caption.
        QStringList captions;
        if (auto *box = qobject_cast<QCheckBox *>(w)) {
            captions << box->text();
        } else {
            QList<QWidget *> left;
            for (QWidget *other : w->parentWidget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
                const bool caption = qobject_cast<QLabel *>(other) || qobject_cast<QCheckBox *>(other);
                if (caption && !other->isHidden() && other->geometry().right() < w->geometry().left()
                    && other->geometry().top() <= w->geometry().center().y()
                    && other->geometry().bottom() >= w->geometry().center().y())
                    left << other;
            }
            std::sort(left.begin(), left.end(), [](QWidget *a, QWidget *b) { return a->x() < b->x(); });
            for (QWidget *c : left) {
                const QString t = qobject_cast<QLabel *>(c) ? static_cast<QLabel *>(c)->text()
                                                            : static_cast<QCheckBox *>(c)->text();
                captions << t;
            }
        }
        QString caption = captions.join(QLatin1Char(' ')).remove(QLatin1Char('&')).simplified();
        if (caption.endsWith(QLatin1Char(':')))
            caption.chop(1);
        QVERIFY2(!caption.isEmpty(), qPrintable(s->objectName()));
        const QString label = row.value(2);
        QVERIFY2(label == caption || label.endsWith(QStringLiteral(" / ") + caption),
                 qPrintable(label + QStringLiteral(" <> ") + caption));
        // The value as the control shows it; a locked one says so and
        // never differs.
        const bool locked = !w->isEnabledTo(w->parentWidget())
            || (qobject_cast<QLineEdit *>(w) && static_cast<QLineEdit *>(w)->isReadOnly());
        QString value;
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            value = edit->text();
        else if (auto *list = qobject_cast<QComboBox *>(w))
            value = list->currentText();
        else
            value = static_cast<QCheckBox *>(w)->isChecked() ? QStringLiteral("[x]") : QStringLiteral("[ ]");
        if (locked) {
            QVERIFY2(row.value(3).endsWith(gLoadResString(1806, 1)), qPrintable(row.join(QLatin1Char('|'))));
            QCOMPARE(row.value(6), gLoadResString(1746, 2));
        } else {
            QCOMPARE(row.value(3), value);
        }
        QCOMPARE(row.value(1).isEmpty(), false);
    }
    QCOMPARE(rows.size(), expectedRows);
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
            if (r.name == c->Name() && r.defaultKnown && r.shown && !r.locked) {
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
    QCOMPARE(rows.first(), (QStringList{"Controller", "Page", "Parameter", "Value", "Unit", "Default", "Differs", "Name"}));

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
        QCOMPARE(own.size() - 1, report::groupedByPage(c.parameters).size());
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
        QCOMPARE(row.size(), 8);
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
    p.shown = true;
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
    QCOMPARE(rows.at(1), (QStringList{text, text, text, text, text, text, gLoadResString(1746, 2), text}));
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

void TestReport::pdfSheets_data()
{
    QTest::addColumn<bool>("german");
    QTest::newRow("English") << false;
    QTest::newRow("German") << true;
}

// A record long enough to run over many sheets: every sheet numbered
// "page i of N" with the right N, no page heading left as the last line of a
// sheet, the column headings repeated at the top of a sheet a table runs
// onto, and the signature line at the end of each controller.
void TestReport::pdfSheets()
{
    QFETCH(bool, german);
    ConfigFixture f;
    if (german)
        QVERIFY(platform::Registry::write(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"),
                                          QStringLiteral("1000")));
    host::applyConfiguredLanguage();
    report::Report r = report::newReport();
    r.site = QStringLiteral("Site A");
    r.technician = QStringLiteral("T. Nician");
    QStringList pageTitles;
    for (int c = 0; c < 2; ++c) {
        report::ControllerReport ctl;
        ctl.object = QStringLiteral("Demo.Building.Room%1.Controller").arg(c);
        // Pages of different lengths, one of them far longer than a sheet.
        for (int page = 1; page <= 6; ++page) {
            const QString title = QStringLiteral("Section%1x").arg(page);
            pageTitles << title;
            const int rows = page == 3 ? 90 : 7 + page * 3;
            for (int i = 0; i < rows; ++i) {
                report::ParameterRow p;
                p.page = page;
                p.pageTitle = title;
                p.shown = true;
                p.order = i;
                p.name = p.label = QStringLiteral("Row %1.%2").arg(page).arg(i);
                p.value = QString::number(i);
                ctl.parameters << p;
            }
        }
        r.controllers << ctl;
    }
    const QString file = f.env.file(QStringLiteral("long.pdf"));
    QString error;
    QVERIFY2(report::writeReport(r, report::Format::Pdf, file, &error), qPrintable(error));
    const int pages = pdfPages(fileBytes(file));
    QVERIFY2(pages >= 6, qPrintable(QString::number(pages)));

    const QString columnHeading = gLoadResString(1745, 3);
    const QString signature = gLoadResString(1806, 6);
    int signatures = 0;
    int continued = 0;
    for (int i = 1; i <= pages; ++i) {
        const QStringList lines = pdfPageText(file, i).split(QLatin1Char('\n'));
        QStringList text;
        for (const QString &line : lines)
            if (!line.trimmed().isEmpty())
                text << line.trimmed();
        QVERIFY2(text.size() > 2, qPrintable(QString::number(i)));
        const QString footer = platform::fillPlaceholders(gLoadResString(1806, 5), {QString::number(i), QString::number(pages)});
        QCOMPARE(text.last(), footer);
        // The line above the footer is never a page heading.
        QVERIFY2(!pageTitles.contains(text.at(text.size() - 2)), qPrintable(QString::number(i) + text.at(text.size() - 2)));
        // A sheet that goes on with a table starts with its column headings.
        if (text.first().startsWith(QLatin1String("Row "))) {
            QFAIL(qPrintable(QStringLiteral("sheet %1 starts inside a table without its headings").arg(i)));
        }
        if (text.first().startsWith(columnHeading))
            ++continued;
        signatures += static_cast<int>(text.filter(signature).size());
    }
    QVERIFY2(continued >= 1, "no table ran onto a second sheet");
    QCOMPARE(signatures, r.controllers.size());
    // The head names the site and the technician.
    const QString first = pdfPageText(file, 1);
    QVERIFY(first.contains(platform::fillPlaceholders(gLoadResString(1806, 2), {QStringLiteral("Site A")})));
    QVERIFY(first.contains(platform::fillPlaceholders(gLoadResString(1806, 3), {QStringLiteral("T. Nician")})));
}

// Each controller's head in the PDF names the unique id of its device, the
// one the window's connection reports, different for every device.
void TestReport::headNamesTheDevicesUniqueId()
{
    ConfigFixture f;
    const QStringList rooms{QStringLiteral("Room101"), QStringLiteral("Room102")};
    QStringList expected;
    for (const QString &room : rooms) {
        f.start(room);
        QVERIFY(f.config() && host::state().conn.device);
        expected << host::state().conn.device->uniqueId();
        f.win->setParametersChanged(false);
        host::state().mainWindow.reset();
        f.win.reset();
    }
    QCOMPARE(expected.at(0).size(), 12);
    QVERIFY(expected.at(0) != expected.at(1));

    const QString file = f.env.file(QStringLiteral("report.pdf"));
    const Run r = tool(f, {objectOf(rooms.at(0)), objectOf(rooms.at(1)), QStringLiteral("--pdf"), file});
    QVERIFY2(r.status == 0, qPrintable(QString::number(r.status) + QLatin1Char(' ') + r.out + r.err));
    QString text;
    for (int page = 1; page <= pdfPages(fileBytes(file)); ++page)
        text += pdfPageText(file, page);
    const QRegularExpression row(QRegularExpression::escape(gLoadResString(1744, 9)) + QStringLiteral("\\s+(\\S+)"));
    QStringList found;
    for (auto m = row.globalMatch(text); m.hasNext();)
        found << m.next().captured(1);
    QCOMPARE(found, expected);
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
    QVERIFY(fileBytes(csv).startsWith("Regler,Seite,Parameter,Wert,Einheit,Vorgabe,Abweichend,Name\r\n"));
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
        // The rows of the window's own report: what its tabs show.
        const QList<QStringList> rows = htmlRows(QString::fromUtf8(fileBytes(written)), objectOf("Room102"));
        QCOMPARE(rows.size(), report::groupedByPage(ui::controllerReport(*f.win).parameters).size());
        QVERIFY(rows.size() > 10);
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
    QTest::newRow("no lane per channel") << QStringList{obj, "--csv", "OUT/a.csv", "--per-channel", "0"} << 2
                                         << "--per-channel takes a whole number from 1 to 16: 0";
    QTest::newRow("lanes not a number") << QStringList{obj, "--csv", "OUT/a.csv", "--per-channel", "two"} << 2
                                        << "--per-channel takes a whole number from 1 to 16: two";
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

// A report of several controllers opens the network once: the name lookups,
// the selection and every controller's session share that open. The run is
// made in this process (the object server's open count is the process's),
// and its file is the one the tool writes as a process.
void TestReport::oneNetworkOpenPerRun_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("controllers");
    QTest::newRow("whole names")
        << QStringList{objectOf(QStringLiteral("Room101")), objectOf(QStringLiteral("Room102")),
                       objectOf(QStringLiteral("Room203")), objectOf(QStringLiteral("Room205"))}
        << 4;
    QTest::newRow("device names") << QStringList{"Room104", "Room201", "Room106"} << 3;
    QTest::newRow("all") << QStringList{"--all"} << 12;
    QTest::newRow("subsystem") << QStringList{"--subsystem", "Demo.Building.Floor2"} << 6;
}

void TestReport::oneNetworkOpenPerRun()
{
    QFETCH(QStringList, args);
    QFETCH(int, controllers);
    ConfigFixture f;
    const QString byProcess = f.env.file(QStringLiteral("process.csv"));
    const Run r = tool(f, args + QStringList{QStringLiteral("--csv"), byProcess});
    QVERIFY2(r.status == 0 || r.status == 3, qPrintable(r.err));

    const QString inProcess = f.env.file(QStringLiteral("inprocess.csv"));
    const int opensBefore = lnssim::NetworkStore::opensInProcess();
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const int status = cli::run(QStringList{QStringLiteral("report")} + args + QStringList{QStringLiteral("--csv"), inProcess},
                                outStream, errStream);
    outStream.flush();
    errStream.flush();
    QCOMPARE(status, r.status);
    QCOMPARE(lnssim::NetworkStore::opensInProcess() - opensBefore, 1);
    QCOMPARE(out.count(QStringLiteral(": reported")) + err.count(QStringLiteral(": failed: ")), controllers);
    QCOMPARE(fileBytes(inProcess), fileBytes(byProcess));
}

// One page model serves every controller of a run: the report of all
// controllers (every kind, one after another) holds for each exactly the
// rows of a run that reports that controller alone on a new model.
void TestReport::oneModelServesEveryController()
{
    ConfigFixture f;
    const auto report = [](const QStringList &args, const QString &file) {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const int status = cli::run(QStringList{QStringLiteral("report")} + args + QStringList{QStringLiteral("--csv"), file},
                                    outStream, errStream);
        errStream.flush();
        return std::make_pair(status, err);
    };
    const QString all = f.env.file(QStringLiteral("all.csv"));
    const auto whole = report({QStringLiteral("--all")}, all);
    QVERIFY2(whole.first == 0 || whole.first == 3, qPrintable(whole.second));
    QList<QStringList> rows = parseCsv(QString::fromUtf8(fileBytes(all)));
    QVERIFY(rows.size() > 1);
    const QStringList head = rows.takeFirst();
    QStringList objects;
    for (const QStringList &row : qAsConst(rows))
        if (!objects.contains(row.value(0)))
            objects << row.value(0);
    QCOMPARE(objects.size(), 12);
    QList<QStringList> alone;
    for (const QString &object : qAsConst(objects)) {
        const QString one = f.env.file(QStringLiteral("one.csv"));
        report({object}, one);
        QList<QStringList> own = parseCsv(QString::fromUtf8(fileBytes(one)));
        QCOMPARE(own.value(0), head);
        alone << own.mid(1);
    }
    QCOMPARE(rows.size(), alone.size());
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(rows.at(i).join(QLatin1Char('|')), alone.at(i).join(QLatin1Char('|')));
}

// Controllers on three channels (one of them unreachable): the reads of
// different channels overlap in the modelled time, at most --per-channel
// transactions are in flight on one channel, and the report holds the same
// rows in the same order as one read after the other.
void TestReport::channelsAreReadAtOnce_data()
{
    QTest::addColumn<int>("perChannel");
    QTest::newRow("one per channel") << 1;
    QTest::newRow("two per channel") << 2;
}

void TestReport::channelsAreReadAtOnce()
{
    QFETCH(int, perChannel);
    ConfigFixture f;
    const QStringList rooms = roomsOnThreeChannels(f);
    QCOMPARE(channelCount(f, rooms), 3);
    QStringList objects;
    for (const QString &room : rooms)
        objects << objectOf(room);

    // One channel at a time: the rows as the report has always listed them.
    const QString sequential = f.env.file(QStringLiteral("sequential.csv"));
    const Run one = tool(f, objects + QStringList{QStringLiteral("--csv"), sequential});
    QCOMPARE(one.status, 3);

    const QString file = f.env.file(QStringLiteral("lanes.csv"));
    f.admin->resetCounters();
    const Run r = tool(f, objects + QStringList{QStringLiteral("--per-channel"), QString::number(perChannel),
                                                QStringLiteral("--csv"), file});
    QCOMPARE(r.status, 3);
    QCOMPARE(r.out, one.out);
    QCOMPARE(fileBytes(file), fileBytes(sequential));

    const lnssim::NetworkAdmin::RunFigures run = f.admin->lastRun();
    qint64 busiest = 0;
    int used = 0;
    for (const auto &entry : f.admin->channelCounters()) {
        busiest = std::max(busiest, entry.second.channelMicros);
        used += entry.second.transactions() > 0 ? 1 : 0;
    }
    QCOMPARE(used, 3);
    QVERIFY(busiest > 0);
    QCOMPARE(f.admin->totals().deviceWrites, 0);
    // Floor1 and Floor2 have two controllers each: one lane reads both, or
    // two read one each at the same time.
    QCOMPARE(run.peakInFlight, perChannel);
    if (perChannel == 1)
        QCOMPARE(run.wallMicros, busiest);
    else
        QVERIFY2(run.wallMicros < busiest, qPrintable(QStringLiteral("%1 / %2").arg(run.wallMicros).arg(busiest)));
    QVERIFY(run.wallMicros < f.admin->totals().channelMicros);
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
