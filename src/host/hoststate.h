// Process-wide start-up state of the plug-in: flags, command table, language,
// connection references and the ports through which start-up reaches the
// window and the platform. Lower layers never reach up into it; they get what
// they need as arguments.
#pragma once

#include <lns/connector.h>
#include <lns/templatelookup.h>
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

inline const QString kIniFileName = QStringLiteral("AerolisCtrl.ini");
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
};

// Everything start-up needs from outside the host library.
struct Environment
{
    // The object server "control" of the main window; nullptr when none can
    // be had on this machine.
    std::function<lns::ObjectServerPtr()> objectServerFactory;
    std::function<std::shared_ptr<platform::StatusWindow>()> statusWindowFactory;
    std::function<std::shared_ptr<MainWindowPort>()> mainWindowFactory;
    std::function<void(const AboutInfo &)> showAbout;
    // Starts a program detached (used to re-register the executable).
    std::function<void(const QString &program, const QStringList &arguments)> startDetached;
    QString applicationFolder; // without trailing separator
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
