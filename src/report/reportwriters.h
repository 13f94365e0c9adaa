// The commissioning report as a file: HTML and PDF (one table per
// controller, drawn by Qt's rich text engine; the PDF starts every controller
// on a new page) and CSV (one row per parameter, RFC 4180 quoting). Headings
// come from the string table in the configured language.
#pragma once

#include "reportmodel.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace report {

enum class Format { Html, Pdf, Csv };

// By the file name's suffix (.html/.htm, .pdf, .csv; any case).
std::optional<Format> formatOf(const QString &fileName);

// `pageBreaks`: every controller after the first starts a new page.
QString toHtml(const Report &r, bool pageBreaks = false);
// Header row, then one row per parameter (a failed controller: one row with
// the failure as its value). UTF-8, CR LF line ends.
QByteArray toCsv(const Report &r);
// One CSV field, quoted when it holds a separator, a quote or a line break.
QString csvField(const QString &text);

// Writes the file completely or not at all (an existing file stays as it
// was when writing fails); false with a one-line reason.
bool writeReport(const Report &r, Format format, const QString &fileName, QString *error = nullptr);

} // namespace report
