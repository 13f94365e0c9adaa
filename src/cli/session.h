// One object opened the way the plug-in opens it: start-up with the
// product's command line, the connection, the device template check, and the
// headless main window (the page model with the configuration or the control
// command bound to it) displayed by the same steps as the window. Every
// command of the tool works on those objects, so the tool and the window
// cannot drift apart.
#pragma once

#include <platform/messages.h>

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace configuration {
class cConfiguration;
class ConfigWindow;
}
namespace headless {
class HeadlessWindow;
}
namespace model {
class PageModel;
}
namespace monitoring {
class cMonitoring;
}
namespace lns {
class ObjectServer;
class Network;
}
namespace cli {

// Exit statuses of the tool (docs/cli.md): 4 the device was changed but not
// completely, 5 the network database failed, 6 a comparison found
// differences (no error has that status).
enum ExitStatus { kOk = 0, kRefused = 1, kUsage = 2, kCommunication = 3, kPartlyDone = 4, kDatabase = 5, kDifferent = 6 };

// Records every message the product's code shows and answers with the
// default button, as an unattended start does.
class RecordingMessages : public platform::MessageService
{
public:
    int show(const platform::Message &m) override;
    QList<platform::Message> shown;
    // The texts shown since `from`, each on one line.
    QStringList textsSince(int from) const;
};

class Session
{
public:
    Session();
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Opens `objectName` for the configuration command (13) or the control
    // command (22). The name is resolved first (resolveObjectName: a device
    // name alone is taken when it is unique). kOk, or the status with a
    // one-line message: kRefused for an object that is not there or not of
    // this plug-in, kCommunication for a device that does not answer or an
    // object server that cannot be opened, kDatabase for a network database
    // that cannot be read or written.
    int open(const QString &objectName, int commandId, QString *error);

    // Runs once the object is found and before the window reads the device
    // (set before open()).
    void setBeforeWindow(std::function<void()> hook) { m_beforeWindow = std::move(hook); }
    // The window works on `model` (returned to its designed state) instead
    // of building one: a run of many controllers builds its pages once.
    void reusePageModel(std::shared_ptr<model::PageModel> model) { m_reusedModel = std::move(model); }

    // The configuration command's configuration (after open with command
    // 13); nullptr when it did not start.
    configuration::cConfiguration *config() const;
    // The window's flags and state as the configuration sees them.
    configuration::ConfigWindow *configWindow() const;
    // The pages' controls; nullptr before the window was created.
    model::PageModel *pageModel() const;
    // Whether the window was created and is still loaded.
    bool windowLoaded() const;
    // Whether night purge (0), energy hold off (1) or frost alarm (2) is on.
    bool indicatorActive(int i) const;
    // The control command's page logic (after open with command 22).
    monitoring::cMonitoring *monitoring() const;
    RecordingMessages &messages() { return *m_messages; }
    // The whole object name opened (after open).
    QString objectKey() const { return m_key; }
    // Logger lines of the window (in order), from `from` on.
    QStringList loggerLines(int from = 0) const;
    int loggerCount() const;

private:
    std::shared_ptr<headless::HeadlessWindow> m_window;
    std::shared_ptr<RecordingMessages> m_messages;
    std::function<void()> m_beforeWindow;
    std::shared_ptr<model::PageModel> m_reusedModel;
    bool m_opened = false;
    QString m_key;
};

// Keeps networks open for a run of many sessions. Each session opens and
// closes its network as the plug-in does; while a hold keeps that network
// open on a connection of its own, the object server serves every session
// from the one open (its database and the device structure it has read)
// instead of opening the network again for each object.
class NetworkHold
{
public:
    NetworkHold();
    ~NetworkHold();
    NetworkHold(const NetworkHold &) = delete;
    NetworkHold &operator=(const NetworkHold &) = delete;

    // Opens `network` on the hold's connection unless it holds it already.
    // A network that cannot be opened is not held (a trace line says why):
    // each session then opens it itself and reports the failure as usual.
    void hold(const QString &network);
    // Every network of the object server.
    void holdAll();
    // The hold's object server, open (nullptr when it could not be opened);
    // lookups on it leave the held networks open.
    std::shared_ptr<lns::ObjectServer> server() const { return m_server; }
    QStringList heldNetworks() const;

private:
    bool openServer();
    std::shared_ptr<lns::ObjectServer> m_server;
    bool m_serverTried = false;
    QList<std::pair<QString, std::shared_ptr<lns::Network>>> m_networks;
};

// The plug-in's device templates (its INI file) beside the tool.
QString templateFilePath();
// A new, unopened connection to the object server the tool works with.
std::shared_ptr<lns::ObjectServer> newObjectServer();

// One line for a text of the string table: line breaks become blanks.
QString oneLine(const QString &text);

} // namespace cli
