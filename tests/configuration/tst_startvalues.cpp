// After the configuration command has started, every parameter holds the
// value its device holds, except where the page logic deliberately corrects
// it (a cooling-only controller's heating comfort setpoint and the range
// chain that follows it); a correction holds its exact value. The tool then
// reads the same values, and writing its own file back writes only what was
// corrected.
//
// The device values are random (seeded; AEROLIS_TEST_SEED overrides the base
// seed) and valid for their ranges; the expected corrections and the values
// the checks refuse are computed here from the controller's rules.
#include "toolrun.h"

#include <configuration/configuration.h>
#include <lns/templatelookup.h>
#include <params/paramcollection.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>

#include <map>
#include <optional>

namespace {

// Where a parameter sits in its CP: 1-based byte, byte count.
struct Field
{
    const char *name;
    const char *cp;
    int pos;
    int len;
};

const Field kFields[] = {
    {"HvacAppMode", "HvacAppMode", 1, 1},
    {"NumValves", "NumValves", 1, 2},
    {"MaxReceiveTime", "MaxReceiveTime", 1, 2},
    {"MaxSendTime", "MaxSendTime", 1, 2},
    {"MinDeltaLevel", "MinDeltaLevel", 1, 1},
    {"SetPointMode", "SetPointMode", 1, 1},
    {"CoolSetpointComfort", "SetPoints", 1, 2},
    {"CoolSetpointStandby", "SetPoints", 3, 2},
    {"CoolSetpointEconomy", "SetPoints", 5, 2},
    {"HeatSetpointComfort", "SetPoints", 7, 2},
    {"HeatSetpointStandby", "SetPoints", 9, 2},
    {"HeatSetpointEconomy", "SetPoints", 11, 2},
    {"ProtSetpointHeat", "ProtSetpointHeat", 1, 2},
    {"ProtSetpointCool", "ProtSetpointCool", 1, 2},
    {"ProtSetpointFrost", "ProtSetpointFrost", 1, 2},
    {"HeatXp", "HeatXp", 1, 2},
    {"HeatTi", "HeatTi", 1, 2},
    {"CoolXp", "CoolXp", 1, 2},
    {"CoolTi", "CoolTi", 1, 2},
    {"MinDischAirTemp", "MinDischAirTemp", 1, 2},
    {"AuxLevels", "AuxLevels", 1, 1},
    {"AuxHyst", "AuxHyst", 1, 2},
    {"OffDelay", "OffDelay", 1, 2},
    {"SetPointEcon", "SetPointEcon", 1, 2},
    {"EconMinLevel", "EconMinLevel", 1, 2},
    {"SettingHystHighFunction", "SettingHystHigh", 1, 1},
    {"SettingHystHighLevel", "SettingHystHigh", 2, 1},
    {"SettingHystLowFunction", "SettingHystLow", 1, 1},
    {"SettingHystLowLevel", "SettingHystLow", 2, 1},
    {"DiscLevels", "DiscLevels", 1, 1},
    {"FanHyst", "FanHyst", 1, 2},
    {"MinRuntime", "MinRuntime", 1, 2},
    {"CycleTime", "CycleTime", 1, 2},
};

const Field *fieldOf(const QString &name)
{
    for (const Field &f : kFields)
        if (name == QLatin1String(f.name))
            return &f;
    return nullptr;
}

// Parameter name -> the integer its CP field holds (signed where the field
// is; temperatures in hundredths of a degree).
using Values = std::map<QString, qint64>;

// Mode and valve count of an application number, per family.
std::pair<int, int> modeOf(bool ceiling, int app)
{
    static const std::pair<int, int> ceilingModes[] = {{0, 1}, {1, 1}, {3, 1}, {2, 1}, {2, 2}, {11, 2}, {12, 2}};
    static const std::pair<int, int> fanCoilModes[] = {{4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1},
                                                       {9, 1}, {9, 2}, {10, 1}, {10, 2}};
    return ceiling ? ceilingModes[app - 1] : fanCoilModes[app - 1];
}

bool ceilingKind(int kind) { return kind == 1 || kind == 3 || kind == 5; }

// What decides the controller's rules besides the values.
struct Controller
{
    int kind = 1;
    int app = 1;
    bool econNoLimit = false; // template key SetpointEconNoLimit above 0
    QSet<QString> cps;        // the CPs the device has

    bool coolingOnly() const { return ceilingKind(kind) ? app == 2 : app == 1; }
    bool has(const QString &name) const
    {
        const Field *f = fieldOf(name);
        return f && cps.contains(QString::fromLatin1(f->cp));
    }
};

// The damper temperature is shown (so its text-box minimum counts) unless
// the kind has no damper or the damper is switched off.
bool econShown(const Controller &c, const Values &v)
{
    if (c.kind == 1 || c.kind == 3)
        return false;
    return !(v.at(QStringLiteral("SetPointEcon")) == 0 && v.at(QStringLiteral("EconMinLevel")) == 0);
}

struct Range
{
    qint64 min, max;
    bool contains(qint64 x) const { return x >= min && x <= max; }
};

// The range of every setpoint as the chain leaves it (reading the values in
// the chain's order), with the damper's shown minimum.
std::map<QString, Range> chainRanges(const Controller &c, const Values &v)
{
    std::map<QString, Range> r;
    const auto at = [&v](const char *n) { return v.at(QString::fromLatin1(n)); };
    r["HeatSetpointComfort"] = {500, 5000};
    r["HeatSetpointStandby"] = {0, at("HeatSetpointComfort")};
    r["HeatSetpointEconomy"] = {0, at("HeatSetpointStandby")};
    r["ProtSetpointHeat"] = {0, at("HeatSetpointEconomy")};
    if (c.kind != 5) {
        r["CoolSetpointComfort"] = {at("HeatSetpointComfort") + (c.coolingOnly() ? 0 : 100), 5000};
        r["CoolSetpointStandby"] = {at("CoolSetpointComfort"), 5000};
        r["CoolSetpointEconomy"] = {at("CoolSetpointStandby"), 5000};
        r["ProtSetpointCool"] = {at("CoolSetpointEconomy"), 5000};
    } else {
        for (const char *n : {"CoolSetpointComfort", "CoolSetpointStandby", "CoolSetpointEconomy", "ProtSetpointCool"})
            r[n] = {0, 5000};
    }
    r["ProtSetpointFrost"] = {100, at("HeatSetpointComfort") - 100};
    if (c.has(QStringLiteral("SetPointEcon"))) {
        if (c.econNoLimit)
            r["SetPointEcon"] = {-5000, 5000};
        else
            r["SetPointEcon"] = {econShown(c, v) ? at("ProtSetpointFrost") + 100 : 0, at("CoolSetpointComfort")};
    }
    return r;
}

// The cooling-only correction: heating comfort 15 degrees, then the chain
// pulls every value outside its new range onto the limit, step by step.
Values corrected(const Controller &c, Values v)
{
    if (!c.coolingOnly())
        return v;
    v["HeatSetpointComfort"] = 1500;
    const auto clampTo = [&v](const char *name, std::optional<qint64> min, std::optional<qint64> max) {
        qint64 &x = v[QString::fromLatin1(name)];
        if (min && x < *min)
            x = *min;
        else if (max && x > *max)
            x = *max;
    };
    const auto at = [&v](const char *n) { return v.at(QString::fromLatin1(n)); };
    clampTo("HeatSetpointStandby", 0, at("HeatSetpointComfort"));
    clampTo("HeatSetpointEconomy", 0, at("HeatSetpointStandby"));
    clampTo("ProtSetpointHeat", 0, at("HeatSetpointEconomy"));
    if (c.kind != 5) {
        clampTo("CoolSetpointComfort", at("HeatSetpointComfort"), 5000);
        clampTo("CoolSetpointStandby", at("CoolSetpointComfort"), 5000);
        clampTo("CoolSetpointEconomy", at("CoolSetpointStandby"), 5000);
        clampTo("ProtSetpointCool", at("CoolSetpointEconomy"), 5000);
    }
    clampTo("ProtSetpointFrost", 100, at("HeatSetpointComfort") - 100);
    if (c.has(QStringLiteral("SetPointEcon")) && !c.econNoLimit) {
        qint64 &e = v["SetPointEcon"];
        const qint64 shownMin = at("ProtSetpointFrost") + 100;
        const qint64 max = at("CoolSetpointComfort");
        const bool invalid = e < 0 || e > max || (econShown(c, v) && e < shownMin);
        if (invalid)
            e = (econShown(c, v) && e < shownMin) ? shownMin : max;
    }
    return v;
}

// The setpoints the check refuses after start-up.
QStringList refused(const Controller &c, const Values &v)
{
    QStringList out;
    for (const auto &[name, range] : chainRanges(c, v))
        if (c.has(name) && !range.contains(v.at(name)))
            out << name;
    out.sort();
    return out;
}

// Random device values that the checks accept.
Values randomValues(const Controller &c, QRandomGenerator &rng)
{
    // Uniform, but a quarter of the draws lie within 0.04 of a limit: the
    // values a display rounds onto a limit.
    const auto in = [&rng](qint64 lo, qint64 hi) {
        const qint64 span = hi - lo + 1;
        const qint64 edge = qMin<qint64>(5, span);
        switch (rng.bounded(8)) {
        case 0: return lo + qint64(rng.bounded(quint32(edge)));
        case 1: return hi - qint64(rng.bounded(quint32(edge)));
        default: return lo + qint64(rng.bounded(quint32(span)));
        }
    };
    const auto orOff = [&](qint64 lo, qint64 hi) { return rng.bounded(5) == 0 ? 0 : in(lo, hi); };
    Values v;
    const auto [mode, valves] = modeOf(ceilingKind(c.kind), c.app);
    v["HvacAppMode"] = mode;
    v["NumValves"] = valves;
    v["MaxReceiveTime"] = orOff(10, 65535);
    v["MaxSendTime"] = orOff(10, 65535);
    v["MinDeltaLevel"] = in(2, 200);
    v["SetPointMode"] = in(0, 1);
    const qint64 hc = in(500, 4800);
    v["HeatSetpointComfort"] = hc;
    v["HeatSetpointStandby"] = in(0, hc);
    v["HeatSetpointEconomy"] = in(0, v["HeatSetpointStandby"]);
    v["ProtSetpointHeat"] = in(0, v["HeatSetpointEconomy"]);
    if (c.kind != 5) {
        v["CoolSetpointComfort"] = in(hc + 100, 5000);
        v["CoolSetpointStandby"] = in(v["CoolSetpointComfort"], 5000);
        v["CoolSetpointEconomy"] = in(v["CoolSetpointStandby"], 5000);
        v["ProtSetpointCool"] = in(v["CoolSetpointEconomy"], 5000);
    } else {
        for (const char *n : {"CoolSetpointComfort", "CoolSetpointStandby", "CoolSetpointEconomy", "ProtSetpointCool"})
            v[n] = in(0, 5000);
    }
    // The frost limit's own maximum (15 degrees) gives way to the chain's.
    // Just above that maximum the value shows as the maximum itself.
    v["ProtSetpointFrost"] = (hc >= 1604 && rng.bounded(3) == 0) ? in(1501, 1504) : in(100, hc - 100);
    v["HeatXp"] = in(50, 1000);
    v["CoolXp"] = in(50, 1000);
    for (const char *ti : {"HeatTi", "CoolTi"}) {
        const int mode = rng.bounded(3);
        v[ti] = mode == 0 ? 0 : mode == 1 ? 65535 : in(1, 65534);
    }
    v["MinDischAirTemp"] = orOff(1000, 3500);
    v["AuxLevels"] = in(1, 5);
    v["AuxHyst"] = in(50, 400);
    v["OffDelay"] = orOff(10, 36000);
    v["EconMinLevel"] = in(0, 20000);
    const qint64 econMin = v["ProtSetpointFrost"] + 100;
    if (c.econNoLimit)
        v["SetPointEcon"] = in(-5000, 5000);
    else if (rng.bounded(5) == 0 || v["CoolSetpointComfort"] < econMin)
        v["SetPointEcon"] = v["EconMinLevel"] = 0; // damper off
    else if (c.coolingOnly() && rng.bounded(2) == 0)
        v["SetPointEcon"] = in(1, econMin - 1); // below its minimum: the start corrects it
    else
        v["SetPointEcon"] = in(econMin, v["CoolSetpointComfort"]);
    if (rng.bounded(4) == 0) {
        v["SettingHystHighFunction"] = v["SettingHystLowFunction"] = -1; // night purge off
        v["SettingHystHighLevel"] = v["SettingHystLowLevel"] = 0;
    } else {
        for (const char *n : {"SettingHystHighFunction", "SettingHystLowFunction"})
            v[n] = in(-1, 5);
        for (const char *n : {"SettingHystHighLevel", "SettingHystLowLevel"})
            v[n] = in(0, 200);
    }
    v["DiscLevels"] = in(1, 5);
    v["FanHyst"] = in(50, 400);
    v["MinRuntime"] = in(0, 36000);
    v["CycleTime"] = orOff(10, 36000);
    return v;
}

// The device's values as they stand (the factory set of a fresh network).
Values deviceValues(ConfigFixture &f, int id, const Controller &c)
{
    Values v;
    for (const Field &fd : kFields) {
        if (!c.has(QString::fromLatin1(fd.name)))
            continue;
        const QByteArray b = f.admin->deviceCp(id, QString::fromLatin1(fd.cp));
        if (b.size() < fd.pos - 1 + fd.len)
            continue;
        qint64 x = 0;
        for (int i = 0; i < fd.len; ++i)
            x = (x << 8) | quint8(b.at(fd.pos - 1 + i));
        if (QByteArray(fd.name).endsWith("Function") && x >= 128)
            x -= 256;
        v[QString::fromLatin1(fd.name)] = x;
    }
    return v;
}

// The CP bytes that hold `v`, starting from the device's bytes.
std::map<QString, QByteArray> cpBytes(ConfigFixture &f, int id, const Controller &c, const Values &v)
{
    std::map<QString, QByteArray> out;
    for (const QString &cp : c.cps)
        out[cp] = f.admin->deviceCp(id, cp);
    for (const Field &fd : kFields) {
        const QString cp = QString::fromLatin1(fd.cp);
        const auto value = v.find(QString::fromLatin1(fd.name));
        if (!c.cps.contains(cp) || value == v.end())
            continue;
        QByteArray &b = out[cp];
        const quint64 x = quint64(value->second);
        for (int i = 0; i < fd.len; ++i)
            b[fd.pos - 1 + i] = char((x >> (8 * (fd.len - 1 - i))) & 0xFF);
    }
    return out;
}

void setEverywhere(ConfigFixture &f, int id, const std::map<QString, QByteArray> &bytes)
{
    for (const auto &[cp, b] : bytes) {
        f.admin->setDeviceCp(id, cp, b);
        f.admin->db().setDatabaseCp(id, cp, b);
    }
}

// What the tool and the window show of a parameter's value (file form).
QString stored(const QString &name, qint64 v)
{
    if (name == QLatin1String("NumValves"))
        return QStringLiteral("%1,%2").arg(v >> 8).arg(v & 0xFF);
    return QString::number(v);
}

QString windowValue(params::cParams &p, const QString &name)
{
    if (auto t = p.TextBoxParameterByName(name))
        return QString::number(t->Value());
    if (auto c = p.ComboBoxParameterByName(name))
        return QString::number(c->Value());
    if (auto b = p.Parameter1ByteByName(name))
        return QString::number(b->Value());
    if (auto b = p.Parameter2ByteByName(name))
        return QStringLiteral("%1,%2").arg(b->Value1()).arg(b->Value2());
    return QStringLiteral("(none)");
}

bool changedInWindow(params::cParams &p, const QString &name)
{
    for (const auto &x : p.AllParameters())
        if (x->Name() == name)
            return x->Changed();
    return false;
}

constexpr int kControllerObjectIndex = 1;
const quint32 kBaseSeed = 20261206;

quint32 baseSeed()
{
    bool ok = false;
    const quint32 s = qEnvironmentVariable("AEROLIS_TEST_SEED").toUInt(&ok);
    return ok ? s : kBaseSeed;
}

} // namespace

class TestStartValues : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startKeepsDeviceValues_data();
    void startKeepsDeviceValues();
    void modeCpsNotReadShowAsNotRead_data();
    void modeCpsNotReadShowAsNotRead();
};

void TestStartValues::startKeepsDeviceValues_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("app");   // 0: a random application of the family
    QTest::addColumn<int>("seed");  // 0: the device's factory values, then `fixed`
    QTest::addColumn<QVariantMap>("fixed"); // parameter -> value over the rest
    const auto fixed = [](std::initializer_list<std::pair<const char *, qint64>> list) {
        QVariantMap m;
        for (const auto &[k, v] : list)
            m.insert(QString::fromLatin1(k), v);
        return m;
    };
    int n = 0;
    for (int kind = 1; kind <= 5; ++kind)
        for (int i = 0; i < 2; ++i)
            QTest::addRow("kind %d, random %d", kind, i + 1) << kind << (kind == 5 ? 1 : 0) << ++n << QVariantMap();
    // The cooling-only applications, whose start corrects the setpoints.
    QTest::newRow("kind 1, chilled ceiling") << 1 << 2 << ++n << QVariantMap();
    QTest::newRow("kind 2, cooling with fan") << 2 << 1 << ++n << QVariantMap();
    QTest::newRow("kind 3, chilled ceiling") << 3 << 2 << ++n << QVariantMap();
    QTest::newRow("kind 4, cooling with fan") << 4 << 1 << ++n << QVariantMap();
    // Reported: a frost limit of 15.04 degrees read as 15.00 and written back.
    QTest::newRow("frost limit 15.04") << 1 << 3 << 0 << fixed({{"ProtSetpointFrost", 0x05E0}});
    // Reported: the corrected damper temperature 3.01 became 3.00 and was refused.
    QTest::newRow("cooling only, damper 0.95") << 4 << 1 << 0
                                                << fixed({{"ProtSetpointFrost", 0x00C9}, {"SetPointEcon", 0x005F}});
    // Reported: every setpoint 50.04 degrees; standby became 50.00 and
    // economy was then refused. The values above 50 are refused as they are.
    QTest::newRow("every setpoint 50.04")
        << 1 << 3 << 0
        << fixed({{"CoolSetpointComfort", 5004}, {"CoolSetpointStandby", 5004}, {"CoolSetpointEconomy", 5004},
                  {"HeatSetpointComfort", 5004}, {"HeatSetpointStandby", 5004}, {"HeatSetpointEconomy", 5004}});
}

void TestStartValues::startKeepsDeviceValues()
{
    QFETCH(int, kind);
    QFETCH(int, app);
    QFETCH(int, seed);
    QFETCH(QVariantMap, fixed);
    const quint32 rowSeed = baseSeed() + quint32(seed);
    qInfo("seed %u (AEROLIS_TEST_SEED=%u)", rowSeed, baseSeed());
    QRandomGenerator rng(rowSeed);

    ConfigFixture f;
    const QString room = QStringLiteral("Room10%1").arg(kind);
    const int id = f.deviceId(room);
    Controller c;
    c.kind = kind;
    c.app = app > 0 ? app : 1 + int(rng.bounded(ceilingKind(kind) ? 7 : 9));
    const QString templateName = f.admin->device(room).templateName;
    const QString econKey = f.ini.value(lns::kCpSection, QStringLiteral("SetpointEconNoLimit"), templateName);
    c.econNoLimit = econKey.toDouble() > 0;
    for (const lnssim::CpComparison &cp : f.admin->compareCps(id))
        c.cps.insert(cp.name);

    Values device = seed > 0 ? randomValues(c, rng) : deviceValues(f, id, c);
    const auto [mode, valves] = modeOf(ceilingKind(kind), c.app);
    if (seed == 0) {
        device["HvacAppMode"] = mode;
        device["NumValves"] = valves;
    }
    for (auto it = fixed.cbegin(); it != fixed.cend(); ++it)
        device[it.key()] = it.value().toLongLong();
    // Kinds 1 and 2 take the application from the object's record; the
    // device runs it already.
    if (kind == 1 || kind == 2)
        f.admin->db().setExtensionData(id, kControllerObjectIndex, configuration::kAppModeRecordKey,
                                       QString::number(c.app));
    const std::map<QString, QByteArray> before = cpBytes(f, id, c, device);
    setEverywhere(f, id, before);

    const Values expected = corrected(c, device);
    const QStringList expectRefused = refused(c, expected);
    // Random values are valid once the start has corrected them.
    if (seed > 0)
        QVERIFY2(expectRefused.isEmpty(), qPrintable(expectRefused.join(QLatin1Char(' '))));
    const std::map<QString, QByteArray> after = cpBytes(f, id, c, expected);
    QStringList expectWritten;
    for (const auto &[cp, b] : after)
        if (before.at(cp) != b)
            expectWritten << cp;
    expectWritten.sort();

    // Kinds 1 and 2 do not read their mode CPs: there is no device value
    // of theirs to compare.
    const auto compared = [&](const QString &name) {
        return c.has(name) && !((kind == 1 || kind == 2) && (name == QLatin1String("HvacAppMode") ||
                                                               name == QLatin1String("NumValves")));
    };

    // The window.
    f.start(room);
    QVERIFY(f.config());
    QCOMPARE(f.config()->appNumber(), c.app);
    params::cParams &p = f.config()->Parameters();
    for (const auto &[name, value] : expected) {
        if (!compared(name))
            continue;
        const bool wasCorrected = device.at(name) != value;
        QVERIFY2(windowValue(p, name) == stored(name, value),
                 qPrintable(QStringLiteral("%1: window %2, device %3, expected %4")
                                .arg(name, windowValue(p, name), stored(name, device.at(name)), stored(name, value))));
        if (!wasCorrected)
            QVERIFY2(!changedInWindow(p, name), qPrintable(name + QStringLiteral(" changed without a correction")));
    }

    // The tool reads the same values.
    const QString object = objectOf(room);
    const Run json = runTool(f, {QStringLiteral("read"), object, QStringLiteral("--json")});
    QCOMPARE(json.status, 0);
    std::map<QString, QString> toolValues;
    for (const QJsonValue &x : QJsonDocument::fromJson(json.out.toUtf8()).object().value(QStringLiteral("parameters")).toArray())
        toolValues[x.toObject().value(QStringLiteral("name")).toString()] =
            x.toObject().value(QStringLiteral("value")).toString();
    for (const auto &[name, value] : expected) {
        if (!compared(name))
            continue;
        QVERIFY2(toolValues[name] == stored(name, value),
                 qPrintable(QStringLiteral("%1: tool %2, expected %3").arg(name, toolValues[name], stored(name, value))));
    }

    // The tool's own file written back: exactly the corrected CPs go out, and
    // the device ends with the corrected bytes.
    const QString file = f.env.file(QStringLiteral("read.dat"));
    const Run read = runTool(f, {QStringLiteral("read"), object, QStringLiteral("-o"), file});
    if (!expectRefused.isEmpty()) {
        QCOMPARE(read.status, 1);
        QStringList named;
        // One refusal line lists every refused value, "NAME = VALUE: reason",
        // separated by "; ".
        static const QRegularExpression outOfRange(QStringLiteral("(?:: |; )(\\w+) = "));
        for (auto it = outOfRange.globalMatch(read.err); it.hasNext();)
            named << it.next().captured(1);
        named.sort();
        QCOMPARE(named, expectRefused);
        return;
    }
    QVERIFY2(read.status == 0, qPrintable(read.err));
    const Run write = runTool(f, {QStringLiteral("write"), object, file});
    QVERIFY2(write.status == 0, qPrintable(write.out + write.err));
    QStringList written;
    static const QRegularExpression writtenLine(QStringLiteral("^Written: (\\w+) \\("));
    for (const QString &line : write.out.split(QLatin1Char('\n')))
        if (const auto m = writtenLine.match(line); m.hasMatch())
            written << m.captured(1);
    written.sort();
    QCOMPARE(written, expectWritten);
    for (const auto &[cp, b] : after)
        QVERIFY2(f.admin->deviceCp(id, cp) == b, qPrintable(cp));
}

void TestStartValues::modeCpsNotReadShowAsNotRead_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("view");
    QTest::addColumn<bool>("read");
    // Kinds 1 and 2 take the application from the object's record and leave
    // the mode CPs unread; the other kinds read them like every CP.
    for (const char *view : {"read --json", "diff", "report"})
        for (int kind = 1; kind <= 5; ++kind)
            QTest::addRow("%s, kind %d", view, kind) << kind << QString::fromLatin1(view) << (kind >= 3);
}

// What was not read is shown as not read, never as a device value of 0, and
// is no difference from the template's default.
void TestStartValues::modeCpsNotReadShowAsNotRead()
{
    QFETCH(int, kind);
    QFETCH(QString, view);
    QFETCH(bool, read);
    ConfigFixture f;
    const QString room = QStringLiteral("Room10%1").arg(kind);
    const int id = f.deviceId(room);
    // Mode 3 with one valve: not the template's default 0.
    for (const auto &[cp, bytes] : {std::make_pair(QStringLiteral("HvacAppMode"), QByteArray(1, char(3))),
                                    std::make_pair(QStringLiteral("NumValves"), QByteArray("\x00\x01", 2))}) {
        f.admin->setDeviceCp(id, cp, bytes);
        f.admin->db().setDatabaseCp(id, cp, bytes);
    }
    const QString object = objectOf(room);
    const QString notRead = gLoadResString(1593);

    if (view == QLatin1String("read --json")) {
        const Run json = runTool(f, {QStringLiteral("read"), object, QStringLiteral("--json")});
        QCOMPARE(json.status, 0);
        std::map<QString, QJsonObject> byName;
        for (const QJsonValue &x :
             QJsonDocument::fromJson(json.out.toUtf8()).object().value(QStringLiteral("parameters")).toArray())
            byName[x.toObject().value(QStringLiteral("name")).toString()] = x.toObject();
        for (const auto &[name, value] : {std::make_pair("HvacAppMode", "3"), std::make_pair("NumValves", "0,1")}) {
            const QJsonObject o = byName[QString::fromLatin1(name)];
            QCOMPARE(o.value(QStringLiteral("read")).toBool(true), read);
            if (read)
                QCOMPARE(o.value(QStringLiteral("value")).toString(), QString::fromLatin1(value));
            else
                QVERIFY2(o.value(QStringLiteral("value")).isNull(), name);
        }
    } else if (view == QLatin1String("diff")) {
        // Device and database column alike, no difference marked.
        const Run diff = runTool(f, {QStringLiteral("diff"), object});
        QCOMPARE(diff.status, 0);
        QCOMPARE(lineWith(diff.out, QStringLiteral("HvacAppMode\t")),
                 read ? QStringLiteral("  HvacAppMode\t3\t3") : QStringLiteral("  HvacAppMode\t%1\t%1").arg(notRead));
    } else {
        // The record lists what the pages show; the mode CPs have no control
        // on a page, so neither a read nor an unread mode value reaches it.
        const QString csv = f.env.file(QStringLiteral("report.csv"));
        const Run report = runTool(f, {QStringLiteral("report"), object, QStringLiteral("--csv"), csv});
        QVERIFY2(report.status == 0, qPrintable(report.err));
        const QString text = QString::fromUtf8(fileBytes(csv));
        QVERIFY(text.contains(QStringLiteral(",HeatSetpointComfort\r")));
        QVERIFY(!text.contains(QStringLiteral(",HvacAppMode\r")));
    }
}

QTEST_MAIN(TestStartValues)
#include "tst_startvalues.moc"
