// The network object server as the program sees it.
//
// Every object the program holds (object server, network, system, subsystem,
// device, LonMark object, configuration property, network variable, device
// template) is an abstract class here. The program only ever talks to these
// interfaces; the simulated object server in src/lnssim implements them, and a
// different back end could be put behind them without touching the callers.
//
// Conventions:
// - Objects are reference counted (std::shared_ptr); releasing the last
//   reference releases the object, as with the platform's own objects.
// - A failing call throws lns::LnsError (number and description); callers
//   catch it and report or ignore it as their workflow says.
// - Collections: item(int) finds an element by its index (the LNS index of
//   CPs, NVs, LonMark objects and devices; the 1-based position for the
//   others); itemAt(int) walks by 1-based position, 1..count().
#pragma once

#include "writehistory.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

namespace lns {

// Class ids the program relies on, plus the ones of the other objects so that
// every object answers classId() with a distinct number.
enum ClassId : int {
    ClsObjectServer = 0,
    ClsNetwork = 1,
    ClsNetworks = 2,
    ClsSystem = 3,
    ClsSubsystems = 4,
    ClsSubsystem = 5,
    ClsAppDevices = 6,
    ClsAppDevice = 7,
    ClsNetworkVariables = 8,
    ClsNetworkVariable = 9,
    ClsConfigProperties = 10,
    ClsConfigProperty = 11,
    ClsDeviceTemplate = 12,
    ClsNvField = 13,
    ClsLonMarkObjects = 27,
    ClsLonMarkObject = 28,
};

// Error numbers raised by the object server. The descriptions are those of the
// object server itself and are not translated.
enum ErrorNumber : int {
    ErrNotOpen = 4001,            // object server or network not open
    ErrNoSuchNetwork = 4002,      // network name unknown
    ErrNetworkRefused = 4003,     // network exists but cannot be opened
    ErrDatabase = 4004,           // network database missing, corrupt or not writable
    ErrNoRight = 4005,            // the database user lacks the right to change the network
    ErrChangedSince = 4006,       // another session changed a CP since this one read it
    ErrIndexOutOfRange = 4010,    // Item() with an index or name that does not exist
    ErrBadValue = 4020,           // a value text that does not fit the object
    ErrDeviceUnreachable = 4030,  // the device did not answer
    ErrDeviceFailed = 4031,       // the device answered with an error (injected CP fault)
    ErrNotCommissioned = 4032,    // the device is not commissioned
    ErrNoTransaction = 4040,      // commit or cancel without a transaction
    ErrTransactionActive = 4041,  // a transaction is already running
    ErrNoSuchField = 4050,        // NV field name unknown
    ErrDownloadFailed = 4060,     // application image could not be loaded
    ErrNotSupported = 4070,
};

class LnsError : public std::runtime_error
{
public:
    LnsError(int number, const QString &description)
        : std::runtime_error(description.toStdString()), m_number(number), m_description(description)
    {
    }
    int number() const { return m_number; }
    QString description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};

class Object;
class ObjectServer;
class Network;
class System;
class Subsystem;
class AppDevice;
class LonMarkObject;
class ConfigProperty;
class NetworkVariable;
class NvField;
class DeviceTemplate;

using ObjectPtr = std::shared_ptr<Object>;
using ObjectServerPtr = std::shared_ptr<ObjectServer>;
using NetworkPtr = std::shared_ptr<Network>;
using SystemPtr = std::shared_ptr<System>;
using SubsystemPtr = std::shared_ptr<Subsystem>;
using AppDevicePtr = std::shared_ptr<AppDevice>;
using LonMarkObjectPtr = std::shared_ptr<LonMarkObject>;
using ConfigPropertyPtr = std::shared_ptr<ConfigProperty>;
using NetworkVariablePtr = std::shared_ptr<NetworkVariable>;
using NvFieldPtr = std::shared_ptr<NvField>;
using DeviceTemplatePtr = std::shared_ptr<DeviceTemplate>;

class Object
{
public:
    virtual ~Object() = default;
    virtual int classId() const = 0;
    // The owning object (not the collection it sits in); nullptr at the top.
    virtual ObjectPtr parent() const = 0;
    virtual QString name() const = 0;
};

template <class T>
class Collection
{
public:
    virtual ~Collection() = default;
    virtual int count() const = 0;
    // By index; throws ErrIndexOutOfRange when no element has it.
    virtual std::shared_ptr<T> item(int index) const = 0;
    // By 1-based position; throws ErrIndexOutOfRange outside 1..count().
    virtual std::shared_ptr<T> itemAt(int position) const = 0;
    // Throws ErrIndexOutOfRange when no element has that name.
    virtual std::shared_ptr<T> item(const QString &name) const = 0;
};

template <class T>
using CollectionPtr = std::shared_ptr<Collection<T>>;

// Walks the Parent chain from obj (inclusive) to the first object with the
// given class id. Returns nullptr when the chain ends or a call fails.
ObjectPtr findAncestor(const ObjectPtr &obj, int classId);

class DeviceTemplate : public Object
{
public:
    int classId() const override { return ClsDeviceTemplate; }
    virtual QString programId() const = 0;
};

class NvField : public Object
{
public:
    int classId() const override { return ClsNvField; }
    virtual QString value() const = 0;
    virtual void setValue(const QString &text) = 0;
};

class ConfigProperty : public Object
{
public:
    int classId() const override { return ClsConfigProperty; }
    virtual int index() const = 0;
    // "RAW" gives the bytes as decimal numbers separated by TAB, first byte
    // first; an empty specifier gives the default (typed) text form.
    virtual QString formatSpecifier() const = 0;
    virtual void setFormatSpecifier(const QString &format) = 0;
    virtual int dimension() const = 0;
    virtual int elementByteLength() const = 0;
    // Whole value (dimension 1) or one element (0-based), in the current format.
    virtual QString value() = 0;
    virtual void setValue(const QString &text) = 0;
    virtual QString elementValue(int element) = 0;
    virtual void setElementValue(int element, const QString &text) = 0;
    // The value held in the network database, without a device transaction
    // (RAW text of the whole CP).
    virtual QString databaseValue() const = 0;
    // The value the device template gives the CP (what a new device starts
    // with), RAW text of the whole CP, without a device transaction; empty
    // when the object server cannot tell.
    virtual QString templateDefaultValue() const { return QString(); }
};

class NetworkVariable : public Object
{
public:
    int classId() const override { return ClsNetworkVariable; }
    virtual int index() const = 0;
    virtual QString formatSpecifier() const = 0;
    virtual void setFormatSpecifier(const QString &format) = 0;
    // A fresh read from the device, in the current format.
    virtual QString value() = 0;
    virtual void setValue(const QString &text) = 0;
    virtual NvFieldPtr field(const QString &fieldName) = 0;
    virtual CollectionPtr<ConfigProperty> configProperties() const = 0;
    // Type index of the NV's current type.
    virtual int typeIndex() const = 0;
    virtual void changeType(int typeIndex, const QString &programId, int scope) = 0;

    // Monitoring settings held on the NV object itself. Changes are meant to
    // be made between setEditing(true) and setEditing(false).
    virtual bool editing() const = 0;
    virtual void setEditing(bool on) = 0;
    virtual int monitorTag() const = 0;
    virtual void setMonitorTag(int tag) = 0;
    virtual int pollInterval() const = 0;
    virtual void setPollInterval(int interval) = 0;
    virtual bool reportByException() const = 0;
    virtual void setReportByException(bool on) = 0;
    virtual bool monitorMessageFlag() const = 0;
    virtual void setMonitorMessageFlag(bool on) = 0;
    // The NV object's "receive updates as messages of the monitor owner"
    // option, cleared for the unit status output.
    virtual int monitorOption() const = 0;
    virtual void setMonitorOption(int value) = 0;
};

class LonMarkObject : public Object
{
public:
    int classId() const override { return ClsLonMarkObject; }
    virtual int index() const = 0;
    virtual CollectionPtr<ConfigProperty> configProperties() const = 0;
    virtual CollectionPtr<NetworkVariable> networkVariables() const = 0;
    // Extension data: text values stored with the object under a key.
    // Reading a key that was never written throws ErrIndexOutOfRange.
    virtual QString extensionData(const QString &key) const = 0;
    virtual void setExtensionData(const QString &key, const QString &value) = 0;
};

class AppDevice : public Object
{
public:
    int classId() const override { return ClsAppDevice; }
    virtual int index() const = 0;
    virtual CollectionPtr<LonMarkObject> lonMarkObjects() const = 0;
    virtual CollectionPtr<ConfigProperty> configProperties() const = 0;
    virtual CollectionPtr<NetworkVariable> networkVariables() const = 0;
    virtual DeviceTemplatePtr deviceTemplate() const = 0;
    virtual QString programId() const = 0;
    virtual bool commissioned() const = 0;
    // Device test; test 4 throws ErrDeviceUnreachable when the device does
    // not answer.
    virtual void test(int kind) = 0;
    // Brings the device's state in line with the database after a change of
    // its application.
    virtual void update(int kind) = 0;
    // Version of the application running in the device (0 or less when it
    // cannot be told) and loading an application image into the device.
    virtual double applicationVersion() = 0;
    virtual void loadApplication(const QString &imageFile) = 0;
    // Name of the channel the device sits on, without a device transaction;
    // empty when the object server cannot tell. Devices of different
    // channels can be worked on at once (worklanes.h).
    virtual QString channel() const { return QString(); }
    // The id the device was made with, unique to it (48 bits as 12
    // hexadecimal digits); empty when the object server cannot tell.
    virtual QString uniqueId() const { return QString(); }
};

class Subsystem : public Object
{
public:
    int classId() const override { return ClsSubsystem; }
    // Dotted path from the top of the system, e.g. "Building.Floor1".
    virtual QString path() const = 0;
    virtual CollectionPtr<Subsystem> subsystems() const = 0;
    virtual CollectionPtr<AppDevice> appDevices() const = 0;
};

class System : public Object
{
public:
    int classId() const override { return ClsSystem; }
    virtual CollectionPtr<Subsystem> subsystems() const = 0;

    // The system bracket around a whole read, write or download.
    virtual void beginBracket(int value) = 0;
    virtual void endBracket() = 0;
    virtual bool inBracket() const = 0;

    // Transactions: writes made inside one reach the device and the database
    // at commit, all or nothing; cancel leaves both as they were.
    virtual void startTransaction() = 0;
    virtual void commitTransaction() = 0;
    virtual void cancelTransaction() = 0;
    virtual bool inTransaction() const = 0;
    // Whether a commit may write over CPs that another session changed
    // since this one read them; when not (the default), such a commit is
    // refused with ErrChangedSince naming the CP, who changed it and when.
    virtual void setOverwriteChanges(bool overwrite) { Q_UNUSED(overwrite); }

    // Preparatory call of the owner of the monitored NVs.
    virtual void prepareMonitoring(bool flag) = 0;
};

class Network : public Object
{
public:
    int classId() const override { return ClsNetwork; }
    virtual bool isOpen() const = 0;
    virtual void open(bool remote) = 0;
    virtual void close() = 0;
    virtual SystemPtr system() = 0;
    // The record of the writes made in this network, newest first; no
    // device transaction. Throws ErrNotSupported where the server keeps none.
    virtual QVector<WriteRecord> writeHistory(const HistoryFilter &filter);
};

class ObjectServer : public QObject, public Object
{
    Q_OBJECT
public:
    using QObject::QObject;
    int classId() const override { return ClsObjectServer; }
    ObjectPtr parent() const override { return nullptr; }
    QString name() const override { return QStringLiteral("ObjectServer"); }

    virtual QString version() const = 0;
    // accessMode: 0 local, 1 remote, 2 remote over "Internet".
    virtual void open(int accessMode) = 0;
    // The network interface of remote access, given before open(); a server
    // that has no use for it ignores it.
    virtual void setNetworkInterfaceName(const QString &name) { Q_UNUSED(name); }
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual CollectionPtr<Network> networks() = 0;

signals:
    // An update of a monitored NV: the tag set on the NV, the value in the
    // NV's format, the NV itself.
    void nvUpdate(int monitorTag, const QString &value, lns::NetworkVariablePtr nv);
    // Raised again and again while the server works (once per exchange
    // with a device), so that a waiting window can keep itself painted.
    void working();
};

} // namespace lns

Q_DECLARE_METATYPE(lns::NetworkVariablePtr)
