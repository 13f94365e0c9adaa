#include "offlinedevice.h"

#include "rawtext.h"
#include "templatelookup.h"

#include <QHash>
#include <QVector>

namespace lns {

class OfflineCp;

namespace {

const QString kNoDevice = QStringLiteral("an offline parameter set has no device");

// Writes of a transaction, kept so that a cancel puts every CP back.
struct Journal
{
    bool open = false;
    QHash<OfflineCp *, QByteArray> before;
};
using JournalPtr = std::shared_ptr<Journal>;

template <class T>
class ListCollection : public Collection<T>
{
public:
    void add(std::shared_ptr<T> item, int index) { m_items.append({index, std::move(item)}); }
    int count() const override { return m_items.size(); }
    std::shared_ptr<T> item(int index) const override
    {
        for (const auto &e : m_items)
            if (e.first == index)
                return e.second;
        throw LnsError(ErrIndexOutOfRange, QStringLiteral("no element with index %1").arg(index));
    }
    std::shared_ptr<T> itemAt(int position) const override
    {
        if (position < 1 || position > m_items.size())
            throw LnsError(ErrIndexOutOfRange, QStringLiteral("no element at position %1").arg(position));
        return m_items.at(position - 1).second;
    }
    std::shared_ptr<T> item(const QString &name) const override
    {
        for (const auto &e : m_items)
            if (e.second->name() == name)
                return e.second;
        throw LnsError(ErrIndexOutOfRange, QStringLiteral("no element named %1").arg(name));
    }

private:
    QVector<std::pair<int, std::shared_ptr<T>>> m_items;
};

class OfflineTemplate : public DeviceTemplate
{
public:
    OfflineTemplate(QString name, QString programId) : m_name(std::move(name)), m_programId(std::move(programId)) {}
    ObjectPtr parent() const override { return nullptr; }
    QString name() const override { return m_name; }
    QString programId() const override { return m_programId; }

private:
    QString m_name;
    QString m_programId;
};

} // namespace

class OfflineCp : public ConfigProperty
{
public:
    OfflineCp(QString name, int index, int elementLength, int dimension, QByteArray factory, JournalPtr journal)
        : m_name(std::move(name)), m_index(index), m_elementLength(elementLength), m_dimension(dimension),
          m_factory(factory), m_bytes(std::move(factory)), m_journal(std::move(journal))
    {
    }
    void setParent(const ObjectPtr &owner) { m_parent = owner; }
    void restore(const QByteArray &bytes) { m_bytes = bytes; }

    ObjectPtr parent() const override { return m_parent.lock(); }
    QString name() const override { return m_name; }
    int index() const override { return m_index; }
    QString formatSpecifier() const override { return m_format; }
    void setFormatSpecifier(const QString &format) override { m_format = format; }
    int dimension() const override { return m_dimension; }
    int elementByteLength() const override { return m_elementLength; }
    QString value() override
    {
        requireRaw();
        return formatRaw(m_bytes);
    }
    void setValue(const QString &text) override { put(0, m_bytes.size(), text); }
    QString elementValue(int element) override
    {
        requireRaw();
        requireElement(element);
        return formatRaw(m_bytes.mid(element * m_elementLength, m_elementLength));
    }
    void setElementValue(int element, const QString &text) override
    {
        requireElement(element);
        put(element * m_elementLength, m_elementLength, text);
    }
    // Memory is device and database at once.
    QString databaseValue() const override { return formatRaw(m_bytes); }
    QString templateDefaultValue() const override { return formatRaw(m_factory); }

private:
    // Typed value forms need the CP's type description, which an offline
    // set does not have: only the raw bytes are offered.
    void requireRaw() const
    {
        if (m_format != kRawFormat)
            throw LnsError(ErrNotSupported, QStringLiteral("CP %1: only the RAW form is kept offline").arg(m_name));
    }
    void requireElement(int element) const
    {
        if (element < 0 || element >= m_dimension)
            throw LnsError(ErrIndexOutOfRange, QStringLiteral("CP %1 has no element %2").arg(m_name).arg(element));
    }
    void put(int offset, int length, const QString &text)
    {
        requireRaw();
        QByteArray bytes;
        if (!parseRaw(text, &bytes) || bytes.size() != length)
            throw LnsError(ErrBadValue, QStringLiteral("CP %1: \"%2\" is not %3 raw byte(s)").arg(m_name, text).arg(length));
        if (m_journal->open && !m_journal->before.contains(this))
            m_journal->before.insert(this, m_bytes);
        m_bytes.replace(offset, length, bytes);
    }

    QString m_name;
    int m_index;
    int m_elementLength;
    int m_dimension;
    QByteArray m_factory;
    QByteArray m_bytes;
    QString m_format;
    JournalPtr m_journal;
    std::weak_ptr<Object> m_parent;
};

namespace {

using CpList = ListCollection<ConfigProperty>;

class OfflineNv : public NetworkVariable
{
public:
    OfflineNv(QString name, int index) : m_name(std::move(name)), m_index(index), m_cps(std::make_shared<CpList>()) {}
    void setParent(const ObjectPtr &owner) { m_parent = owner; }
    std::shared_ptr<CpList> cpList() const { return m_cps; }

    ObjectPtr parent() const override { return m_parent.lock(); }
    QString name() const override { return m_name; }
    int index() const override { return m_index; }
    QString formatSpecifier() const override { return m_format; }
    void setFormatSpecifier(const QString &format) override { m_format = format; }
    QString value() override { throw LnsError(ErrNotSupported, kNoDevice); }
    void setValue(const QString &) override { throw LnsError(ErrNotSupported, kNoDevice); }
    NvFieldPtr field(const QString &) override { throw LnsError(ErrNotSupported, kNoDevice); }
    CollectionPtr<ConfigProperty> configProperties() const override { return m_cps; }
    int typeIndex() const override { return 0; }
    void changeType(int, const QString &, int) override { throw LnsError(ErrNotSupported, kNoDevice); }
    bool editing() const override { return false; }
    void setEditing(bool) override {}
    int monitorTag() const override { return 0; }
    void setMonitorTag(int) override {}
    int pollInterval() const override { return 0; }
    void setPollInterval(int) override {}
    bool reportByException() const override { return false; }
    void setReportByException(bool) override {}
    bool monitorMessageFlag() const override { return false; }
    void setMonitorMessageFlag(bool) override {}
    int monitorOption() const override { return 0; }
    void setMonitorOption(int) override {}

private:
    QString m_name;
    int m_index;
    QString m_format;
    std::shared_ptr<CpList> m_cps;
    std::weak_ptr<Object> m_parent;
};

using NvList = ListCollection<NetworkVariable>;

class OfflineObject : public LonMarkObject
{
public:
    OfflineObject() : m_cps(std::make_shared<CpList>()), m_nvs(std::make_shared<NvList>()) {}
    void setParent(const ObjectPtr &owner) { m_parent = owner; }
    std::shared_ptr<CpList> cpList() const { return m_cps; }
    // The NV with `index`, made when the template first names it.
    std::shared_ptr<OfflineNv> nv(int index, const QString &name, const ObjectPtr &self)
    {
        if (auto it = m_nvByIndex.find(index); it != m_nvByIndex.end())
            return *it;
        auto nv = std::make_shared<OfflineNv>(name, index);
        nv->setParent(self);
        m_nvs->add(nv, index);
        m_nvByIndex.insert(index, nv);
        return nv;
    }

    ObjectPtr parent() const override { return m_parent.lock(); }
    QString name() const override { return kOfflineObjectName; }
    int index() const override { return kOfflineObjectIndex; }
    CollectionPtr<ConfigProperty> configProperties() const override { return m_cps; }
    CollectionPtr<NetworkVariable> networkVariables() const override { return m_nvs; }
    QString extensionData(const QString &key) const override
    {
        if (!m_extension.contains(key))
            throw LnsError(ErrIndexOutOfRange, QStringLiteral("no extension record %1").arg(key));
        return m_extension.value(key);
    }
    void setExtensionData(const QString &key, const QString &value) override { m_extension.insert(key, value); }

private:
    std::shared_ptr<CpList> m_cps;
    std::shared_ptr<NvList> m_nvs;
    QHash<int, std::shared_ptr<OfflineNv>> m_nvByIndex;
    QHash<QString, QString> m_extension;
    std::weak_ptr<Object> m_parent;
};

class OfflineDevice : public AppDevice
{
public:
    OfflineDevice(std::shared_ptr<OfflineTemplate> tmpl, std::shared_ptr<OfflineObject> object)
        : m_template(std::move(tmpl)), m_object(std::move(object)), m_objects(std::make_shared<ListCollection<LonMarkObject>>()),
          m_cps(std::make_shared<CpList>()), m_nvs(std::make_shared<NvList>())
    {
        m_objects->add(m_object, kOfflineObjectIndex);
    }
    std::shared_ptr<CpList> cpList() const { return m_cps; }

    ObjectPtr parent() const override { return nullptr; }
    QString name() const override { return m_template->name(); }
    int index() const override { return 1; }
    CollectionPtr<LonMarkObject> lonMarkObjects() const override { return m_objects; }
    CollectionPtr<ConfigProperty> configProperties() const override { return m_cps; }
    CollectionPtr<NetworkVariable> networkVariables() const override { return m_nvs; }
    DeviceTemplatePtr deviceTemplate() const override { return m_template; }
    QString programId() const override { return m_template->programId(); }
    bool commissioned() const override { return false; }
    void test(int) override { throw LnsError(ErrNotSupported, kNoDevice); }
    void update(int) override {}
    double applicationVersion() override { return 0; }
    void loadApplication(const QString &) override { throw LnsError(ErrNotSupported, kNoDevice); }

private:
    std::shared_ptr<OfflineTemplate> m_template;
    std::shared_ptr<OfflineObject> m_object;
    std::shared_ptr<ListCollection<LonMarkObject>> m_objects;
    std::shared_ptr<CpList> m_cps;
    std::shared_ptr<NvList> m_nvs;
};

class OfflineSystem : public System
{
public:
    explicit OfflineSystem(JournalPtr journal) : m_journal(std::move(journal)) {}
    ObjectPtr parent() const override { return nullptr; }
    QString name() const override { return QStringLiteral("Offline"); }
    CollectionPtr<Subsystem> subsystems() const override { return std::make_shared<ListCollection<Subsystem>>(); }
    void beginBracket(int) override { ++m_brackets; }
    void endBracket() override
    {
        if (m_brackets > 0)
            --m_brackets;
    }
    bool inBracket() const override { return m_brackets > 0; }
    void startTransaction() override
    {
        if (m_journal->open)
            throw LnsError(ErrTransactionActive, QStringLiteral("a transaction is already running"));
        m_journal->open = true;
        m_journal->before.clear();
    }
    void commitTransaction() override
    {
        requireOpen();
        m_journal->open = false;
        m_journal->before.clear();
    }
    void cancelTransaction() override
    {
        requireOpen();
        for (auto it = m_journal->before.cbegin(); it != m_journal->before.cend(); ++it)
            it.key()->restore(it.value());
        m_journal->open = false;
        m_journal->before.clear();
    }
    bool inTransaction() const override { return m_journal->open; }
    void prepareMonitoring(bool) override {}

private:
    void requireOpen() const
    {
        if (!m_journal->open)
            throw LnsError(ErrNoTransaction, QStringLiteral("no transaction is running"));
    }
    JournalPtr m_journal;
    int m_brackets = 0;
};

// Keys of a section with the template's own keys after the common ones.
QStringList sectionKeys(const platform::IniFile &ini, const QString &section, const QString &templateName)
{
    QStringList keys = ini.keys(section);
    for (const QString &k : ini.keys(templateName + QLatin1Char('|') + section))
        if (!keys.contains(k))
            keys << k;
    return keys;
}

[[noreturn]] void descriptionFault(const QString &templateName, const QString &key, const QString &line)
{
    throw LnsError(ErrBadValue, QStringLiteral("device template %1, CP %2: \"%3\" is not scope,type,element bytes,"
                                               "dimension,factory bytes")
                                    .arg(templateName, key, line));
}

QByteArray factoryBytes(const QString &text, bool *ok)
{
    QByteArray out;
    *ok = true;
    for (const QString &piece : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool good = false;
        const uint v = piece.toUInt(&good);
        if (!good || v > 255) {
            *ok = false;
            return {};
        }
        out.append(char(v));
    }
    return out;
}

} // namespace

OfflineConnection makeOfflineDevice(const platform::IniFile &ini, const QString &templateName)
{
    QString programId;
    for (const platform::TemplateEntry &e : ini.templates())
        if (e.name == templateName)
            programId = e.programId;
    if (programId.isEmpty())
        throw LnsError(ErrIndexOutOfRange, QStringLiteral("device template %1 is not listed in %2")
                                               .arg(templateName, ini.fileName()));

    auto tmpl = std::make_shared<OfflineTemplate>(templateName, programId);
    auto object = std::make_shared<OfflineObject>();
    auto device = std::make_shared<OfflineDevice>(tmpl, object);
    object->setParent(device);
    auto journal = std::make_shared<Journal>();

    // The controller object's NVs by the names the template gives them.
    for (const QString &key : sectionKeys(ini, kNvSection, templateName)) {
        const platform::IniFile::Indexes idx = ini.indexes(kNvSection, key, templateName);
        if (idx.index >= 1 && idx.member == kOfflineObjectIndex)
            object->nv(idx.index, key, object);
    }

    for (const QString &key : sectionKeys(ini, kDeviceCpSection, templateName)) {
        const platform::IniFile::Indexes idx = ini.indexes(kCpSection, key, templateName);
        if (idx.index == -1)
            continue; // devices of this template do not have the CP
        const QString line = ini.value(kDeviceCpSection, key, templateName);
        const QStringList f = line.split(QLatin1Char(','));
        if (f.size() != 5)
            descriptionFault(templateName, key, line);
        bool okLength = false, okDimension = false, okFactory = false;
        const int elementLength = f.at(2).trimmed().toInt(&okLength);
        const int dimension = f.at(3).trimmed().toInt(&okDimension);
        const QByteArray factory = factoryBytes(f.at(4), &okFactory);
        if (!okLength || !okDimension || !okFactory || elementLength <= 0 || dimension <= 0
            || factory.size() != elementLength * dimension)
            descriptionFault(templateName, key, line);
        auto cp = std::make_shared<OfflineCp>(key, idx.index, elementLength, dimension, factory, journal);
        const QString scope = f.at(0).trimmed();
        if (scope == QLatin1String("dev")) {
            // Device lookups: a member above 0 is a LonMark object of the device.
            if (idx.member > 0 && idx.member != kOfflineObjectIndex)
                descriptionFault(templateName, key, line);
            cp->setParent(idx.member > 0 ? ObjectPtr(object) : ObjectPtr(device));
            (idx.member > 0 ? object->cpList() : device->cpList())->add(cp, idx.index);
        } else if (scope == QLatin1String("obj")) {
            // Object lookups: a member above 0 is a network variable of the object.
            if (idx.member > 0) {
                auto nv = object->nv(idx.member, QStringLiteral("NV%1").arg(idx.member), object);
                cp->setParent(nv);
                nv->cpList()->add(cp, idx.index);
            } else {
                cp->setParent(object);
                object->cpList()->add(cp, idx.index);
            }
        } else {
            descriptionFault(templateName, key, line);
        }
    }

    OfflineConnection c;
    c.device = device;
    c.object = object;
    c.deviceTemplate = tmpl;
    c.system = std::make_shared<OfflineSystem>(journal);
    return c;
}

bool isOfflineDevice(const AppDevicePtr &device)
{
    return device && std::dynamic_pointer_cast<OfflineDevice>(device) != nullptr;
}

} // namespace lns
