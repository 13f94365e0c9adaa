// The PDF module: Qt's rich text engine lays the report's HTML out on A4
// pages and its PDF writer draws them. Loaded at run time (pdfmodule.h).
#include "pdfmodule.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>

namespace {

// The lines a heading needs below it on its sheet: itself and a few rows of
// its table, or it moves to the next sheet.
constexpr double kHeadingKeepLines = 4;

// Moves every page heading that would end a sheet (with no room for its
// table's first rows) to the start of the next one. Each move shifts what
// follows, so the headings are taken top to bottom on the current layout.
void keepHeadingsWithTheirTables(QTextDocument &doc)
{
    const double sheet = doc.pageSize().height();
    QAbstractTextDocumentLayout *layout = doc.documentLayout();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() != 3)
            continue;
        const QRectF at = layout->blockBoundingRect(b);
        const double needed = at.height() * kHeadingKeepLines;
        const double room = sheet - std::fmod(at.top(), sheet);
        if (room < needed && room < sheet - 1) {
            QTextCursor cursor(b);
            QTextBlockFormat f = b.blockFormat();
            f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            cursor.setBlockFormat(f);
        }
    }
}

// The document laid out on the writer's sheets, each sheet numbered below
// its text.
void printPaged(QTextDocument &doc, QPdfWriter &pdf, const QString &pageFooter)
{
    doc.documentLayout()->setPaintDevice(&pdf);
    QFont footerFont = doc.defaultFont();
    footerFont.setPointSizeF(footerFont.pointSizeF() * 0.85);
    const QFontMetricsF footerMetrics(footerFont, &pdf);
    const double footer = footerMetrics.height() * 2;
    const QSizeF sheet(pdf.width(), pdf.height() - footer);
    doc.setPageSize(sheet);
    keepHeadingsWithTheirTables(doc);
    const int pages = doc.pageCount();
    QPainter painter(&pdf);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            pdf.newPage();
        painter.save();
        painter.translate(0, -i * sheet.height());
        doc.drawContents(&painter, QRectF(0, i * sheet.height(), sheet.width(), sheet.height()));
        painter.restore();
        painter.setFont(footerFont);
        painter.drawText(QRectF(0, sheet.height(), sheet.width(), footer), Qt::AlignRight | Qt::AlignBottom,
                         QString(pageFooter).arg(i + 1).arg(pages));
    }
}

} // namespace

extern "C" Q_DECL_EXPORT bool aerolisRenderPdf(const QString &html, const QString &title, const QString &creator,
                                               const QString &pageFooter, QIODevice *out, QString *error)
{
    if (!QGuiApplication::instance()) {
        if (error)
            *error = QStringLiteral("no Qt Gui application object");
        return false;
    }
    QPdfWriter pdf(out);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    pdf.setTitle(title);
    pdf.setCreator(creator);
    QTextDocument doc;
    doc.setHtml(html);
    printPaged(doc, pdf, pageFooter);
    return true;
}

extern "C" Q_DECL_EXPORT QCoreApplication *aerolisNewGuiApplication(int &argc, char **argv)
{
    return new QGuiApplication(argc, argv);
}

// Both signatures are the ones the loader expects.
static_assert(std::is_same_v<decltype(&aerolisRenderPdf), report::PdfRenderFunction>);
static_assert(std::is_same_v<decltype(&aerolisNewGuiApplication), report::GuiApplicationFunction>);
