#include "reportwriters.h"

#include "pdfmodule.h"

#include <platform/resstrings.h>
#include <platform/stringutil.h>

#include <QFileInfo>
#include <QSaveFile>

namespace report {

namespace {

// "not read"
constexpr int kNotReadText = 1593;
// The record's own words.
constexpr int kRecordText = 1806;
enum RecordItem {
    kLocked = 1,
    kSite = 2,
    kTechnician = 3,
    kVersion = 4,
    kPageOfPages = 5,
    kSignature = 6,
    kSignatureDate = 7,
    kNameColumn = 8,
};

QString str(int id, int item = 1, const QStringList &args = {})
{
    const QString t = gLoadResString(id, item);
    return args.isEmpty() ? t : platform::fillPlaceholders(t, args);
}

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

QString yesNo(bool yes)
{
    return str(1746, yes ? 1 : 2);
}

QString pageTitleOf(const ParameterRow &r)
{
    return r.page < 0 ? str(1747) : r.pageTitle;
}

// The value as the page shows it: a locked control keeps its text, greyed,
// and says it is locked.
QString shownValue(const ParameterRow &r)
{
    if (!r.available)
        return str(1754);
    if (!r.read)
        return str(kNotReadText);
    if (r.locked)
        return r.value.isEmpty() ? str(kRecordText, kLocked) : r.value + QLatin1Char(' ') + str(kRecordText, kLocked);
    return r.value;
}

int reportedCount(const Report &r)
{
    int n = 0;
    for (const ControllerReport &c : r.controllers)
        n += c.failed ? 0 : 1;
    return n;
}

void identityRow(QString &h, int item, const QString &value)
{
    h += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>").arg(esc(str(1744, item)), esc(value));
}

void controllerHtml(QString &h, const ControllerReport &c, bool newPage)
{
    h += newPage ? QStringLiteral("<h2 style=\"page-break-before: always\">") : QStringLiteral("<h2>");
    h += esc(c.object) + QStringLiteral("</h2>\n");
    h += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n");
    identityRow(h, 1, c.object);
    if (c.identityKnown) {
        identityRow(h, 2, c.device);
        identityRow(h, 3, c.subsystem);
        identityRow(h, 4, c.deviceTemplate);
        identityRow(h, 5, c.programId);
        identityRow(h, 6, c.application);
        identityRow(h, 7, yesNo(c.commissioned));
    }
    if (!c.failed)
        identityRow(h, 8, QString::number(c.differing()));
    h += QStringLiteral("</table>\n");
    if (c.failed) {
        h += QStringLiteral("<p style=\"color:#c00000\"><b>%1</b></p>\n").arg(esc(str(1748, 1, {c.failure})));
        return;
    }
    // One table per page of the controller, its heading kept with it and
    // the column headings repeated where a table runs onto the next sheet.
    int page = -2;
    for (const ParameterRow &r : groupedByPage(c.parameters)) {
        if (r.page != page) {
            if (page != -2)
                h += QStringLiteral("</table>\n");
            page = r.page;
            h += QStringLiteral("<h3>%1</h3>\n").arg(esc(pageTitleOf(r)));
            h += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">\n<thead><tr>");
            for (int item : {3, 4, 5, 6, 7})
                h += QStringLiteral("<th align=\"left\">%1</th>").arg(esc(str(1745, item)));
            h += QStringLiteral("</tr></thead>\n");
        }
        const QString value = r.differs ? QStringLiteral("<b>%1</b>").arg(esc(shownValue(r))) : esc(shownValue(r));
        h += r.differs ? QStringLiteral("<tr bgcolor=\"#fff2c0\">")
                       : r.locked ? QStringLiteral("<tr style=\"color:#808080\">") : QStringLiteral("<tr>");
        h += QStringLiteral("<td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td></tr>\n")
                 .arg(esc(r.title()), value, esc(r.unit), esc(r.defaultKnown && r.available ? r.defaultText : QString()),
                      r.differs ? esc(yesNo(true)) : QString());
    }
    if (page != -2)
        h += QStringLiteral("</table>\n");
    h += QStringLiteral("<p class=\"signature\"><br>%1 ______________________________ &nbsp; %2 ____________</p>\n")
             .arg(esc(str(kRecordText, kSignature)), esc(str(kRecordText, kSignatureDate)));
}

} // namespace

std::optional<Format> formatOf(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        return Format::Html;
    if (suffix == QLatin1String("pdf"))
        return Format::Pdf;
    if (suffix == QLatin1String("csv"))
        return Format::Csv;
    return std::nullopt;
}

QString toHtml(const Report &r, bool pageBreaks)
{
    const QString title = str(1743, 1);
    QString h = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title></head><body>\n")
                    .arg(esc(title));
    h += QStringLiteral("<h1>%1</h1>\n").arg(esc(title));
    QStringList head;
    if (!r.site.isEmpty())
        head << esc(str(kRecordText, kSite, {r.site}));
    if (!r.technician.isEmpty())
        head << esc(str(kRecordText, kTechnician, {r.technician}));
    head << esc(str(1743, 2, {r.created.toString(QStringLiteral("yyyy-MM-dd HH:mm"))}));
    if (!r.version.isEmpty())
        head << esc(str(kRecordText, kVersion, {r.version}));
    head << esc(str(1743, 3,
                    {QString::number(r.controllers.size()), QString::number(reportedCount(r)),
                     QString::number(r.controllers.size() - reportedCount(r))}));
    h += QStringLiteral("<p>%1</p>\n").arg(head.join(QStringLiteral("<br>")));
    for (int i = 0; i < r.controllers.size(); ++i)
        controllerHtml(h, r.controllers.at(i), pageBreaks && i > 0);
    h += QStringLiteral("</body></html>\n");
    return h;
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QByteArray toCsv(const Report &r)
{
    QString out;
    const auto line = [&out](const QStringList &fields) {
        QStringList quoted;
        for (const QString &f : fields)
            quoted << csvField(f);
        out += quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    };
    QStringList head;
    for (int item = 1; item <= 7; ++item)
        head << str(1745, item);
    head << str(kRecordText, kNameColumn);
    line(head);
    for (const ControllerReport &c : r.controllers) {
        if (c.failed) {
            line({c.object, QString(), QString(), str(1748, 1, {c.failure}), QString(), QString(), QString(), QString()});
            continue;
        }
        for (const ParameterRow &p : groupedByPage(c.parameters))
            line({c.object, pageTitleOf(p), p.title(), shownValue(p), p.unit,
                  p.defaultKnown && p.available ? p.defaultText : QString(), yesNo(p.differs), p.name});
    }
    return out.toUtf8();
}

bool writeReport(const Report &r, Format format, const QString &fileName, QString *error)
{
    const auto failed = [&](const QString &why) {
        if (error)
            *error = str(1749, 1, {why.isEmpty() ? fileName : fileName + QStringLiteral(": ") + why});
        return false;
    };
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());
    switch (format) {
    case Format::Html: {
        const QByteArray bytes = toHtml(r).toUtf8();
        if (file.write(bytes) != bytes.size())
            return failed(file.errorString());
        break;
    }
    case Format::Csv: {
        const QByteArray bytes = toCsv(r);
        if (file.write(bytes) != bytes.size())
            return failed(file.errorString());
        break;
    }
    case Format::Pdf: {
        QString why;
        const PdfRenderFunction render = pdfRenderer(&why);
        if (!render
            || !render(toHtml(r, true), str(1743, 1), QStringLiteral("Aerolis Controller"),
                       gLoadResString(kRecordText, kPageOfPages), &file, &why))
            return failed(why);
        break;
    }
    }
    if (!file.commit())
        return failed(file.errorString());
    return true;
}

} // namespace report
