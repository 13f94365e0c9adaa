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

QString shownValue(const ParameterRow &r)
{
    if (!r.available)
        return str(1754);
    return r.read ? r.value : str(kNotReadText);
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
    h += QStringLiteral("<p></p><table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">\n<tr>");
    for (int item : {3, 4, 5, 6, 7})
        h += QStringLiteral("<th align=\"left\">%1</th>").arg(esc(str(1745, item)));
    h += QStringLiteral("</tr>\n");
    int page = -2;
    for (const ParameterRow &r : groupedByPage(c.parameters)) {
        if (r.page != page) {
            page = r.page;
            h += QStringLiteral("<tr><td colspan=\"5\" bgcolor=\"#dde4ee\"><b>%1</b></td></tr>\n").arg(esc(pageTitleOf(r)));
        }
        const QString value = r.differs ? QStringLiteral("<b>%1</b>").arg(esc(shownValue(r))) : esc(shownValue(r));
        h += r.differs ? QStringLiteral("<tr bgcolor=\"#fff2c0\">") : QStringLiteral("<tr>");
        h += QStringLiteral("<td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td></tr>\n")
                 .arg(esc(r.name), value, esc(r.unit), esc(r.defaultKnown && r.available ? r.defaultText : QString()),
                      r.differs ? esc(yesNo(true)) : QString());
    }
    h += QStringLiteral("</table>\n");
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
    h += QStringLiteral("<p>%1<br>%2</p>\n")
             .arg(esc(str(1743, 2, {r.created.toString(QStringLiteral("yyyy-MM-dd HH:mm"))})),
                  esc(str(1743, 3,
                          {QString::number(r.controllers.size()), QString::number(reportedCount(r)),
                           QString::number(r.controllers.size() - reportedCount(r))})));
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
    line(head);
    for (const ControllerReport &c : r.controllers) {
        if (c.failed) {
            line({c.object, QString(), QString(), str(1748, 1, {c.failure}), QString(), QString(), QString()});
            continue;
        }
        for (const ParameterRow &p : groupedByPage(c.parameters))
            line({c.object, pageTitleOf(p), p.name, shownValue(p), p.unit,
                  p.defaultKnown && p.available ? p.defaultText : QString(), yesNo(p.differs)});
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
        if (!render || !render(toHtml(r, true), str(1743, 1), QStringLiteral("Aerolis Controller"), &file, &why))
            return failed(why);
        break;
    }
    }
    if (!file.commit())
        return failed(file.errorString());
    return true;
}

} // namespace report
