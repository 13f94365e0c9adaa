#include "harness.h"

#include <lnssim/networkdb.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace harness {

// ---- runs and seeds ----------------------------------------------------------

int runCount(int fallback)
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("AEROLIS_HARNESS_RUNS", &ok);
    return ok && n > 0 ? n : fallback;
}

quint64 baseSeed()
{
    static const quint64 seed = [] {
        const QByteArray given = qgetenv("AEROLIS_HARNESS_SEED");
        bool ok = false;
        const quint64 s = given.toULongLong(&ok);
        if (ok)
            return s;
        // Small enough to type back in.
        return static_cast<quint64>(QDateTime::currentMSecsSinceEpoch() % 1000000000);
    }();
    return seed;
}

// ---- judging -------------------------------------------------------------------

QString claimName(Claim c)
{
    switch (c) {
    case Claim::Untouched: return QStringLiteral("not a target");
    case Claim::Done: return QStringLiteral("done");
    case Claim::DoneAppMissing: return QStringLiteral("written, application not loaded");
    case Claim::Unchanged: return QStringLiteral("nothing changed");
    case Claim::Partial: return QStringLiteral("partly done");
    case Claim::DatabaseFailure: return QStringLiteral("network database failure");
    case Claim::Unknown: return QStringLiteral("unknown");
    }
    return QString();
}

Claim claimOfWrite(int status, const QString &out)
{
    switch (status) {
    case 0:
        return out.contains(QLatin1String("application not loaded"), Qt::CaseInsensitive) ? Claim::DoneAppMissing
                                                                                           : Claim::Done;
    case 1: // refused
    case 3: // communication failure, nothing changed
        return Claim::Unchanged;
    case 4: // partly done: the result line says which part
        return out.contains(QLatin1String("written, application not loaded"), Qt::CaseInsensitive)
                   ? Claim::DoneAppMissing
                   : Claim::Partial;
    case 5: return Claim::DatabaseFailure;
    default: return Claim::Unknown; // usage errors, crashes, kills
    }
}

Claim claimOfCopyOutcome(const QString &outcome)
{
    if (outcome == QLatin1String("written") || outcome == QLatin1String("app-loaded"))
        return Claim::Done;
    if (outcome == QLatin1String("written-app-missing"))
        return Claim::DoneAppMissing;
    if (outcome == QLatin1String("failed") || outcome == QLatin1String("refused"))
        return Claim::Unchanged;
    if (outcome.isEmpty())
        return Claim::Unknown;
    if (outcome.contains(QLatin1String("database")))
        return Claim::DatabaseFailure;
    // Any other word names an outcome between the two ends (for example the
    // application loaded and the parameters not written).
    return Claim::Partial;
}

bool changedByApplicationStep(const QString &cp, lnssim::CpScope scope)
{
    return scope == lnssim::CpScope::Device || cp == QLatin1String("HvacAppMode") || cp == QLatin1String("NumValves");
}

QString Verdict::state() const
{
    if (!garbled.isEmpty())
        return QStringLiteral("garbled");
    if (allOld)
        return QStringLiteral("old");
    if (allNew)
        return QStringLiteral("new");
    if (applicationNew && !applicationOld && parametersOld)
        return QStringLiteral("application only");
    if (parametersNew && !parametersOld && applicationOld)
        return QStringLiteral("parameters only");
    return QStringLiteral("mixed");
}

QString Verdict::detail() const
{
    return QStringLiteral("%1 (application %2; changed: %3; not as a fault-free run: %4)")
        .arg(state(),
             applicationNew && applicationOld ? QStringLiteral("as before and as due")
             : applicationNew                 ? QStringLiteral("new")
             : applicationOld                 ? QStringLiteral("old")
                                              : QStringLiteral("neither old nor new"),
             changed.isEmpty() ? QStringLiteral("none") : changed.join(QLatin1Char(' ')),
             missing.isEmpty() ? QStringLiteral("none") : missing.join(QLatin1Char(' ')));
}

Verdict judge(const DeviceImage &before, const DeviceImage &after, const DeviceImage &reference)
{
    Verdict v;
    for (auto it = after.cps.cbegin(); it != after.cps.cend(); ++it) {
        const CpState &a = it.value();
        const bool isOld = a == before.cps.value(it.key());
        const bool isNew = a == reference.cps.value(it.key());
        if (!isOld && !isNew)
            v.garbled << it.key();
        if (!isOld)
            v.changed << it.key();
        if (!isNew)
            v.missing << it.key();
        if (a.device != a.database && after.commissioned)
            v.drifted << it.key();
        v.allOld &= isOld;
        v.allNew &= isNew;
        if (changedByApplicationStep(it.key(), after.scopes.value(it.key()))) {
            v.applicationOld &= isOld;
            v.applicationNew &= isNew;
        } else {
            v.parametersOld &= isOld;
            v.parametersNew &= isNew;
        }
    }
    v.applicationOld &= after.sameApplication(before);
    v.applicationNew &= after.sameApplication(reference);
    v.allOld &= after.sameApplication(before);
    v.allNew &= after.sameApplication(reference);
    return v;
}

QString disagreement(Claim claim, const Verdict &v)
{
    if (!v.garbled.isEmpty())
        return QStringLiteral("CPs hold neither their old nor their new bytes: ") + v.garbled.join(QStringLiteral(", "));
    const QString holds = QStringLiteral(" but the device is ") + v.detail();
    switch (claim) {
    case Claim::Untouched:
        return v.allOld ? QString() : QStringLiteral("not a target") + holds;
    case Claim::Done:
        if (!v.allNew)
            return QStringLiteral("claimed done") + holds;
        if (!v.drifted.isEmpty())
            return QStringLiteral("claimed done but the database differs from the device: ") + v.drifted.join(QStringLiteral(", "));
        return QString();
    case Claim::DoneAppMissing:
        if (!v.parametersNew)
            return QStringLiteral("claimed written, application not loaded") + holds;
        if (!v.drifted.isEmpty())
            return QStringLiteral("claimed written but the database differs from the device: ") + v.drifted.join(QStringLiteral(", "));
        return QString();
    case Claim::Unchanged:
        return v.allOld ? QString() : QStringLiteral("claimed nothing changed") + holds;
    case Claim::Partial:
        return v.allOld || v.allNew ? QStringLiteral("claimed partly done") + holds : QString();
    case Claim::DatabaseFailure:
        return QString();
    case Claim::Unknown:
        return QStringLiteral("no known status or outcome for the device, which is ") + v.detail();
    }
    return QString();
}

// ---- the network and the tool ------------------------------------------------

namespace {
const QString kNetwork = QStringLiteral("Demo");

void removeNetworkFiles(const QString &path)
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}
} // namespace

NetworkBed::NetworkBed()
{
    if (!m_ini.setFileName(TestEnvironment::iniPath()))
        qFatal("device template %s missing", qPrintable(TestEnvironment::iniPath()));
    m_pristineRoot = m_env.file(QStringLiteral("pristine"));
    QDir().mkpath(m_pristineRoot);
    lnssim::DemoNetwork::create(m_pristineRoot, m_ini, false);
    reset();
    m_deviceList = admin().devices();
    for (const lnssim::DeviceInfo &d : m_deviceList)
        m_devices.insert(d.name, d);
    m_pristine = image();
}

QString NetworkBed::networkPath() const
{
    return lnssim::NetworkDb::pathFor(lnsRoot(), kNetwork);
}

void NetworkBed::reset()
{
    closeAdmin();
    removeNetworkFiles(networkPath());
    if (!QFile::copy(lnssim::NetworkDb::pathFor(m_pristineRoot, kNetwork), networkPath()))
        qFatal("cannot copy the pristine network to %s", qPrintable(networkPath()));
}

lnssim::NetworkAdmin &NetworkBed::admin()
{
    if (!m_admin) {
        m_admin = std::make_unique<lnssim::NetworkAdmin>(lnsRoot(), kNetwork);
        m_admin->open();
    }
    return *m_admin;
}

void NetworkBed::closeAdmin()
{
    if (m_admin)
        m_admin->close();
    m_admin.reset();
}

NetworkImage NetworkBed::image()
{
    NetworkImage out;
    lnssim::NetworkAdmin &a = admin();
    for (const lnssim::DeviceInfo &d : a.devices()) {
        DeviceImage img;
        img.name = d.name;
        img.appNumber = d.state.appNumber;
        img.appVersion = d.state.appVersion;
        img.commissioned = d.state.commissioned;
        for (const lnssim::CpComparison &c : a.compareCps(d.id)) {
            img.cps.insert(c.name, CpState{c.device, c.database});
            img.scopes.insert(c.name, c.scope);
        }
        out.insert(d.name, img);
    }
    closeAdmin();
    return out;
}

QString NetworkBed::integrity()
{
    closeAdmin();
    const QString connection = QStringLiteral("harness-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(networkPath());
        if (!db.open()) {
            rows << QStringLiteral("cannot open: ") + db.lastError().text();
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA integrity_check")))
                rows << QStringLiteral("check failed: ") + q.lastError().text();
            while (q.next())
                rows << q.value(0).toString();
            q.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return rows.join(QStringLiteral("; "));
}

QProcessEnvironment NetworkBed::toolEnvironment() const
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("AEROLIS_LNS_ROOT"), lnsRoot());
    e.insert(QStringLiteral("AEROLIS_REGISTRY_ROOT"), m_env.file(QStringLiteral("registry")));
    e.insert(QStringLiteral("AEROLIS_UNATTENDED"), QStringLiteral("1"));
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return e;
}

ToolRun NetworkBed::runTool(const QStringList &args, int killAfterMs, int timeoutMs)
{
    return runToolWith(args, killAfterMs, {}, timeoutMs);
}

ToolRun NetworkBed::runToolWith(const QStringList &args, int afterMs, const std::function<void()> &action,
                                int timeoutMs)
{
    closeAdmin();
    QProcess p;
    p.setProcessEnvironment(toolEnvironment());
    QElapsedTimer clock;
    clock.start();
    p.start(TestEnvironment::binDir() + QStringLiteral("/aerolis"), args);
    ToolRun r;
    if (!p.waitForStarted(30000))
        return r;
    bool finished = false;
    if (afterMs >= 0) {
        finished = p.waitForFinished(afterMs);
        if (!finished) {
            if (action) {
                action();
            } else {
                p.kill(); // SIGKILL: no clean-up in the tool
                r.killed = true;
            }
        }
    }
    if (!finished)
        finished = p.waitForFinished(timeoutMs);
    if (!finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.millis = clock.elapsed();
    if (finished && !r.killed && p.exitStatus() == QProcess::NormalExit)
        r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString NetworkBed::objectOf(const QString &room) const
{
    return m_devices.value(room).objectName;
}

QString NetworkBed::templateOf(const QString &room) const
{
    return m_devices.value(room).templateName;
}

int NetworkBed::idOf(const QString &room) const
{
    return m_devices.value(room).id;
}

// ---- random plans ------------------------------------------------------------

int pick(Rng &rng, int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

bool chance(Rng &rng, double p)
{
    return std::bernoulli_distribution(p)(rng);
}

QString Fault::describe() const
{
    switch (kind) {
    case Unreachable: return room + QStringLiteral(" unreachable");
    case CpWrite: return room + QStringLiteral(" CP ") + cp + QStringLiteral(" fails on write");
    case CpRead: return room + QStringLiteral(" CP ") + cp + QStringLiteral(" fails on read");
    case CpBoth: return room + QStringLiteral(" CP ") + cp + QStringLiteral(" fails on read and write");
    case Latency:
        return room + QStringLiteral(" latency %1 ms%2").arg(latencyMs).arg(sleep ? QStringLiteral(" (waited)") : QString());
    case Download: return room + QStringLiteral(" download fails");
    }
    return QString();
}

Fault randomFault(Rng &rng, const QString &room, const QStringList &cpNames)
{
    Fault f;
    f.room = room;
    const int roll = pick(rng, 0, 99);
    if (roll < 20)
        f.kind = Fault::Unreachable;
    else if (roll < 50)
        f.kind = Fault::CpWrite;
    else if (roll < 62)
        f.kind = Fault::CpRead;
    else if (roll < 70)
        f.kind = Fault::CpBoth;
    else if (roll < 85)
        f.kind = Fault::Latency;
    else
        f.kind = Fault::Download;
    if (f.kind == Fault::CpWrite || f.kind == Fault::CpRead || f.kind == Fault::CpBoth) {
        if (cpNames.isEmpty())
            f.kind = Fault::Unreachable;
        else
            f.cp = cpNames.at(pick(rng, 0, cpNames.size() - 1));
    }
    if (f.kind == Fault::Latency) {
        f.latencyMs = pick(rng, 1, 40);
        f.sleep = chance(rng, 0.5);
    }
    return f;
}

void inject(lnssim::NetworkAdmin &admin, int deviceId, const Fault &f)
{
    switch (f.kind) {
    case Fault::Unreachable: admin.setUnreachable(deviceId, true); break;
    case Fault::CpWrite: admin.setCpFault(deviceId, f.cp, lnssim::CpFault::Write); break;
    case Fault::CpRead: admin.setCpFault(deviceId, f.cp, lnssim::CpFault::Read); break;
    case Fault::CpBoth: admin.setCpFault(deviceId, f.cp, lnssim::CpFault::Both); break;
    case Fault::Latency: admin.setLatency(deviceId, f.latencyMs, f.sleep); break;
    case Fault::Download: admin.setDownloadFault(deviceId, true); break;
    }
}

// ---- files -------------------------------------------------------------------

QMap<QString, QString> copyOutcomes(const QString &resultFile)
{
    QMap<QString, QString> out;
    const QList<QByteArray> lines = readAll(resultFile).split('\n');
    if (lines.isEmpty() || !lines.first().startsWith("# aerolis copy result\t"))
        return out;
    bool rows = false;
    for (const QByteArray &raw : lines) {
        const QString l = QString::fromUtf8(raw).remove(QLatin1Char('\r'));
        if (l.startsWith(QLatin1String("object\t"))) {
            rows = true;
            continue;
        }
        if (!rows || l.isEmpty())
            continue;
        out.insert(l.section(QLatin1Char('\t'), 0, 0), l.section(QLatin1Char('\t'), 1, 1));
    }
    return out;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// ---- figures -------------------------------------------------------------------

QString Tally::summary(const QString &mode) const
{
    QStringList states;
    for (auto it = this->states.cbegin(); it != this->states.cend(); ++it)
        states << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    QStringList claims;
    for (auto it = this->claims.cbegin(); it != this->claims.cend(); ++it)
        claims << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    return QStringLiteral("%1: %2 runs, %3 failures; targets left %4; claims %5")
        .arg(mode)
        .arg(runs)
        .arg(failures)
        .arg(states.join(QStringLiteral(", ")), claims.join(QStringLiteral(", ")));
}

} // namespace harness
