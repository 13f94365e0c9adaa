#include "pdfmodule.h"

#include <platform/tracelog.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#ifndef AEROLIS_MODULES_FROM_BIN
#define AEROLIS_MODULES_FROM_BIN "../lib/aerolis"
#endif

namespace report {

namespace {

// The folder of the executable: QCoreApplication's when there is one, else
// the process's own (before the application object exists).
QString executableFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

QFunctionPointer resolve(const char *symbol, QString *error)
{
    static QLibrary library;
    static QString loadError;
    if (!library.isLoaded() && loadError.isEmpty()) {
        const QDir bin(executableFolder());
        const QStringList candidates{bin.filePath(kPdfModuleName),
                                     QDir::cleanPath(bin.filePath(QStringLiteral(AEROLIS_MODULES_FROM_BIN)))
                                         + QLatin1Char('/') + kPdfModuleName};
        for (const QString &file : candidates) {
            library.setFileName(file);
            if (library.load())
                break;
        }
        if (!library.isLoaded()) {
            loadError = library.errorString();
            platform::traceEntry(QStringLiteral("PDF module not loaded: ") + loadError);
        }
    }
    const QFunctionPointer f = library.isLoaded() ? library.resolve(symbol) : nullptr;
    if (!f && error)
        *error = library.isLoaded() ? library.errorString() : loadError;
    return f;
}

} // namespace

PdfRenderFunction pdfRenderer(QString *error)
{
    return reinterpret_cast<PdfRenderFunction>(resolve("aerolisRenderPdf", error));
}

GuiApplicationFunction guiApplicationFactory(QString *error)
{
    return reinterpret_cast<GuiApplicationFunction>(resolve("aerolisNewGuiApplication", error));
}

} // namespace report
