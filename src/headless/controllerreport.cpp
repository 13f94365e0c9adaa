#include "controllerreport.h"

#include <configuration/configuration.h>
#include <configuration/configwindow.h>
#include <host/hoststate.h>
#include <model/pagemodel.h>
#include <model/pagetable.h>
#include <params/paramcollection.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>
#include <report/parameterrows.h>

namespace headless {

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

} // namespace

report::ControllerReport controllerReport(const model::PageModel &page, configuration::cConfiguration *config,
                                          const QString &objectName)
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
    // The application as the controller type list shows it, with its number.
    const model::ControlState *type = page.control(QStringLiteral("ComboBox"), 0);
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
    pages.titleOf = [](int p) { return model::pageTitle(p); };
    // The pages the controller kind shows are the tabs the window shows.
    if (configuration::ConfigWindow *window = config->window())
        pages.pageShown = [window](int p) { return window->tabVisible(p); };
    c.parameters = report::parameterRows(config->Parameters(), pages);
    return c;
}

} // namespace headless
