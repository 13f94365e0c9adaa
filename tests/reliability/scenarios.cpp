#include "scenarios.h"

namespace harness {

namespace {
// Values changed in every template's file (keys a template lacks are left
// out of its file by the read and stay out).
const QList<QPair<QByteArray, QByteArray>> kChanges = {
    {"MaxSendTime", "660"},  {"HeatTi", "35"},        {"CoolTi", "40"},
    {"OffDelay", "610"},     {"MinRuntime", "1260"},  {"HeatSetpointComfort", "2150"},
    {"CoolSetpointComfort", "2350"},
};
} // namespace

Scenarios::Scenarios(NetworkBed &bed)
    : m_bed(bed)
{
    for (const lnssim::DeviceInfo &d : bed.devices())
        m_rooms << d.name;
}

QString Scenarios::prepare()
{
    m_bed.reset();
    for (const lnssim::DeviceInfo &d : m_bed.devices()) {
        if (m_files.contains(d.templateName) || !d.state.reachable || !d.state.commissioned)
            continue;
        const QString path = m_bed.file(d.templateName + QStringLiteral(".dat"));
        const ToolRun r = m_bed.runTool({QStringLiteral("read"), d.objectName, QStringLiteral("-o"), path});
        if (r.status != 0)
            return QStringLiteral("read of %1 ended with %2: %3").arg(d.name).arg(r.status).arg(r.err);
        QByteArray bytes = readAll(path);
        for (const auto &c : kChanges)
            bytes = withValue(bytes, c.first, c.second);
        if (bytes == readAll(path) || !writeAll(path, bytes))
            return QStringLiteral("no value of %1's file could be changed").arg(d.name);
        m_files.insert(d.templateName, path);
    }
    for (const lnssim::DeviceInfo &d : m_bed.devices()) {
        if (!m_files.contains(d.templateName))
            return QStringLiteral("no controller of template %1 can be read").arg(d.templateName);
    }
    return QString();
}

QStringList Scenarios::sameTemplate(const QString &room) const
{
    QStringList out;
    for (const lnssim::DeviceInfo &d : m_bed.devices())
        if (d.templateName == m_bed.templateOf(room))
            out << d.name;
    return out;
}

QStringList Scenarios::cpNames(const QString &room) const
{
    return m_bed.pristine().value(room).cps.keys();
}

QStringList Scenarios::writeArgs(const QString &room) const
{
    return {QStringLiteral("write"), m_bed.objectOf(room), fileFor(room)};
}

QStringList Scenarios::copyArgs(const QStringList &rooms, const QString &resultFile) const
{
    QStringList args{QStringLiteral("copy"), fileFor(rooms.first())};
    for (const QString &r : rooms)
        args << m_bed.objectOf(r);
    return args << QStringLiteral("--result") << resultFile;
}

const NetworkImage &Scenarios::writeReference(const QString &room, qint64 *millis)
{
    auto it = m_writes.find(room);
    if (it == m_writes.end()) {
        m_bed.reset();
        const ToolRun r = m_bed.runTool(writeArgs(room));
        it = m_writes.insert(room, Reference{m_bed.image(), r.millis});
    }
    if (millis)
        *millis = it->millis;
    return it->image;
}

NetworkImage Scenarios::copyReference(const QStringList &rooms, qint64 *millis)
{
    NetworkImage out = m_bed.pristine();
    qint64 total = 0;
    for (const QString &room : rooms) {
        auto it = m_copies.find(room);
        if (it == m_copies.end()) {
            m_bed.reset();
            const ToolRun r = m_bed.runTool(copyArgs({room}, m_bed.file(QStringLiteral("reference.tsv"))));
            it = m_copies.insert(room, Reference{m_bed.image(), r.millis});
        }
        out[room] = it->image.value(room);
        total += it->millis;
    }
    if (millis)
        *millis = total;
    return out;
}

} // namespace harness
