// The PDF module: Qt's rich text engine lays the report's HTML out on A4
// pages and its PDF writer draws them. Loaded at run time (pdfmodule.h).
#include "pdfmodule.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

extern "C" Q_DECL_EXPORT bool aerolisRenderPdf(const QString &html, const QString &title, const QString &creator,
                                               QIODevice *out, QString *error)
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
    doc.print(&pdf);
    return true;
}

extern "C" Q_DECL_EXPORT QCoreApplication *aerolisNewGuiApplication(int &argc, char **argv)
{
    return new QGuiApplication(argc, argv);
}

// Both signatures are the ones the loader expects.
static_assert(std::is_same_v<decltype(&aerolisRenderPdf), report::PdfRenderFunction>);
static_assert(std::is_same_v<decltype(&aerolisNewGuiApplication), report::GuiApplicationFunction>);
