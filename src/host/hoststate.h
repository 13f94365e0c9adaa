// Process-wide start-up state of the plug-in: flags, command table, language,
// connection references and the ports through which start-up reaches the
// window and the platform. Lower layers never reach up into it; they get what
// they need as arguments.
#pragma once

#include <lns/connector.h>
#include <lns/serverenvironment.h>
#include <lns/templatelookup.h>
#include <platform/datafolder.h>
#include <platform/inifile.h>
#include <platform/messages.h>

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

namespace host {

constexpr int kCmdConfiguration = 1;
constexpr int kCmdControl = 4;
constexpr int kCmdStandAlone = 100;

constexpr int kCommandIdConfigure = 13;
constexpr int kCommandIdControl = 22;
constexpr int kCommandIdRegisterInProject = 50;
constexpr int kClassIdLonMarkObject = 28;

inline const QString kIniFileName = platform::kTemplateFileName;
inline const QString kProgIdPrefix = QStringLiteral("nordaQRT");
inline const QString kClassName = QStringLiteral("Application");
inline const QString kLcaVersion = QStringLiteral("2.00");
inline const QString kManufacturerId = QStringLiteral("0009D");
inline const QString kFamilyKey = QStringLiteral("SOFTWARE\\norda\\vlink Register");

struct PlugInCommand
{
    bool enabled = false;
    qint32 commandId = 0;
    qint16 classId = 0;
    qint16 registrationNumber = 0;
    QString name;
    QString description;
};

// What the About window shows.
struct AboutInfo
{
    int pictureId = 103;
    QString caption;
    QString productLine;
    QString serverVersion;
    QStringList legalLines;
};

// Window states as the host object reports them.
constexpr int kWindowNormal = 0;
constexpr int kWindowMinimized = 1;
constexpr int kWindowMaximized = 2;

// The main window seen from start-up. The window implements it; start-up
// creates it through Environment::mainWindowFactory when it is first needed.
class MainWindowPort
{
public:
    virtual ~MainWindowPort() = default;
    // Menu bar and tab strips for the command index (before Display).
    virtual void setupForCommand(int commandIndex) = 0;
    virtual void display() = 0;
    virtual bool isLoaded() const = 0;
    virtual void unload() = 0;
    // Stops monitoring if the window runs a monitoring object.
    virtual void stopMonitoring() {}

    // What the host object (Application) positions and shows. Sizes and
    // positions are twips of the window's outer frame, read as floating-point
    // values (the host object rounds them); the window state is one of
    // kWindowNormal, kWindowMinimized, kWindowMaximized. A window that has no
    // geometry of its own (headless) keeps the defaults.
    virtual double formHeight() const { return 0; }
    virtual void setFormHeight(int twips) {}
    virtual double formLeft() const { return 0; }
    virtual void setFormLeft(int twips) {}
    virtual double formTop() const { return 0; }
    virtual void setFormTop(int twips) {}
    virtual double formWidth() const { return 0; }
    virtual void setFormWidth(int twips) {}
    virtual int formWindowState() const { return kWindowNormal; }
    virtual void setFormWindowState(int state) {}
    virtual bool formVisible() const { return false; }
    // Shows the window (not modal) or hides it.
    virtual void setFormVisible(bool visible) {}
};

// The result object a network tool may hand over before a project
// registration: the plug-in sets its "RegResult" to False on success and to
// True on failure. Throws std::exception when the tool cannot be reached.
class HostResultObject
{
public:
    virtual ~HostResultObject() = default;
    virtual void setRegResult(bool value) = 0;
};

// One command registration in a network project (lns/serverenvironment.h).
using ProjectCommand = lns::ProjectCommand;

// Everything start-up needs from outside the host library.
struct Environment
{
    // The object server main() wires in: its "control" for the main window
    // (server.newObjectServer), handles, channel prices and project
    // registrations.
    lns::ServerEnvironment server;
    std::function<std::shared_ptr<platform::StatusWindow>()> statusWindowFactory;
    std::function<std::shared_ptr<MainWindowPort>()> mainWindowFactory;
    std::function<void(const AboutInfo &)> showAbout;
    // Starts a program detached (used to re-register the executable).
    std::function<void(const QString &program, const QStringList &arguments)> startDetached;
    QString applicationFolder; // without trailing separator
    // The folder of the device template, application images and help pages
    // (platform/datafolder.h); empty: the application folder.
    QString dataFolder;
    QString executableName;    // without folder, e.g. "AerolisCtrl"
};

struct HostState
{
    Environment env;

    bool abortFlag = false;
    bool unregisterFlag = false;
    bool remoteFlag = false;
    bool hostSuppliedObjects = false;
    bool ending = false;
    QString networkInterfaceName;
    qint32 commandIndex = 0;
    QString productKey;
    QString companyName;
    QString versionText;
    QString iniPath;
    QString helpFilePath;
    bool tooltipsFlag = false;
    QString programIdsToRegister;
    // The network tool's result object for project registration (RegResult).
    std::shared_ptr<HostResultObject> regResult;
    // The object server a network tool handed over (LnsServer); the monitor
    // point collection takes its updates from it.
    lns::ObjectServerPtr monitorObjectServer;
    std::array<PlugInCommand, 5> commands{}; // slots 1..4, index 0 unused

    platform::IniFile ini;
    lns::Connection conn;
    std::shared_ptr<platform::StatusWindow> statusWindow;
    std::shared_ptr<MainWindowPort> mainWindow;

    // Device accessibility check cache.
    bool deviceReachable = true;
    bool accessCacheValid = false;
    bool accessCacheResult = false;
    QElapsedTimer accessCacheAge;
    // The device the cached answer is about ("name#index"): an answer about
    // one device is never given for another.
    QString accessCacheDevice;
    int deviceTests = 0; // device tests actually run (diagnostics)

    // The object name analyser's parts of the current start.
    QString deviceName;
    QString objectName;

    // Title of the connection's messages: device name " / " object name.
    QString connectionTitle() const { return deviceName + QStringLiteral(" / ") + objectName; }
    lns::TemplateContext templateContext() const;
};

HostState &state();
// Drops all state (tests start each case from a clean process state).
void resetState();

// The status window, created on first use.
platform::StatusWindow &statusWindow();
// The main window, created on first use.
MainWindowPort &mainWindow();

} // namespace host
