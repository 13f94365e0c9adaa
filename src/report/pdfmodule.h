// The PDF renderer lives in a module of its own that links Qt Gui, loaded
// only when a PDF is written: the programs that never render (the headless
// tool for everything but a PDF report) start without Qt Gui and the many
// libraries it brings.
#pragma once

#include <QString>

class QCoreApplication;
class QIODevice;

namespace report {

// The module's file name without suffix (QLibrary adds the platform's).
inline const QString kPdfModuleName = QStringLiteral("aerolis-pdf");

// Lays `html` out on A4 sheets with 15 mm margins into `out`, each sheet
// numbered by `pageFooter` ("Page %1 of %2"), a level-3 heading never left
// alone at a sheet's end; false with a one-line reason.
using PdfRenderFunction = bool (*)(const QString &html, const QString &title, const QString &creator,
                                   const QString &pageFooter, QIODevice *out, QString *error);
// A Qt Gui application object for a program that renders.
using GuiApplicationFunction = QCoreApplication *(*)(int &argc, char **argv);

// The module's renderer, loaded on first use from beside the executable or
// from the installed module folder; nullptr with the loader's reason.
PdfRenderFunction pdfRenderer(QString *error = nullptr);
// The module's application factory (loaded as above); nullptr with reason.
GuiApplicationFunction guiApplicationFactory(QString *error = nullptr);

} // namespace report
