#include "reportmenu.h"

#include "configurationbinding.h"
#include "frmmain.h"
#include "tabrecords.h"

#include <configuration/configuration.h>
#include <host/hoststate.h>
#include <params/paramcollection.h>
#include <platform/filedialogs.h>
#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>
#include <report/parameterrows.h>
#include <report/reportwriters.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ui {

namespace {

QString connectionObjectName()
{
    const host::HostState &s = host::state();
    QStringList parts;
    try {
        if (s.conn.network)
            parts << s.conn.network->name();
        if (s.conn.subsystem)
            parts << s.conn.subsystem->path();
        if (s.conn.device)
            parts << s.conn.device->name();
        if (s.conn.object)
            parts << s.conn.object->name();
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(QStringLiteral("ReportObjectName"), e.number(), e.description());
    }
    return parts.isEmpty() ? s.connectionTitle() : parts.join(QLatin1Char('.'));
}

// The file the user chose with the format its filter or suffix names; a
// name without a known suffix gets the one of the chosen filter.
QString withSuffix(const QString &file)
{
    if (report::formatOf(file))
        return file;
    return file + QStringLiteral(".html");
}

} // namespace

QString pageTitle(frmMain &window, int page)
{
    const QString key = QStringLiteral("KEY:") + QString::number(page);
    for (int strip = 0; strip < 2; ++strip) {
        cTabStrip *record = window.tabStripRecord(strip);
        if (!record || !record->Tabs())
            continue;
        if (const cTab *tab = record->Tabs()->ItemByKey(key))
            return QString(tab->Caption()).remove(QLatin1Char('&'));
    }
    return key;
}

report::ControllerReport controllerReport(frmMain &window, const QString &objectName)
{
    report::ControllerReport c;
    c.object = objectName.isEmpty() ? connectionObjectName() : objectName;
    const host::HostState &s = host::state();
    try {
        if (const lns::AppDevicePtr device = s.conn.device) {
            c.device = device->name();
            c.programId = device->programId();
            c.commissioned = device->commissioned();
            if (const auto t = device->deviceTemplate())
                c.deviceTemplate = t->name();
            if (const auto sub = std::dynamic_pointer_cast<lns::Subsystem>(device->parent()))
                c.subsystem = sub->path();
            else if (s.conn.subsystem)
                c.subsystem = s.conn.subsystem->path();
            c.identityKnown = true;
        }
    } catch (const lns::LnsError &e) {
        platform::TraceLog::instance().logError(QStringLiteral("frmMain"), QStringLiteral("controllerReport"), e.number(),
                                                e.description());
    }
    configuration::cConfiguration *config = configurationOf(window);
    // The application as the controller type list shows it, with its number.
    const model::ControlState *type = window.modelControl(QStringLiteral("ComboBox"), 0);
    const QString typeText = type ? type->currentText() : QString();
    const int app = config ? config->appNumber() : -1;
    c.application = app < 0 ? typeText
                            : platform::fillPlaceholders(gLoadResString(1753), {typeText, QString::number(app)});
    if (!config) {
        c.failed = true;
        c.failure = gLoadResString(1755);
        return c;
    }
    report::PageLookup pages;
    pages.titleOf = [&window](int page) { return pageTitle(window, page); };
    // The pages the controller kind shows are the tabs the window shows.
    pages.pageShown = [config](int page) { return config->window()->tabVisible(page); };
    c.parameters = report::parameterRows(config->Parameters(), pages);
    return c;
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
