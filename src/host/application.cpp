#include "application.h"

#include "startup.h"

#include <platform/tracelog.h>
#include <platform/version.h>

#include <cfenv>
#include <cmath>
#include <limits>

namespace host {

namespace {

const QString kModule = QStringLiteral("Application");

[[noreturn]] void raiseReadOnly()
{
    throw AutomationError(kErrReadOnly, kProgIdPrefix + QLatin1Char('.') + kClassName, kReadOnlyDescription);
}

bool aborted()
{
    return state().abortFlag;
}

void logError(const QString &procedure, const std::exception &e)
{
    int number = 0;
    QString description = QString::fromUtf8(e.what());
    if (auto le = dynamic_cast<const lns::LnsError *>(&e)) {
        number = le->number();
        description = le->description();
    }
    platform::TraceLog::instance().logError(kModule, procedure, number, description);
}

// Reads one window size, 0 while aborted or when the window fails.
template <class Read>
qint32 windowValue(const QString &procedure, Read read)
{
    if (aborted())
        return 0;
    try {
        return Application::roundHalfEven(read(mainWindow()));
    } catch (const std::exception &e) {
        logError(procedure, e);
        return 0;
    }
}

template <class Write>
void setWindowValue(const QString &procedure, Write write)
{
    if (aborted())
        return;
    try {
        write(mainWindow());
    } catch (const std::exception &e) {
        logError(procedure, e);
    }
}

} // namespace

Application::Application()
{
    InitApp();
}

qint32 Application::roundHalfEven(double value)
{
    if (std::isnan(value))
        return 0;
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    std::fesetround(previous);
    if (r >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (r <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return qint32(r);
}

qint32 Application::Height() const
{
    return windowValue(QStringLiteral("Height"), [](MainWindowPort &w) { return w.formHeight(); });
}

void Application::setHeight(qint32 twips)
{
    setWindowValue(QStringLiteral("Height"), [twips](MainWindowPort &w) { w.setFormHeight(twips); });
}

QString Application::LcaVersion() const
{
    return kLcaVersion;
}

void Application::setLcaVersion(const QString &)
{
    raiseReadOnly();
}

qint32 Application::Left() const
{
    return windowValue(QStringLiteral("Left"), [](MainWindowPort &w) { return w.formLeft(); });
}

void Application::setLeft(qint32 twips)
{
    setWindowValue(QStringLiteral("Left"), [twips](MainWindowPort &w) { w.setFormLeft(twips); });
}

QString Application::ManufacturerId() const
{
    return kManufacturerId;
}

void Application::setManufacturerId(const QString &)
{
    raiseReadOnly();
}

QString Application::ManufacturerName() const
{
    // Loaded once by InitApp.
    return state().companyName;
}

void Application::setManufacturerName(const QString &)
{
    raiseReadOnly();
}

bool Application::Minimized() const
{
    if (aborted())
        return false;
    try {
        return mainWindow().formWindowState() == kWindowMinimized;
    } catch (const std::exception &e) {
        logError(QStringLiteral("Minimized"), e);
        return false;
    }
}

void Application::setMinimized(bool minimized)
{
    if (aborted())
        return;
    try {
        MainWindowPort &w = mainWindow();
        if (minimized) {
            const int current = w.formWindowState();
            if (current != kWindowMinimized)
                m_savedWindowState = qint16(current);
            w.setFormWindowState(kWindowMinimized);
        } else {
            w.setFormWindowState(m_savedWindowState);
        }
    } catch (const std::exception &e) {
        logError(QStringLiteral("Minimized"), e);
    }
}

QString Application::Name() const
{
    return platform::kProductName;
}

void Application::setName(const QString &)
{
    raiseReadOnly();
}

QString Application::NetworkInterfaceName() const
{
    return state().networkInterfaceName;
}

void Application::setNetworkInterfaceName(const QString &name)
{
    if (aborted())
        return;
    state().networkInterfaceName = name;
}

bool Application::Remote() const
{
    return state().remoteFlag;
}

void Application::setRemote(bool remote)
{
    if (aborted())
        return;
    state().remoteFlag = remote;
}

QString Application::NetworkName() const
{
    return QString();
}

void Application::setNetworkName(const QString &)
{
}

qint32 Application::Top() const
{
    return windowValue(QStringLiteral("Top"), [](MainWindowPort &w) { return w.formTop(); });
}

void Application::setTop(qint32 twips)
{
    setWindowValue(QStringLiteral("Top"), [twips](MainWindowPort &w) { w.setFormTop(twips); });
}

QString Application::Version() const
{
    return state().versionText;
}

void Application::setVersion(const QString &)
{
    raiseReadOnly();
}

bool Application::Visible() const
{
    if (aborted())
        return false;
    try {
        return mainWindow().formVisible();
    } catch (const std::exception &e) {
        logError(QStringLiteral("Visible"), e);
        return false;
    }
}

void Application::setVisible(bool visible)
{
    setWindowValue(QStringLiteral("Visible"), [visible](MainWindowPort &w) { w.setFormVisible(visible); });
}

qint32 Application::Width() const
{
    return windowValue(QStringLiteral("Width"), [](MainWindowPort &w) { return w.formWidth(); });
}

void Application::setWidth(qint32 twips)
{
    setWindowValue(QStringLiteral("Width"), [twips](MainWindowPort &w) { w.setFormWidth(twips); });
}

void Application::SendCommand(qint32 &commandId, qint16 &classId, QString &objectName)
{
    platform::traceEntry(QStringLiteral("[Application] Public Sub SendCommand()"));
    if (aborted())
        return;
    ValidateCommand(commandId, classId, objectName);
}

lns::ObjectPtr Application::LnsObjectByTool() const
{
    return state().conn.object;
}

void Application::setLnsObjectByTool(const lns::ObjectPtr &object)
{
    platform::traceEntry(QStringLiteral("[Application] Public Property Set LnsObjectByTool()"));
    if (aborted())
        return;
    HostState &s = state();
    // Errors are ignored: an object that cannot tell its class is not taken,
    // and the plug-in then connects by itself.
    try {
        if (!object)
            throw lns::LnsError(lns::ErrBadValue, QStringLiteral("no object handed over"));
        const int classId = object->classId();
        if (classId != lns::ClsLonMarkObject) {
            platform::TraceLog::instance().write(
                QStringLiteral("LnsObjectByTool: object of ClassId %1 ignored").arg(classId));
            return;
        }
        auto lonMarkObject = std::dynamic_pointer_cast<lns::LonMarkObject>(object);
        if (!lonMarkObject)
            throw lns::LnsError(lns::ErrBadValue, QStringLiteral("object of ClassId 28 is not a LonMark object"));
        s.conn.object = lonMarkObject;
        s.hostSuppliedObjects = true;
    } catch (const std::exception &e) {
        platform::TraceLog::instance().write(QStringLiteral("LnsObjectByTool: object ignored: ") + QString::fromUtf8(e.what()));
    }
}

void Application::setProgramIdsToRegister(const QString &programIds)
{
    if (aborted())
        return;
    state().programIdsToRegister = programIds;
}

void Application::setRegResult(const std::shared_ptr<HostResultObject> &resultObject)
{
    if (aborted())
        return;
    state().regResult = resultObject;
}

void Application::setLnsServer(const lns::ObjectPtr &server)
{
    platform::traceEntry(QStringLiteral("[Application] Public Property Set LnsServer()"));
    if (aborted())
        return;
    HostState &s = state();
    // As with the LonMark object, errors are ignored; an object server is
    // taken by the connection and the monitoring, and whenever the object
    // could be looked at without an error the objects count as handed over.
    try {
        if (!server)
            throw lns::LnsError(lns::ErrBadValue, QStringLiteral("no object handed over"));
        if (server->classId() == lns::ClsObjectServer) {
            auto objectServer = std::dynamic_pointer_cast<lns::ObjectServer>(server);
            if (!objectServer)
                throw lns::LnsError(lns::ErrBadValue, QStringLiteral("object of ClassId 0 is not an object server"));
            s.monitorObjectServer = objectServer;
            s.conn.objectServer = objectServer;
        }
        s.hostSuppliedObjects = true;
    } catch (const std::exception &e) {
        platform::TraceLog::instance().write(QStringLiteral("LnsServer: object ignored: ") + QString::fromUtf8(e.what()));
    }
}

void Application::ClosePlugIn()
{
    platform::traceEntry(QStringLiteral("[Application] Public Sub ClosePlugIn()"));
}

} // namespace host
