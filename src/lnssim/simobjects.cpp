#include "simobjects.h"

#include "nvtypes.h"
#include "simobjectserver.h"

#include <lns/rawtext.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace lnssim {

using lns::LnsError;

namespace {

// A collection with a fixed list of elements, each with its index and name.
template <class T>
class ListCollection : public lns::Collection<T>
{
public:
    struct Entry
    {
        int index;
        QString name;
        std::shared_ptr<T> object;
    };

    ListCollection(std::shared_ptr<NetworkSession> session, QVector<Entry> entries, QString what)
        : m_session(std::move(session)), m_entries(std::move(entries)), m_what(std::move(what))
    {
    }

    int count() const override
    {
        check();
        return m_entries.size();
    }

    std::shared_ptr<T> item(int index) const override
    {
        check();
        for (const Entry &e : m_entries) {
            if (e.index == index)
                return e.object;
        }
        throw LnsError(lns::ErrIndexOutOfRange, QStringLiteral("no %1 with index %2").arg(m_what).arg(index));
    }

    std::shared_ptr<T> itemAt(int position) const override
    {
        check();
        if (position < 1 || position > m_entries.size())
            throw LnsError(lns::ErrIndexOutOfRange, QStringLiteral("no %1 at position %2 (there are %3)")
                                                        .arg(m_what)
                                                        .arg(position)
                                                        .arg(m_entries.size()));
        return m_entries.at(position - 1).object;
    }

    std::shared_ptr<T> item(const QString &name) const override
    {
        check();
        for (const Entry &e : m_entries) {
            if (e.name == name)
                return e.object;
        }
        throw LnsError(lns::ErrIndexOutOfRange, QStringLiteral("no %1 named \"%2\"").arg(m_what, name));
    }

private:
    void check() const
    {
        if (m_session)
            m_session->checkOpen();
    }

    std::shared_ptr<NetworkSession> m_session;
    QVector<Entry> m_entries;
    QString m_what;
};

template <class T>
lns::CollectionPtr<T> makeCollection(const std::shared_ptr<NetworkSession> &s,
                                     QVector<typename ListCollection<T>::Entry> entries, const QString &what)
{
    return std::make_shared<ListCollection<T>>(s, std::move(entries), what);
}

// Base of every handle below a network.
class Handle
{
public:
    explicit Handle(std::shared_ptr<NetworkSession> s) : m_s(std::move(s)) {}

protected:
    NetworkSession &s() const
    {
        m_s->checkOpen();
        return *m_s;
    }
    std::shared_ptr<NetworkSession> m_s;
};

lns::ObjectPtr networkOf(const std::shared_ptr<NetworkSession> &s)
{
    return s->network();
}

lns::SubsystemPtr makeSubsystem(const std::shared_ptr<NetworkSession> &s, int id);
lns::SystemPtr makeSystem(const std::shared_ptr<NetworkSession> &s);
lns::LonMarkObjectPtr makeLonMarkObject(const std::shared_ptr<NetworkSession> &s, int deviceId, int index);
lns::ConfigPropertyPtr makeConfigProperty(const std::shared_ptr<NetworkSession> &s, int deviceId, const QString &name);

lns::CollectionPtr<lns::ConfigProperty> cpCollection(const std::shared_ptr<NetworkSession> &s, int deviceId,
                                                     CpScope scope, int owner)
{
    QVector<ListCollection<lns::ConfigProperty>::Entry> entries;
    for (const CpRow *c : s->cpsOf(deviceId, scope, owner))
        entries.push_back({c->cpIndex, c->name, makeConfigProperty(s, deviceId, c->name)});
    return makeCollection<lns::ConfigProperty>(s, entries, QStringLiteral("configuration property"));
}

lns::CollectionPtr<lns::NetworkVariable> nvCollection(const std::shared_ptr<NetworkSession> &s, int deviceId,
                                                      int objectIndex)
{
    QVector<ListCollection<lns::NetworkVariable>::Entry> entries;
    for (const NvRow *n : s->nvsOf(deviceId, objectIndex))
        entries.push_back({n->nvIndex, n->name, makeNetworkVariable(s, deviceId, n->nvIndex)});
    return makeCollection<lns::NetworkVariable>(s, entries, QStringLiteral("network variable"));
}

// --- device template ---------------------------------------------------------

class SimDeviceTemplate : public lns::DeviceTemplate, Handle
{
public:
    SimDeviceTemplate(std::shared_ptr<NetworkSession> s, QString name, QString programId)
        : Handle(std::move(s)), m_name(std::move(name)), m_programId(std::move(programId))
    {
    }
    lns::ObjectPtr parent() const override { return networkOf(m_s); }
    QString name() const override { return m_name; }
    QString programId() const override { return m_programId; }

private:
    QString m_name;
    QString m_programId;
};

// --- CP ----------------------------------------------------------------------

class SimConfigProperty : public lns::ConfigProperty, Handle
{
public:
    SimConfigProperty(std::shared_ptr<NetworkSession> s, int deviceId, QString name)
        : Handle(std::move(s)), m_device(deviceId), m_name(std::move(name))
    {
    }

    lns::ObjectPtr parent() const override
    {
        const CpRow &r = row();
        switch (r.scope) {
        case CpScope::Device:
            return makeAppDevice(m_s, m_device);
        case CpScope::Object:
            return makeLonMarkObject(m_s, m_device, r.ownerIndex);
        case CpScope::Nv:
            return makeNetworkVariable(m_s, m_device, r.ownerIndex);
        }
        return nullptr;
    }
    QString name() const override { return m_name; }
    int index() const override { return row().cpIndex; }
    QString formatSpecifier() const override { return s().cpFormat(row()); }
    void setFormatSpecifier(const QString &format) override { s().setCpFormat(row(), format); }
    int dimension() const override { return row().dimension; }
    int elementByteLength() const override { return row().elementLength; }

    QString value() override
    {
        const CpRow &r = row();
        return NetworkSession::formatCpText(s().cpFormat(r), s().readCp(r));
    }
    void setValue(const QString &text) override
    {
        const CpRow &r = row();
        s().writeCp(r, NetworkSession::parseCpText(r, s().cpFormat(r), text, r.length()));
    }
    QString elementValue(int element) override
    {
        const CpRow &r = row();
        checkElement(r, element);
        const QByteArray all = s().readCp(r);
        return NetworkSession::formatCpText(s().cpFormat(r), all.mid(element * r.elementLength, r.elementLength));
    }
    void setElementValue(int element, const QString &text) override
    {
        const CpRow &r = row();
        checkElement(r, element);
        s().writeCpElement(r, element, NetworkSession::parseCpText(r, s().cpFormat(r), text, r.elementLength));
    }
    QString databaseValue() const override { return lns::formatRaw(s().databaseCp(row())); }
    QString templateDefaultValue() const override { return lns::formatRaw(row().factory); }

private:
    const CpRow &row() const
    {
        const CpRow *r = s().cp(m_device, m_name);
        if (!r)
            throw LnsError(lns::ErrIndexOutOfRange, QStringLiteral("CP %1 no longer exists").arg(m_name));
        return *r;
    }
    static void checkElement(const CpRow &r, int element)
    {
        if (element < 0 || element >= r.dimension)
            throw LnsError(lns::ErrIndexOutOfRange,
                           QStringLiteral("CP %1 has no element %2 (dimension %3)").arg(r.name).arg(element).arg(r.dimension));
    }

    int m_device;
    QString m_name;
};

// --- NV and its fields ---------------------------------------------------------

class SimNetworkVariable;

class SimNvField : public lns::NvField, Handle
{
public:
    SimNvField(std::shared_ptr<NetworkSession> s, int deviceId, int nvIndex, const NvFieldDef *field)
        : Handle(std::move(s)), m_device(deviceId), m_nv(nvIndex), m_field(field)
    {
    }
    lns::ObjectPtr parent() const override { return makeNetworkVariable(m_s, m_device, m_nv); }
    QString name() const override { return m_field->name; }
    QString value() const override { return formatNvField(*m_field, s().readNv(row())); }
    void setValue(const QString &text) override
    {
        // The other fields keep what the device holds.
        const NvRow &r = row();
        QByteArray bytes = s().readNv(r);
        QString why;
        if (!parseNvField(*m_field, text, &bytes, &why))
            throw LnsError(lns::ErrBadValue, QStringLiteral("NV %1: %2").arg(r.name, why));
        s().writeNv(r, bytes);
    }

private:
    const NvRow &row() const
    {
        const NvRow *r = s().nv(m_device, m_nv);
        if (!r)
            throw LnsError(lns::ErrIndexOutOfRange, QStringLiteral("NV %1 no longer exists").arg(m_nv));
        return *r;
    }
    int m_device;
    int m_nv;
    const NvFieldDef *m_field;
};

class SimNetworkVariable : public lns::NetworkVariable, Handle
{
public:
    SimNetworkVariable(std::shared_ptr<NetworkSession> s, int deviceId, int nvIndex)
        : Handle(std::move(s)), m_device(deviceId), m_nv(nvIndex)
    {
    }

    lns::ObjectPtr parent() const override { return makeLonMarkObject(m_s, m_device, row().objectIndex); }
    QString name() const override { return row().name; }
    int index() const override { return m_nv; }
    QString formatSpecifier() const override { return mon().format; }
    void setFormatSpecifier(const QString &format) override
    {
        const QString f = format.trimmed();
        if (!f.isEmpty() && f.compare(lns::kRawFormat, Qt::CaseInsensitive) != 0)
            throw LnsError(lns::ErrBadValue,
                           QStringLiteral("format \"%1\" is not supported (\"RAW\" or empty for the default)").arg(format));
        mon().format = f.isEmpty() ? QString() : lns::kRawFormat;
    }
    QString value() override
    {
        const NvRow &r = row();
        return s().formatNvText(r, mon().format, s().readNv(r));
    }
    void setValue(const QString &text) override
    {
        const NvRow &r = row();
        s().writeNv(r, s().parseNvText(r, mon().format, text));
    }
    lns::NvFieldPtr field(const QString &fieldName) override
    {
        const NvRow &r = row();
        const NvTypeDef *t = nvTypeByIndex(r.typeIndex);
        const NvFieldDef *f = (t && t->size == r.size && t->fields.size() > 1) ? nvField(*t, fieldName) : nullptr;
        if (!f)
            throw LnsError(lns::ErrNoSuchField, QStringLiteral("NV %1 (%2) has no field \"%3\"")
                                                    .arg(r.name, t ? t->name : r.typeName, fieldName));
        return std::make_shared<SimNvField>(m_s, m_device, m_nv, f);
    }
    lns::CollectionPtr<lns::ConfigProperty> configProperties() const override
    {
        s();
        return cpCollection(m_s, m_device, CpScope::Nv, m_nv);
    }
    int typeIndex() const override { return row().typeIndex; }
    void changeType(int typeIndex, const QString &programId, int scope) override
    {
        s().changeNvType(row(), typeIndex, programId, scope);
    }

    bool editing() const override { return mon().editing; }
    void setEditing(bool on) override { mon().editing = on; }
    int monitorTag() const override { return mon().tag; }
    void setMonitorTag(int tag) override { s().setMonitorTag(row(), tag); }
    int pollInterval() const override { return mon().pollInterval; }
    void setPollInterval(int interval) override { s().setPollInterval(row(), interval); }
    bool reportByException() const override { return mon().reportByException; }
    void setReportByException(bool on) override { mon().reportByException = on; }
    bool monitorMessageFlag() const override { return mon().messageFlag; }
    void setMonitorMessageFlag(bool on) override { mon().messageFlag = on; }
    int monitorOption() const override { return mon().option; }
    void setMonitorOption(int value) override { mon().option = value; }

private:
    const NvRow &row() const
    {
        const NvRow *r = s().nv(m_device, m_nv);
        if (!r)
            throw LnsError(lns::ErrIndexOutOfRange, QStringLiteral("NV %1 no longer exists").arg(m_nv));
        return *r;
    }
    NvMonitorState &mon() const { return s().monitor(row()); }

    int m_device;
    int m_nv;
};

// --- LonMark object ------------------------------------------------------------

class SimLonMarkObject : public lns::LonMarkObject, Handle
{
public:
    SimLonMarkObject(std::shared_ptr<NetworkSession> s, int deviceId, int index, QString name)
        : Handle(std::move(s)), m_device(deviceId), m_index(index), m_name(std::move(name))
    {
    }
    lns::ObjectPtr parent() const override { return makeAppDevice(m_s, m_device); }
    QString name() const override { return m_name; }
    int index() const override { return m_index; }
    lns::CollectionPtr<lns::ConfigProperty> configProperties() const override
    {
        s();
        return cpCollection(m_s, m_device, CpScope::Object, m_index);
    }
    lns::CollectionPtr<lns::NetworkVariable> networkVariables() const override
    {
        s();
        return nvCollection(m_s, m_device, m_index);
    }
    QString extensionData(const QString &key) const override { return s().extensionData(m_device, m_index, key); }
    void setExtensionData(const QString &key, const QString &value) override
    {
        s().setExtensionData(m_device, m_index, key, value);
    }

private:
    int m_device;
    int m_index;
    QString m_name;
};

// --- device ---------------------------------------------------------------------

class SimAppDevice : public lns::AppDevice, Handle
{
public:
    SimAppDevice(std::shared_ptr<NetworkSession> s, int deviceId) : Handle(std::move(s)), m_device(deviceId) {}

    lns::ObjectPtr parent() const override { return makeSubsystem(m_s, row().subsystemId); }
    QString name() const override { return row().name; }
    int index() const override { return row().index; }
    lns::CollectionPtr<lns::LonMarkObject> lonMarkObjects() const override
    {
        QVector<ListCollection<lns::LonMarkObject>::Entry> entries;
        for (const LonMarkObjectRow &o : s().lonMarkObjectsOf(m_device))
            entries.push_back({o.index, o.name, makeLonMarkObject(m_s, m_device, o.index)});
        return makeCollection<lns::LonMarkObject>(m_s, entries, QStringLiteral("LonMark object"));
    }
    lns::CollectionPtr<lns::ConfigProperty> configProperties() const override
    {
        s();
        return cpCollection(m_s, m_device, CpScope::Device, 0);
    }
    lns::CollectionPtr<lns::NetworkVariable> networkVariables() const override
    {
        s();
        return nvCollection(m_s, m_device, -1);
    }
    lns::DeviceTemplatePtr deviceTemplate() const override
    {
        const DeviceRow &r = row();
        return std::make_shared<SimDeviceTemplate>(m_s, r.templateName, r.programId);
    }
    QString programId() const override { return row().programId; }
    bool commissioned() const override { return s().commissioned(m_device); }
    void test(int kind) override { s().testDevice(m_device, kind); }
    void update(int kind) override { s().updateDevice(m_device, kind); }
    double applicationVersion() override { return s().applicationVersion(m_device); }
    void loadApplication(const QString &imageFile) override { s().loadApplication(m_device, imageFile); }
    QString channel() const override { return s().channelName(row().channelId); }
    // The simulated devices carry no id of their own: one is derived from
    // the device index, which is unique in the network and never reused.
    QString uniqueId() const override
    {
        return QStringLiteral("05%1").arg(row().index, 10, 16, QLatin1Char('0')).toUpper();
    }

private:
    const DeviceRow &row() const
    {
        const DeviceRow *r = s().device(m_device);
        if (!r)
            throw LnsError(lns::ErrIndexOutOfRange, QStringLiteral("device %1 no longer exists").arg(m_device));
        return *r;
    }
    int m_device;
};

// --- subsystem and system ---------------------------------------------------------

lns::CollectionPtr<lns::Subsystem> subsystemCollection(const std::shared_ptr<NetworkSession> &s, int parentId)
{
    QVector<ListCollection<lns::Subsystem>::Entry> entries;
    int position = 0;
    for (const SubsystemRow *r : s->childSubsystems(parentId))
        entries.push_back({++position, r->name, makeSubsystem(s, r->id)});
    return makeCollection<lns::Subsystem>(s, entries, QStringLiteral("subsystem"));
}

class SimSubsystem : public lns::Subsystem, Handle
{
public:
    SimSubsystem(std::shared_ptr<NetworkSession> s, int id) : Handle(std::move(s)), m_id(id) {}

    lns::ObjectPtr parent() const override
    {
        const SubsystemRow &r = row();
        if (r.parentId == 0)
            return makeSystem(m_s);
        return makeSubsystem(m_s, r.parentId);
    }
    QString name() const override { return row().name; }
    QString path() const override { return s().subsystemPath(m_id); }
    lns::CollectionPtr<lns::Subsystem> subsystems() const override
    {
        s();
        return subsystemCollection(m_s, m_id);
    }
    lns::CollectionPtr<lns::AppDevice> appDevices() const override
    {
        QVector<ListCollection<lns::AppDevice>::Entry> entries;
        for (const DeviceRow *d : s().devicesIn(m_id))
            entries.push_back({d->index, d->name, makeAppDevice(m_s, d->id)});
        return makeCollection<lns::AppDevice>(m_s, entries, QStringLiteral("device"));
    }

private:
    const SubsystemRow &row() const
    {
        const SubsystemRow *r = s().subsystem(m_id);
        if (!r)
            throw LnsError(lns::ErrIndexOutOfRange, QStringLiteral("subsystem %1 no longer exists").arg(m_id));
        return *r;
    }
    int m_id;
};

class SimSystem : public lns::System, Handle
{
public:
    explicit SimSystem(std::shared_ptr<NetworkSession> s) : Handle(std::move(s)) {}

    lns::ObjectPtr parent() const override { return networkOf(m_s); }
    QString name() const override { return m_s->networkName(); }
    lns::CollectionPtr<lns::Subsystem> subsystems() const override
    {
        s();
        return subsystemCollection(m_s, 0);
    }
    void beginBracket(int value) override { s().beginBracket(value); }
    void endBracket() override { s().endBracket(); }
    bool inBracket() const override { return s().bracketDepth() > 0; }
    void startTransaction() override { s().startTransaction(); }
    void commitTransaction() override { s().commitTransaction(); }
    void cancelTransaction() override { s().cancelTransaction(); }
    bool inTransaction() const override { return s().inTransaction(); }
    void setOverwriteChanges(bool overwrite) override { s().setOverwriteChanges(overwrite); }
    void prepareMonitoring(bool flag) override { s().prepareMonitoring(flag); }
};

lns::SubsystemPtr makeSubsystem(const std::shared_ptr<NetworkSession> &s, int id)
{
    return std::make_shared<SimSubsystem>(s, id);
}

lns::SystemPtr makeSystem(const std::shared_ptr<NetworkSession> &s)
{
    return std::make_shared<SimSystem>(s);
}

lns::LonMarkObjectPtr makeLonMarkObject(const std::shared_ptr<NetworkSession> &s, int deviceId, int index)
{
    for (const LonMarkObjectRow &o : s->lonMarkObjectsOf(deviceId)) {
        if (o.index == index)
            return std::make_shared<SimLonMarkObject>(s, deviceId, index, o.name);
    }
    throw LnsError(lns::ErrIndexOutOfRange, QStringLiteral("no LonMark object with index %1").arg(index));
}

lns::ConfigPropertyPtr makeConfigProperty(const std::shared_ptr<NetworkSession> &s, int deviceId, const QString &name)
{
    return std::make_shared<SimConfigProperty>(s, deviceId, name);
}

} // namespace

lns::NetworkVariablePtr makeNetworkVariable(const std::shared_ptr<NetworkSession> &session, int deviceId, int nvIndex)
{
    return std::make_shared<SimNetworkVariable>(session, deviceId, nvIndex);
}

lns::AppDevicePtr makeAppDevice(const std::shared_ptr<NetworkSession> &session, int deviceId)
{
    return std::make_shared<SimAppDevice>(session, deviceId);
}

// --- network ------------------------------------------------------------------------

SimNetwork::SimNetwork(const std::weak_ptr<SimObjectServer> &server, const QString &name,
                       const DatabaseLocation &location)
    : m_server(server), m_name(name), m_location(location)
{
}

SimNetwork::~SimNetwork()
{
    if (m_session)
        m_session->close();
}

lns::ObjectPtr SimNetwork::parent() const
{
    return m_server.lock();
}

bool SimNetwork::isOpen() const
{
    return m_session && m_session->isOpen();
}

void SimNetwork::open(bool)
{
    if (isOpen())
        return;
    const std::shared_ptr<SimObjectServer> server = m_server.lock();
    if (!server || !server->isOpen())
        throw LnsError(lns::ErrNotOpen, QStringLiteral("the object server is not open"));
    // The session looks at the file read-only first (a file that is not ours
    // stays untouched), unless this process has the network open already.
    auto session = std::make_shared<NetworkSession>(server->ini(), server->iniPath());
    session->setChannelParams(server->channelParams());
    session->open(m_location, m_name);
    if (session->db().setting(QStringLiteral("refuse_open")) == QLatin1String("1")) {
        session->close();
        throw LnsError(lns::ErrNetworkRefused, QStringLiteral("network %1 refuses to be opened").arg(m_name));
    }
    installDeviceBehaviour(*session, server->deviceSimulatorFactory());
    session->setNetwork(weak_from_this());
    std::weak_ptr<SimObjectServer> weakServer = server;
    session->setUpdateSink([weakServer](int tag, const QString &value, const lns::NetworkVariablePtr &nv) {
        if (auto srv = weakServer.lock())
            srv->deliverUpdate(tag, value, nv);
    });
    session->setWorkingSink([weakServer] {
        if (auto srv = weakServer.lock())
            Q_EMIT srv->working();
    });
    m_session = session;
}

void SimNetwork::close()
{
    if (m_session) {
        m_session->close();
        m_session.reset();
    }
}

lns::SystemPtr SimNetwork::system()
{
    if (!isOpen())
        throw LnsError(lns::ErrNotOpen, QStringLiteral("network %1 is not open").arg(m_name));
    return makeSystem(m_session);
}

QVector<lns::WriteRecord> SimNetwork::writeHistory(const lns::HistoryFilter &filter)
{
    if (!isOpen())
        throw LnsError(lns::ErrNotOpen, QStringLiteral("network %1 is not open").arg(m_name));
    return m_session->writeHistory(filter.device, filter.since, filter.limit);
}

// --- object server ---------------------------------------------------------------------

SimObjectServer::SimObjectServer(const QString &rootFolder, const QString &iniPath, QObject *parent)
    : lns::ObjectServer(parent),
      m_root(rootFolder.isEmpty() ? defaultRoot() : rootFolder),
      m_iniPath(iniPath),
      m_ini(std::make_shared<platform::IniFile>())
{
    qRegisterMetaType<lns::NetworkVariablePtr>();
    if (!iniPath.isEmpty())
        m_ini->setFileName(iniPath);
}

SimObjectServer::~SimObjectServer()
{
    for (const auto &n : qAsConst(m_networks))
        n->close();
}

std::shared_ptr<SimObjectServer> SimObjectServer::create(const QString &rootFolder, const QString &iniPath)
{
    return std::make_shared<SimObjectServer>(rootFolder, iniPath);
}

QString SimObjectServer::defaultRoot()
{
    const QByteArray env = qgetenv("AEROLIS_LNS_ROOT");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/lns");
}

QString SimObjectServer::version() const
{
    return QStringLiteral("Aerolis simulated object server 1.0 (network database schema %1)").arg(kSchemaVersion);
}

void SimObjectServer::open(int accessMode)
{
    if (accessMode < 0 || accessMode > 2)
        throw LnsError(lns::ErrBadValue, QStringLiteral("access mode %1 is not 0, 1 or 2").arg(accessMode));
    if (accessMode == 0) {
        if (!QFileInfo(m_root).isDir())
            throw LnsError(lns::ErrNotOpen, QStringLiteral("network database folder %1 does not exist")
                                                .arg(QDir::toNativeSeparators(m_root)));
        m_server.clear();
    } else {
        // Remote access: the networks of the database server. Listing them
        // now tells an unreachable server, or a refused login, at once.
        const QString server = remoteServer(accessMode, m_interfaceName);
        try {
            m_listedAtOpen = remoteNetworks(server);
        } catch (const LnsError &e) {
            throw LnsError(lns::ErrNotOpen, e.description());
        }
        m_server = server;
    }
    if (m_accessMode != accessMode) {
        for (const auto &n : qAsConst(m_networks))
            n->close();
        m_networks.clear();
    }
    m_accessMode = accessMode;
    m_open = true;
}

void SimObjectServer::close()
{
    for (const auto &n : qAsConst(m_networks))
        n->close();
    m_open = false;
}

lns::CollectionPtr<lns::Network> SimObjectServer::networks()
{
    if (!m_open)
        throw LnsError(lns::ErrNotOpen, QStringLiteral("the object server is not open"));
    QVector<ListCollection<lns::Network>::Entry> entries;
    const NetworkHome home = m_server.isEmpty() ? NetworkHome::local(m_root) : NetworkHome::remote(m_server);
    QStringList names;
    if (home.isRemote()) {
        // The list read at open serves the first look (a connection to the
        // server saved); later looks ask the server again.
        names = m_listedAtOpen ? *m_listedAtOpen : remoteNetworks(m_server);
        m_listedAtOpen.reset();
    } else {
        const QStringList files =
            QDir(m_root).entryList({QStringLiteral("*") + kDatabaseSuffix}, QDir::Files, QDir::Name);
        for (const QString &file : files)
            names << file.left(file.size() - kDatabaseSuffix.size());
    }
    int position = 0;
    for (const QString &name : qAsConst(names)) {
        std::shared_ptr<SimNetwork> &net = m_networks[name];
        if (!net)
            net = std::make_shared<SimNetwork>(weak_from_this(), name, home.locationOf(name));
        entries.push_back({++position, name, net});
    }
    return makeCollection<lns::Network>(nullptr, entries, QStringLiteral("network"));
}

void SimObjectServer::deliverUpdate(int tag, const QString &value, const lns::NetworkVariablePtr &nv)
{
    Q_EMIT nvUpdate(tag, value, nv);
}

} // namespace lnssim
