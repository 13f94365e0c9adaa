#include "startup.h"

#include "busactivation.h"
#include "connection.h"
#include "hoststate.h"

#include <platform/registrar.h>
#include <platform/registry.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>
#include <platform/version.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace host {

using platform::MsgIcon;
using platform::traceEntry;

namespace {

const QString kModulePlugIn = QStringLiteral("M_PlugIn");
const QString kModuleLcaPlugIn = QStringLiteral("M_LcaPlugIn");

void logError(const QString &module, const QString &procedure, const std::exception &e)
{
    int number = 0;
    QString description = QString::fromUtf8(e.what());
    if (auto le = dynamic_cast<const lns::LnsError *>(&e)) {
        number = le->number();
        description = le->description();
    }
    platform::TraceLog::instance().logError(module, procedure, number, description);
}

void fillCommandTable()
{
    HostState &s = state();
    s.commands = {};
    PlugInCommand &configure = s.commands[1];
    configure.enabled = true;
    configure.commandId = kCommandIdConfigure;
    configure.classId = kClassIdLonMarkObject;
    configure.registrationNumber = 4;
    configure.name = gLoadResString(1800);
    configure.description = gLoadResString(1801);
    PlugInCommand &control = s.commands[4];
    control.enabled = true;
    control.commandId = kCommandIdControl;
    control.classId = kClassIdLonMarkObject;
    control.registrationNumber = 4;
    control.name = gLoadResString(1803);
    control.description = gLoadResString(1804);
}

QString applicationFolder()
{
    return state().env.applicationFolder;
}

// An installed program's folder is no place for its log.
bool installedApart()
{
    const Environment &env = state().env;
    return !env.dataFolder.isEmpty() && QDir(env.dataFolder) != QDir(env.applicationFolder);
}

void showAbout()
{
    HostState &s = state();
    AboutInfo info;
    info.pictureId = 103;
    info.caption = gLoadResString(1850);
    info.productLine = platform::fillPlaceholders(gLoadResString(1851), {platform::fullVersionText()});
    if (s.conn.objectServer) {
        try {
            info.serverVersion = s.conn.objectServer->version();
        } catch (const lns::LnsError &e) {
            platform::traceCaughtError(QStringLiteral("About"), e.number(), e.description());
        }
    }
    info.legalLines << gLoadResString(1852) << gLoadResString(1858);
    if (s.env.showAbout)
        s.env.showAbout(info);
}

} // namespace

QString dataFolder()
{
    const Environment &env = state().env;
    return env.dataFolder.isEmpty() ? env.applicationFolder : env.dataFolder;
}

QString wholeCommandLine(const QStringList &arguments)
{
    return arguments.join(QLatin1Char(' '));
}

int exitStatus()
{
    return state().abortFlag ? 1 : 0;
}

void applyConfiguredLanguage()
{
    // AEROLIS_LANGUAGE chooses the language of one run ("en", "de" or the
    // offset 0 or 1000) without touching the language the family shares.
    const QString chosen = qEnvironmentVariable("AEROLIS_LANGUAGE").trimmed().toLower();
    if (chosen == QLatin1String("en") || chosen == QLatin1String("de")) {
        platform::setLanguageOffset(chosen == QLatin1String("de") ? 1000 : 0);
        return;
    }
    if (chosen == QLatin1String("0") || chosen == QLatin1String("1000")) {
        platform::setLanguageOffset(platform::leadingInt16(chosen));
        return;
    }
    const QString language =
        platform::Registry::read(kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"), QStringLiteral("0"));
    platform::setLanguageOffset(platform::leadingInt16(language));
}

void InitApp()
{
    HostState &s = state();
    s.abortFlag = false;
    s.ending = false;

    // The trace log sits beside the executable; where that folder is not
    // writable, or the program is installed with its data apart, it goes to
    // the user's data folder.
    QString fallback = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (fallback.isEmpty())
        fallback = QDir::homePath();
    const QString logName =
        QDir(installedApart() ? fallback : applicationFolder()).filePath(s.env.executableName + QStringLiteral(".LOG"));
    platform::TraceLog::instance().start(logName, fallback, platform::fullVersionText(),
                                         platform::languageOffset() + 1000, platform::kProductName);
    traceEntry(QStringLiteral("[M_LcaPlugIn] Public Sub InitApp()"));

    try {
        s.companyName = gLoadResString(1802);
        s.versionText = platform::versionText();
        s.productKey = QStringLiteral("SOFTWARE\\norda\\") + platform::kProductName;

        applyConfiguredLanguage();

        fillCommandTable();

        s.iniPath = QDir(dataFolder()).filePath(kIniFileName);
        if (!QFileInfo::exists(s.iniPath) || !s.ini.setFileName(s.iniPath)) {
            platform::messages().show(MsgIcon::Critical, platform::kProductName,
                                      gLoadResString(1526) + QStringLiteral("\n\n") + s.iniPath);
            s.abortFlag = true;
            EndApp();
            return;
        }

        s.helpFilePath = QDir(dataFolder())
                             .filePath(s.ini.value(QStringLiteral("norda AerolisController Help 1.0"),
                                                   QStringLiteral("HelpFilePath")));
        s.tooltipsFlag = true;

        // The object server "control": without one (no object server on this
        // machine) later connects fail with message 1508.
        s.conn.objectServer = s.env.server.newObjectServer ? s.env.server.newObjectServer() : nullptr;
        if (s.conn.objectServer) {
            try {
                (void)s.conn.objectServer->version();
            } catch (const lns::LnsError &e) {
                // Taken as no object server on this machine (message 1508 later).
                platform::traceCaughtError(QStringLiteral("InitApp"), e.number(), e.description());
                s.conn.objectServer.reset();
            }
        }
    } catch (const std::exception &e) {
        logError(kModuleLcaPlugIn, QStringLiteral("InitApp"), e);
    }
}

void Main(const QStringList &arguments)
{
    HostState &s = state();
    traceEntry(QStringLiteral("[M_PlugIn] Public Sub Main()"));
    // Started by the bus for a network tool: creating the host object runs
    // InitApp, and the command arrives through it.
    if (isAutomationStart(arguments))
        return;
    InitApp();
    if (s.abortFlag)
        return;

    CommandLine cl;
    const QStringList tokens = wholeCommandLine(arguments).split(QLatin1Char('/'));
    for (int i = 1; i < tokens.size(); ++i) {
        const QString &tok = tokens.at(i);
        if (tok.isEmpty())
            break;
        const QStringList kv = tok.split(QLatin1Char(':'));
        const QString key = kv.value(0).toUpper();
        const QString value = kv.value(1);
        if (key == QLatin1String("REG")) {
            const qint16 offset = platform::leadingInt16(value);
            platform::setLanguageOffset(offset);
            platform::Registry::write(s.productKey, QStringLiteral("Options"), QStringLiteral("Language"),
                                      QString::number(offset));
            EndApp();
            return;
        }
        if (key == QLatin1String("UNREG")) {
            s.unregisterFlag = true;
            Unregister();
            platform::Registry::deleteKey(s.productKey);
            EndApp();
            return;
        }
        if (key == QLatin1String("CLASSID")) {
            cl.classId = platform::leadingInt16(value);
        } else if (key == QLatin1String("COMMANDID")) {
            cl.commandId = platform::leadingInt32(value);
        } else if (key == QLatin1String("REMOTE")) {
            s.remoteFlag = true;
        } else if (key == QLatin1String("NI")) {
            s.networkInterfaceName = value;
        } else if (key == QLatin1String("OBJECTNAME")) {
            cl.objectName = value;
            cl.objectNameGiven = true;
        } else if (key == QLatin1String("S")) {
            s.commandIndex = kCmdStandAlone;
            statusWindow().showWindow();
            mainWindow().setupForCommand(s.commandIndex);
            mainWindow().display();
            return;
        } else if (key == QLatin1String("ZKVT3952")) {
            s.commandIndex = kCmdStandAlone;
            mainWindow().setupForCommand(s.commandIndex);
            mainWindow().display();
            return;
        }
    }

    if (!cl.objectNameGiven) {
        showAbout();
        if (s.env.startDetached)
            s.env.startDetached(QDir(applicationFolder()).filePath(s.env.executableName), {QStringLiteral("/regserver")});
        EndApp();
        return;
    }
    ValidateCommand(cl.commandId, cl.classId, cl.objectName);
}

void ValidateCommand(qint32 commandId, qint16 classId, const QString &objectName)
{
    HostState &s = state();
    traceEntry(QStringLiteral("[M_PlugIn] Public Sub ValidateCommand()"));
    try {
        int accessMode = 0;
        if (s.remoteFlag)
            accessMode = s.networkInterfaceName == QLatin1String("Internet") ? 2 : 1;

        if (commandId == kCommandIdRegisterInProject) {
            if (!s.programIdsToRegister.isEmpty()) {
                statusWindow().setText(gLoadResString(1513));
                UpdateLcaComponentApps(objectName, accessMode);
            } else {
                RegistrarDefaultAction();
            }
            EndApp();
            return;
        }

        for (int slot = 1; slot <= 4; ++slot) {
            const PlugInCommand &c = s.commands[slot];
            if (c.enabled && c.commandId == commandId && c.classId == classId) {
                if (s.hostSuppliedObjects) {
                    s.commandIndex = slot;
                    DeriveFromHandedOverObject();
                } else {
                    statusWindow().setText(gLoadResString(1504, 2));
                    s.commandIndex = slot;
                    FetchObjects(objectName, accessMode);
                }
                return;
            }
        }

        platform::messages().show(MsgIcon::Exclamation, platform::kProductName,
                                  QStringLiteral("The transmitted CommandId (") + QString::number(commandId)
                                      + QStringLiteral(") is not") + QStringLiteral("\n")
                                      + QStringLiteral("supported for  ClassId ") + QString::number(classId)
                                      + QStringLiteral(" !"));
        s.abortFlag = true;
        EndApp();
    } catch (const std::exception &e) {
        logError(kModulePlugIn, QStringLiteral("ValidateCommand"), e);
    }
}

void EndApp()
{
    HostState &s = state();
    // Closing the window runs EndApp, and EndApp unloads the window: the
    // second entry must not run the shut-down again.
    if (s.ending)
        return;
    s.ending = true;
    traceEntry(QStringLiteral("[M_LcaPlugIn] Public Sub EndApp()"));
    try {
        if (!s.unregisterFlag)
            Register();
        if (s.mainWindow)
            s.mainWindow->stopMonitoring();
        if (!s.hostSuppliedObjects) {
            lns::Connector connector;
            connector.closeAll(s.conn);
        }
        s.conn.clear();
        if (s.mainWindow && s.mainWindow->isLoaded())
            s.mainWindow->unload();
        if (s.statusWindow)
            s.statusWindow->hideWindow();
    } catch (const std::exception &e) {
        logError(kModuleLcaPlugIn, QStringLiteral("EndApp"), e);
    }
}

void Register()
{
    HostState &s = state();
    traceEntry(QStringLiteral("[M_PlugIn] Public Sub Register()"));
    try {
        platform::PlugInRegistrar r;
        r.setItem(QStringLiteral("ProgIdPrefix"), kProgIdPrefix);
        r.setItem(QStringLiteral("ClassName"), kClassName);
        r.setItem(QStringLiteral("Description"), gLoadResString(1801));
        r.setItem(QStringLiteral("LcaVersion"), kLcaVersion);
        r.setItem(QStringLiteral("ManufacturerName"), gLoadResString(1802));
        r.setItem(QStringLiteral("ProductName"), gLoadResString(1809));
        r.setItem(QStringLiteral("RegistrationNumber"), QString::number(s.commands[1].registrationNumber));
        r.setItem(QStringLiteral("Version"), s.versionText);
        if (!r.registerPlugIn())
            platform::TraceLog::instance().logError(kModulePlugIn, QStringLiteral("Register"), 0,
                                                    QStringLiteral("registry not writable: ") + platform::Registry::fileName());
    } catch (const std::exception &e) {
        logError(kModulePlugIn, QStringLiteral("Register"), e);
    }
}

void Unregister()
{
    traceEntry(QStringLiteral("[M_PlugIn] Public Sub Unregister()"));
    try {
        platform::PlugInRegistrar r;
        r.unregisterPlugIn(kProgIdPrefix);
    } catch (const std::exception &e) {
        logError(kModulePlugIn, QStringLiteral("Unregister"), e);
    }
}

bool HandleServerRegistration(const QStringList &arguments, const QString &executablePath)
{
    if (arguments.size() != 1)
        return false;
    const QString arg = arguments.first().trimmed();
    const QString progId = kProgIdPrefix + QLatin1Char('.') + kClassName;
    if (arg.compare(QLatin1String("/regserver"), Qt::CaseInsensitive) == 0) {
        platform::PlugInRegistrar::registerServer(progId, executablePath);
        // The bus starts the executable from this file when a network tool
        // creates the host object.
        QString why;
        if (!installActivationFile(executablePath, &why))
            platform::TraceLog::instance().write(
                QStringLiteral("regserver: activation file %1 not written: %2").arg(activationFilePath(), why));
        return true;
    }
    if (arg.compare(QLatin1String("/unregserver"), Qt::CaseInsensitive) == 0) {
        platform::PlugInRegistrar::unregisterServer(progId);
        if (!removeActivationFile())
            platform::TraceLog::instance().write(
                QStringLiteral("unregserver: activation file %1 not removed").arg(activationFilePath()));
        return true;
    }
    return false;
}

} // namespace host
