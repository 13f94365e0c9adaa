#include "multidevicesearch.h"


#include <lns/templatelookup.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>

#include <QSet>

namespace params {

LnsMultiDeviceSearch::LnsMultiDeviceSearch(lns::SystemPtr system, lns::LonMarkObjectPtr current,
                                           const platform::IniFile *ini, QObject *parent)
    : platform::MultiDeviceSearch(parent)
    , m_system(std::move(system))
    , m_current(std::move(current))
    , m_ini(ini)
{
}

void LnsMultiDeviceSearch::collectDevices(const lns::SubsystemPtr &subsystem, QVector<lns::AppDevicePtr> &out)
{
    const auto devices = subsystem->appDevices();
    for (int i = 1; i <= devices->count(); ++i)
        out << devices->itemAt(i);
    const auto children = subsystem->subsystems();
    for (int i = 1; i <= children->count(); ++i)
        collectDevices(children->itemAt(i), out);
}

QVector<platform::MultiDeviceCandidate> LnsMultiDeviceSearch::run()
{
    platform::traceEntry(QStringLiteral("[LnsMultiDeviceSearch] Public Function run()"));
    m_objects.clear();
    QVector<platform::MultiDeviceCandidate> out;
    QString objectName, currentKey, programId, networkName;
    QVector<lns::AppDevicePtr> devices;
    try {
        objectName = m_current->name();
        const auto currentDevice = std::dynamic_pointer_cast<lns::AppDevice>(m_current->parent());
        programId = currentDevice ? currentDevice->programId() : QString();
        if (const lns::ObjectPtr network = m_system->parent())
            networkName = network->name();
        if (currentDevice) {
            const auto sub = std::dynamic_pointer_cast<lns::Subsystem>(currentDevice->parent());
            currentKey = QStringList{networkName, sub ? sub->path() : QString(), currentDevice->name(), objectName}
                             .join(QLatin1Char('.'));
        }
        const auto top = m_system->subsystems();
        for (int i = 1; i <= top->count(); ++i)
            collectDevices(top->itemAt(i), devices);
    } catch (const lns::LnsError &e) {
        platform::TraceLog::instance().logError(QStringLiteral("LnsMultiDeviceSearch"), QStringLiteral("run"),
                                                e.number(), e.description());
        Q_EMIT searchCompleted(0);
        return out;
    }

    // Which program ids may take data of the current one: the same test the
    // data file's loader makes, seen from the target.
    QHash<QString, bool> takes;
    const auto accepts = [&](const QString &targetId) {
        const auto it = takes.constFind(targetId);
        if (it != takes.constEnd())
            return *it;
        const bool ok = targetId == programId
            || (m_ini && m_ini->compatibleProgramIds(targetId).contains(programId));
        takes.insert(targetId, ok);
        return ok;
    };

    const int total = devices.size();
    for (int i = 0; i < total; ++i) {
        const lns::AppDevicePtr &d = devices.at(i);
        try {
            if (accepts(d->programId())) {
                const auto subsystem = std::dynamic_pointer_cast<lns::Subsystem>(d->parent());
                const QString path = subsystem ? subsystem->path() : QString();
                const QString deviceName = d->name();
                const auto objects = d->lonMarkObjects();
                for (int k = 1; k <= objects->count(); ++k) {
                    const lns::LonMarkObjectPtr o = objects->itemAt(k);
                    if (o->name() != objectName)
                        continue;
                    platform::MultiDeviceCandidate c;
                    c.subsystemPath = path;
                    c.deviceName = deviceName;
                    c.objectName = o->name();
                    c.key = QStringList{networkName, path, deviceName, c.objectName}.join(QLatin1Char('.'));
                    if (c.key == currentKey)
                        continue;
                    const lns::DeviceTemplatePtr t = d->deviceTemplate();
                    c.templateName = t ? t->name() : QString();
                    c.programId = d->programId();
                    c.commissioned = d->commissioned();
                    m_objects.insert(c.key, o);
                    out << c;
                }
            }
        } catch (const lns::LnsError &e) {
            // A device the database cannot describe is left out, not the search.
            platform::TraceLog::instance().logError(QStringLiteral("LnsMultiDeviceSearch"), QStringLiteral("run"),
                                                    e.number(), e.description());
        }
        Q_EMIT progress(i + 1, total);
    }
    platform::sortCandidates(out);
    Q_EMIT searchCompleted(out.size());
    return out;
}

int LnsMultiDeviceSearch::ctrlType(const QString &templateName) const
{
    if (!m_ini)
        return 0;
    return platform::leadingInt32(m_ini->value(lns::kCpSection, QStringLiteral("CtrlType"), templateName));
}

platform::MultiDeviceCost LnsMultiDeviceSearch::costOf(const QString &templateName) const
{
    const auto it = m_costCache.constFind(templateName);
    if (it != m_costCache.constEnd())
        return *it;
    platform::MultiDeviceCost c;
    c.objects = 1;
    for (const CopiedCp &cp : m_cps) {
        if (m_ini && !m_ini->contains(lns::kCpSection, cp.cpIniName, templateName))
            continue;
        if (m_ini && m_ini->indexes(lns::kCpSection, cp.cpIniName, templateName).index < 0)
            continue;
        ++c.transactions;
        if (m_price)
            c.micros += m_price(ChannelOp::WriteCp, cp.bytes);
        if (cp.readFirst) {
            ++c.transactions;
            if (m_price)
                c.micros += m_price(ChannelOp::ReadCp, cp.bytes);
        }
    }
    const int kind = ctrlType(templateName);
    if (kind == 1 || kind == 2) {
        ++c.transactions;
        if (m_price)
            c.micros += m_price(ChannelOp::ReadVersion, 0);
    }
    m_costCache.insert(templateName, c);
    return c;
}

platform::MultiDeviceCost LnsMultiDeviceSearch::cost(const QVector<platform::MultiDeviceCandidate> &selection) const
{
    platform::MultiDeviceCost total;
    for (const auto &c : selection) {
        const platform::MultiDeviceCost one = costOf(c.templateName);
        total.objects += 1;
        total.transactions += one.transactions;
        total.micros += one.micros;
    }
    return total;
}

} // namespace params
