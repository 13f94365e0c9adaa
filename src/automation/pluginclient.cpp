#include "pluginclient.h"

#include <host/busactivation.h>

#include <QDBusMessage>
#include <QDBusVariant>

#include <atomic>

namespace automation {

namespace {
const QString kBusService = QStringLiteral("org.freedesktop.DBus");
const QString kBusPath = QStringLiteral("/org/freedesktop/DBus");
} // namespace

QString CallError::text() const
{
    if (isAutomationError())
        return QStringLiteral("%1 (error 0x%2, %3)")
            .arg(description, QString::number(quint32(number), 16).toUpper(), source);
    return message.isEmpty() ? name : message;
}

PlugInClient::PlugInClient(const QDBusConnection &bus, int timeoutMs) : m_bus(bus), m_timeoutMs(timeoutMs) {}

bool PlugInClient::busCall(const QString &member, const QVariantList &args, QVariantList *out)
{
    QDBusMessage msg = QDBusMessage::createMethodCall(kBusService, kBusPath, kBusService, member);
    msg.setArguments(args);
    const QDBusMessage reply = m_bus.call(msg, QDBus::BlockWithGui, m_timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        m_error = CallError();
        m_error.name = reply.errorName();
        m_error.message = reply.errorMessage();
        return false;
    }
    if (out)
        *out = reply.arguments();
    return true;
}

bool PlugInClient::create()
{
    m_error = CallError();
    m_instance.clear();
    if (!m_bus.isConnected()) {
        m_error.name = QStringLiteral("org.freedesktop.DBus.Error.Disconnected");
        m_error.message = m_bus.lastError().isValid() ? m_bus.lastError().message()
                                                      : QStringLiteral("not connected to a session bus");
        return false;
    }
    const QString service = host::automationServiceName();
    // Starts the plug-in from its activation file unless an instance serves
    // the name already.
    if (!busCall(QStringLiteral("StartServiceByName"), {service, 0u}, nullptr))
        return false;
    QVariantList owner;
    if (!busCall(QStringLiteral("GetNameOwner"), {service}, &owner))
        return false;
    m_instance = owner.value(0).toString();
    return !m_instance.isEmpty();
}

bool PlugInClient::call(const QString &interface, const QString &member, const QVariantList &args, QVariantList *out)
{
    m_error = CallError();
    if (m_instance.isEmpty()) {
        m_error.name = QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown");
        m_error.message = QStringLiteral("the host object has not been created");
        return false;
    }
    QDBusMessage msg = QDBusMessage::createMethodCall(m_instance, host::kAutomationObjectPath, interface, member);
    msg.setArguments(args);
    msg.setAutoStartService(false);
    const QDBusMessage reply = m_bus.call(msg, QDBus::BlockWithGui, m_timeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        if (out)
            *out = reply.arguments();
        return true;
    }
    m_error.name = reply.errorName();
    m_error.message = reply.errorMessage();
    const QVariantList a = reply.arguments();
    if (m_error.isAutomationError() && a.size() >= 3) {
        m_error.description = a.at(0).toString();
        m_error.number = a.at(1).toInt();
        m_error.source = a.at(2).toString();
    }
    return false;
}

bool PlugInClient::get(const QString &property, QVariant *value)
{
    QVariantList out;
    if (!call(kPropertiesInterface, QStringLiteral("Get"), {host::kAutomationInterface, property}, &out))
        return false;
    if (value)
        *value = qvariant_cast<QDBusVariant>(out.value(0)).variant();
    return true;
}

bool PlugInClient::set(const QString &property, const QVariant &value)
{
    return call(kPropertiesInterface, QStringLiteral("Set"),
                {host::kAutomationInterface, property, QVariant::fromValue(QDBusVariant(value))});
}

bool PlugInClient::sendCommand(qint32 commandId, qint16 classId, const QString &objectName)
{
    return call(host::kAutomationInterface, QStringLiteral("SendCommand"),
                {QVariant::fromValue(commandId), QVariant::fromValue(classId), objectName});
}

bool PlugInClient::closePlugIn()
{
    return call(host::kAutomationInterface, QStringLiteral("ClosePlugIn"), {});
}

void PlugInClient::release()
{
    if (m_instance.isEmpty() || !m_bus.isConnected())
        return;
    QDBusMessage msg = QDBusMessage::createMethodCall(m_instance, host::kAutomationObjectPath,
                                                      host::kAutomationInterface, kReleaseMethod);
    msg.setAutoStartService(false);
    m_bus.send(msg);
    m_instance.clear();
}

RegResultObject::RegResultObject(const QDBusConnection &bus, QObject *parent) : QObject(parent), m_bus(bus)
{
    static std::atomic<int> counter{0};
    m_path = QStringLiteral("/nordaQRT/RegResult/%1").arg(++counter);
    if (m_bus.isConnected()
        && m_bus.registerObject(m_path, this, QDBusConnection::ExportAllProperties))
        m_handle = m_bus.baseService() + m_path;
}

RegResultObject::~RegResultObject()
{
    if (!m_handle.isEmpty())
        m_bus.unregisterObject(m_path);
}

} // namespace automation
