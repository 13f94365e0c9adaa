// The host object on the bus: serves host::Application at
// host::kAutomationObjectPath with the interface host::kAutomationInterface.
//
// Properties go through org.freedesktop.DBus.Properties (Get, Set, GetAll),
// methods are SendCommand(i CommandId, n ClassId, s ObjectName), ClosePlugIn()
// and Release(). Objects cross the bus as handle texts: LnsObjectByTool and
// LnsServer take the handle of an object of the network tool's object server
// (resolved through ObjectBindings), RegResult the "<bus name><object path>"
// of the tool's result object, whose "RegResult" property the plug-in sets
// after a project registration.
//
// The object serves one caller, the first that calls it; any other gets the
// error kInUseErrorName. Writes to read-only members answer with the error
// kErrorName carrying number, source and description.
#pragma once

#include <host/application.h>
#include <lns/serverenvironment.h>

#include <QDBusConnection>
#include <QDBusVirtualObject>

#include <functional>

namespace automation {

// How handles of the bus become objects of the plug-in's object server and
// back (the object server's HandleBindings).
using ObjectBindings = lns::HandleBindings;

struct MemberInfo
{
    QString name;
    bool method = false;
    QString signature; // property type, or the method's in-arguments
    bool readable = false;
    bool writable = false;
};

// The members of the host object in the order of its interface.
const QVector<MemberInfo> &applicationMembers();
// Introspection data of the interface.
QString applicationInterfaceXml();

class ApplicationObject : public QDBusVirtualObject
{
    Q_OBJECT
public:
    ApplicationObject(host::Application &application, ObjectBindings bindings, QObject *parent = nullptr);

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

    // The unique bus name of the caller the object serves (empty until the
    // first call).
    QString caller() const { return m_caller; }
    // Whether a call of the caller is being answered right now.
    bool inCall() const { return m_callDepth > 0; }
    // How long the plug-in waits for a network tool's result object.
    void setCallbackTimeout(int ms) { m_callbackTimeoutMs = ms; }

Q_SIGNALS:
    void callerArrived(const QString &uniqueName);
    void released();
    // Any call of the caller (keeps the process alive while in use).
    void called();

private:
    QDBusMessage dispatch(const QDBusMessage &message, const QDBusConnection &connection);
    QDBusMessage getProperty(const QDBusMessage &message, const QString &name);
    QDBusMessage setProperty(const QDBusMessage &message, const QDBusConnection &connection, const QString &name,
                             const QVariant &value);
    QDBusMessage getAll(const QDBusMessage &message);
    QVariant read(const QString &name) const;

    host::Application &m_app;
    ObjectBindings m_bindings;
    QString m_caller;
    int m_callbackTimeoutMs = 10000;
    int m_callDepth = 0;
};

} // namespace automation
