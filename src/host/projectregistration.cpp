#include "projectregistration.h"

#include "connection.h"
#include "startup.h"

#include <lns/connector.h>
#include <platform/objectname.h>
#include <platform/resstrings.h>
#include <platform/tracelog.h>
#include <platform/version.h>

namespace host {

bool programIdListed(const QString &programIds, const QString &programId)
{
    if (programIds.isEmpty())
        return true;
    return !programId.isEmpty() && programIds.contains(programId, Qt::CaseInsensitive);
}

QVector<ProjectCommand> projectCommands(const QString &programIds)
{
    const HostState &s = state();
    QVector<ProjectCommand> result;
    for (const platform::TemplateEntry &entry : s.ini.templates()) {
        if (!programIdListed(programIds, entry.programId))
            continue;
        for (int slot = 1; slot <= 4; ++slot) {
            const PlugInCommand &c = s.commands[slot];
            if (!c.enabled)
                continue;
            ProjectCommand p;
            p.templateName = entry.name;
            p.programId = entry.programId;
            p.registrationNumber = c.registrationNumber;
            p.name = c.name;
            p.commandId = c.commandId;
            p.classId = c.classId;
            p.description = c.description;
            p.manufacturerId = kManufacturerId;
            p.progIdPrefix = kProgIdPrefix;
            p.className = kClassName;
            p.version = s.versionText;
            result << p;
        }
    }
    return result;
}

QString projectNetworkName(const QString &objectName)
{
    const platform::ObjectName parts = platform::analyseObjectName(objectName);
    if (parts.valid)
        return parts.networkName;
    return objectName.trimmed().section(QLatin1Char('.'), 0, 0);
}

void UpdateLcaComponentApps(const QString &objectName, int accessMode)
{
    HostState &s = state();
    platform::traceEntry(QStringLiteral("[M_PlugIn] Public Sub UpdateLcaComponentApps()"));
    platform::TraceLog &log = platform::TraceLog::instance();
    bool ok = true;
    int registered = 0;
    try {
        statusWindow().setText(gLoadResString(1513));
        // A tool that waits for the result shows its own progress.
        if (!s.regResult)
            statusWindow().showWindow();

        const QString networkName = projectNetworkName(objectName);
        lns::Connector connector;
        if (!connector.openObjectServer(s.conn, accessMode, s.networkInterfaceName)) {
            log.write(QStringLiteral("UpdateLcaComponentApps: object server not opened: ") + connector.lastError());
            ok = false;
        } else if (networkName.isEmpty() || !connector.openNetwork(s.conn, networkName, s.remoteFlag)) {
            log.write(QStringLiteral("UpdateLcaComponentApps: network \"%1\" not opened: %2")
                          .arg(networkName, connector.lastError()));
            ok = false;
        } else {
            // Every call is made; one failure makes the whole result a failure.
            for (const ProjectCommand &p : projectCommands(s.programIdsToRegister)) {
                QString why;
                bool done = false;
                if (!s.env.server.registerProjectCommand) {
                    why = QStringLiteral("this object server has no project registration");
                } else {
                    try {
                        done = s.env.server.registerProjectCommand(s.conn.network, p, &why);
                    } catch (const std::exception &e) {
                        why = QString::fromUtf8(e.what());
                    }
                }
                if (done) {
                    ++registered;
                } else {
                    ok = false;
                    log.write(QStringLiteral("UpdateLcaComponentApps: %1 for template %2 not registered: %3")
                                  .arg(p.name, p.templateName, why));
                }
            }
        }
    } catch (const std::exception &e) {
        ok = false;
        log.logError(QStringLiteral("M_PlugIn"), QStringLiteral("UpdateLcaComponentApps"), 0, QString::fromUtf8(e.what()));
    }
    log.write(QStringLiteral("UpdateLcaComponentApps: %1 registration(s), %2")
                  .arg(registered)
                  .arg(ok ? QStringLiteral("success") : QStringLiteral("failure")));

    if (s.regResult) {
        try {
            s.regResult->setRegResult(!ok);
        } catch (const std::exception &e) {
            log.logError(QStringLiteral("M_PlugIn"), QStringLiteral("UpdateLcaComponentApps"), 0,
                         QStringLiteral("result object not reached: ") + QString::fromUtf8(e.what()));
        }
    } else if (!ok) {
        platform::messages().show(platform::MsgIcon::Critical, platform::kProductName, gLoadResString(1435, 2));
    }
}

} // namespace host
