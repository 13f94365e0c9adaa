#include "connection.h"

#include "hoststate.h"
#include "startup.h"

#include <lns/connector.h>
#include <lns/objectlookup.h>
#include <platform/objectname.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>
#include <platform/version.h>

namespace host {

using platform::MsgIcon;

namespace {

void abortAndEnd()
{
    state().abortFlag = true;
    EndApp();
}

// The user sees the product's message; the trace log and the error logger
// get what exactly was not there. The object server is asked again by name,
// level by level: a missing network, subsystem, device or object is named
// with the closest existing names. When everything named exists, the
// connector's own reason stands (a template mismatch, a network that refuses
// to open, a network database that cannot be read).
void traceFailure(int step, const lns::Connector &connector, const QString &objectName, bool nameUnderstood)
{
    int number = connector.lastErrorNumber();
    QString reason = connector.lastError();
    const lns::ObjectLookup lookup = lns::lookUpObject(state().conn.objectServer, objectName);
    if (!nameUnderstood) {
        number = lns::ErrIndexOutOfRange;
        reason = QStringLiteral("object name not understood: ") + objectName;
        if (lookup.found())
            reason += QStringLiteral("; the device name alone names ") + lookup.name.toString();
    } else if (lookup.serverError()) {
        number = lookup.errorNumber;
        reason = lookup.errorText;
    } else if (!lookup.found()) {
        number = lns::ErrIndexOutOfRange;
        reason = lookup.reason();
    }
    platform::TraceLog::instance().write(QStringLiteral("FetchObjects %1: %2").arg(step).arg(reason));
    platform::TraceLog::instance().logError(QStringLiteral("M_LcaPlugIn"), QStringLiteral("FetchObjects"), number, reason);
}

} // namespace

void FetchObjects(const QString &objectName, int accessMode)
{
    HostState &s = state();
    platform::traceEntry(QStringLiteral("[M_LcaPlugIn] Public Sub FetchObjects()"));
    int step = 1;
    try {
        lns::Connector connector;
        statusWindow().showWindow();

        step = 2;
        const platform::ObjectName parts = platform::analyseObjectName(objectName);
        s.deviceName = parts.deviceName;
        s.objectName = parts.objectName;

        step = 3;
        if (!connector.openObjectServer(s.conn, accessMode, s.networkInterfaceName)) {
            platform::TraceLog::instance().write(QStringLiteral("FetchObjects 3: ") + connector.lastError());
            platform::messages().show(MsgIcon::Exclamation, s.connectionTitle(),
                                      platform::fillPlaceholders(gLoadResString(1508), {platform::kProductName}));
            abortAndEnd();
            return;
        }

        step = 4;
        if (!parts.valid || !connector.openNetwork(s.conn, parts.networkName, s.remoteFlag)) {
            traceFailure(step, connector, objectName, parts.valid);
            platform::messages().show(MsgIcon::Critical, s.connectionTitle(), gLoadResString(1436));
            statusWindow().hideWindow();
            abortAndEnd();
            return;
        }

        step = 5;
        const bool subsystemFound = connector.openSubsystem(s.conn, parts.subsystemPath);

        step = 6;
        if (!subsystemFound || !connector.findDeviceAndObject(s.conn, s.ini, parts.deviceName, parts.objectName)) {
            traceFailure(step, connector, objectName, true);
            statusWindow().setText(gLoadResString(1507));
            connector.closeAll(s.conn);
            platform::messages().show(MsgIcon::Critical, s.connectionTitle(), gLoadResString(1437));
            statusWindow().hideWindow();
            abortAndEnd();
            return;
        }

        step = 7;
        s.conn.deviceTemplate = s.conn.device->deviceTemplate();
        statusWindow().setText(gLoadResString(1501, 3));

        step = 8;
        if (s.commandIndex == kCmdConfiguration || DeviceAccessible(s.conn.device, true)) {
            mainWindow().setupForCommand(s.commandIndex);
            mainWindow().display();
        } else {
            platform::messages().show(MsgIcon::Exclamation, s.connectionTitle(), gLoadResString(1491));
            abortAndEnd();
        }
    } catch (const std::exception &e) {
        int number = 0;
        QString description = QString::fromUtf8(e.what());
        if (auto le = dynamic_cast<const lns::LnsError *>(&e)) {
            number = le->number();
            description = le->description();
        }
        platform::TraceLog::instance().write(QStringLiteral("FetchObjects %1: %2 %3").arg(step).arg(number).arg(description));
        platform::TraceLog::instance().logError(QStringLiteral("M_LcaPlugIn"), QStringLiteral("FetchObjects"), number,
                                                description);
    }
}

void DeriveFromHandedOverObject()
{
    HostState &s = state();
    platform::traceEntry(QStringLiteral("[M_LcaPlugIn] Public Sub DeriveFromHandedOverObject()"));
    try {
        lns::LonMarkObjectPtr object = s.conn.object;
        if (!object)
            throw lns::LnsError(lns::ErrNotOpen, QStringLiteral("no LonMark object handed over"));
        s.objectName = object->name();
        auto device = std::dynamic_pointer_cast<lns::AppDevice>(lns::findAncestor(object, lns::ClsAppDevice));
        if (device) {
            s.conn.device = device;
            s.deviceName = device->name();
            s.conn.lonMarkObjects = device->lonMarkObjects();
            s.conn.deviceTemplate = device->deviceTemplate();
            s.conn.network = std::dynamic_pointer_cast<lns::Network>(lns::findAncestor(device, lns::ClsNetwork));
            s.conn.subsystem = std::dynamic_pointer_cast<lns::Subsystem>(lns::findAncestor(device, lns::ClsSubsystem));
            if (s.conn.subsystem)
                s.conn.appDevices = s.conn.subsystem->appDevices();
            if (s.conn.network) {
                s.conn.system = s.conn.network->system();
                s.conn.systemSubsystems = s.conn.system->subsystems();
                // The object's own object server (it raises the updates the
                // monitoring waits for), unless the tool handed one over.
                auto server = std::dynamic_pointer_cast<lns::ObjectServer>(
                    lns::findAncestor(s.conn.network, lns::ClsObjectServer));
                if (server && !s.monitorObjectServer)
                    s.conn.objectServer = server;
            }
        }
        mainWindow().setupForCommand(s.commandIndex);
        mainWindow().display();
    } catch (const std::exception &e) {
        platform::TraceLog::instance().logError(QStringLiteral("M_LcaPlugIn"), QStringLiteral("DeriveFromHandedOverObject"),
                                                0, QString::fromUtf8(e.what()));
    }
}

bool DeviceAccessible(const lns::AppDevicePtr &device, bool force)
{
    HostState &s = state();
    const lns::AppDevicePtr target = device ? device : s.conn.device;
    QString key;
    try {
        if (target)
            key = target->name() + QLatin1Char('#') + QString::number(target->index());
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(QStringLiteral("DeviceAccessible"), e.number(), e.description());
    }
    if (!force && s.accessCacheValid && s.accessCacheDevice == key && s.accessCacheAge.isValid()
        && s.accessCacheAge.elapsed() < 10000)
        return s.accessCacheResult;
    s.accessCacheAge.start();
    bool ok = false;
    try {
        if (target) {
            ++s.deviceTests;
            target->test(4);
            ok = true;
        }
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(QStringLiteral("DeviceAccessible"), e.number(), e.description());
        ok = false;
    }
    if (!ok && (!device || device == s.conn.device))
        s.deviceReachable = false;
    s.accessCacheValid = true;
    s.accessCacheResult = ok;
    s.accessCacheDevice = key;
    return ok;
}

void RegistrarDefaultAction()
{
    Register();
}

} // namespace host
