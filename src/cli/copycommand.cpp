// `aerolis copy FILE OBJECT...`: the window's copy run without the window.
//
// The set is built as the window builds it: a session on one of the chosen
// objects (the first one of this device type whose program id may load the
// file and that answers), the file loaded by the window's load command, the
// window's checks. The run is the window's CopyRun on those objects, the
// session's own object included (the window's search leaves it out because
// there it is the source the user is looking at; here it is one of the
// targets).
#include "commands.h"
#include "selection.h"
#include "session.h"

#include <configuration/configuration.h>
#include <configuration/copyrun.h>
#include <host/hoststate.h>
#include <params/copyplan.h>
#include <params/multidevicesearch.h>
#include <params/paramcollection.h>
#include <params/paramfile.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <ui/frmmain.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

const QString kRetry = QStringLiteral("--retry-failed");
const QString kResult = QStringLiteral("--result");
const QByteArray kResultMagic = "# aerolis copy result\t1";

// What became of one chosen object.
struct Outcome
{
    QString key;
    QString state;  // written, app-loaded, written-app-missing, failed, refused
    QString reason; // failed / refused: why
    QString line;   // the line shown for it
    bool communication = false; // failed on the way to the device
};

// The objects that failed in a result file of an earlier run; nullopt when
// it cannot be read or is no such file.
std::optional<QStringList> failedInResultFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> lines = f.readAll().split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != kResultMagic)
        return std::nullopt;
    QStringList failed;
    for (const QByteArray &raw : lines.mid(1)) {
        const QString line = QString::fromUtf8(raw).remove(QLatin1Char('\r'));
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList cols = line.split(QLatin1Char('\t'));
        if (cols.size() < 2)
            return std::nullopt;
        if (cols.at(0) == QLatin1String("object"))
            continue; // the column heads
        if (cols.at(1) == QLatin1String("failed") && !failed.contains(cols.at(0)))
            failed << cols.at(0);
    }
    return failed;
}

QString cell(QString text)
{
    return text.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
}

bool writeResultFile(const QString &path, const QString &file, const QString &source, const QVector<Outcome> &outcomes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray out = kResultMagic + '\n';
    out += "# file\t" + cell(QDir::cleanPath(QFileInfo(file).absoluteFilePath())).toUtf8() + '\n';
    out += "# source\t" + cell(source).toUtf8() + '\n';
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
// 2 program id, 3 set not offered), `arg` its placeholder. The result file
// keeps the reason alone, the outcome column already says "refused".
Outcome refusedOutcome(const QString &key, int item, const QString &arg = QString())
{
    return Outcome{key, QStringLiteral("refused"), text(1727, item, {arg}), text(1725, item, {key, arg}), false};
}

} // namespace

int copyCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (wantsHelp(args))
        return printHelp(out, 7), kOk;
    const ParsedArgs a = parseArgs(args, selectorFlagNames(), selectorValueNames() + QStringList{kRetry, kResult});
    if (a.status)
        return usageError(err, a.error, 7);
    if (a.positional.isEmpty())
        return usageError(err, text(1703, 1, {QStringLiteral("FILE")}), 7);
    const QString file = a.positional.first();
    QStringList named = a.positional.mid(1);
    if (named.isEmpty() && !hasSelector(a) && !a.values.contains(kRetry))
        return usageError(err, text(1703, 1, {QStringLiteral("OBJECT")}), 7);
    // A file that cannot be read is refused before anything is opened.
    if (!QFile::exists(file))
        return fail(err, kRefused, file + QStringLiteral(": ") + oneLine(text(1524, 1)));

    if (a.values.contains(kRetry)) {
        const QString resultFile = a.values.value(kRetry);
        const std::optional<QStringList> failed = failedInResultFile(resultFile);
        if (!failed)
            return fail(err, kRefused, text(1726, 5, {resultFile}));
        if (failed->isEmpty() && named.isEmpty() && !hasSelector(a)) {
            out << text(1726, 6, {resultFile}) << Qt::endl;
            return kOk;
        }
        for (const QString &k : *failed)
            if (!named.contains(k))
                named << k;
    }

    const Selection selection = selectObjects(a, named);
    if (selection.status)
        return fail(err, selection.status, selection.error);

    // Objects that cannot take the file are refused one by one; the rest are
    // the targets.
    platform::IniFile ini;
    ini.setFileName(templateFilePath());
    const auto outline = params::readParamFileOutline(file);
    const QString fileId = outline ? outline->programId : QString();
    QHash<QString, Outcome> outcomes;
    QStringList targets;
    for (const SelectedObject &o : selection.details) {
        if (!o.ofThisType)
            outcomes.insert(o.key, refusedOutcome(o.key, 1));
        else if (!fileId.isEmpty() && o.programId != fileId && !ini.compatibleProgramIds(o.programId).contains(fileId))
            outcomes.insert(o.key, refusedOutcome(o.key, 2, o.programId));
        else
            targets << o.key;
    }

    // The session the set is built on: the first target that answers. One
    // that does not answer has failed for itself.
    std::unique_ptr<Session> session;
    QString source;
    int status = kOk;
    for (const QString &key : targets) {
        auto s = std::make_unique<Session>();
        QString error;
        const int st = s->open(key, host::kCommandIdConfigure, &error);
        if (st == kOk) {
            session = std::move(s);
            source = key;
            break;
        }
        if (st != kCommunication)
            return fail(err, st, key + QStringLiteral(": ") + error);
        outcomes.insert(key, Outcome{key, QStringLiteral("failed"), error, text(1609, 7, {key, error}), true});
    }

    QVector<Outcome> ordered;
    configuration::CopyRunReport report;
    if (session) {
        if (const int st = loadFile(*session, file, err))
            return st;
        if (!checkValues(*session, err))
            return kRefused;
        host::HostState &hs = host::state();
        configuration::cConfiguration *config = session->config();
        params::LnsMultiDeviceSearch search(hs.conn.system, hs.conn.object, &hs.ini);
        search.setCopiedCps(params::copiedCps(config->Parameters()));
        search.setIncludeCurrent(true);
        search.run();
        QStringList keys;
        for (const QString &key : targets) {
            if (outcomes.contains(key))
                continue;
            if (search.object(key))
                keys << key;
            else
                outcomes.insert(key, refusedOutcome(key, 3, source));
        }
        err << text(1726, 1, {source, QString::number(keys.size())}) << Qt::endl;
        configuration::CopyRun run(*config);
        {
            ProgressDisplay progress(err);
            run.setProgress([&progress](int position, int total, const QString &key) { progress.show(position, total, key); });
            report = run.runChosen(search, keys);
        }
        for (const configuration::CopyObjectResult &r : report.results) {
            Outcome o{r.key, QString(), QString(), QString(), false};
            switch (r.outcome) {
            case configuration::CopyOutcome::Written:
                o.state = QStringLiteral("written");
                o.line = text(1609, 4, {r.key});
                break;
            case configuration::CopyOutcome::AppLoaded:
                o.state = QStringLiteral("app-loaded");
                o.line = text(1609, 5, {r.key});
                break;
            case configuration::CopyOutcome::WrittenAppMissing:
                o.state = QStringLiteral("written-app-missing");
                o.line = text(1609, 6, {r.key});
                break;
            case configuration::CopyOutcome::Failed:
                o.state = QStringLiteral("failed");
                o.reason = r.reason;
                o.line = text(1609, 7, {r.key, r.reason});
                o.communication = true;
                break;
            }
            outcomes.insert(r.key, o);
        }
    }

    // One line per chosen object, in the order of the selection.
    int written = 0, failed = 0, refused = 0;
    for (const QString &key : selection.objects) {
        const Outcome o = outcomes.value(key);
        ordered << o;
        out << o.line << Qt::endl;
        if (o.state == QLatin1String("failed"))
            ++failed;
        else if (o.state == QLatin1String("refused"))
            ++refused;
        else
            ++written;
        if (o.communication)
            status = kCommunication;
        else if (o.state == QLatin1String("refused") && status == kOk)
            status = kRefused;
    }
    out << text(1609, 10, {QString::number(written), QString::number(written + failed), QString::number(failed)});
    if (refused > 0)
        out << ' ' << text(1726, 2, {QString::number(refused)});
    out << Qt::endl;

    if (a.values.contains(kResult)) {
        const QString resultFile = a.values.value(kResult);
        if (!writeResultFile(resultFile, file, source, ordered))
            return fail(err, status == kOk ? kRefused : status, text(1726, 4, {resultFile}));
        err << text(1726, 3, {resultFile}) << Qt::endl;
    }
    return status;
}

} // namespace cli
