#include "resync.h"

#include <lns/rawtext.h>
#include <params/paramcollection.h>
#include <platform/tracelog.h>

#include <QSet>

namespace configuration {

namespace {

void addCps(QVector<DatabaseCp> &out, const lns::CollectionPtr<lns::ConfigProperty> &cps, bool ofNv)
{
    for (int i = 1; cps && i <= cps->count(); ++i) {
        const lns::ConfigPropertyPtr cp = cps->itemAt(i);
        DatabaseCp c;
        c.name = cp->name();
        c.ofNv = ofNv;
        if (lns::parseRaw(cp->databaseValue(), &c.bytes))
            out << c;
    }
}

void addNvCps(QVector<DatabaseCp> &out, const lns::CollectionPtr<lns::NetworkVariable> &nvs)
{
    for (int i = 1; nvs && i <= nvs->count(); ++i)
        addCps(out, nvs->itemAt(i)->configProperties(), true);
}

} // namespace

QVector<DatabaseCp> databaseCopy(const lns::AppDevicePtr &device)
{
    QVector<DatabaseCp> out;
    if (!device)
        return out;
    try {
        addCps(out, device->configProperties(), false);
        addNvCps(out, device->networkVariables());
        const auto objects = device->lonMarkObjects();
        for (int i = 1; objects && i <= objects->count(); ++i) {
            addCps(out, objects->itemAt(i)->configProperties(), false);
            addNvCps(out, objects->itemAt(i)->networkVariables());
        }
    } catch (const lns::LnsError &e) {
        // What could not be listed is not compared; the caller sees fewer CPs.
        platform::traceCaughtError(QStringLiteral("DatabaseCopy"), e.number(), e.description());
    }
    return out;
}

QHash<QString, QByteArray> bytesByName(const QVector<DatabaseCp> &cps)
{
    QHash<QString, QByteArray> out;
    for (const DatabaseCp &c : cps)
        out.insert(c.name, c.bytes);
    return out;
}

QVector<QPair<QString, int>> parameterCpSizes(const QVector<DatabaseCp> &copy)
{
    QVector<QPair<QString, int>> out;
    for (const DatabaseCp &c : copy)
        if (!c.ofNv)
            out << qMakePair(c.name, int(c.bytes.size()));
    return out;
}

QHash<QString, QByteArray> heldDeviceBytes(params::cParams &p)
{
    QHash<QString, QByteArray> out;
    for (const auto &x : p.AllParameters()) {
        if (!x)
            continue;
        const lns::ConfigPropertyPtr cp =
            x->CpIsExternal() && x->ConfigPropExt() ? x->ConfigPropExt()->ConfigProperty() : x->ConfigProperty();
        if (!cp)
            continue;
        try {
            if (const auto bytes = p.cpIo().knownBytes(cp))
                out.insert(cp->name(), *bytes);
        } catch (const lns::LnsError &e) {
            platform::traceCaughtError(QStringLiteral("HeldDeviceBytes"), e.number(), e.description());
        }
    }
    return out;
}

QHash<QString, QByteArray> readDeviceBytes(params::cParams &p, QStringList *unread)
{
    QHash<QString, QByteArray> out;
    QSet<QString> seen;
    for (const auto &x : p.AllParameters()) {
        if (!x || !x->Available())
            continue;
        const lns::ConfigPropertyPtr cp =
            x->CpIsExternal() && x->ConfigPropExt() ? x->ConfigPropExt()->ConfigProperty() : x->ConfigProperty();
        if (!cp)
            continue;
        QString name;
        try {
            name = cp->name();
        } catch (const lns::LnsError &e) {
            platform::traceCaughtError(QStringLiteral("ReadDeviceBytes"), e.number(), e.description());
            continue;
        }
        if (seen.contains(name))
            continue;
        seen.insert(name);
        if (const auto bytes = p.cpIo().readCp(cp, QStringLiteral("Resync"), QStringLiteral("ReadDeviceBytes")))
            out.insert(name, *bytes);
        else if (unread)
            *unread << name;
    }
    return out;
}

QVector<CpDifference> differences(const QVector<DatabaseCp> &copy, const QHash<QString, QByteArray> &device)
{
    QVector<CpDifference> out;
    for (const DatabaseCp &c : copy) {
        const auto held = device.constFind(c.name);
        if (held != device.constEnd() && *held != c.bytes)
            out << CpDifference{c.name, *held, c.bytes};
    }
    return out;
}

RestorePlan databaseToDevice(const QVector<CpDifference> &diffs)
{
    RestorePlan plan;
    for (const CpDifference &d : diffs) {
        plan.cps << d.cp;
        plan.bytes.insert(d.cp, d.database);
    }
    return plan;
}

bool ComparisonHold::begin(const lns::SystemPtr &system)
{
    release();
    if (!system)
        return false;
    try {
        system->startTransaction();
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(QStringLiteral("ComparisonHold"), e.number(), e.description());
        return false;
    }
    m_system = system;
    return true;
}

bool ComparisonHold::takeReads(QString *error)
{
    if (!m_system)
        return false;
    const lns::SystemPtr system = std::exchange(m_system, nullptr);
    try {
        system->commitTransaction();
        return true;
    } catch (const lns::LnsError &e) {
        if (error)
            *error = e.description();
        try {
            if (system->inTransaction())
                system->cancelTransaction();
        } catch (const lns::LnsError &cancel) {
            platform::traceCaughtError(QStringLiteral("ComparisonHold"), cancel.number(), cancel.description());
        }
        return false;
    }
}

void ComparisonHold::release()
{
    if (!m_system)
        return;
    const lns::SystemPtr system = std::exchange(m_system, nullptr);
    try {
        if (system->inTransaction())
            system->cancelTransaction();
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(QStringLiteral("ComparisonHold"), e.number(), e.description());
    }
}

} // namespace configuration
