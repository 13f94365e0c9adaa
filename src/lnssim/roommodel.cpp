#include "roommodel.h"

#include <algorithm>
#include <cmath>

namespace lnssim {

namespace {

// Heating at full output warms the room by 12 K/h, cooling cools it by
// 9 K/h; the room loses heat to the outdoor air with a time constant of 3 h,
// through an open window with 1 h, through the economizer at full opening
// with 1.5 h.
constexpr double kHeatGainPerS = 12.0 / 3600;
constexpr double kCoolGainPerS = 9.0 / 3600;
constexpr double kLossTauS = 3 * 3600;
constexpr double kWindowTauS = 3600;
constexpr double kVentTauS = 1.5 * 3600;
constexpr double kMaxStepS = 10;

int s16(const QByteArray &b, int offset)
{
    if (b.size() < offset + 2)
        return 0;
    return qint16((quint8(b.at(offset)) << 8) | quint8(b.at(offset + 1)));
}

int u16(const QByteArray &b, int offset)
{
    if (b.size() < offset + 2)
        return 0;
    return (quint8(b.at(offset)) << 8) | quint8(b.at(offset + 1));
}

void put16(QByteArray &b, int offset, int v)
{
    v = std::clamp(v, -32768, 32767);
    b[offset] = char((v >> 8) & 0xFF);
    b[offset + 1] = char(v & 0xFF);
}

int levPercentRaw(double percent)
{
    return int(std::lround(percent / 0.005));
}

double levPercent(int raw)
{
    return raw * 0.005;
}

struct Setpoints
{
    double heat;
    double cool;
};

Setpoints setpointsFor(const RoomState &s, const RoomParams &p)
{
    int occ = s.occupancy;
    // Morning warm-up and pre-cooling prepare the room for its use.
    if (s.mode == RM_MORNING_WARMUP || s.mode == RM_PRE_COOL)
        occ = RO_OCCUPIED;
    switch (occ) {
    case RO_UNOCCUPIED:
        return {p.heatEconomy, p.coolEconomy};
    case RO_STANDBY:
        return {p.heatStandby, p.coolStandby};
    case RO_NUL:
        return {p.protHeat, p.protCool};
    default:
        return {p.heatComfort, p.coolComfort};
    }
}

bool heatingMode(int mode)
{
    return mode == RM_AUTO || mode == RM_HEAT || mode == RM_MORNING_WARMUP || mode > RM_OFF;
}

bool coolingMode(int mode)
{
    return mode == RM_AUTO || mode == RM_COOL || mode == RM_PRE_COOL || mode > RM_OFF;
}

// One PI loop: error in K (positive: output wanted), returns the demand in %
// (0..maxOut) and integrates when dt > 0, holding the integral where the
// output is saturated.
double piLoop(double error, double xp, double tiMin, double &integral, double dt, double maxOut)
{
    xp = std::max(xp, 0.1);
    const double p = 100.0 * error / xp;
    if (dt > 0 && tiMin > 0) {
        const double next = integral + p * dt / (tiMin * 60.0);
        const double out = p + next;
        if ((out < maxOut || next < integral) && (out > 0 || next > integral))
            integral = next;
        integral = std::clamp(integral, 0.0, maxOut);
    }
    return std::clamp(p + integral, 0.0, maxOut);
}

RoomOutputs compute(RoomState &s, const RoomParams &p, double dt)
{
    if (dt > 0) {
        switch (s.windowHold) {
        case WindowHold::Open:
            s.window = true;
            break;
        case WindowHold::Closed:
            s.window = false;
            break;
        case WindowHold::Auto:
            s.windowTimer -= dt;
            for (int guard = 0; s.windowTimer <= 0 && guard < 1000; ++guard) {
                s.window = !s.window;
                ++s.windowChanges;
                s.windowTimer += RoomModel::nextWindowPeriod(p.seed, s.windowChanges, s.window);
            }
            break;
        }
    }

    RoomOutputs o;
    o.mode = s.mode;
    o.effectiveOccupancy = s.occupancy;
    const Setpoints sp = setpointsFor(s, p);
    const bool holdOff = s.window;
    o.energyHoldOff = holdOff;

    const bool anyHeat = p.heatPrimary || p.heatSecondary;
    const double heatMax = (p.heatPrimary && p.heatSecondary) ? 200.0 : 100.0;
    double heatDemand = 0;
    if (anyHeat && heatingMode(s.mode) && !holdOff)
        heatDemand = piLoop(sp.heat - s.temperature, p.heatXp, p.heatTiMin, s.heatIntegral, dt, heatMax);
    else
        s.heatIntegral = 0;
    double coolDemand = 0;
    if (p.cooling && coolingMode(s.mode) && !holdOff)
        coolDemand = piLoop(s.temperature - sp.cool, p.coolXp, p.coolTiMin, s.coolIntegral, dt, 100.0);
    else
        s.coolIntegral = 0;
    // Frost protection heats whatever the mode and the window.
    if (anyHeat && s.temperature < p.frost)
        heatDemand = heatMax;

    if (p.heatPrimary) {
        o.heatPrimary = std::min(heatDemand, 100.0);
        if (p.heatSecondary)
            o.heatSecondary = std::clamp(heatDemand - 100.0, 0.0, 100.0);
    } else if (p.heatSecondary) {
        o.heatSecondary = std::min(heatDemand, 100.0);
    }
    o.cool = coolDemand;

    if (s.mode == RM_NIGHT_PURGE)
        o.econ = 100;
    else if (!holdOff && s.mode != RM_OFF && s.occupancy != RO_UNOCCUPIED && s.occupancy != RO_NUL)
        o.econ = p.econMinLevel;

    if (p.fan)
        o.fan = RoomModel::fanOutput(std::max({o.heatPrimary, o.heatSecondary, o.cool}), p.discLevels, &o.fanLevel);

    switch (s.mode) {
    case RM_HEAT:
    case RM_MORNING_WARMUP:
        o.effectiveSetpoint = sp.heat;
        break;
    case RM_COOL:
    case RM_PRE_COOL:
    case RM_NIGHT_PURGE:
        o.effectiveSetpoint = sp.cool;
        break;
    case RM_OFF:
        o.effectiveSetpoint = p.frost;
        break;
    default:
        o.effectiveSetpoint = s.temperature < (sp.heat + sp.cool) / 2 ? sp.heat : sp.cool;
        break;
    }
    o.nightPurge = s.window || s.mode == RM_NIGHT_PURGE;

    if (dt > 0) {
        const double heatPower = kHeatGainPerS * (o.heatPrimary + 0.5 * o.heatSecondary) / 100.0;
        const double coolPower = kCoolGainPerS * o.cool / 100.0;
        const double exchange =
            1.0 / kLossTauS + (s.window ? 1.0 / kWindowTauS : 0.0) + (o.econ / 100.0) / kVentTauS;
        s.temperature += dt * (heatPower - coolPower + (p.outdoor - s.temperature) * exchange);
    }
    o.frostAlarm = s.frostForced || s.temperature < p.frost;
    return o;
}

} // namespace

RoomParams RoomParams::fromCps(const QHash<QString, QByteArray> &cps, const QString &family, int appNumber)
{
    RoomParams p;
    auto cp = [&](const char *name) { return cps.value(QString::fromLatin1(name)); };
    const QByteArray sp = cp("SetPoints");
    if (sp.size() >= 12) {
        p.coolComfort = s16(sp, 0) / 100.0;
        p.coolStandby = s16(sp, 2) / 100.0;
        p.coolEconomy = s16(sp, 4) / 100.0;
        p.heatComfort = s16(sp, 6) / 100.0;
        p.heatStandby = s16(sp, 8) / 100.0;
        p.heatEconomy = s16(sp, 10) / 100.0;
    }
    auto temp = [&](const char *name, double &target) {
        const QByteArray b = cp(name);
        if (b.size() >= 2)
            target = s16(b, 0) / 100.0;
    };
    temp("ProtSetpointHeat", p.protHeat);
    temp("ProtSetpointCool", p.protCool);
    temp("ProtSetpointFrost", p.frost);
    temp("HeatXp", p.heatXp);
    temp("CoolXp", p.coolXp);
    if (cp("HeatTi").size() >= 2)
        p.heatTiMin = u16(cp("HeatTi"), 0);
    if (cp("CoolTi").size() >= 2)
        p.coolTiMin = u16(cp("CoolTi"), 0);
    if (cp("EconMinLevel").size() >= 2)
        p.econMinLevel = std::clamp(levPercent(s16(cp("EconMinLevel"), 0)), 0.0, 100.0);
    if (cp("MinDeltaLevel").size() >= 1)
        p.minDeltaPercent = quint8(cp("MinDeltaLevel").at(0)) * 0.5;
    if (cp("DiscLevels").size() >= 1)
        p.discLevels = std::clamp(int(quint8(cp("DiscLevels").at(0))), 0, 5);
    if (cp("SettingHystHigh").size() >= 2)
        p.settingHigh = cp("SettingHystHigh").left(2);
    if (cp("SettingHystLow").size() >= 2)
        p.settingLow = cp("SettingHystLow").left(2);

    const bool fanCoil = family.compare(QLatin1String("fancoil"), Qt::CaseInsensitive) == 0;
    p.fan = fanCoil;
    p.heatSecondary = false;
    if (fanCoil) {
        switch (appNumber) {
        case 1:
            p.heatPrimary = false, p.cooling = true;
            break;
        case 2:
            p.heatPrimary = false, p.heatSecondary = true, p.cooling = true;
            break;
        case 4:
            p.heatPrimary = true, p.cooling = false;
            break;
        case 5:
        case 8:
        case 9:
            p.heatPrimary = true, p.heatSecondary = true, p.cooling = true;
            break;
        default:
            p.heatPrimary = true, p.cooling = true;
            break;
        }
    } else {
        switch (appNumber) {
        case 1:
            p.heatPrimary = true, p.cooling = false;
            break;
        case 2:
            p.heatPrimary = false, p.cooling = true;
            break;
        default:
            p.heatPrimary = true, p.cooling = true;
            break;
        }
    }
    return p;
}

RoomOutputs RoomModel::step(RoomState &state, const RoomParams &params, double seconds)
{
    RoomOutputs out = outputs(state, params);
    double left = std::max(0.0, seconds);
    while (left > 1e-9) {
        const double dt = std::min(left, kMaxStepS);
        out = compute(state, params, dt);
        left -= dt;
    }
    return out;
}

RoomOutputs RoomModel::outputs(const RoomState &state, const RoomParams &params)
{
    RoomState copy = state;
    return compute(copy, params, 0);
}

double RoomModel::fanOutput(double demand, int levels, int *level)
{
    if (level)
        *level = 0;
    if (demand <= 0)
        return 0;
    if (levels <= 0)
        return std::min(demand, 100.0);
    const int k = std::clamp(int(std::ceil(demand * levels / 100.0 - 1e-9)), 1, levels);
    if (level)
        *level = k;
    return k * (200 / levels) / 2.0;
}

QHash<QString, QByteArray> RoomModel::encodeOutputs(const RoomOutputs &out, const RoomParams &params,
                                                    const QHash<QString, int> &sizes)
{
    QHash<QString, QByteArray> b;
    auto sized = [&](const char *name) -> int { return sizes.value(QString::fromLatin1(name), -1); };
    if (sized("nvoUnitStatus") == 12) {
        QByteArray s(12, '\0');
        s[0] = char(out.mode);
        put16(s, 1, levPercentRaw(out.heatPrimary));
        put16(s, 3, levPercentRaw(out.heatSecondary));
        put16(s, 5, levPercentRaw(out.cool));
        put16(s, 7, levPercentRaw(out.econ));
        put16(s, 9, levPercentRaw(out.fan));
        s[11] = char(out.frostAlarm ? 1 : 0);
        b.insert(QStringLiteral("nvoUnitStatus"), s);
    }
    if (sized("nvoEffectOccup") == 1)
        b.insert(QStringLiteral("nvoEffectOccup"), QByteArray(1, char(out.effectiveOccupancy)));
    if (sized("nvoEffectSetpt") == 2) {
        QByteArray s(2, '\0');
        put16(s, 0, int(std::lround(out.effectiveSetpoint * 100)));
        b.insert(QStringLiteral("nvoEffectSetpt"), s);
    }
    if (sized("nvoOaDamper") == 2) {
        QByteArray s(2, '\0');
        put16(s, 0, levPercentRaw(out.econ));
        b.insert(QStringLiteral("nvoOaDamper"), s);
    }
    const int windowSize = sized("nvoOaWindow");
    if (windowSize > 0) {
        QByteArray s = (out.nightPurge ? params.settingHigh : params.settingLow).left(windowSize);
        s.append(QByteArray(windowSize - s.size(), '\0'));
        b.insert(QStringLiteral("nvoOaWindow"), s);
    }
    if (sized("nvoEnergyHoldOff") == 2) {
        QByteArray s(2, '\0');
        if (out.energyHoldOff) {
            s[0] = char(200);
            s[1] = char(1);
        }
        b.insert(QStringLiteral("nvoEnergyHoldOff"), s);
    }
    return b;
}

QHash<QString, QByteArray> RoomModel::changedOutputs(const QHash<QString, QByteArray> &current,
                                                     const QHash<QString, QByteArray> &next, double minDeltaPercent)
{
    QHash<QString, QByteArray> changed;
    const int minDelta = std::max(1, levPercentRaw(minDeltaPercent));
    auto movedEnough = [&](int oldRaw, int newRaw) {
        if (oldRaw == newRaw)
            return false;
        // Reaching off or full output is always sent.
        if (newRaw == 0 || newRaw == levPercentRaw(100) || oldRaw == 0)
            return true;
        return std::abs(newRaw - oldRaw) >= minDelta;
    };
    for (auto it = next.constBegin(); it != next.constEnd(); ++it) {
        const QByteArray old = current.value(it.key());
        const QByteArray &now = it.value();
        if (old == now)
            continue;
        bool send = old.size() != now.size();
        if (!send && it.key() == QLatin1String("nvoUnitStatus")) {
            send = old.at(0) != now.at(0) || old.at(11) != now.at(11);
            for (int off = 1; !send && off <= 9; off += 2)
                send = movedEnough(s16(old, off), s16(now, off));
        } else if (!send && it.key() == QLatin1String("nvoOaDamper")) {
            send = movedEnough(s16(old, 0), s16(now, 0));
        } else {
            send = true;
        }
        if (send)
            changed.insert(it.key(), now);
    }
    return changed;
}

double RoomModel::nextWindowPeriod(quint32 seed, int changes, bool open)
{
    quint32 x = seed * 2654435761u ^ (quint32(changes) * 40503u + 0x9E3779B9u);
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    const double u = (x % 10000u) / 10000.0;
    return open ? 120.0 + u * 300.0 : 900.0 + u * 1800.0;
}

} // namespace lnssim
