#include "session.h"

#include "networkaccess.h"
#include "objectnames.h"

#include <configuration/configuration.h>
#include <headless/headlesswindow.h>
#include <host/hoststate.h>
#include <host/startup.h>
#include <params/paramcollection.h>
#include <platform/objectname.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>
#include <platform/version.h>

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

namespace cli {

int RecordingMessages::show(const platform::Message &m)
{
    shown << m;
    return platform::defaultAnswer(m);
}

QStringList RecordingMessages::textsSince(int from) const
{
    QStringList out;
    for (int i = qMax(0, from); i < shown.size(); ++i)
        out << oneLine(shown.at(i).text);
    return out;
}

QString oneLine(const QString &text)
{
    static const QRegularExpression breaks(QStringLiteral("\\s*\\n+\\s*"));
    return QString(text).replace(breaks, QStringLiteral(" ")).trimmed();
}

QString templateFilePath()
{
    return QDir(platform::dataFolder()).filePath(host::kIniFileName);
}

std::shared_ptr<lns::ObjectServer> newObjectServer()
{
    // The object server main() wired in.
    const auto &create = host::state().env.server.newObjectServer;
    if (!AEROLIS_CHECK(create))
        return nullptr;
    return create();
}

NetworkHold::NetworkHold() = default;

NetworkHold::~NetworkHold()
{
    if (!m_server)
        return;
    try {
        // Closing the server closes the networks opened on it.
        m_server->close();
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(QStringLiteral("NetworkHold"), e.number(), e.description());
    }
}

bool NetworkHold::openServer()
{
    if (m_serverTried)
        return m_server != nullptr;
    m_serverTried = true;
    m_server = newObjectServer();
    if (!m_server)
        return false;
    try {
        cli::openServer(m_server);
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(QStringLiteral("NetworkHold"), e.number(), e.description());
        m_server.reset();
    }
    return m_server != nullptr;
}

void NetworkHold::hold(const QString &network)
{
    if (network.isEmpty() || heldNetworks().contains(network) || !openServer())
        return;
    try {
        const lns::NetworkPtr net = m_server->networks()->item(network);
        if (!net->isOpen())
            net->open(networkAccess().remote);
        m_networks.append({network, net});
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(QStringLiteral("NetworkHold"), e.number(), e.description());
    }
}

void NetworkHold::holdAll()
{
    if (!openServer())
        return;
    QStringList names;
    try {
        const auto networks = m_server->networks();
        for (int i = 1; i <= networks->count(); ++i)
            names << networks->itemAt(i)->name();
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(QStringLiteral("NetworkHold"), e.number(), e.description());
    }
    for (const QString &name : qAsConst(names))
        hold(name);
}

QStringList NetworkHold::heldNetworks() const
{
    QStringList names;
    for (const auto &held : m_networks)
        names << held.first;
    return names;
}

Session::Session() : m_messages(std::make_shared<RecordingMessages>())
{
    host::resetState();
    platform::setMessageService(m_messages);
    host::Environment &env = host::state().env;
    const QString folder = QCoreApplication::applicationDirPath();
    env.applicationFolder = folder;
    env.dataFolder = platform::dataFolder();
    env.executableName = QStringLiteral("aerolis");
    env.statusWindowFactory = [] { return std::make_shared<platform::HeadlessStatusWindow>(); };
    env.mainWindowFactory = [this]() -> std::shared_ptr<host::MainWindowPort> {
        if (m_beforeWindow)
            m_beforeWindow();
        m_window = std::make_shared<headless::HeadlessWindow>(m_reusedModel);
        return m_window;
    };
}

Session::~Session()
{
    if (m_window) {
        // Nothing is asked on the way out: the tool wrote what it meant to.
        m_window->setParametersChanged(false);
    }
    if (m_opened && !host::state().ending)
        host::EndApp();
    host::state().mainWindow.reset();
    m_window.reset();
    platform::setMessageService(std::make_shared<platform::UnattendedMessages>());
}

monitoring::cMonitoring *Session::monitoring() const
{
    return m_window ? m_window->monitoring() : nullptr;
}

configuration::cConfiguration *Session::config() const
{
    return m_window ? m_window->configuration() : nullptr;
}

configuration::ConfigWindow *Session::configWindow() const
{
    return m_window.get();
}

model::PageModel *Session::pageModel() const
{
    return m_window ? &m_window->pageModel() : nullptr;
}

bool Session::windowLoaded() const
{
    return m_window && m_window->isLoaded();
}

bool Session::indicatorActive(int i) const
{
    return m_window && m_window->indicatorActive(i);
}

int Session::loggerCount() const
{
    return m_window ? int(m_window->loggerLines().size()) : 0;
}

QStringList Session::loggerLines(int from) const
{
    return m_window ? m_window->loggerLines().mid(qMax(0, from)) : QStringList();
}

int Session::open(const QString &objectName, int commandId, QString *error)
{
    const auto refuse = [error](int status, const QString &message) {
        if (error)
            *error = message;
        return status;
    };
    // A whole name goes straight to the product's start, which finds the
    // object (a walk of the network only when it fails); a short one is
    // resolved first.
    m_key = objectName;
    if (!platform::analyseObjectName(objectName).valid) {
        const ResolvedObject target = resolveObjectName(objectName);
        if (target.status != kOk)
            return refuse(target.status, target.error);
        m_key = target.key;
    }

    m_opened = true;
    // The access of the run, as a network tool hands it to the host object
    // (Remote, NetworkInterfaceName) before it sends the command.
    host::state().remoteFlag = networkAccess().remote;
    host::state().networkInterfaceName = networkAccess().interfaceName;
    const int before = m_messages->shown.size();
    ErrorWatch watch;
    host::Main({QStringLiteral("/COMMANDID:%1/CLASSID:%2/OBJECTNAME:%3")
                    .arg(commandId)
                    .arg(host::kClassIdLonMarkObject)
                    .arg(m_key)});
    const host::HostState &s = host::state();
    const QStringList shown = m_messages->textsSince(before);
    if (const std::optional<LoggedError> failure = watch.databaseFailure())
        return refuse(kDatabase, databaseMessage(failure->description));
    if (s.abortFlag || !m_window || !m_window->isLoaded()) {
        // A name that is not there: what is missing, with the closest names.
        const ResolvedObject again = resolveObjectName(m_key);
        if (again.status != kOk)
            return refuse(again.status, again.error);
        // An object server that cannot be opened and a device that does not
        // answer the control command's test are faults of the channel;
        // everything else refuses the object.
        const QString first = shown.isEmpty() ? QString() : m_messages->shown.at(before).text;
        const bool channel = first == platform::fillPlaceholders(gLoadResString(1508), {platform::kProductName})
            || first == gLoadResString(1491);
        QString message = shown.isEmpty() ? oneLine(gLoadResString(1437)) : shown.join(QLatin1Char(' '));
        // The product's message, with what the start found out precisely.
        if (const std::optional<LoggedError> why = watch.lastOf(QStringLiteral("FetchObjects")))
            message += QStringLiteral(" (") + why->description + QLatin1Char(')');
        return refuse(channel ? kCommunication : kRefused, message);
    }
    if (commandId == host::kCommandIdConfigure) {
        configuration::cConfiguration *c = config();
        if (!c)
            return refuse(kRefused, shown.join(QLatin1Char(' ')));
        // A parameter whose CP could not be read is no value to work with.
        for (const auto &p : c->Parameters().AllParameters()) {
            if (p->Available() && !p->DontReadFromLns() && !p->valueKnown())
                return refuse(kCommunication, oneLine(gLoadResString(1528)));
        }
    }
    return kOk;
}

} // namespace cli
