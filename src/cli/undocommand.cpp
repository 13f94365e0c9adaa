// `aerolis undo OBJECT [--to TIME] [--dry-run]`: writes back the CP values a
// controller held before its last recorded write (or before every write
// since TIME). The values come from the record of writes in the network
// database; they reach the device through the tool's normal write, with the
// page logic, the checks and the application step, so the undo is itself
// recorded like any other write.
#include "commands.h"
#include "objectnames.h"
#include "paramview.h"
#include "session.h"

#include <configuration/configuration.h>
#include <host/hoststate.h>
#include <host/startup.h>
#include <lns/rawtext.h>
#include <params/paramcollection.h>
#include <platform/objectname.h>
#include <platform/resstrings.h>

namespace cli {

namespace {

constexpr int kHelpItem = 10;
constexpr int kUndoText = 1805;
enum UndoItem {
    kNothingSince = 1,
    kNothingRecorded = 2,
    kAlreadyHeld = 3,
    kWouldRestore = 4,
    kRestored = 5,
    kNotAParameter = 6,
    kNotAsRecorded = 7,
    kUndoing = 8,
    kNotReached = 9,
};
constexpr int kResultText = 1710;
constexpr int kResultDryRun = 4;
const QString kTo = QStringLiteral("--to");
const QString kDryRun = QStringLiteral("--dry-run");

QString bytesText(const QByteArray &bytes)
{
    QStringList parts;
    for (char c : bytes)
        parts << QString::number(quint8(c));
    return parts.join(QLatin1Char(' '));
}

// The bytes each CP held before the first of `records` that wrote it, in
// the order the CPs were first written. `records` come newest first.
struct RestorePlan
{
    QStringList cps;
    QHash<QString, QByteArray> bytes;
};

RestorePlan planOf(const QVector<lns::WriteRecord> &records)
{
    RestorePlan plan;
    for (auto r = records.crbegin(); r != records.crend(); ++r) {
        if (plan.bytes.contains(r->item))
            continue;
        plan.cps << r->item;
        plan.bytes.insert(r->item, r->before);
    }
    return plan;
}

// The CP writes an undo takes back: every one since the given time, or
// those of the newest run of a program (records kept before runs were named:
// the newest records that share user, host, tool and command line). A
// record that did not change the bytes, or that created the CP, leaves
// nothing to restore.
QVector<lns::WriteRecord> writesToUndo(const QVector<lns::WriteRecord> &records, bool sinceGiven)
{
    const auto sameRun = [](const lns::WriteRecord &a, const lns::WriteRecord &b) {
        if (!a.run.isEmpty() || !b.run.isEmpty())
            return a.run == b.run;
        return a.user == b.user && a.host == b.host && a.tool == b.tool && a.command == b.command;
    };
    QVector<lns::WriteRecord> out;
    for (const lns::WriteRecord &r : records) {
        if (!sinceGiven && !sameRun(r, records.first()))
            break;
        if (r.kind == lns::WriteKind::Cp && !r.before.isEmpty() && r.before != r.after)
            out << r;
    }
    return out;
}

// The collection loaded with `rawByCpName` as values are loaded from the
// network database (the page logic runs afterwards, as after a file load).
void loadValues(configuration::cConfiguration &c, const QHash<QString, QString> &rawByCpName)
{
    params::cParams &p = c.Parameters();
    configuration::ConfigWindow *w = c.window();
    w->setValueLoading(true);
    p.cpIo().setDatabaseSnapshot(rawByCpName);
    p.cpIo().setReadFromDatabase(true);
    p.ReadFromLns();
    p.cpIo().setReadFromDatabase(false);
    p.cpIo().setDatabaseSnapshot({});
    w->setValueLoading(false);
}

} // namespace

int undoCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (wantsHelp(args))
        return printHelp(out, kHelpItem), kOk;
    const ParsedArgs a = parseArgs(args, {kDryRun}, {kTo});
    if (a.status)
        return usageError(err, a.error, kHelpItem);
    if (a.positional.isEmpty())
        return usageError(err, text(1703, 1, {QStringLiteral("OBJECT")}), kHelpItem);
    if (a.positional.size() > 1)
        return usageError(err, text(1704, 1, {a.positional.mid(1).join(QLatin1Char(' '))}), kHelpItem);
    const bool sinceGiven = a.values.contains(kTo);
    lns::HistoryFilter filter;
    if (sinceGiven) {
        const auto since = parseHistoryTime(a.values.value(kTo));
        if (!since)
            return usageError(err, text(1788, 1, {a.values.value(kTo)}), kHelpItem);
        filter.since = *since;
    }
    const ResolvedObject object = resolveObjectName(a.positional.first());
    if (object.status != kOk)
        return fail(err, object.status, object.error);
    filter.device = object.key;

    QVector<lns::WriteRecord> records;
    if (const int st = readHistory(platform::analyseObjectName(object.key).networkName, filter, &records, err))
        return st;
    const QVector<lns::WriteRecord> undone = writesToUndo(records, sinceGiven);
    if (undone.isEmpty()) {
        return fail(err, kRefused,
                    sinceGiven ? text(kUndoText, kNothingSince, {object.key, a.values.value(kTo)})
                               : text(kUndoText, kNothingRecorded, {object.key}));
    }
    const RestorePlan plan = planOf(undone);

    Session s;
    if (const int st = openObject(s, object.key, host::kCommandIdConfigure, err))
        return st;
    configuration::cConfiguration *c = s.config();
    params::cParams &p = c->Parameters();
    // Nothing is asked about on the way out unless the write below starts.
    c->window()->setParametersChanged(false);

    // What the device holds, as the start read it.
    QHash<QString, QByteArray> deviceBytes;
    for (const ParamView &v : describeParameters(p))
        if (v.bytesKnown)
            deviceBytes.insert(v.cp, v.bytes);
    // A CP the parameters do not hold (set by an application load, which an
    // undo does not take back) is named and left as it is; so is one the
    // start could not read.
    QStringList changes;
    QStringList leftAsIs;
    for (const QString &cp : plan.cps) {
        if (!deviceBytes.contains(cp))
            leftAsIs << cp;
        else if (deviceBytes.value(cp) != plan.bytes.value(cp))
            changes << cp;
    }
    const lns::WriteRecord &newest = undone.first();
    out << text(kUndoText, kUndoing,
                {newest.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                 newest.user + QLatin1Char('@') + newest.host, (newest.tool + QLatin1Char(' ') + newest.command).trimmed(),
                 QString::number(plan.cps.size())})
        << Qt::endl;
    if (!leftAsIs.isEmpty())
        out << text(kUndoText, kNotAParameter, {leftAsIs.join(QStringLiteral(", "))}) << Qt::endl;
    if (changes.isEmpty()) {
        out << text(kUndoText, kAlreadyHeld) << Qt::endl;
        return kOk;
    }
    if (a.flags.contains(kDryRun)) {
        for (const QString &cp : changes)
            out << text(kUndoText, kWouldRestore, {cp, bytesText(plan.bytes.value(cp)), bytesText(deviceBytes.value(cp))})
                << Qt::endl;
        out << text(kResultText, kResultDryRun) << Qt::endl;
        return kOk;
    }

    // The device's values with the recorded ones in place of the changed
    // CPs, then the tool's write: only CPs whose bytes differ go out.
    QHash<QString, QString> raw;
    for (auto it = deviceBytes.cbegin(); it != deviceBytes.cend(); ++it)
        raw.insert(it.key(), lns::formatRaw(it.value()));
    for (const QString &cp : changes)
        raw.insert(cp, lns::formatRaw(plan.bytes.value(cp)));
    loadValues(*c, raw);
    c->SetControls();
    c->window()->setParametersChanged(true);
    if (!checkValues(s, err)) {
        c->window()->setParametersChanged(false);
        return kRefused;
    }
    c->prepareWriteSet();
    params::CpIo &io = p.cpIo();
    io.setSkipMatchingCps(true);
    io.clearSent();
    c->WriteParameters();
    if (!c->lastWriteSteps().paramsWritten) {
        QStringList failed = p.failedCpNames();
        return fail(err, kCommunication,
                    text(kUndoText, kNotReached, {object.key, oneLine(gLoadResString(1528)), failed.join(QStringLiteral(", "))}));
    }

    // Each CP as the write left it: the page logic may have replaced a
    // recorded value that no longer fits the controller.
    QHash<QString, QByteArray> written;
    for (const ParamView &v : describeParameters(p))
        if (v.bytesKnown)
            written.insert(v.cp, v.bytes);
    int differing = 0;
    for (const QString &cp : changes) {
        const QByteArray now = written.value(cp);
        if (now == plan.bytes.value(cp)) {
            out << text(kUndoText, kRestored, {cp, bytesText(now), bytesText(deviceBytes.value(cp))}) << Qt::endl;
        } else {
            ++differing;
            err << text(kUndoText, kNotAsRecorded, {object.key, bytesText(now), cp, bytesText(plan.bytes.value(cp))})
                << Qt::endl;
        }
    }
    return differing == 0 ? kOk : kPartlyDone;
}

} // namespace cli
