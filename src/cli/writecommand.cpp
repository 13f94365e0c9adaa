// `aerolis write OBJECT FILE [--dry-run] [--strict]`: the window's load
// command, page logic, checks, application step and write on the unshown
// window, reported as what really happened to the device (docs/cli.md).
#include "commands.h"
#include "objectnames.h"
#include "session.h"

#include <configuration/configuration.h>
#include <configuration/configwindow.h>
#include <configuration/fileapply.h>
#include <host/hoststate.h>
#include <host/startup.h>
#include <params/paramcollection.h>
#include <params/paramfile.h>
#include <platform/resstrings.h>

#include <QSet>

namespace cli {

namespace {

constexpr int kHelpItem = 2;
// "--force" in the help, and the refusal of a write over another session's change.
constexpr int kForceHelpText = 1951;
constexpr int kChangedText = 1952;
const QString kForce = QStringLiteral("--force");
// Texts of the write's report (items).
constexpr int kWriteText = 1781;
enum WriteItem {
    kAppLoadedKept = 1,
    kAppLoadedReset = 2,
    kAppNotLoaded = 3,
    kWrittenAppMissing = 4,
    kAppLoadedNotWritten = 5,
    kFailed = 6,
    kDeviceValue = 7,
    kNothingReached = 8,
};
constexpr int kResultText = 1710;
enum ResultItem {
    kResultWritten = 1,
    kResultNothingToWrite = 2,
    kResultFailed = 3,
    kResultDryRun = 4,
    kResultAppLoaded = 5,
    kResultAppMissing = 6,
    kResultAppLoadedNotWritten = 7,
};
constexpr int kRefusalText = 1782; // item 1: "%1: refused, nothing was written: %2"

// Values the window's checks refuse that the file did not set: the device's
// own values, one clause each.
QStringList invalidDeviceValues(params::cParams &p, const QSet<QString> &fileKeys)
{
    QStringList out;
    for (const auto &x : p.AllParameters())
        if (x && !fileKeys.contains(x->Name().toLower()) && configuration::valueIsRefusedByChecks(*x))
            out << text(kWriteText, kDeviceValue,
                        {x->Name(), params::fileValueText(*x), configuration::invalidValueReason(*x)});
    return out;
}

// What the window logged between the start of its application step and the
// start of the parameters' write, without the progress lines: the reason
// of a failed application step.
QString applicationStepText(const QStringList &lines)
{
    const QString start = gLoadResString(1552);
    const QString end = gLoadResString(1551, 1);
    QStringList out;
    bool inStep = false;
    for (const QString &line : lines) {
        const QString t = line.trimmed();
        if (t == start) {
            inStep = true;
            continue;
        }
        if (t == end)
            break;
        if (inStep && !t.isEmpty() && t != gLoadResString(1203))
            out << oneLine(t);
    }
    return out.join(QLatin1Char(' '));
}

// Why the parameters did not reach the device.
// Why the write was refused when another session changed a CP since the
// start read it (the CP, who and when); nullopt for any other outcome.
std::optional<QString> changedSinceRead()
{
    const ErrorWatch *watch = ErrorWatch::current();
    if (!watch)
        return std::nullopt;
    for (const LoggedError &e : watch->errors()) {
        if (e.number == lns::ErrChangedSince) {
            static const QString step = QStringLiteral("CommitTransaction: ");
            return e.description.startsWith(step) ? e.description.mid(step.size()) : e.description;
        }
    }
    return std::nullopt;
}

QString writeFailureText(params::cParams &p)
{
    QString reason = oneLine(gLoadResString(1528));
    const QStringList failed = p.failedCpNames();
    if (!failed.isEmpty())
        reason += QLatin1Char(' ') + failed.join(QStringLiteral(", "));
    return reason + QStringLiteral("; ") + text(kWriteText, kNothingReached);
}

} // namespace

int writeCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (wantsHelp(args)) {
        printHelp(out, kHelpItem);
        out << "  " << gLoadResString(kForceHelpText) << Qt::endl;
        return kOk;
    }
    const ParsedArgs a = parseArgs(args, {QStringLiteral("--dry-run"), QStringLiteral("--strict"), kForce}, {});
    if (a.status)
        return usageError(err, a.error, kHelpItem);
    if (a.positional.size() < 2)
        return usageError(err, text(1703, 1, {a.positional.isEmpty() ? QStringLiteral("OBJECT") : QStringLiteral("FILE")}),
                          kHelpItem);
    if (a.positional.size() > 2)
        return usageError(err, text(1704, 1, {a.positional.mid(2).join(QLatin1Char(' '))}), kHelpItem);
    const QString object = a.positional.at(0);
    const QString file = a.positional.at(1);
    const bool dryRun = a.flags.contains(QLatin1String("--dry-run"));
    const bool strict = a.flags.contains(QLatin1String("--strict"));
    const bool force = a.flags.contains(kForce);

    // The file is read by the loader's own rules before the device is
    // touched: a missing, unreadable or non-regular file is refused here.
    int unreadable = 0;
    const std::optional<params::ParamFileOutline> outline = params::readParamFileOutline(file, &unreadable);
    if (!outline)
        return fail(err, kRefused, file + QStringLiteral(": ") + oneLine(text(1524, unreadable)));

    Session s;
    if (const int st = openObject(s, object, host::kCommandIdConfigure, err))
        return st;
    configuration::cConfiguration *c = s.config();
    params::cParams &p = c->Parameters();
    configuration::ConfigWindow *w = s.configWindow();

    // What the controller holds before the file is loaded: a value it does
    // not write but holds already is not lost.
    configuration::ApplyTarget target = configuration::applyTargetOf(*c);
    target.heldValues = params::fileValues(p);

    // The window's load command: values loading, then the page logic.
    w->setValueLoading(true);
    p.LoadFromFile(file, &host::state().ini, params::kDataFilePlugInName, programId(), params::kDataFileVersion);
    w->setValueLoading(false);
    const params::LoadReport &load = p.lastLoadReport();
    if (load.result != params::LE_NO_ERROR)
        return fail(err, kRefused, file + QStringLiteral(": ") + oneLine(loadRefusal(load)));
    c->SetControls();
    w->setParametersChanged(true);
    const bool valid = c->checkValues();
    c->prepareWriteSet();

    // Every value of the file against what this controller will receive.
    target.appNumber = c->appNumber();
    const configuration::FileApplyReport judged = configuration::judgeFileValues(*outline, load, p, target);
    if (!valid || judged.refused(strict)) {
        QStringList clauses;
        for (const configuration::FileValueVerdict &v : judged.refusals(strict))
            clauses << v.text();
        clauses << invalidDeviceValues(p, outline->settingKeys);
        w->setParametersChanged(false);
        return fail(err, kRefused, text(kRefusalText, 1, {file, clauses.join(QStringLiteral("; "))}));
    }
    // Lines the loader passed over (not a value, a repeated key).
    for (const params::FileNote &n : load.notes)
        if (n.kind == params::FileNote::BadLine || n.kind == params::FileNote::SameValueTwice)
            err << file << ": " << oneLine(params::fileNoteText(n)) << Qt::endl;
    // Values the page logic replaces or the controller does not take.
    for (const configuration::FileValueVerdict &v : judged.notes())
        out << v.text() << Qt::endl;

    params::CpIo &io = p.cpIo();
    // The device was read at the start: CPs that already hold these bytes
    // are left out (docs/cli.md).
    io.setSkipMatchingCps(true);
    io.clearSent();
    const int skippedBefore = io.stats().skippedWrites;
    const int kind = c->ctrlType();

    if (dryRun) {
        bool appPending = false;
        if (kind == 1 || kind == 2) {
            appPending = c->deviceAppNumber(host::state().conn.device) != c->appNumber();
            out << (appPending ? text(1711, 1, {QString::number(c->appNumber())}) : text(1711, 2)) << Qt::endl;
        }
        io.setDryRun(true);
        c->prepareWriteSet();
        p.WriteToLns(false);
        io.setDryRun(false);
        qint64 micros = 0;
        const lns::ChannelPrice &price = host::state().env.server.channelPrice;
        for (const params::CpIo::SentCp &cp : io.sentCps()) {
            const qint64 cost = price ? price(lns::ChannelOp::WriteCp, cp.bytes.size()) : 0;
            micros += cost;
            out << text(1709, 2, {cp.name, QString::number(cp.bytes.size()), QString::number(cost / 1000.0, 'f', 1)})
                << Qt::endl;
        }
        out << text(1709, 3, {QString::number(io.stats().skippedWrites - skippedBefore)}) << Qt::endl;
        out << text(1711, 3, {QString::number(micros / 1000.0, 'f', 1), QString::number(io.sentCps().size())});
        if (appPending)
            out << ' ' << gLoadResString(1606, 2);
        out << Qt::endl << text(kResultText, kResultDryRun) << Qt::endl;
        // Nothing reached the device: the window must not ask about it.
        w->setParametersChanged(false);
        return kOk;
    }

    const int logFrom = s.loggerCount();
    // CPs that another session changed since the start read them are
    // written over only when asked to.
    if (const lns::SystemPtr system = host::state().conn.system)
        system->setOverwriteChanges(force);
    c->WriteParameters();
    const configuration::cConfiguration::WriteSteps &steps = c->lastWriteSteps();
    const QString appNumber = QString::number(c->appNumber());
    const QString appStep = applicationStepText(s.loggerLines(logFrom));

    // The application step, once, as it ended.
    if (steps.appChecked) {
        if (steps.appLoaded)
            out << text(kWriteText, steps.calibrationKept ? kAppLoadedKept : kAppLoadedReset, {appNumber}) << Qt::endl;
        else if (steps.appFailed)
            out << text(kWriteText, kAppNotLoaded, {appStep}) << Qt::endl;
        else
            out << text(1711, 2) << Qt::endl;
    }
    // A rolled-back transaction wrote nothing: no CP is named as written.
    if (steps.paramsWritten) {
        for (const params::CpIo::SentCp &cp : io.sentCps())
            out << text(1709, 1, {cp.name, QString::number(cp.bytes.size())}) << Qt::endl;
        out << text(1709, 3, {QString::number(io.stats().skippedWrites - skippedBefore)}) << Qt::endl;
    }

    if (steps.paramsWritten && !steps.appFailed) {
        if (steps.appLoaded)
            out << text(kResultText, kResultAppLoaded) << Qt::endl;
        else
            out << text(kResultText, io.sentCps().isEmpty() ? kResultNothingToWrite : kResultWritten) << Qt::endl;
        return kOk;
    }
    if (steps.paramsWritten) {
        out << text(kResultText, kResultAppMissing) << Qt::endl;
        return fail(err, kPartlyDone, text(kWriteText, kWrittenAppMissing, {object, appStep}));
    }
    if (const std::optional<QString> changed = changedSinceRead())
        return fail(err, kRefused, text(kChangedText, 1, {object, *changed}));
    const QString reason = writeFailureText(p);
    if (steps.appLoaded) {
        out << text(kResultText, kResultAppLoadedNotWritten) << Qt::endl;
        return fail(err, kPartlyDone, text(kWriteText, kAppLoadedNotWritten, {object, reason}));
    }
    const QString failure = steps.appFailed ? appStep + QLatin1Char(' ') + reason : reason;
    out << text(kResultText, kResultFailed, {failure}) << Qt::endl;
    return fail(err, kCommunication, text(kWriteText, kFailed, {object, failure}));
}

} // namespace cli
