#include "applicationobject.h"

#include "busnames.h"

#include <host/hoststate.h>
#include <platform/tracelog.h>

#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariantMap>

#include <limits>

namespace automation {

namespace {

const QString kUnknownProperty = QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty");
const QString kUnknownInterface = QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface");
const QString kUnknownMethod = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");
const QString kInvalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
const QString kFailed = QStringLiteral("org.freedesktop.DBus.Error.Failed");

void trace(const QString &line)
{
    platform::TraceLog::instance().write(QStringLiteral("automation: ") + line);
}

bool isIntegral(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

// A whole number of the bus in the range [lo, hi].
bool toInteger(const QVariant &v, qint64 lo, qint64 hi, qint64 *out)
{
    if (!isIntegral(v))
        return false;
    if (v.metaType().id() == QMetaType::ULongLong) {
        const qulonglong u = v.toULongLong();
        if (u > qulonglong(hi))
            return false;
        *out = qint64(u);
        return true;
    }
    const qint64 x = v.toLongLong();
    if (x < lo || x > hi)
        return false;
    *out = x;
    return true;
}

bool toBool(const QVariant &v, bool *out)
{
    if (v.metaType().id() == QMetaType::Bool) {
        *out = v.toBool();
        return true;
    }
    // Tools that send booleans as numbers (True = -1 or 1): any non-zero is True.
    qint64 x = 0;
    if (!toInteger(v, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), &x))
        return false;
    *out = x != 0;
    return true;
}

QString dbusTypeName(const QVariant &v)
{
    return QString::fromLatin1(v.metaType().name());
}

// The plug-in's side of a network tool's result object.
class BusResultObject : public host::HostResultObject
{
public:
    BusResultObject(QDBusConnection connection, QString service, QString path, int timeoutMs)
        : m_connection(std::move(connection)), m_service(std::move(service)), m_path(std::move(path)),
          m_timeoutMs(timeoutMs)
    {
    }

    void setRegResult(bool value) override
    {
        // Late binding: an empty interface name sets "RegResult" on whatever
        // interface of the tool's object has it.
        QDBusMessage call = QDBusMessage::createMethodCall(m_service, m_path, kPropertiesInterface, QStringLiteral("Set"));
        call << QString() << kRegResultProperty << QVariant::fromValue(QDBusVariant(value));
        call.setAutoStartService(false);
        // The tool waits for our answer to its SendCommand and answers this
        // call meanwhile; the local loop lets a tool in this very process
        // answer as well.
        const QDBusMessage reply = m_connection.call(call, QDBus::BlockWithGui, m_timeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage)
            throw std::runtime_error(QStringLiteral("RegResult of %1%2 not set: %3 %4")
                                         .arg(m_service, m_path, reply.errorName(), reply.errorMessage())
                                         .toStdString());
    }

private:
    QDBusConnection m_connection;
    QString m_service;
    QString m_path;
    int m_timeoutMs;
};

} // namespace

const QVector<MemberInfo> &applicationMembers()
{
    static const QVector<MemberInfo> members{
        {QStringLiteral("Height"), false, QStringLiteral("i"), true, true},
        {QStringLiteral("LcaVersion"), false, QStringLiteral("s"), true, false},
        {QStringLiteral("Left"), false, QStringLiteral("i"), true, true},
        {QStringLiteral("ManufacturerId"), false, QStringLiteral("s"), true, false},
        {QStringLiteral("ManufacturerName"), false, QStringLiteral("s"), true, false},
        {QStringLiteral("Minimized"), false, QStringLiteral("b"), true, true},
        {QStringLiteral("Name"), false, QStringLiteral("s"), true, false},
        {QStringLiteral("NetworkInterfaceName"), false, QStringLiteral("s"), true, true},
        {QStringLiteral("Remote"), false, QStringLiteral("b"), true, true},
        {QStringLiteral("NetworkName"), false, QStringLiteral("s"), true, true},
        {QStringLiteral("Top"), false, QStringLiteral("i"), true, true},
        {QStringLiteral("Version"), false, QStringLiteral("s"), true, false},
        {QStringLiteral("Visible"), false, QStringLiteral("b"), true, true},
        {QStringLiteral("Width"), false, QStringLiteral("i"), true, true},
        {QStringLiteral("SendCommand"), true, QStringLiteral("ins"), false, false},
        {QStringLiteral("LnsObjectByTool"), false, QStringLiteral("s"), true, true},
        {QStringLiteral("ProgramIdsToRegister"), false, QStringLiteral("s"), false, true},
        {QStringLiteral("RegResult"), false, QStringLiteral("s"), false, true},
        {QStringLiteral("LnsServer"), false, QStringLiteral("s"), false, true},
        {QStringLiteral("ClosePlugIn"), true, QString(), false, false},
        {kReleaseMethod, true, QString(), false, false},
    };
    return members;
}

QString applicationInterfaceXml()
{
    QString xml = QStringLiteral("  <interface name=\"%1\">\n").arg(host::kAutomationInterface);
    for (const MemberInfo &m : applicationMembers()) {
        if (m.method) {
            if (m.name == QLatin1String("SendCommand")) {
                xml += QStringLiteral("    <method name=\"SendCommand\">\n"
                                      "      <arg name=\"CommandId\" type=\"i\" direction=\"in\"/>\n"
                                      "      <arg name=\"ClassId\" type=\"n\" direction=\"in\"/>\n"
                                      "      <arg name=\"ObjectName\" type=\"s\" direction=\"in\"/>\n"
                                      "    </method>\n");
            } else {
                xml += QStringLiteral("    <method name=\"%1\"/>\n").arg(m.name);
            }
            continue;
        }
        // Read-only members are announced as such; writing them still
        // reaches the object, which answers with its own error.
        const QString access = m.readable && m.writable ? QStringLiteral("readwrite")
                               : m.readable             ? QStringLiteral("read")
                                                        : QStringLiteral("write");
        xml += QStringLiteral("    <property name=\"%1\" type=\"%2\" access=\"%3\"/>\n").arg(m.name, m.signature, access);
    }
    xml += QStringLiteral("  </interface>\n");
    return xml;
}

ApplicationObject::ApplicationObject(host::Application &application, ObjectBindings bindings, QObject *parent)
    : QDBusVirtualObject(parent), m_app(application), m_bindings(std::move(bindings))
{
}

QString ApplicationObject::introspect(const QString &) const
{
    return applicationInterfaceXml();
}

bool ApplicationObject::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    const QString iface = message.interface();
    // Introspection and ping are left to the bus library and open to anyone.
    if (iface == kIntrospectableInterface || iface == QLatin1String("org.freedesktop.DBus.Peer"))
        return false;
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;

    const QString sender = message.service();
    bool first = false;
    if (m_caller.isEmpty() && !sender.isEmpty()) {
        m_caller = sender;
        first = true;
    } else if (sender != m_caller) {
        trace(QStringLiteral("call %1 from %2 refused: serving %3").arg(message.member(), sender, m_caller));
        if (!message.isReplyRequired())
            return true;
        connection.send(message.createErrorReply(
            kInUseErrorName, QStringLiteral("The plug-in's host object already serves another network tool (%1).")
                                 .arg(m_caller)));
        return true;
    }
    if (first)
        Q_EMIT callerArrived(m_caller);

    ++m_callDepth;
    const QDBusMessage reply = dispatch(message, connection);
    --m_callDepth;
    if (message.isReplyRequired())
        connection.send(reply);
    Q_EMIT called();
    if (iface != kPropertiesInterface && message.member() == kReleaseMethod && reply.type() == QDBusMessage::ReplyMessage)
        Q_EMIT released();
    return true;
}

QDBusMessage ApplicationObject::dispatch(const QDBusMessage &message, const QDBusConnection &connection)
{
    const QString iface = message.interface();
    const QString member = message.member();
    const QVariantList args = message.arguments();
    try {
        if (iface == kPropertiesInterface) {
            const QString target = args.value(0).toString();
            if (!args.isEmpty() && !target.isEmpty() && target != host::kAutomationInterface)
                return message.createErrorReply(kUnknownInterface,
                                                QStringLiteral("The object has no interface %1").arg(target));
            if (member == QLatin1String("Get") && args.size() == 2)
                return getProperty(message, args.at(1).toString());
            if (member == QLatin1String("Set") && args.size() == 3 && args.at(2).canConvert<QDBusVariant>())
                return setProperty(message, connection, args.at(1).toString(),
                                   qvariant_cast<QDBusVariant>(args.at(2)).variant());
            if (member == QLatin1String("GetAll") && args.size() == 1)
                return getAll(message);
            return message.createErrorReply(kInvalidArgs,
                                            QStringLiteral("%1.%2 with signature \"%3\" is not understood")
                                                .arg(iface, member, message.signature()));
        }
        if (!iface.isEmpty() && iface != host::kAutomationInterface)
            return message.createErrorReply(kUnknownInterface, QStringLiteral("The object has no interface %1").arg(iface));

        if (member == QLatin1String("SendCommand")) {
            qint64 commandId = 0;
            qint64 classId = 0;
            if (args.size() != 3
                || !toInteger(args.at(0), std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), &commandId)
                || !toInteger(args.at(1), std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max(), &classId)
                || args.at(2).metaType().id() != QMetaType::QString)
                return message.createErrorReply(
                    kInvalidArgs, QStringLiteral("SendCommand takes CommandId (32-bit), ClassId (16-bit) and "
                                                 "ObjectName (text); got \"%1\"")
                                      .arg(message.signature()));
            qint32 cmd = qint32(commandId);
            qint16 cls = qint16(classId);
            QString objectName = args.at(2).toString();
            m_app.SendCommand(cmd, cls, objectName);
            return message.createReply();
        }
        if (member == QLatin1String("ClosePlugIn") && args.isEmpty()) {
            m_app.ClosePlugIn();
            return message.createReply();
        }
        if (member == kReleaseMethod && args.isEmpty()) {
            trace(QStringLiteral("released by %1").arg(m_caller));
            return message.createReply();
        }
        return message.createErrorReply(
            kUnknownMethod, QStringLiteral("%1 has no method %2 with signature \"%3\"")
                                .arg(host::kAutomationInterface, member, message.signature()));
    } catch (const host::AutomationError &e) {
        QDBusMessage reply = message.createErrorReply(kErrorName, e.description());
        reply << e.number() << e.source();
        return reply;
    } catch (const std::exception &e) {
        // Not one of the host object's own errors: the caller gets it as a
        // failed call, the error logger keeps it.
        platform::TraceLog::instance().logError(QStringLiteral("ApplicationObject"), message.member(), 0,
                                                QString::fromUtf8(e.what()));
        return message.createErrorReply(kFailed, QString::fromUtf8(e.what()));
    }
}

QVariant ApplicationObject::read(const QString &name) const
{
    if (name == QLatin1String("Height"))
        return m_app.Height();
    if (name == QLatin1String("LcaVersion"))
        return m_app.LcaVersion();
    if (name == QLatin1String("Left"))
        return m_app.Left();
    if (name == QLatin1String("ManufacturerId"))
        return m_app.ManufacturerId();
    if (name == QLatin1String("ManufacturerName"))
        return m_app.ManufacturerName();
    if (name == QLatin1String("Minimized"))
        return m_app.Minimized();
    if (name == QLatin1String("Name"))
        return m_app.Name();
    if (name == QLatin1String("NetworkInterfaceName"))
        return m_app.NetworkInterfaceName();
    if (name == QLatin1String("Remote"))
        return m_app.Remote();
    if (name == QLatin1String("NetworkName"))
        return m_app.NetworkName();
    if (name == QLatin1String("Top"))
        return m_app.Top();
    if (name == QLatin1String("Version"))
        return m_app.Version();
    if (name == QLatin1String("Visible"))
        return m_app.Visible();
    if (name == QLatin1String("Width"))
        return m_app.Width();
    if (name == QLatin1String("LnsObjectByTool")) {
        const lns::ObjectPtr object = m_app.LnsObjectByTool();
        if (!object || !m_bindings.handleOf)
            return QString();
        try {
            return m_bindings.handleOf(object);
        } catch (const std::exception &e) {
            trace(QStringLiteral("LnsObjectByTool has no handle: ") + QString::fromUtf8(e.what()));
            return QString();
        }
    }
    return QVariant();
}

QDBusMessage ApplicationObject::getProperty(const QDBusMessage &message, const QString &name)
{
    for (const MemberInfo &m : applicationMembers()) {
        if (m.method || m.name != name)
            continue;
        if (!m.readable)
            return message.createErrorReply(kInvalidArgs, QStringLiteral("Property %1 is write-only").arg(name));
        return message.createReply(QVariant::fromValue(QDBusVariant(read(name))));
    }
    return message.createErrorReply(kUnknownProperty, QStringLiteral("The object has no property %1").arg(name));
}

QDBusMessage ApplicationObject::getAll(const QDBusMessage &message)
{
    QVariantMap all;
    for (const MemberInfo &m : applicationMembers()) {
        if (!m.method && m.readable)
            all.insert(m.name, read(m.name));
    }
    return message.createReply(QVariant::fromValue(all));
}

QDBusMessage ApplicationObject::setProperty(const QDBusMessage &message, const QDBusConnection &connection,
                                            const QString &name, const QVariant &value)
{
    const MemberInfo *info = nullptr;
    for (const MemberInfo &m : applicationMembers()) {
        if (!m.method && m.name == name)
            info = &m;
    }
    if (!info)
        return message.createErrorReply(kUnknownProperty, QStringLiteral("The object has no property %1").arg(name));
    auto typeError = [&]() {
        return message.createErrorReply(kInvalidArgs, QStringLiteral("Property %1 takes type \"%2\", not %3")
                                                          .arg(name, info->signature, dbusTypeName(value)));
    };

    if (info->signature == QLatin1String("i")) {
        qint64 v = 0;
        if (!toInteger(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), &v))
            return typeError();
        const qint32 twips = qint32(v);
        if (name == QLatin1String("Height"))
            m_app.setHeight(twips);
        else if (name == QLatin1String("Left"))
            m_app.setLeft(twips);
        else if (name == QLatin1String("Top"))
            m_app.setTop(twips);
        else if (name == QLatin1String("Width"))
            m_app.setWidth(twips);
        return message.createReply();
    }
    if (info->signature == QLatin1String("b")) {
        bool v = false;
        if (!toBool(value, &v))
            return typeError();
        if (name == QLatin1String("Minimized"))
            m_app.setMinimized(v);
        else if (name == QLatin1String("Remote"))
            m_app.setRemote(v);
        else if (name == QLatin1String("Visible"))
            m_app.setVisible(v);
        return message.createReply();
    }

    if (value.metaType().id() != QMetaType::QString)
        return typeError();
    const QString text = value.toString();
    if (name == QLatin1String("LcaVersion"))
        m_app.setLcaVersion(text);
    else if (name == QLatin1String("ManufacturerId"))
        m_app.setManufacturerId(text);
    else if (name == QLatin1String("ManufacturerName"))
        m_app.setManufacturerName(text);
    else if (name == QLatin1String("Name"))
        m_app.setName(text);
    else if (name == QLatin1String("Version"))
        m_app.setVersion(text);
    else if (name == QLatin1String("NetworkInterfaceName"))
        m_app.setNetworkInterfaceName(text);
    else if (name == QLatin1String("NetworkName"))
        m_app.setNetworkName(text);
    else if (name == QLatin1String("ProgramIdsToRegister"))
        m_app.setProgramIdsToRegister(text);
    else if (name == QLatin1String("RegResult")) {
        if (text.isEmpty()) {
            m_app.setRegResult(nullptr);
        } else {
            QString service, path;
            if (!splitObjectHandle(text, &service, &path))
                return message.createErrorReply(
                    kInvalidArgs, QStringLiteral("RegResult takes \"<bus name><object path>\" of a result object, not \"%1\"")
                                      .arg(text));
            m_app.setRegResult(std::make_shared<BusResultObject>(connection, service, path, m_callbackTimeoutMs));
        }
    } else if (name == QLatin1String("LnsObjectByTool") || name == QLatin1String("LnsServer")) {
        // Nothing is resolved (nor any network opened) for a plug-in that
        // does nothing any more.
        if (host::state().abortFlag)
            return message.createReply();
        lns::ObjectPtr object;
        try {
            if (!m_bindings.resolve)
                throw std::runtime_error("this plug-in cannot resolve handles");
            object = m_bindings.resolve(text);
        } catch (const std::exception &e) {
            // Like an object whose ClassId cannot be read: ignored, the
            // plug-in connects by itself.
            trace(QStringLiteral("%1: handle \"%2\" ignored: %3").arg(name, text, QString::fromUtf8(e.what())));
        }
        if (object) {
            if (name == QLatin1String("LnsObjectByTool"))
                m_app.setLnsObjectByTool(object);
            else
                m_app.setLnsServer(object);
        }
    }
    return message.createReply();
}

} // namespace automation
