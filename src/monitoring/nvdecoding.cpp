#include "nvdecoding.h"

#include <lns/rawtext.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>

#include <cmath>
#include <stdexcept>

namespace monitoring {

namespace {

const char *const kModeNames[] = {"HVAC_AUTO",        "HVAC_HEAT",     "HVAC_MRNG_WRMUP", "HVAC_COOL",
                                  "HVAC_NIGHT_PURGE", "HVAC_PRE_COOL", "HVAC_OFF"};

QString field(const QString &text, const QString &delimiter, int n)
{
    return platform::token(text, delimiter, n);
}

// Round half to even, as the platform's conversion to a whole number does.
double roundHalfEven(double v)
{
    const double f = std::floor(v);
    const double diff = v - f;
    if (diff > 0.5)
        return f + 1;
    if (diff < 0.5)
        return f;
    return std::fmod(f, 2.0) == 0.0 ? f : f + 1;
}

} // namespace

const std::array<NvMonitorSetting, 8> &monitoredNvs()
{
    static const std::array<NvMonitorSetting, 8> table = {{
        {kNvApplicMode, false, 0, -1, QStringLiteral("RAW"), false, false},
        {kNvOccSchedule, false, 0, -1, QStringLiteral("RAW"), false, false},
        {kNvUnitStatus, true, 2, 10, std::nullopt, true, true},
        {kNvEffectOccup, true, 2, 10, QStringLiteral("RAW"), false, true},
        {kNvEffectSetpt, true, 2, 10, QStringLiteral("RAW"), false, true},
        {kNvOaDamper, true, 2, 10, std::nullopt, false, false},
        {kNvOaWindow, true, 2, 10, QStringLiteral("RAW"), false, true},
        {kNvEnergyHoldOff, true, 2, 10, std::nullopt, false, true},
    }};
    return table;
}

int modeItem(const QString &modeName)
{
    for (int i = 0; i < 7; ++i) {
        if (modeName == QLatin1String(kModeNames[i]))
            return i + 1;
    }
    return 0;
}

QString unitStatusModeName(const QString &unitStatusValue)
{
    return field(unitStatusValue, QStringLiteral(","), 1);
}

QString modeText(const QString &unitStatusValue)
{
    const int item = modeItem(unitStatusModeName(unitStatusValue));
    return item > 0 ? gLoadResString(1072, item) : QString();
}

QString outputText(const QString &fieldText)
{
    const double v = std::fabs(platform::leadingNumber(fieldText));
    return QString::number(v, 'g', 15);
}

std::optional<int> fanLevel(float fanOutput, int levels)
{
    if (levels < 1)
        return std::nullopt;
    const int step = 200 / levels;
    // Single precision as the output is held; then to the nearest whole
    // number, halves to even, in the 16-bit range of that conversion.
    const float x = 2.0f * fanOutput + float(step) - 1.0f;
    const double n = roundHalfEven(double(x));
    if (!(n >= -32768.0 && n <= 32767.0))
        throw std::overflow_error("fan level out of range");
    return int(n) / step;
}

bool frostAlarm(const QString &unitStatusValue)
{
    return field(unitStatusValue, QStringLiteral(","), 7) == QLatin1String("1");
}

std::optional<qint32> occupancyNumber(const QString &value)
{
    const QString t = value.trimmed();
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    const double r = roundHalfEven(d);
    if (r < -2147483648.0 || r > 2147483647.0)
        return std::nullopt;
    return qint32(r);
}

std::optional<QString> occupancyText(const QString &value)
{
    const std::optional<qint32> n = occupancyNumber(value);
    if (!n)
        return std::nullopt;
    switch (*n) {
    case 0:
        return gLoadResString(1076, 1);
    case 1:
        return gLoadResString(1076, 2);
    case 3:
        return gLoadResString(1076, 3);
    case 255:
        return gLoadResString(1076, 4);
    default:
        return QString();
    }
}

std::optional<QString> setpointText(const QString &rawValue)
{
    QByteArray bytes;
    if (!lns::parseRaw(rawValue, &bytes) || bytes.size() != 2)
        return std::nullopt;
    const int n = qint16((quint8(bytes.at(0)) << 8) | quint8(bytes.at(1)));
    // n / 100 to one decimal, halves away from zero (the "0.0" pattern).
    const int a = n < 0 ? -n : n;
    const int tenths = (a + 5) / 10;
    QString text = QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
    if (n < 0 && tenths != 0)
        text.prepend(QLatin1Char('-'));
    return text;
}

std::optional<double> setpointValue(const QString &rawValue)
{
    QByteArray bytes;
    if (!lns::parseRaw(rawValue, &bytes) || bytes.size() != 2)
        return std::nullopt;
    return qint16((quint8(bytes.at(0)) << 8) | quint8(bytes.at(1))) / 100.0;
}

bool nightPurgeActive(const QString &rawValue, qint32 settingFunction, qint32 settingLevel)
{
    const QString tab = QStringLiteral("\t");
    return field(rawValue, tab, 1) == QString::number(settingFunction)
           && field(rawValue, tab, 2) == QString::number(settingLevel);
}

bool energyHoldOffActive(const QString &switchValue)
{
    return field(switchValue, QStringLiteral(" "), 2) == QLatin1String("1");
}

PageChange decodeUpdate(const QString &pointName, const QString &value, const DecodeInputs &in)
{
    PageChange out;
    auto guarded = [&](const QString &what, const std::function<void()> &step) {
        try {
            step();
        } catch (const std::exception &e) {
            out.skipped << QStringLiteral("%1: %2").arg(what, QString::fromUtf8(e.what()));
        }
    };

    if (pointName == kNvUnitStatus) {
        guarded(QStringLiteral("mode"), [&] { out.texts.insert(34, modeText(value)); });
        float fan = 0;
        bool haveFan = false;
        for (int i = 0; i < 5; ++i) {
            if (!in.outputAvailable[i])
                continue;
            const QString name = QString::fromLatin1(kOutputFields[i]);
            guarded(name, [&] {
                if (!in.readUnitStatusField)
                    throw std::runtime_error("no field reader");
                const QString text = in.readUnitStatusField(name);
                out.texts.insert(kFirstOutputBox + i, outputText(text));
                if (i == 4) {
                    fan = float(platform::leadingNumber(text));
                    haveFan = true;
                }
            });
        }
        if (in.outputAvailable[4]) {
            guarded(QStringLiteral("fan level"), [&] {
                if (!haveFan)
                    throw std::runtime_error("fan output not read");
                if (!in.discLevels)
                    throw std::runtime_error("number of fan levels unknown");
                const std::optional<int> level = fanLevel(fan, *in.discLevels);
                out.texts.insert(19, level ? QString::number(*level) : QString());
            });
        }
        guarded(QStringLiteral("frost alarm"), [&] { out.frostAlarm = frostAlarm(value); });
    } else if (pointName == kNvEffectOccup) {
        const std::optional<QString> text = occupancyText(value);
        if (text)
            out.texts.insert(13, *text);
        else
            out.skipped << QStringLiteral("occupancy: \"%1\" is not a number").arg(value);
    } else if (pointName == kNvEffectSetpt) {
        const std::optional<QString> text = setpointText(value);
        if (text)
            out.texts.insert(12, *text);
        else
            out.skipped << QStringLiteral("setpoint: \"%1\" is not two raw bytes").arg(value);
    } else if (pointName == kNvOaWindow) {
        if (in.settingHystHighFunction && in.settingHystHighLevel)
            out.nightPurge = nightPurgeActive(value, *in.settingHystHighFunction, *in.settingHystHighLevel);
        else
            out.skipped << QStringLiteral("night purge: setting parameters unknown");
    } else if (pointName == kNvEnergyHoldOff) {
        out.energyHoldOff = energyHoldOffActive(value);
    }
    return out;
}

std::array<std::optional<bool>, kOutputBoxes> outputAvailability(int ctrlType, int appMode)
{
    using Row = std::array<std::optional<bool>, kOutputBoxes>;
    const std::optional<bool> U; // unchanged
    const bool T = true, F = false;
    switch (ctrlType) {
    case 1:
    case 3:
    case 5:
        switch (appMode) {
        case 1:
            return Row{T, F, F, T, F, F};
        case 2:
            return Row{F, F, T, T, F, F};
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
            return Row{T, F, T, T, F, F};
        default:
            return Row{U, F, U, T, F, F};
        }
    case 2:
    case 4:
        switch (appMode) {
        case 1:
            return Row{F, F, T, T, T, T};
        case 2:
            return Row{F, T, T, T, T, T};
        case 3:
        case 6:
        case 7:
            return Row{T, F, T, T, T, T};
        case 4:
            return Row{T, F, F, T, T, T};
        case 5:
        case 8:
        case 9:
            return Row{T, T, T, T, T, T};
        default:
            return Row{U, U, U, T, T, T};
        }
    default:
        return Row{};
    }
}

std::optional<QString> applicModeCommand(int itemData)
{
    if (itemData < 0 || itemData > 255)
        return std::nullopt;
    return QString::number(itemData);
}

std::optional<QString> occupancyCommand(int itemData)
{
    switch (itemData) {
    case 0:
        return QStringLiteral("OC_OCCUPIED");
    case 1:
        return QStringLiteral("OC_UNOCCUPIED");
    case 3:
        return QStringLiteral("OC_STANDBY");
    case 255:
        return QStringLiteral("OC_NUL");
    default:
        return std::nullopt;
    }
}

} // namespace monitoring
