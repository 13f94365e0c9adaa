// A network tool's side of the plug-in's host object on the bus: creates the
// object (the bus starts the plug-in), reads and writes its members, sends
// the command and releases it. Every call waits at most the timeout and runs
// a local event loop meanwhile, so that the tool's own objects (its result
// object) can answer the plug-in during the call.
#pragma once

#include "busnames.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariant>

namespace automation {

// What went wrong in the last call: the bus error, and for the host
// object's own errors their number, source and description.
struct CallError
{
    QString name;    // D-Bus error name, empty when the call succeeded
    QString message; // the error's text
    qint32 number = 0;
    QString source;
    QString description;
    bool isAutomationError() const { return name == kErrorName; }
    QString text() const;
};

class PlugInClient
{
public:
    explicit PlugInClient(const QDBusConnection &bus, int timeoutMs = 30000);

    // Creates the host object: the bus starts the plug-in (or finds the
    // instance that serves the name), then the client binds to that
    // instance's unique name. False with lastError() when the bus is
    // missing, the plug-in is not registered on it or does not start.
    bool create();
    QString instance() const { return m_instance; }
    // Talks to an instance found otherwise (its unique bus name).
    void attach(const QString &instance) { m_instance = instance; }

    bool get(const QString &property, QVariant *value);
    bool set(const QString &property, const QVariant &value);
    bool sendCommand(qint32 commandId, qint16 classId, const QString &objectName);
    bool closePlugIn();
    // Ends the hold on the object without waiting for an answer (the plug-in
    // may end at once).
    void release();

    const CallError &lastError() const { return m_error; }

private:
    bool call(const QString &interface, const QString &member, const QVariantList &args, QVariantList *out = nullptr);
    bool busCall(const QString &member, const QVariantList &args, QVariantList *out);

    QDBusConnection m_bus;
    int m_timeoutMs;
    QString m_instance;
    CallError m_error;
};

// A network tool's result object for project registrations: exported on the
// tool's connection, its handle handed to the plug-in as RegResult.
class RegResultObject : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "nordaQRT.RegResult")
    Q_PROPERTY(bool RegResult READ regResult WRITE setRegResult)
public:
    explicit RegResultObject(const QDBusConnection &bus, QObject *parent = nullptr);
    ~RegResultObject() override;

    // "<unique bus name><object path>", empty when it could not be exported.
    QString handle() const { return m_handle; }
    bool regResult() const { return m_value; }
    void setRegResult(bool value)
    {
        m_value = value;
        m_set = true;
    }
    // Whether the plug-in has set it.
    bool wasSet() const { return m_set; }

private:
    QDBusConnection m_bus;
    QString m_path;
    QString m_handle;
    bool m_value = false;
    bool m_set = false;
};

} // namespace automation
