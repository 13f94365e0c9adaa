#include "restore.h"

#include "configuration.h"
#include "configwindow.h"

#include <lns/rawtext.h>
#include <params/paramcollection.h>

#include <algorithm>

namespace configuration {

namespace {

bool sameRun(const lns::WriteRecord &a, const lns::WriteRecord &b)
{
    if (!a.run.isEmpty() || !b.run.isEmpty())
        return a.run == b.run;
    return a.user == b.user && a.host == b.host && a.tool == b.tool && a.command == b.command;
}

bool restorable(const lns::WriteRecord &r)
{
    return r.kind == lns::WriteKind::Cp && !r.before.isEmpty() && r.before != r.after;
}

} // namespace

QVector<lns::WriteRecord> writesToUndo(const QVector<lns::WriteRecord> &records, bool all)
{
    if (records.isEmpty())
        return {};
    if (!all)
        return runOf(records, records.first());
    QVector<lns::WriteRecord> out;
    for (const lns::WriteRecord &r : records)
        if (restorable(r))
            out << r;
    return out;
}

QVector<lns::WriteRecord> runOf(const QVector<lns::WriteRecord> &records, const lns::WriteRecord &record)
{
    // One program's records of one device sit next to each other, newest
    // first: the run is the block around the record.
    const auto at = std::find_if(records.cbegin(), records.cend(),
                                 [&record](const lns::WriteRecord &r) { return r.id == record.id; });
    if (at == records.cend())
        return {};
    auto first = at;
    while (first != records.cbegin() && sameRun(*(first - 1), record))
        --first;
    auto last = at;
    while (last + 1 != records.cend() && sameRun(*(last + 1), record))
        ++last;
    QVector<lns::WriteRecord> out;
    for (auto r = first; r <= last; ++r)
        if (restorable(*r))
            out << *r;
    return out;
}

QVector<lns::WriteRecord> transactionOf(const QVector<lns::WriteRecord> &records, const lns::WriteRecord &record)
{
    QVector<lns::WriteRecord> out;
    for (const lns::WriteRecord &r : records)
        if (r.transaction == record.transaction && r.device == record.device && restorable(r))
            out << r;
    return out;
}

RestorePlan changesAgainst(const RestorePlan &plan, const QHash<QString, QByteArray> &held, QStringList *notHeld)
{
    RestorePlan out;
    for (const QString &cp : plan.cps) {
        const auto at = held.constFind(cp);
        if (at == held.cend()) {
            if (notHeld)
                *notHeld << cp;
        } else if (*at != plan.bytes.value(cp)) {
            out.cps << cp;
            out.bytes.insert(cp, plan.bytes.value(cp));
        }
    }
    return out;
}

RestorePlan planOf(const QVector<lns::WriteRecord> &writes)
{
    RestorePlan plan;
    for (auto r = writes.crbegin(); r != writes.crend(); ++r) {
        if (plan.bytes.contains(r->item))
            continue;
        plan.cps << r->item;
        plan.bytes.insert(r->item, r->before);
    }
    return plan;
}

void loadRestore(cConfiguration &c, const RestorePlan &plan, const QHash<QString, QByteArray> &held)
{
    QHash<QString, QString> raw;
    for (auto it = held.cbegin(); it != held.cend(); ++it)
        raw.insert(it.key(), lns::formatRaw(it.value()));
    for (const QString &cp : plan.cps)
        raw.insert(cp, lns::formatRaw(plan.bytes.value(cp)));
    params::cParams &p = c.Parameters();
    ConfigWindow *w = c.window();
    w->setValueLoading(true);
    p.cpIo().setDatabaseSnapshot(raw);
    p.cpIo().setReadFromDatabase(true);
    p.ReadFromLns();
    p.cpIo().setReadFromDatabase(false);
    p.cpIo().setDatabaseSnapshot({});
    w->setValueLoading(false);
    c.SetControls();
    w->setParametersChanged(true);
}

} // namespace configuration
