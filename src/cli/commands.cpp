#include "commands.h"

#include "networkaccess.h"
#include "objectnames.h"
#include "paramview.h"
#include "session.h"

#include <configuration/configuration.h>
#include <configuration/configwindow.h>
#include <configuration/fileapply.h>
#include <host/hoststate.h>
#include <host/startup.h>
#include <lns/rawtext.h>
#include <params/paramcollection.h>
#include <params/paramfile.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <platform/tracelog.h>

#include <algorithm>

namespace cli {

namespace {



// The database value (RAW text) of every CP of the device, its objects and
// their NVs, by CP name; no device transaction.
QHash<QString, QString> databaseValues(const lns::AppDevicePtr &device)
{
    QHash<QString, QString> out;
    const auto take = [&out](const lns::CollectionPtr<lns::ConfigProperty> &cps) {
        for (int i = 1; cps && i <= cps->count(); ++i) {
            const lns::ConfigPropertyPtr cp = cps->itemAt(i);
            out.insert(cp->name(), cp->databaseValue());
        }
    };
    const auto takeNvs = [&take](const lns::CollectionPtr<lns::NetworkVariable> &nvs) {
        for (int i = 1; nvs && i <= nvs->count(); ++i)
            take(nvs->itemAt(i)->configProperties());
    };
    if (!device)
        return out;
    try {
        take(device->configProperties());
        takeNvs(device->networkVariables());
        const auto objects = device->lonMarkObjects();
        for (int i = 1; objects && i <= objects->count(); ++i) {
            take(objects->itemAt(i)->configProperties());
            takeNvs(objects->itemAt(i)->networkVariables());
        }
    } catch (const lns::LnsError &e) {
        // What could not be listed is read from the database as it is now.
        platform::traceCaughtError(QStringLiteral("DatabaseSnapshot"), e.number(), e.description());
    }
    return out;
}

// The collection read once more with every CP taken from `rawByCpName` (RAW
// texts by CP name; a CP not listed is read from the database), as values
// are loaded: the page logic does not run.
QVector<ParamView> readAgain(Session &s, const QHash<QString, QString> &rawByCpName)
{
    configuration::ConfigWindow *w = s.configWindow();
    params::cParams &p = s.config()->Parameters();
    w->setValueLoading(true);
    p.cpIo().setDatabaseSnapshot(rawByCpName);
    p.cpIo().setReadFromDatabase(true);
    p.ReadFromLns();
    p.cpIo().setReadFromDatabase(false);
    w->setValueLoading(false);
    return describeParameters(p);
}

} // namespace

// The refusal of a parameter file, as the window's load command words it.
QString loadRefusal(const params::LoadReport &report)
{
    switch (report.result) {
    case params::LE_NO_ERROR:
        return QString();
    case params::LE_WRONG_PLUGIN:
        return text(1520, 1);
    case params::LE_WRONG_DEVICE:
        return text(1520, 2);
    case params::LE_WRONG_PLUGIN_VERSION:
    case params::LE_WRONG_DATAFILE_VERSION:
        return text(1521);
    default:
        return params::refusalText(report);
    }
}

namespace {

// The values the checks refuse, each with the range or list it may take:
// the value as the parameter file holds it (the scaled integer).
QStringList invalidValues(params::cParams &p)
{
    QStringList out;
    for (const auto &x : p.AllParameters())
        if (x && configuration::valueIsRefusedByChecks(*x))
            out << text(1781, 10, {x->Name(), params::fileValueText(*x), configuration::invalidValueReason(*x)});
    return out;
}

} // namespace

QString text(int id, int item, const QStringList &args)
{
    const QString t = gLoadResString(id, item);
    return args.isEmpty() ? t : platform::fillPlaceholders(t, args);
}

QString programId()
{
    try {
        if (const auto device = host::state().conn.device)
            return device->programId();
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(QStringLiteral("ProgramId"), e.number(), e.description());
    }
    return QString();
}

int loadFile(Session &s, const QString &file, QTextStream &err)
{
    configuration::ConfigWindow *w = s.configWindow();
    configuration::cConfiguration *c = s.config();
    params::cParams &p = c->Parameters();
    const bool wasLoading = w->valueLoading();
    w->setValueLoading(true);
    p.LoadFromFile(file, &host::state().ini, params::kDataFilePlugInName, programId(), params::kDataFileVersion);
    w->setValueLoading(wasLoading);
    const params::LoadReport &report = p.lastLoadReport();
    if (report.result != params::LE_NO_ERROR)
        return fail(err, kRefused, file + QStringLiteral(": ") + oneLine(loadRefusal(report)));
    for (const params::FileNote &n : report.notes)
        err << file << ": " << oneLine(params::fileNoteText(n)) << Qt::endl;
    c->SetControls();
    w->setParametersChanged(true);
    return kOk;
}

bool checkValues(Session &s, QTextStream &err)
{
    if (s.config()->checkValues())
        return true;
    // One line: the window's message points at marked values a text tool
    // does not have, so the values themselves are named.
    fail(err, kRefused, text(1781, 9, {invalidValues(s.config()->Parameters()).join(QStringLiteral("; "))}));
    return false;
}

int openObject(Session &s, const QString &object, int commandId, QTextStream &err)
{
    QString error;
    const int status = s.open(object, commandId, &error);
    if (status != kOk)
        return fail(err, status, object + QStringLiteral(": ") + error);
    return kOk;
}

bool wantsHelp(const QStringList &args)
{
    return args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"));
}

// ---------------------------------------------------------------------------

ParsedArgs parseArgs(const QStringList &args, const QStringList &flagNames, const QStringList &valueNames)
{
    ParsedArgs r;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            QString name = a;
            QString value;
            bool inlineValue = false;
            const int eq = a.indexOf(QLatin1Char('='));
            if (eq > 0) {
                name = a.left(eq);
                value = a.mid(eq + 1);
                inlineValue = true;
            }
            if (flagNames.contains(name) && !inlineValue) {
                r.flags << name;
            } else if (valueNames.contains(name)) {
                if (!inlineValue) {
                    if (i + 1 >= args.size()) {
                        r.error = text(1703, 1, {name});
                        r.status = kUsage;
                        return r;
                    }
                    value = args.at(++i);
                }
                r.values.insert(name, value);
            } else {
                r.error = text(1702, 1, {a});
                r.status = kUsage;
                return r;
            }
        } else {
            r.positional << a;
        }
    }
    return r;
}

namespace {

// The resync command's usage and description (items 1 and 2).
constexpr int kResyncHelpItem = 11;
constexpr int kResyncHelp = 1930;

QString usageLine(int item)
{
    return item == kResyncHelpItem ? gLoadResString(kResyncHelp, 1) : gLoadResString(1705, item);
}

} // namespace

void printHelp(QTextStream &out, int item)
{
    if (item <= 0) {
        out << gLoadResString(1700) << Qt::endl;
        return;
    }
    out << usageLine(item) << Qt::endl << "  " << (item == kResyncHelpItem ? gLoadResString(kResyncHelp, 2) : gLoadResString(1706, item))
        << Qt::endl;
}

int usageError(QTextStream &err, const QString &message, int item)
{
    err << "aerolis: " << message << Qt::endl;
    err << (item > 0 ? usageLine(item) : gLoadResString(1700).section(QLatin1Char('\n'), 0, 0))
        << Qt::endl;
    return kUsage;
}

int fail(QTextStream &err, int status, const QString &message)
{
    // A network database that failed on the way is what went wrong, whatever
    // the step that noticed it calls it.
    if (ErrorWatch *watch = ErrorWatch::current()) {
        if (const std::optional<LoggedError> failure = watch->databaseFailure()) {
            if (!watch->databaseFailureTold())
                err << "aerolis: " << databaseMessage(failure->description) << Qt::endl;
            watch->setDatabaseFailureTold();
            return kDatabase;
        }
        // A change the user has no right to make is refused, not failed:
        // the message names the right.
        if (watch->rightRefused())
            status = kRefused;
    }
    err << "aerolis: " << message << Qt::endl;
    return status;
}

// ---------------------------------------------------------------------------

int readCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (wantsHelp(args))
        return printHelp(out, 1), kOk;
    const ParsedArgs a = parseArgs(args, {QStringLiteral("--json")}, {QStringLiteral("-o"), QStringLiteral("--output")});
    if (a.status)
        return usageError(err, a.error, 1);
    if (a.positional.isEmpty())
        return usageError(err, text(1703, 1, {QStringLiteral("OBJECT")}), 1);
    if (a.positional.size() > 1)
        return usageError(err, text(1704, 1, {a.positional.mid(1).join(QLatin1Char(' '))}), 1);
    const QString object = a.positional.first();
    const QString file = a.values.value(QStringLiteral("-o"), a.values.value(QStringLiteral("--output")));
    const bool json = a.flags.contains(QLatin1String("--json"));

    Session s;
    if (const int st = openObject(s, object, host::kCommandIdConfigure, err))
        return st;
    params::cParams &p = s.config()->Parameters();
    if (json) {
        QJsonArray list;
        for (const ParamView &v : describeParameters(p))
            list.append(v.toJson());
        QJsonObject o;
        o.insert(QStringLiteral("object"), s.objectKey());
        o.insert(QStringLiteral("programId"), programId());
        o.insert(QStringLiteral("parameters"), list);
        const QByteArray doc = QJsonDocument(o).toJson(QJsonDocument::Indented);
        if (file.isEmpty()) {
            out << QString::fromUtf8(doc);
        } else {
            QFile f(file);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(doc) != doc.size())
                return fail(err, kRefused, text(1707, 1, {file}));
        }
        return kOk;
    }
    // The save command checks the values before it writes the file.
    if (!checkValues(s, err))
        return kRefused;
    if (file.isEmpty()) {
        out.flush();
        const QByteArray bytes =
            params::paramFileBytes(p, params::kDataFilePlugInName, programId(), params::kDataFileVersion);
        QFile stdOut;
        stdOut.open(stdout, QIODevice::WriteOnly);
        stdOut.write(bytes);
        stdOut.flush();
        return kOk;
    }
    if (!p.WriteToFile(file, params::kDataFilePlugInName, programId(), params::kDataFileVersion))
        return fail(err, kRefused, text(1707, 1, {file}));
    err << text(1708, 1, {file}) << Qt::endl;
    return kOk;
}

namespace {

const QString kOnlyDifferences = QStringLiteral("--only-differences");

// A value as the page shows it: the control's text with its unit; a value
// not read says so.
QString pageText(const ParamView &v, bool known = true)
{
    if (!known || !v.read)
        return notReadText();
    const QString text = v.text.isEmpty() ? v.value : v.text;
    return v.unit.isEmpty() ? text : text + QLatin1Char(' ') + v.unit;
}

// One row of a comparison: marked when two of the known values disagree;
// left out when only differences are wanted and it agrees.
bool printRow(QTextStream &out, const QString &name, const QStringList &shown, QStringList known, bool onlyDifferences)
{
    known.removeDuplicates();
    const bool different = known.size() > 1;
    if (different || !onlyDifferences)
        out << (different ? "* " : "  ") << (QStringList{name} + shown).join(QLatin1Char('\t')) << Qt::endl;
    return different;
}

// `aerolis diff FILE FILE`: the settings of two parameter files, key by key
// in the order of the first (then the keys only the second has). A key one
// file lacks shows "-". Nothing is opened on the network.
int diffFiles(const QString &first, const QString &second, bool onlyDifferences, QTextStream &out, QTextStream &err)
{
    int reason = 0;
    const std::optional<params::ParamFileOutline> a = params::readParamFileOutline(first, &reason);
    if (!a)
        return fail(err, kRefused, first + QStringLiteral(": ") + oneLine(text(1524, reason)));
    const std::optional<params::ParamFileOutline> b = params::readParamFileOutline(second, &reason);
    if (!b)
        return fail(err, kRefused, second + QStringLiteral(": ") + oneLine(text(1524, reason)));
    QStringList keys;
    QHash<QString, QString> inA;
    QHash<QString, QString> inB;
    QHash<QString, QString> spelled;
    for (const params::ParamFileEntry &e : a->settings) {
        const QString k = e.key.toLower();
        if (!spelled.contains(k))
            keys << k;
        spelled.insert(k, e.key);
        inA.insert(k, e.value.trimmed());
    }
    for (const params::ParamFileEntry &e : b->settings) {
        const QString k = e.key.toLower();
        if (!spelled.contains(k)) {
            keys << k;
            spelled.insert(k, e.key);
        }
        inB.insert(k, e.value.trimmed());
    }
    out << "  " << QStringList{text(1712, 1), first, second}.join(QLatin1Char('\t')) << Qt::endl;
    int differ = 0;
    if (a->programId != b->programId) {
        ++differ;
        out << "* " << QStringList{params::kProgramIdKey, a->programId, b->programId}.join(QLatin1Char('\t')) << Qt::endl;
    }
    const QString missing = QStringLiteral("-");
    for (const QString &k : keys) {
        const QString va = inA.value(k, missing);
        const QString vb = inB.value(k, missing);
        differ += printRow(out, spelled.value(k), {va, vb}, {va, vb}, onlyDifferences) ? 1 : 0;
    }
    out << (differ == 0 ? text(1712, 5) : text(1712, 6, {QString::number(differ)})) << Qt::endl;
    return differ == 0 ? kOk : kDifferent;
}

// A first argument that is a parameter file rather than an object.
bool isParameterFile(const QString &name)
{
    const QFileInfo info(name);
    return info.isFile() && params::readParamFileOutline(name).has_value();
}

} // namespace

int diffCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (wantsHelp(args))
        return printHelp(out, 3), kOk;
    const ParsedArgs a = parseArgs(args, {kOnlyDifferences}, {});
    if (a.status)
        return usageError(err, a.error, 3);
    if (a.positional.isEmpty())
        return usageError(err, text(1703, 1, {QStringLiteral("OBJECT")}), 3);
    if (a.positional.size() > 2)
        return usageError(err, text(1704, 1, {a.positional.mid(2).join(QLatin1Char(' '))}), 3);
    const bool onlyDifferences = a.flags.contains(kOnlyDifferences);
    const QString object = a.positional.at(0);
    const QString file = a.positional.value(1);
    if (isParameterFile(object)) {
        if (file.isEmpty())
            return usageError(err, text(1703, 1, {QStringLiteral("FILE")}), 3);
        return diffFiles(object, file, onlyDifferences, out, err);
    }
    if (!file.isEmpty() && !QFile::exists(file))
        return fail(err, kRefused, file + QStringLiteral(": ") + oneLine(text(1524, 1)));

    Session s;
    // The window's start reads the device, and a device read brings the
    // database copy up to the device: the database column is taken first.
    QHash<QString, QString> databaseRaw;
    s.setBeforeWindow([&databaseRaw] { databaseRaw = databaseValues(host::state().conn.device); });
    if (const int st = openObject(s, object, host::kCommandIdConfigure, err))
        return st;
    params::cParams &p = s.config()->Parameters();
    // The device column is what the device holds, as read at the start: the
    // start's page logic may have replaced values in the model since (a
    // cooling-only controller shows its heating setpoints at their floor),
    // and those are not the device's. A CP the start did not read has no
    // device value.
    QHash<QString, QString> deviceRaw;
    QSet<QString> notRead;
    for (const ParamView &v : describeParameters(p)) {
        if (v.bytesKnown)
            deviceRaw.insert(v.cp, lns::formatRaw(v.bytes));
        else if (v.available)
            notRead.insert(v.name);
    }
    const QVector<ParamView> device = readAgain(s, deviceRaw);
    // The same collection read once more, from the database as it was.
    const QVector<ParamView> database = readAgain(s, databaseRaw);
    configuration::ConfigWindow *w = s.configWindow();

    QVector<ParamView> fromFile;
    QSet<QString> inFile;
    if (!file.isEmpty()) {
        if (const int st = loadFile(s, file, err))
            return st;
        fromFile = describeParameters(p);
        if (const auto outline = params::readParamFileOutline(file))
            inFile = outline->settingKeys;
    }
    w->setParametersChanged(false);

    QStringList head{text(1712, 1), text(1712, 2), text(1712, 3)};
    if (!file.isEmpty())
        head << text(1712, 4);
    out << "  " << head.join(QLatin1Char('\t')) << Qt::endl;
    int differ = 0;
    for (int i = 0; i < device.size(); ++i) {
        const ParamView &d = device.at(i);
        // The values known for this parameter, compared in the file's form;
        // shown as the page shows them.
        const bool deviceKnown = !notRead.contains(d.name);
        QStringList known;
        QStringList shown{pageText(d, deviceKnown), pageText(database.value(i))};
        if (deviceKnown)
            known << d.value;
        known << database.value(i).value;
        if (!file.isEmpty()) {
            if (inFile.contains(d.name.toLower())) {
                shown << pageText(fromFile.value(i));
                known << fromFile.value(i).value;
            } else {
                shown << QStringLiteral("-");
            }
        }
        differ += printRow(out, d.name, shown, known, onlyDifferences) ? 1 : 0;
    }
    out << (differ == 0 ? text(1712, 5) : text(1712, 6, {QString::number(differ)})) << Qt::endl;
    return differ == 0 ? kOk : kDifferent;
}

// Commands described in the string table (usage 1705, description 1706;
// the resync command's both in 1930).
constexpr int kCommandCount = 11;
// The options of network access every command takes (usage, description).
constexpr int kAccessHelpText = 1950;

static int dispatch(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    // Usage errors come before any object is opened: in the configured
    // language all the same.
    host::applyConfiguredLanguage();
    if (arguments.isEmpty())
        return usageError(err, text(1703, 1, {QStringLiteral("COMMAND")}));
    const QString command = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        printHelp(out, 0);
        for (int i = 1; i <= kCommandCount; ++i)
            out << "  " << usageLine(i) << Qt::endl;
        out << gLoadResString(kAccessHelpText, 1) << Qt::endl << "  " << gLoadResString(kAccessHelpText, 2) << Qt::endl;
        return kOk;
    }
    if (command == QLatin1String("read"))
        return readCommand(rest, out, err);
    if (command == QLatin1String("write"))
        return writeCommand(rest, out, err);
    if (command == QLatin1String("diff"))
        return diffCommand(rest, out, err);
    if (command == QLatin1String("set-mode"))
        return setModeCommand(rest, out, err, false);
    if (command == QLatin1String("set-occupancy"))
        return setModeCommand(rest, out, err, true);
    if (command == QLatin1String("monitor"))
        return monitorCommand(rest, out, err);
    if (command == QLatin1String("copy"))
        return copyCommand(rest, out, err);
    if (command == QLatin1String("report"))
        return reportCommand(rest, out, err);
    if (command == QLatin1String("history"))
        return historyCommand(rest, out, err);
    if (command == QLatin1String("undo"))
        return undoCommand(rest, out, err);
    if (command == QLatin1String("resync"))
        return resyncCommand(rest, out, err);
    return usageError(err, text(1701, 1, {command}));
}

bool rendersPages(const QStringList &arguments)
{
    if (arguments.value(0) != QLatin1String("report"))
        return false;
    const QLatin1String pdf("--pdf");
    return std::any_of(arguments.cbegin() + 1, arguments.cend(), [pdf](const QString &a) {
        return a == pdf || a.startsWith(pdf + QLatin1Char('='));
    });
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    // A network database failure anywhere in the command decides its status.
    ErrorWatch watch;
    QStringList rest = arguments;
    QString error;
    if (takeAccessOptions(&rest, &error) != kOk) {
        host::applyConfiguredLanguage();
        return usageError(err, error);
    }
    return settleDatabaseFailure(watch, dispatch(rest, out, err), err);
}

} // namespace cli
