// `aerolis resync`: compares the chosen controllers' devices with their
// copies in the network database and, on request, brings them in line.
//
// The device reads of the whole run are priced from the database before the
// first one. Each controller is opened the way the window opens it; its
// start reads the device inside a transaction the run holds, so that the
// comparison leaves the database copy as it was (a read would otherwise
// bring the copy up to the device without anyone deciding so). A pull
// commits that transaction: the object server takes the device's bytes into
// the database and records each CP it changes. A push comes after the whole
// comparison, with its own price: each differing controller is opened again
// and the database values go out through the window's write, with the page
// logic, the checks and its record, all or nothing per controller.
#include "commands.h"
#include "objectnames.h"
#include "selection.h"
#include "session.h"

#include <configuration/configuration.h>
#include <configuration/configwindow.h>
#include <configuration/restore.h>
#include <configuration/resync.h>
#include <host/hoststate.h>
#include <lns/rawtext.h>
#include <lns/worklanes.h>
#include <params/paramcollection.h>
#include <platform/objectname.h>
#include <platform/tracelog.h>
#include <report/parameterrows.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

namespace cli {

namespace {

constexpr int kHelpItem = 11;
constexpr int kTexts = 1931;
enum ResyncText {
    kPrice = 1,
    kDiffer = 2,
    kAgree = 3,
    kNotCompared = 4,
    kDeviceValue = 5,
    kDatabaseValue = 6,
    kPushPrice = 7,
    kPushed = 8,
    kPulled = 9,
    kPushIncomplete = 10,
    kPullFailed = 11,
    kNotOurs = 12,
    kSummary = 13,
    kPushAndPull = 14,
    kLeftAsIs = 15,
    kRefusedByChecks = 16,
};
const QString kPush = QStringLiteral("--push");
const QString kPull = QStringLiteral("--pull");
const QString kJson = QStringLiteral("--json");
const QString kPerChannel = QStringLiteral("--per-channel");

enum class Direction { None, Push, Pull };

// The modelled cost of device transactions, per channel.
struct Price
{
    int controllers = 0;
    int reads = 0;
    int writes = 0;
    QMap<QString, qint64> micros;

    qint64 total() const
    {
        qint64 sum = 0;
        for (qint64 m : micros)
            sum += m;
        return sum;
    }
    // The channels carry their transactions at the same time.
    qint64 wall() const
    {
        qint64 most = 0;
        for (qint64 m : micros)
            most = qMax(most, m);
        return most;
    }
    QJsonObject toJson() const
    {
        return {{QStringLiteral("controllers"), controllers},
                {QStringLiteral("reads"), reads},
                {QStringLiteral("writes"), writes},
                {QStringLiteral("channelMicros"), total()},
                {QStringLiteral("wallMicros"), wall()}};
    }
};

QString msText(qint64 micros)
{
    return QString::number(double(micros) / 1000.0, 'f', 1);
}

// One differing CP with its values as the pages show them.
struct ShownDifference
{
    configuration::CpDifference cp;
    QString deviceText;
    QString databaseText;
    bool held = false; // a parameter holds the CP (a push can write it)
};

enum class State { Agree, Differ, Failed, NotOurs, Pushed, Pulled };

struct ObjectResult
{
    QString key;
    QString channel;
    State state = State::Agree;
    QString error;
    QVector<ShownDifference> differences;
    int status = kOk;
    int written = 0;
};

QString stateWord(State s)
{
    switch (s) {
    case State::Agree:
        return QStringLiteral("agree");
    case State::Differ:
        return QStringLiteral("differ");
    case State::Failed:
        return QStringLiteral("failed");
    case State::NotOurs:
        return QStringLiteral("not-ours");
    case State::Pushed:
        return QStringLiteral("pushed");
    case State::Pulled:
        return QStringLiteral("pulled");
    }
    return QString();
}

QJsonArray bytesJson(const QByteArray &bytes)
{
    QJsonArray out;
    for (char c : bytes)
        out.append(int(quint8(c)));
    return out;
}

// The devices of the chosen objects, found on the held networks without a
// device transaction: by device path ("<network>.<subsystem path>.<device>").
class DeviceIndex
{
public:
    DeviceIndex(const lns::ObjectServerPtr &server, const QStringList &keys)
    {
        if (!server)
            return;
        QStringList networks;
        for (const QString &key : keys) {
            const QString network = platform::analyseObjectName(key).networkName;
            if (!network.isEmpty() && !networks.contains(network))
                networks << network;
        }
        for (const QString &name : qAsConst(networks)) {
            try {
                const lns::NetworkPtr network = server->networks()->item(name);
                const lns::SystemPtr system = network ? network->system() : nullptr;
                const auto top = system ? system->subsystems() : nullptr;
                for (int i = 1; top && i <= top->count(); ++i)
                    walk(name, top->itemAt(i));
            } catch (const lns::LnsError &e) {
                // Not priced; the controller's own session reports the trouble.
                platform::traceCaughtError(QStringLiteral("ResyncPrice"), e.number(), e.description());
            }
        }
    }
    lns::AppDevicePtr device(const QString &objectKey) const
    {
        return m_devices.value(objectKey.section(QLatin1Char('.'), 0, -2));
    }

private:
    void walk(const QString &network, const lns::SubsystemPtr &subsystem)
    {
        const QString path = network + QLatin1Char('.') + subsystem->path();
        const auto devices = subsystem->appDevices();
        for (int i = 1; devices && i <= devices->count(); ++i) {
            const lns::AppDevicePtr d = devices->itemAt(i);
            m_devices.insert(path + QLatin1Char('.') + d->name(), d);
        }
        const auto children = subsystem->subsystems();
        for (int i = 1; children && i <= children->count(); ++i)
            walk(network, children->itemAt(i));
    }
    QHash<QString, lns::AppDevicePtr> m_devices;
};

// What the start of a controller reads from its device, priced on its
// channel: one read per CP a parameter can hold. A device that is not on the
// network is answered from the database and costs nothing.
void addReads(Price &price, const lns::AppDevicePtr &device)
{
    if (!device)
        return;
    bool commissioned = true;
    try {
        commissioned = device->commissioned();
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(QStringLiteral("ResyncPrice"), e.number(), e.description());
    }
    ++price.controllers;
    if (!commissioned)
        return;
    const lns::ChannelPrice &cost = host::state().env.server.channelPrice;
    const QString channel = lns::laneChannelOf(device, QStringLiteral("ResyncLane"));
    for (const auto &cp : configuration::parameterCpSizes(configuration::databaseCopy(device))) {
        ++price.reads;
        price.micros[channel] += cost ? cost(lns::ChannelOp::ReadCp, cp.second) : 0;
    }
}

void addWrites(Price &price, const QString &channel, const QVector<ShownDifference> &diffs)
{
    const lns::ChannelPrice &cost = host::state().env.server.channelPrice;
    for (const ShownDifference &d : diffs) {
        if (!d.held)
            continue;
        ++price.writes;
        price.micros[channel] += cost ? cost(lns::ChannelOp::WriteCp, d.cp.database.size()) : 0;
    }
}

// Opens `key` with its device reads held in a transaction of the run; the
// database copy as it was before them goes to `copy`.
int openHeld(Session &s, const QString &key, configuration::ComparisonHold &hold,
             QVector<configuration::DatabaseCp> &copy, lns::ChannelLanes &lanes, QString *channel, QString *error)
{
    s.setBeforeWindow([&] {
        const lns::Connection &conn = host::state().conn;
        *channel = lns::laneChannelOf(conn.device, QStringLiteral("ResyncLane"));
        lns::setWorkLane(lanes.laneFor(*channel));
        copy = configuration::databaseCopy(conn.device);
        hold.begin(conn.system);
    });
    return s.open(key, host::kCommandIdConfigure, error);
}

// Compares one controller; with `pull` the database copy takes the device's
// bytes of the differing CPs.
ObjectResult compareObject(const QString &key, bool pull, lns::ChannelLanes &lanes)
{
    ObjectResult r;
    r.key = key;
    Session s;
    configuration::ComparisonHold hold;
    QVector<configuration::DatabaseCp> copy;
    QString error;
    const int opened = openHeld(s, key, hold, copy, lanes, &r.channel, &error);
    if (opened != kOk) {
        r.state = State::Failed;
        r.error = error;
        r.status = opened;
        return r;
    }
    s.configWindow()->setParametersChanged(false);
    params::cParams &p = s.config()->Parameters();
    const QHash<QString, QByteArray> device = configuration::heldDeviceBytes(p);
    for (const configuration::CpDifference &d : configuration::differences(copy, device)) {
        ShownDifference shown;
        shown.cp = d;
        shown.held = true;
        shown.deviceText = report::recordedValueText(&p, lns::WriteKind::Cp, d.cp, d.device);
        shown.databaseText = report::recordedValueText(&p, lns::WriteKind::Cp, d.cp, d.database);
        r.differences << shown;
    }
    if (r.differences.isEmpty())
        return r;
    r.state = State::Differ;
    if (pull) {
        if (hold.takeReads(&error)) {
            r.state = State::Pulled;
            r.written = r.differences.size();
        } else {
            r.error = error;
            r.status = kPartlyDone;
        }
    }
    return r;
}

// Writes the database bytes of `r`'s differing CPs into its device through
// the window's write; `r` tells the outcome.
void pushObject(ObjectResult &r, lns::ChannelLanes &lanes, QTextStream &err)
{
    QVector<configuration::CpDifference> diffs;
    for (const ShownDifference &d : qAsConst(r.differences))
        diffs << d.cp;
    const configuration::RestorePlan plan = configuration::databaseToDevice(diffs);
    Session s;
    QString error;
    {
        configuration::ComparisonHold hold;
        QVector<configuration::DatabaseCp> copy;
        QString channel;
        const int opened = openHeld(s, r.key, hold, copy, lanes, &channel, &error);
        if (opened != kOk) {
            r.error = error;
            r.status = opened == kCommunication ? kPartlyDone : opened;
            return;
        }
        // The write below is a transaction of its own.
        hold.release();
    }
    configuration::cConfiguration *c = s.config();
    params::cParams &p = c->Parameters();
    c->window()->setParametersChanged(false);
    const QHash<QString, QByteArray> held = configuration::heldDeviceBytes(p);
    QStringList notHeld;
    const configuration::RestorePlan changed = configuration::changesAgainst(plan, held, &notHeld);
    if (!notHeld.isEmpty())
        err << text(kTexts, kLeftAsIs, {r.key, notHeld.join(QStringLiteral(", "))}) << Qt::endl;
    if (changed.isEmpty()) {
        r.state = State::Pushed;
        return;
    }
    configuration::loadRestore(*c, changed, held);
    if (!checkValues(s, err)) {
        c->window()->setParametersChanged(false);
        r.error = text(kTexts, kRefusedByChecks, {r.key});
        r.status = kPartlyDone;
        return;
    }
    // The parameters' write of the window (one transaction, only the CPs
    // whose bytes differ from the device's): a resync brings CP values in
    // line and loads no application.
    params::CpIo &io = p.cpIo();
    io.setSkipMatchingCps(true);
    io.clearSent();
    const bool sent = c->WriteSettings();
    c->window()->setParametersChanged(false);
    if (!sent) {
        r.error = p.failedCpNames().join(QStringLiteral(", "));
        if (r.error.isEmpty())
            r.error = oneLine(text(1528));
        r.status = kPartlyDone;
        return;
    }
    // The page logic may have replaced a value that does not fit the
    // controller: such a CP did not take the database's bytes.
    const QHash<QString, QByteArray> written = configuration::heldDeviceBytes(p);
    QStringList missed;
    for (const QString &cp : changed.cps)
        if (written.value(cp) != changed.bytes.value(cp))
            missed << cp;
    r.written = changed.cps.size() - missed.size();
    if (!missed.isEmpty()) {
        r.error = missed.join(QStringLiteral(", "));
        r.status = kPartlyDone;
        return;
    }
    r.state = State::Pushed;
}

void printDifferences(QTextStream &out, const ObjectResult &r)
{
    for (const ShownDifference &d : r.differences)
        out << "  " << d.cp.cp << '\t' << text(kTexts, kDeviceValue, {d.deviceText}) << '\t'
            << text(kTexts, kDatabaseValue, {d.databaseText}) << Qt::endl;
}

QJsonObject resultJson(const ObjectResult &r)
{
    QJsonArray diffs;
    for (const ShownDifference &d : r.differences)
        diffs.append(QJsonObject{{QStringLiteral("cp"), d.cp.cp},
                                 {QStringLiteral("device"), bytesJson(d.cp.device)},
                                 {QStringLiteral("database"), bytesJson(d.cp.database)},
                                 {QStringLiteral("deviceText"), d.deviceText},
                                 {QStringLiteral("databaseText"), d.databaseText}});
    QJsonObject o{{QStringLiteral("object"), r.key},
                  {QStringLiteral("state"), stateWord(r.state)},
                  {QStringLiteral("differences"), diffs}};
    if (!r.error.isEmpty())
        o.insert(QStringLiteral("error"), r.error);
    if (r.state == State::Pushed || r.state == State::Pulled)
        o.insert(QStringLiteral("changed"), r.written);
    return o;
}

// The worse of two statuses: a database failure first, then communication,
// partly done, refused, differences, done.
int worse(int a, int b)
{
    static const QList<int> order{kOk, kDifferent, kRefused, kPartlyDone, kCommunication, kDatabase};
    return order.indexOf(b) > order.indexOf(a) ? b : a;
}

} // namespace

int resyncCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (wantsHelp(args))
        return printHelp(out, kHelpItem), kOk;
    ParsedArgs a = parseArgs(args, selectorFlagNames() + QStringList{kPush, kPull, kJson},
                             selectorValueNames() + QStringList{kPerChannel});
    if (a.status)
        return usageError(err, a.error, kHelpItem);
    if (a.flags.contains(kPush) && a.flags.contains(kPull))
        return usageError(err, text(kTexts, kPushAndPull), kHelpItem);
    const Direction direction = a.flags.contains(kPush) ? Direction::Push
                                : a.flags.contains(kPull) ? Direction::Pull
                                                          : Direction::None;
    const bool json = a.flags.contains(kJson);
    int perChannel = 1;
    if (a.values.contains(kPerChannel)) {
        bool number = false;
        perChannel = a.values.value(kPerChannel).toInt(&number);
        if (!number || perChannel < 1 || perChannel > lns::kMaxLanesPerChannel)
            return usageError(err, text(1794, 1, {QString::number(lns::kMaxLanesPerChannel), a.values.value(kPerChannel)}),
                              kHelpItem);
    }
    if (a.positional.isEmpty() && !hasSelector(a))
        return usageError(err, text(1703, 1, {QStringLiteral("OBJECT")}), kHelpItem);
    // A network alone means every controller in it.
    const QStringList narrowing{QStringLiteral("--subsystem"), QStringLiteral("--template")};
    if (a.positional.isEmpty() && !a.flags.contains(QStringLiteral("--all"))
        && std::none_of(narrowing.cbegin(), narrowing.cend(), [&a](const QString &o) { return a.values.contains(o); }))
        a.flags << QStringLiteral("--all");

    NetworkHold networks;
    const QString network = a.values.value(QStringLiteral("--network"));
    if (!network.isEmpty() && a.positional.isEmpty())
        networks.hold(network);
    else
        networks.holdAll();
    QStringList named;
    for (const QString &typed : a.positional) {
        const ResolvedObject r = networks.server() ? resolveObjectName(typed, networks.server()) : resolveObjectName(typed);
        if (r.status != kOk)
            return fail(err, r.status, r.error);
        named << r.key;
    }
    const Selection selection = selectObjects(a, named);
    if (selection.status != kOk)
        return fail(err, selection.status, selection.error);

    // The price of the comparison, before the first device is read.
    const DeviceIndex devices(networks.server(), selection.objects);
    Price price;
    for (const SelectedObject &o : selection.details)
        if (o.ofThisType)
            addReads(price, devices.device(o.key));
    if (!json)
        out << text(kTexts, kPrice,
                    {QString::number(price.controllers), QString::number(price.reads), msText(price.total()),
                     msText(price.wall())})
            << Qt::endl;

    lns::ChannelLanes lanes(perChannel);
    const lns::WorkLaneReset laneReset;
    QVector<ObjectResult> results;
    int status = kOk;
    int differing = 0, notReached = 0, compared = 0;
    for (const SelectedObject &o : selection.details) {
        ObjectResult r;
        if (!o.ofThisType) {
            r.key = o.key;
            r.state = State::NotOurs;
            r.status = kRefused;
            if (!json)
                out << text(kTexts, kNotOurs, {o.key}) << Qt::endl;
        } else {
            r = compareObject(o.key, direction == Direction::Pull, lanes);
            if (r.state == State::Failed) {
                ++notReached;
                // A device that does not answer is one line; the run goes on.
                r.status = r.status == kCommunication ? kPartlyDone : r.status;
                if (!json)
                    out << text(kTexts, kNotCompared, {r.key, r.error}) << Qt::endl;
            } else {
                ++compared;
                if (!r.differences.isEmpty())
                    ++differing;
                if (!json) {
                    out << (r.differences.isEmpty() ? text(kTexts, kAgree, {r.key})
                                                    : text(kTexts, kDiffer, {r.key, QString::number(r.differences.size())}))
                        << Qt::endl;
                    printDifferences(out, r);
                    if (r.state == State::Pulled)
                        out << text(kTexts, kPulled, {r.key, QString::number(r.written)}) << Qt::endl;
                    else if (direction == Direction::Pull && !r.error.isEmpty())
                        out << text(kTexts, kPullFailed, {r.key, r.error}) << Qt::endl;
                }
            }
        }
        status = worse(status, r.status);
        results << r;
    }

    Price pushPrice;
    if (direction == Direction::Push && differing > 0) {
        // What the push costs, before anything is written: each differing
        // controller is read again, then its differing CPs are written.
        for (const ObjectResult &r : qAsConst(results)) {
            if (r.state != State::Differ)
                continue;
            addReads(pushPrice, devices.device(r.key));
            addWrites(pushPrice, r.channel, r.differences);
        }
        if (!json)
            out << text(kTexts, kPushPrice,
                        {QString::number(pushPrice.controllers), QString::number(pushPrice.reads),
                         QString::number(pushPrice.writes), msText(pushPrice.total()), msText(pushPrice.wall())})
                << Qt::endl;
        for (ObjectResult &r : results) {
            if (r.state != State::Differ)
                continue;
            pushObject(r, lanes, err);
            status = worse(status, r.status);
            if (json)
                continue;
            if (r.state == State::Pushed)
                out << text(kTexts, kPushed, {r.key, QString::number(r.written)}) << Qt::endl;
            else
                out << text(kTexts, kPushIncomplete, {r.key, r.error}) << Qt::endl;
        }
    }
    if (json) {
        QJsonArray objects;
        for (const ObjectResult &r : qAsConst(results))
            objects.append(resultJson(r));
        QJsonObject doc{{QStringLiteral("price"), price.toJson()}, {QStringLiteral("objects"), objects}};
        if (direction == Direction::Push && differing > 0)
            doc.insert(QStringLiteral("pushPrice"), pushPrice.toJson());
        out << QJsonDocument(doc).toJson(QJsonDocument::Indented);
    } else {
        out << text(kTexts, kSummary, {QString::number(compared), QString::number(differing), QString::number(notReached)})
            << Qt::endl;
    }
    lns::setWorkLane(0);

    // Nothing reached at all is a failure of the channel, not a part done.
    if (compared == 0 && notReached > 0)
        return kCommunication;
    if (status == kOk && differing > 0 && direction == Direction::None)
        return kDifferent;
    return status == kDifferent ? kOk : status;
}

} // namespace cli
