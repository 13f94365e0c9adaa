#include "reportmenu.h"

#include "configurationbinding.h"
#include "frmmain.h"

#include <configuration/configuration.h>
#include <headless/controllerreport.h>
#include <host/hoststate.h>
#include <platform/filedialogs.h>
#include <platform/messages.h>
#include <platform/objectname.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>
#include <report/reportwriters.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ui {

namespace {

// The file the user chose with the format its filter or suffix names; a
// name without a known suffix gets the one of the chosen filter.
QString withSuffix(const QString &file)
{
    if (report::formatOf(file))
        return file;
    return file + QStringLiteral(".html");
}

} // namespace

report::ControllerReport controllerReport(frmMain &window, const QString &objectName)
{
    return headless::controllerReport(*window.pageModel(), configurationOf(window), objectName);
}

void ReportParameters(frmMain &window)
{
    platform::traceEntry(QStringLiteral("[frmMain] Private Sub ReportParameters()"));
    platform::FileDialogRequest r;
    r.kind = platform::FileDialogKind::Save;
    r.title = gLoadResString(1741);
    r.filter = gLoadResString(1742);
    const QString folder = host::state().env.applicationFolder;
    r.initialFolder = folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
    r.flags = platform::kSaveFileFlags;
    const platform::FileDialogAnswer a = platform::fileDialogs().show(r);
    if (a.cancelled || a.fileName.isEmpty())
        return;
    const QString file = withSuffix(a.fileName);

    report::Report rep = report::newReport();
    rep.controllers << controllerReport(window);
    if (rep.site.isEmpty())
        rep.site = platform::analyseObjectName(rep.controllers.first().object).networkName;
    QString error;
    if (!report::writeReport(rep, *report::formatOf(file), file, &error)) {
        platform::messages().show(platform::MsgIcon::Critical, window.caption(), error);
        window.LogLine(error, frmMain::kRed, false, true);
        return;
    }
    window.LogLine(platform::fillPlaceholders(gLoadResString(1749, 2), {QDir::toNativeSeparators(file)}),
                   frmMain::kGreen, false, true);
    window.setStatusText(gLoadResString(1517));
}

void bindReportMenu(frmMain &window)
{
    window.commandHooks().report = [](frmMain &w) { ReportParameters(w); };
}

} // namespace ui
