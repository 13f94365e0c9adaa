#include "networkstore.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace lnssim {

namespace {

// The file itself, so that a network replaced on disk (created again under
// the same name) is opened anew rather than served from the old file.
struct FileIdentity
{
    qint64 device = -1;
    qint64 inode = -1;
    bool operator==(const FileIdentity &o) const { return device == o.device && inode == o.inode; }
};

FileIdentity identityOf(const QString &path)
{
    struct stat st{};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return FileIdentity();
    return FileIdentity{qint64(st.st_dev), qint64(st.st_ino)};
}

struct OpenStore
{
    std::weak_ptr<NetworkStore> store;
    FileIdentity identity;
};

QHash<QString, OpenStore> &openStores()
{
    static QHash<QString, OpenStore> stores;
    return stores;
}

int g_opens = 0;

QString keyOf(const QString &path)
{
    const QFileInfo fi(path);
    const QString canonical = fi.canonicalFilePath();
    return canonical.isEmpty() ? fi.absoluteFilePath() : canonical;
}

} // namespace

std::shared_ptr<NetworkStore> NetworkStore::acquire(const QString &path)
{
    return acquire(DatabaseLocation::file(path));
}

std::shared_ptr<NetworkStore> NetworkStore::acquire(const DatabaseLocation &location)
{
    const QString &path = location.path;
    const QString key = location.isRemote() ? location.key() : keyOf(path);
    const FileIdentity identity = location.isRemote() ? FileIdentity() : identityOf(path);
    const auto known = openStores().constFind(key);
    if (known != openStores().constEnd() && known->identity == identity) {
        if (std::shared_ptr<NetworkStore> store = known->store.lock()) {
            store->refreshIfChanged();
            return store;
        }
    }
    std::shared_ptr<NetworkStore> store(new NetworkStore);
    store->m_db.open(location);
    ++g_opens;
    store->readTop();
    openStores().insert(key, OpenStore{store, identity});
    return store;
}

int NetworkStore::opensInProcess()
{
    return g_opens;
}

NetworkStore::~NetworkStore()
{
    m_db.close();
}

void NetworkStore::readTop()
{
    m_serial = m_db.setting(kStructureSerialSetting);
    m_subsystems = m_db.subsystems();
    m_devices = m_db.devices();
    m_deviceAt.clear();
    m_deviceAt.reserve(m_devices.size());
    for (int i = 0; i < m_devices.size(); ++i)
        m_deviceAt.insert(m_devices.at(i).id, i);
    m_structure.clear();
}

void NetworkStore::refreshIfChanged()
{
    if (m_db.setting(kStructureSerialSetting) != m_serial)
        readTop();
}

const DeviceRow *NetworkStore::device(int id) const
{
    const auto it = m_deviceAt.constFind(id);
    return it == m_deviceAt.constEnd() ? nullptr : &m_devices.at(*it);
}

NetworkStore::DeviceStructure &NetworkStore::structureOf(int deviceId)
{
    const auto it = m_structure.find(deviceId);
    if (it != m_structure.end())
        return it->second;
    DeviceStructure s;
    if (device(deviceId)) {
        s.lonMarkObjects = m_db.lonMarkObjectsOf(deviceId);
        s.cps = m_db.cpsOf(deviceId);
        s.nvs = m_db.nvsOf(deviceId);
    }
    return m_structure.emplace(deviceId, std::move(s)).first->second;
}

} // namespace lnssim
