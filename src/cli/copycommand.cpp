// `aerolis copy FILE OBJECT...`: the window's copy run without the window.
//
// Every target receives what the file says, judged by its own kind: for each
// one a session is opened on that object as the plug-in opens it (its own
// template, controller kind, application and device values), the file is
// loaded by the window's load command, the target's page logic and checks
// run, the file's values are compared with what this target will receive,
// and the window's copy step (application check by kind, the set in one
// transaction, the application record) writes that object. No target's set
// depends on another target, so a retry builds exactly what the first run
// built for the same object.
#include "commands.h"
#include "objectnames.h"
#include "selection.h"
#include "session.h"

#include <configuration/appmodes.h>
#include <configuration/configuration.h>
#include <configuration/configwindow.h>
#include <configuration/copyrun.h>
#include <configuration/fileapply.h>
#include <host/hoststate.h>
#include <lns/serverenvironment.h>
#include <lns/worklanes.h>
#include <params/paramcollection.h>
#include <params/paramfile.h>
#include <platform/inifile.h>
#include <platform/tracelog.h>

#include <QDir>
#include <QMap>
#include <QFile>
#include <QSaveFile>
#include <QSet>

#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

const QString kRetry = QStringLiteral("--retry-failed");
const QString kResult = QStringLiteral("--result");
const QString kStrict = QStringLiteral("--strict");
const QString kSkipMatching = QStringLiteral("--skip-matching");
const QString kVerify = QStringLiteral("--verify");
const QString kDryRun = QStringLiteral("--dry-run");
const QString kPerChannel = QStringLiteral("--per-channel");
constexpr int kMaxPerChannel = 16;
const QByteArray kResultMagic = "# aerolis copy result\t1";

// Outcomes in the result file.
const QString kStateWritten = QStringLiteral("written");
const QString kStateAppLoaded = QStringLiteral("app-loaded");
const QString kStateAppMissing = QStringLiteral("written-app-missing");
const QString kStateAppLoadedNotWritten = QStringLiteral("app-loaded-not-written");
const QString kStateFailed = QStringLiteral("failed");
const QString kStateRefused = QStringLiteral("refused");
const QString kStateSkipped = QStringLiteral("skipped");
const QString kStateDryRun = QStringLiteral("dry-run");

// How the set goes into each target.
struct CopyOptions
{
    bool strict = false;
    bool skipMatching = false; // leave out CPs whose database copy holds the bytes
    bool verify = false;       // read the written CPs back
    bool dryRun = false;       // list, price, write nothing
    int perChannel = 1;        // transactions in flight per channel
};

// What a dry run found for the targets, per channel: modelled time and CP
// writes.
struct DryRunCost
{
    QMap<QString, qint64> micros;
    QMap<QString, int> writes;
};

// What became of one chosen object.
struct Outcome
{
    QString key;
    QString state;  // one of the outcomes above
    QString reason; // failed / refused / skipped: why; done: the notes
    QString line;   // the line shown for it
    QStringList notes; // values it receives otherwise than the file says, one line each
    int status = kOk;  // the exit status this object stands for
};

Outcome makeOutcome(const QString &key, const QString &state, const QString &reason, const QString &line,
                    int status = kOk)
{
    Outcome o;
    o.key = key;
    o.state = state;
    o.reason = reason;
    o.line = line;
    o.status = status;
    return o;
}

// The objects a run left unfinished in a result file of an earlier run
// (nothing or not all of the set arrived, or the application is missing);
// nullopt when it cannot be read or is no such file.
std::optional<QStringList> unfinishedInResultFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> lines = f.readAll().split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != kResultMagic)
        return std::nullopt;
    static const QStringList retried{kStateFailed, kStateAppLoadedNotWritten, kStateAppMissing};
    QStringList unfinished;
    for (const QByteArray &raw : lines.mid(1)) {
        const QString line = QString::fromUtf8(raw).remove(QLatin1Char('\r'));
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList cols = line.split(QLatin1Char('\t'));
        if (cols.size() < 2)
            return std::nullopt;
        if (cols.at(0) == QLatin1String("object"))
            continue; // the column heads
        if (retried.contains(cols.at(1)) && !unfinished.contains(cols.at(0)))
            unfinished << cols.at(0);
    }
    return unfinished;
}

// Microseconds as milliseconds with one decimal.
QString msText(qint64 micros)
{
    return QString::number(double(micros) / 1000.0, 'f', 1);
}

QString cell(QString text)
{
    return text.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
}

bool writeResultFile(const QString &path, const QString &file, const QVector<Outcome> &outcomes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray out = kResultMagic + '\n';
    out += "# file\t" + cell(QDir::cleanPath(QFileInfo(file).absoluteFilePath())).toUtf8() + '\n';
    out += "object\toutcome\treason\n";
    for (const Outcome &o : outcomes)
        out += cell(o.key).toUtf8() + '\t' + o.state.toUtf8() + '\t' + cell(o.reason).toUtf8() + '\n';
    f.write(out);
    return f.commit();
}

// The progress of the run on standard error: a bar redrawn in place on a
// terminal, one line per object otherwise.
class ProgressDisplay
{
public:
    ProgressDisplay(QTextStream &err) : m_err(err), m_terminal(isatty(fileno(stderr)) == 1) {}
    ~ProgressDisplay() { finish(); }

    void show(int position, int total, const QString &key)
    {
        const QString step = text(1500, 2, {QStringLiteral("%1/%2").arg(position).arg(total)});
        if (!m_terminal) {
            m_err << step << ' ' << key << Qt::endl;
            return;
        }
        constexpr int kWidth = 30;
        const int done = total > 0 ? (position - 1) * kWidth / total : 0;
        QString line = QLatin1Char('[') + QString(done, QLatin1Char('#')) + QString(kWidth - done, QLatin1Char('.'))
            + QStringLiteral("] ") + step + QLatin1Char(' ') + key;
        if (line.size() > 119)
            line = line.left(116) + QStringLiteral("...");
        m_err << '\r' << line.leftJustified(m_width) << Qt::flush;
        m_width = qMax(m_width, line.size());
        m_drawn = true;
    }
    void finish()
    {
        if (m_drawn) {
            m_err << '\r' << QString(m_width, QLatin1Char(' ')) << '\r' << Qt::flush;
            m_drawn = false;
        }
    }

private:
    QTextStream &m_err;
    bool m_terminal;
    int m_width = 0;
    bool m_drawn = false;
};

// A refused object: `item` of the refusal texts (1 not of this plug-in,
// 2 program id), `arg` its placeholder. The result file keeps the reason
// alone, the outcome column already says "refused".
Outcome refusedOutcome(const QString &key, int item, const QString &arg = QString())
{
    return makeOutcome(key, kStateRefused, text(1727, item, {arg}), text(1725, item, {key, arg}), kRefused);
}

// A target that refuses the file's values (or could not be opened for a
// reason of its own), in the words of the write command's refusal.
Outcome refusedFor(const QString &key, const QString &reason)
{
    return makeOutcome(key, kStateRefused, reason, text(1782, 1, {key, reason}), kRefused);
}

Outcome outcomeOf(const configuration::CopyObjectResult &r)
{
    Outcome o = makeOutcome(r.key, QString(), QString(), QString());
    switch (r.outcome) {
    case configuration::CopyOutcome::Written:
        o.state = kStateWritten;
        o.line = text(1609, 4, {r.key});
        break;
    case configuration::CopyOutcome::AppLoaded:
        o.state = kStateAppLoaded;
        o.line = text(1609, 5, {r.key});
        break;
    case configuration::CopyOutcome::WrittenAppMissing:
        o.state = kStateAppMissing;
        o.line = text(1609, 6, {r.key});
        o.status = kPartlyDone;
        break;
    case configuration::CopyOutcome::AppLoadedNotWritten:
        o.state = kStateAppLoadedNotWritten;
        o.reason = r.reason;
        o.line = text(1609, 11, {r.key, r.reason});
        o.status = kPartlyDone;
        break;
    case configuration::CopyOutcome::Failed:
        o.state = kStateFailed;
        o.reason = r.reason;
        o.line = text(1609, 7, {r.key, r.reason});
        o.status = kCommunication;
        break;
    }
    return o;
}

// Values the target's checks refuse that the file did not set: its own,
// out of range under the file's values; one clause each.
QStringList invalidHeldValues(const params::cParams &p, const QSet<QString> &fileKeys)
{
    QStringList out;
    for (const auto &x : p.AllParameters()) {
        if (!x || !x->Available() || fileKeys.contains(x->Name().toLower()))
            continue;
        if (x->ClassId() == params::PA_CLASSID_TEXTBOX_PARAMETER) {
            const auto &t = static_cast<const params::cParamTextBox &>(*x);
            if (t.ValueIsInvalid())
                out << text(1781, 7, {x->Name(), params::shownValue(t, t.Value()), configuration::invalidValueReason(*x)});
        } else if (x->ClassId() == params::PA_CLASSID_COMBOBOX_PARAMTER) {
            const auto &c = static_cast<const params::cParamComboBox &>(*x);
            if (!c.CurrentValueIsInComboList())
                out << text(1781, 7, {x->Name(), QString::number(c.Value()), configuration::invalidValueReason(*x)});
        }
    }
    return out;
}

// The CPs the copy sent, read back from the target: empty when each holds
// what was written, else why not (one clause).
QString readBackMismatch(params::CpIo &io, const lns::LonMarkObjectPtr &object)
{
    QStringList differ, unread;
    for (const params::CpIo::SentCp &sent : io.sentCps()) {
        lns::ConfigPropertyPtr cp;
        try {
            cp = object->configProperties()->item(sent.name);
        } catch (const lns::LnsError &e) {
            platform::traceCaughtError(QStringLiteral("CopyVerify"), e.number(), e.description());
        }
        const std::optional<QByteArray> held =
            cp ? io.readCp(cp, QStringLiteral("aerolis"), QStringLiteral("CopyVerify")) : std::nullopt;
        if (!held)
            unread << sent.name;
        else if (*held != sent.bytes)
            differ << sent.name;
    }
    QStringList clauses;
    if (!differ.isEmpty())
        clauses << text(1793, 1, {differ.join(QStringLiteral(", "))});
    if (!unread.isEmpty())
        clauses << text(1793, 2, {unread.join(QStringLiteral(", "))});
    return clauses.join(QStringLiteral("; "));
}

// The copy step of one target without sending anything: the CPs it would
// write (after --skip-matching), whether its application would be loaded
// first, and the modelled time of those writes on its channel.
Outcome dryRunOf(Session &s, const QString &key, const QString &channel, DryRunCost &cost)
{
    configuration::cConfiguration *config = s.config();
    params::cParams &p = config->Parameters();
    params::CpIo &io = p.cpIo();
    io.setDryRun(true);
    p.WriteToLnsLmo(host::state().conn.object, &host::state().ini, lns::kCpSection);
    io.setDryRun(false);
    QStringList names;
    qint64 micros = 0;
    const lns::ChannelPrice &price = host::state().env.server.channelPrice;
    for (const params::CpIo::SentCp &sent : io.sentCps()) {
        names << sent.name;
        if (price)
            micros += price(lns::ChannelOp::WriteCp, sent.bytes.size());
    }
    cost.micros[channel] += micros;
    cost.writes[channel] += names.size();
    QString line = names.isEmpty() ? text(1791, 2, {key})
                                   : text(1791, 1, {key, QString::number(names.size()), names.join(QStringLiteral(", "))});
    const int kind = config->ctrlType();
    if ((kind == 1 || kind == 2) && config->deviceAppNumber(host::state().conn.device) != config->appNumber())
        line += QStringLiteral(" ") + text(1791, 3, {QString::number(config->appNumber())});
    return makeOutcome(key, kStateDryRun, names.join(QStringLiteral(", ")), line);
}

// The file copied into one target: loaded, checked and judged on a session
// of the target, then written by the window's copy step. A refusal of the
// file itself (not this target's: another plug-in, version) goes to
// `fileRefusal`, before anything was written to this target.
Outcome copyToTarget(const QString &key, const QString &file, const params::ParamFileOutline &outline,
                     const CopyOptions &options, lns::ChannelLanes &lanes, DryRunCost &cost, QString *fileRefusal)
{
    const bool strict = options.strict;
    Session s;
    QString channel;
    // The target's transactions go to its channel's lane from the first.
    s.setBeforeWindow([&lanes, &channel] {
        if (const lns::AppDevicePtr &device = host::state().conn.device) {
            try {
                channel = device->channel();
            } catch (const lns::LnsError &e) {
                platform::traceCaughtError(QStringLiteral("CopyLane"), e.number(), e.description());
            }
        }
        lns::setWorkLane(lanes.laneFor(channel));
    });
    QString error;
    const int opened = s.open(key, host::kCommandIdConfigure, &error);
    if (opened == kRefused)
        return refusedFor(key, error);
    if (opened != kOk)
        return makeOutcome(key, kStateFailed, error, text(1609, 7, {key, error}), opened);
    configuration::cConfiguration *config = s.config();
    params::cParams &p = config->Parameters();
    configuration::ConfigWindow *w = s.configWindow();

    // What the target holds before the file is loaded: a value it does not
    // write but holds already is not lost.
    configuration::ApplyTarget target = configuration::applyTargetOf(*config);
    target.heldValues = params::fileValues(p);

    // The window's load command, then its page logic and checks.
    w->setValueLoading(true);
    p.LoadFromFile(file, &host::state().ini, params::kDataFilePlugInName, programId(), params::kDataFileVersion);
    w->setValueLoading(false);
    const params::LoadReport &load = p.lastLoadReport();
    if (load.result == params::LE_WRONG_DEVICE)
        return refusedFor(key, oneLine(loadRefusal(load)));
    if (load.result != params::LE_NO_ERROR) {
        *fileRefusal = oneLine(loadRefusal(load));
        return {};
    }
    // Kinds 3 and 4 carry their application in the mode CPs: the file's
    // mode names the application the set is for, by the rule the start read
    // applies to the device's, when this target's template offers it. The
    // copy step writes the mode from the application number.
    const int kind = config->ctrlType();
    if (kind == 3 || kind == 4) {
        const int app = config->deviceAppNumber(host::state().conn.device);
        if (app > 0 && config->appAvailable(configuration::modeForAppNumber(kind, app).mode))
            config->setAppNumber(app);
    }
    config->SetControls();
    w->setParametersChanged(true);
    const bool valid = config->checkValues();
    configuration::CopyRun run(*config);
    run.applyKindRules(kind);

    // Every value of the file against what this target will receive.
    target.appNumber = config->appNumber();
    const configuration::FileApplyReport judged = configuration::judgeFileValues(outline, load, p, target);
    if (!valid || judged.refused(strict)) {
        QStringList clauses;
        for (const configuration::FileValueVerdict &v : judged.refusals(strict))
            clauses << v.text();
        clauses << invalidHeldValues(p, outline.settingKeys);
        w->setParametersChanged(false);
        return refusedFor(key, clauses.join(QStringLiteral("; ")));
    }
    QStringList notes;
    for (const configuration::FileValueVerdict &v : judged.notes())
        notes << v.text();

    const lns::LonMarkObjectPtr object = host::state().conn.object;
    params::CpIo &io = p.cpIo();
    io.setSkipMatchingDatabase(options.skipMatching);
    io.clearSent();
    if (options.dryRun) {
        Outcome o = dryRunOf(s, key, channel, cost);
        o.notes = notes;
        w->setParametersChanged(false);
        return o;
    }
    const configuration::CopyRunReport report =
        run.runChosen([&object, &key](const QString &k) { return k == key ? object : nullptr; }, {key});
    Outcome o = report.results.isEmpty() ? makeOutcome(key, kStateFailed, QString(), QString(), kCommunication)
                                         : outcomeOf(report.results.first());
    // What the transaction put into the device is read back; a rolled back
    // set has its outcome already.
    const bool setArrived = o.state == kStateWritten || o.state == kStateAppLoaded || o.state == kStateAppMissing;
    if (options.verify && setArrived) {
        const QString mismatch = readBackMismatch(io, object);
        if (!mismatch.isEmpty())
            o = makeOutcome(key, kStateFailed, mismatch, text(1609, 7, {key, mismatch}), kCommunication);
    }
    o.notes = notes;
    if (o.reason.isEmpty())
        o.reason = notes.join(QStringLiteral("; "));
    return o;
}

// The worse of two exit statuses of objects: a database failure first,
// then communication, partly done, refused, done.
int worse(int a, int b)
{
    static const QList<int> order{kOk, kRefused, kPartlyDone, kCommunication, kDatabase};
    return order.indexOf(b) > order.indexOf(a) ? b : a;
}

} // namespace

int copyCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (wantsHelp(args))
        return printHelp(out, 7), kOk;
    const ParsedArgs a = parseArgs(args, selectorFlagNames() + QStringList{kStrict, kSkipMatching, kVerify, kDryRun},
                                   selectorValueNames() + QStringList{kRetry, kResult, kPerChannel});
    if (a.status)
        return usageError(err, a.error, 7);
    if (a.positional.isEmpty())
        return usageError(err, text(1703, 1, {QStringLiteral("FILE")}), 7);
    const QString file = a.positional.first();
    CopyOptions options;
    options.strict = a.flags.contains(kStrict);
    options.skipMatching = a.flags.contains(kSkipMatching);
    options.verify = a.flags.contains(kVerify);
    options.dryRun = a.flags.contains(kDryRun);
    if (a.values.contains(kPerChannel)) {
        bool number = false;
        options.perChannel = a.values.value(kPerChannel).toInt(&number);
        if (!number || options.perChannel < 1 || options.perChannel > kMaxPerChannel)
            return usageError(err, text(1794, 1, {QString::number(kMaxPerChannel), a.values.value(kPerChannel)}), 7);
    }
    if (a.positional.size() < 2 && !hasSelector(a) && !a.values.contains(kRetry))
        return usageError(err, text(1703, 1, {QStringLiteral("OBJECT")}), 7);
    // Names as typed (a device name alone included) are resolved first, as
    // the report does: a name that is not there is refused with what is
    // missing, before any device is read.
    QStringList named;
    for (const QString &typed : a.positional.mid(1)) {
        const ResolvedObject r = resolveObjectName(typed);
        if (r.status != kOk)
            return fail(err, r.status, r.error);
        named << r.key;
    }
    // The file is read by the loader's own rules before anything is opened:
    // a missing, unreadable or non-regular file is refused here.
    int unreadable = 0;
    const std::optional<params::ParamFileOutline> outline = params::readParamFileOutline(file, &unreadable);
    if (!outline)
        return fail(err, kRefused, file + QStringLiteral(": ") + oneLine(text(1524, unreadable)));

    if (a.values.contains(kRetry)) {
        const QString resultFile = a.values.value(kRetry);
        const std::optional<QStringList> unfinished = unfinishedInResultFile(resultFile);
        if (!unfinished)
            return fail(err, kRefused, text(1726, 5, {resultFile}));
        if (unfinished->isEmpty() && named.isEmpty() && !hasSelector(a)) {
            out << text(1726, 6, {resultFile}) << Qt::endl;
            return kOk;
        }
        for (const QString &k : *unfinished)
            if (!named.contains(k))
                named << k;
    }

    const Selection selection = selectObjects(a, named);
    if (selection.status)
        return fail(err, selection.status, selection.error);

    // Objects that cannot take the file: refused when named, skipped when
    // a selector found them (a selector means the controllers that can).
    platform::IniFile ini;
    ini.setFileName(templateFilePath());
    QHash<QString, Outcome> outcomes;
    QStringList targets;
    QStringList skipped;
    for (const SelectedObject &o : selection.details) {
        const bool takesFile = outline->programId.isEmpty() || o.programId == outline->programId
            || ini.compatibleProgramIds(o.programId).contains(outline->programId);
        if (o.ofThisType && takesFile) {
            targets << o.key;
        } else if (!o.named) {
            skipped << o.key;
            outcomes.insert(o.key, makeOutcome(o.key, kStateSkipped, text(1727, 2, {o.programId}), QString()));
        } else {
            outcomes.insert(o.key, o.ofThisType ? refusedOutcome(o.key, 2, o.programId) : refusedOutcome(o.key, 1));
        }
    }

    if (!targets.isEmpty())
        err << text(1726, 1, {file, QString::number(targets.size())}) << Qt::endl;
    lns::ChannelLanes lanes(options.perChannel);
    DryRunCost cost;
    {
        ProgressDisplay progress(err);
        for (int i = 0; i < targets.size(); ++i) {
            const QString &key = targets.at(i);
            progress.show(i + 1, targets.size(), key);
            QString fileRefusal;
            const Outcome o = copyToTarget(key, file, *outline, options, lanes, cost, &fileRefusal);
            if (!fileRefusal.isEmpty()) {
                // The file itself: every target would refuse it the same way.
                progress.finish();
                lns::setWorkLane(0);
                return fail(err, kRefused, file + QStringLiteral(": ") + fileRefusal);
            }
            outcomes.insert(key, o);
        }
    }
    lns::setWorkLane(0);

    // One line per chosen object in the order of the selection, the values
    // a target receives otherwise than the file says below it.
    int written = 0, failed = 0, refused = 0, planned = 0;
    int status = kOk;
    QVector<Outcome> ordered;
    for (const QString &key : selection.objects) {
        const Outcome o = outcomes.value(key);
        ordered << o;
        status = worse(status, o.status);
        if (o.state == kStateSkipped)
            continue;
        out << o.line << Qt::endl;
        for (const QString &note : o.notes)
            out << "  " << note << Qt::endl;
        if (o.state == kStateDryRun)
            ++planned;
        else if (o.state == kStateFailed || o.state == kStateAppLoadedNotWritten)
            ++failed;
        else if (o.state == kStateRefused)
            ++refused;
        else
            ++written;
    }
    if (written + failed + refused > 0) {
        out << text(1609, 10, {QString::number(written), QString::number(written + failed), QString::number(failed)});
        if (refused > 0)
            out << ' ' << text(1726, 2, {QString::number(refused)});
        out << Qt::endl;
    }
    if (planned > 0) {
        // The writes' modelled time per channel; the channels work at once.
        qint64 total = 0, wall = 0;
        for (auto it = cost.micros.constBegin(); it != cost.micros.constEnd(); ++it) {
            out << text(1792, 1, {it.key().isEmpty() ? text(1792, 3) : it.key(), msText(it.value()),
                                  QString::number(cost.writes.value(it.key()))})
                << Qt::endl;
            total += it.value();
            wall = qMax(wall, it.value());
        }
        out << text(1792, 2, {msText(total), msText(wall)}) << Qt::endl;
        out << text(1710, 4) << Qt::endl;
    }
    if (!skipped.isEmpty())
        out << text(1726, 7, {QString::number(skipped.size()), skipped.join(QStringLiteral(", "))}) << Qt::endl;
    if (targets.isEmpty() && refused == 0)
        return fail(err, kRefused, text(1724));

    if (a.values.contains(kResult)) {
        const QString resultFile = a.values.value(kResult);
        if (!writeResultFile(resultFile, file, ordered))
            return fail(err, status == kOk ? kRefused : status, text(1726, 4, {resultFile}));
        err << text(1726, 3, {resultFile}) << Qt::endl;
    }
    return status;
}

} // namespace cli
