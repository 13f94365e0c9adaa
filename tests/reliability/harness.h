// The fault harness: the built `aerolis` tool run as a real process against
// a copy of a pristine demo network, with faults injected through the
// network administration before and during the run, or the process killed at
// a random moment. Every run starts from the same pristine file, so the state
// a fault-free run of the same command leaves behind (its reference) can be
// computed once and every faulty run judged against it: each CP must hold
// entirely the bytes it had before or entirely the reference's, and what the
// tool claims must match what the devices hold.
#pragma once

#include "paramtext.h"
#include "testenv.h"

#include <lnssim/networkadmin.h>
#include <platform/inifile.h>

#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <random>

namespace harness {

// ---- runs and seeds ----------------------------------------------------------

// The number of random runs of one mode: AEROLIS_HARNESS_RUNS when set (the
// soak mode), else `fallback`.
int runCount(int fallback);
// The first seed: AEROLIS_HARNESS_SEED when set (to repeat a failed run),
// else taken from the clock. Run i uses seed + i.
quint64 baseSeed();

// ---- what the network holds ------------------------------------------------

struct CpState
{
    QByteArray device;
    QByteArray database;
    bool operator==(const CpState &o) const { return device == o.device && database == o.database; }
    bool operator!=(const CpState &o) const { return !(*this == o); }
};

struct DeviceImage
{
    QString name;
    QMap<QString, CpState> cps;
    QMap<QString, lnssim::CpScope> scopes;
    int appNumber = -1;
    QString appVersion;
    bool commissioned = true;
    bool sameApplication(const DeviceImage &o) const { return appNumber == o.appNumber && appVersion == o.appVersion; }
};

// By device name.
using NetworkImage = QMap<QString, DeviceImage>;

// ---- judging one device after a run ------------------------------------------

// What the tool claims for one device.
enum class Claim {
    Untouched,      // the device was not a target
    Done,           // everything written (and the application loaded where due)
    DoneAppMissing, // the parameters written, the application not loaded
    Unchanged,      // refused or failed: nothing changed on the device
    Partial,        // the device changed, but not completely
    DatabaseFailure,// the network database failed; only atomicity can be judged
    Unknown,        // a status or outcome word the harness does not know
};
QString claimName(Claim c);

// Exit status of `aerolis write` to a claim on its target; a success whose
// output says the application was not loaded claims the parameters only.
Claim claimOfWrite(int status, const QString &out);
// Outcome word of a copy result file row to a claim on that object.
Claim claimOfCopyOutcome(const QString &outcome);

// The CPs the application step changes: loading an application sets the
// mode CP and resets the device's own CPs (device scope) to factory bytes.
// Every other CP belongs to the parameters' transaction.
bool changedByApplicationStep(const QString &cp, lnssim::CpScope scope);

struct Verdict
{
    QStringList garbled;      // CPs holding neither the old nor the new bytes (device and database as a pair)
    QStringList drifted;      // CPs whose database copy differs from the device (commissioned devices)
    QStringList changed;      // CPs not holding their old bytes
    QStringList missing;      // CPs not holding the reference's bytes
    bool allOld = true;       // every CP and the application as before
    bool allNew = true;       // every CP and the application as the reference
    bool parametersNew = true; // every CP of the parameters' transaction as the reference
    bool parametersOld = true;
    bool applicationOld = true; // application and the CPs of its step as before
    bool applicationNew = true;
    QString state() const;    // "old", "new", "application only", "parameters only", "mixed"
    QString detail() const;   // the state and the CPs that make it
};
Verdict judge(const DeviceImage &before, const DeviceImage &after, const DeviceImage &reference);

// Empty when what the device holds agrees with the claim, else the reason.
QString disagreement(Claim claim, const Verdict &v);

// ---- the network and the tool ------------------------------------------------

struct ToolRun
{
    int status = -1; // -1: killed, crashed or timed out
    bool killed = false;
    qint64 millis = 0;
    QString out;
    QString err;
};

class NetworkBed
{
public:
    NetworkBed();

    QString lnsRoot() const { return m_env.lnsRoot(); }
    QString file(const QString &name) const { return m_env.file(name); }
    QString networkPath() const;

    // The working network replaced by a copy of the pristine one.
    void reset();
    // The working network as it is now (opened and closed again).
    NetworkImage image();
    const NetworkImage &pristine() const { return m_pristine; }
    // "ok", or what SQLite's integrity check reports.
    QString integrity();
    // The administration of the working network, opened; closed before the
    // tool runs.
    lnssim::NetworkAdmin &admin();
    void closeAdmin();

    // The tool with `args`; killed after `killAfterMs` when that is >= 0.
    ToolRun runTool(const QStringList &args, int killAfterMs = -1, int timeoutMs = 120000);
    // Runs `action` from this process after `afterMs` while the tool runs
    // (a fault switched on in the middle of a write).
    ToolRun runToolWith(const QStringList &args, int afterMs, const std::function<void()> &action,
                        int timeoutMs = 120000);

    // Object name of a demo device ("Room101").
    QString objectOf(const QString &room) const;
    QString templateOf(const QString &room) const;
    int idOf(const QString &room) const;
    // The demo devices in network order, with their pristine state.
    QVector<lnssim::DeviceInfo> devices() const { return m_deviceList; }

private:
    QProcessEnvironment toolEnvironment() const;
    TestEnvironment m_env;
    QString m_pristineRoot;
    platform::IniFile m_ini;
    NetworkImage m_pristine;
    QHash<QString, lnssim::DeviceInfo> m_devices;
    QVector<lnssim::DeviceInfo> m_deviceList;
    std::unique_ptr<lnssim::NetworkAdmin> m_admin;
};

// ---- random plans ------------------------------------------------------------

using Rng = std::mt19937_64;
int pick(Rng &rng, int lo, int hi); // inclusive
bool chance(Rng &rng, double p);

// A fault on one device, injected before the run or during it.
struct Fault
{
    enum Kind { Unreachable, CpWrite, CpRead, CpBoth, Latency, Download };
    Kind kind = Unreachable;
    QString room;
    QString cp;      // for the CP faults
    int latencyMs = 0;
    bool sleep = false;
    QString describe() const;
};
// A random fault on `room` (its CP names give the CP faults their target).
Fault randomFault(Rng &rng, const QString &room, const QStringList &cpNames);
void inject(lnssim::NetworkAdmin &admin, int deviceId, const Fault &f);

// ---- copy result files ---------------------------------------------------------

// Outcome word per object of a copy result file; empty when the file is not
// there or has no header.
QMap<QString, QString> copyOutcomes(const QString &resultFile);

QByteArray readAll(const QString &path);
bool writeAll(const QString &path, const QByteArray &bytes);

// ---- figures -------------------------------------------------------------------

// Counts per harness mode, printed when the test ends: runs, failures, and
// what the devices were left holding.
struct Tally
{
    int runs = 0;
    int failures = 0;
    QMap<QString, int> states; // device state after the run -> count
    QMap<QString, int> claims; // claim -> count
    QString summary(const QString &mode) const;
};

} // namespace harness
