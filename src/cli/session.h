// One object opened the way the plug-in opens it: start-up with the
// product's command line, the connection, the device template check, and the
// main window with the configuration bound to it, displayed on the offscreen
// platform where nobody sees it. Every command of the tool works on the
// window's own objects, so the tool and the window cannot drift apart.
#pragma once

#include <platform/messages.h>

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace configuration {
class cConfiguration;
}
namespace monitoring {
class cMonitoring;
}
namespace lns {
class ObjectServer;
}
namespace ui {
class frmMain;
}

namespace cli {

// Exit statuses of the tool.
// Exit statuses of the tool (docs/cli.md): 4 the device was changed but not
// completely, 5 the network database failed.
enum ExitStatus { kOk = 0, kRefused = 1, kUsage = 2, kCommunication = 3, kPartlyDone = 4, kDatabase = 5 };

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
    // command (22). kOk, or the status with a one-line message.
    int open(const QString &objectName, int commandId, QString *error);

    // Runs once the object is found and before the window reads the device
    // (set before open()).
    void setBeforeWindow(std::function<void()> hook) { m_beforeWindow = std::move(hook); }

    ui::frmMain *window() const { return m_window.get(); }
    configuration::cConfiguration *config() const;
    // The control command's page logic (after open with command 22).
    monitoring::cMonitoring *monitoring() const;
    RecordingMessages &messages() { return *m_messages; }
    // Logger lines of the window (in order), from `from` on.
    QStringList loggerLines(int from = 0) const;
    int loggerCount() const;

private:
    std::shared_ptr<ui::frmMain> m_window;
    std::shared_ptr<RecordingMessages> m_messages;
    std::function<void()> m_beforeWindow;
    bool m_opened = false;
};

// The plug-in's device templates (its INI file) beside the tool.
QString templateFilePath();
// A new, unopened connection to the object server the tool works with.
std::shared_ptr<lns::ObjectServer> newObjectServer();

// One line for a text of the string table: line breaks become blanks.
QString oneLine(const QString &text);

} // namespace cli
