// The controller's parameter map as the configuration command builds it
// (every CP of the controller, shared CPs split into fields), for the
// collection tests and the benchmark.
#pragma once

#include <params/paramcollection.h>
#include <platform/resstrings.h>

namespace cpmap {

using namespace params;

struct TextRow
{
    const char *name;
    const char *cp; // nullptr: same as name
    int control;
    int type;
    int unit; // -1: the type's
    int resolution;
    double rangeMin; // NaN: not set
    double rangeMax;
    double boxMin;
    double boxMax;
    int bytePos; // 0: whole CP
    int byteLength;
};

inline constexpr double kNone = -1e300;

inline const TextRow kTextRows[] = {
    {"MaxReceiveTime", nullptr, 0, SNVT_time_sec, -1, RES_1, kNone, kNone, 1, kNone, 0, 0},
    {"MaxSendTime", nullptr, 1, SNVT_time_sec, -1, RES_1, kNone, kNone, 1, kNone, 0, 0},
    {"MinDeltaLevel", nullptr, 2, SNVT_lev_cont, -1, RES_1, 1, kNone, kNone, kNone, 0, 0},
    {"HeatSetpointComfort", "SetPoints", 3, SNVT_temp_p, -1, RES_0_1, 5, 50, kNone, kNone, 7, 2},
    {"HeatSetpointStandby", "SetPoints", 4, SNVT_temp_p, -1, RES_0_1, 0, 50, kNone, kNone, 9, 2},
    {"HeatSetpointEconomy", "SetPoints", 5, SNVT_temp_p, -1, RES_0_1, 0, 50, kNone, kNone, 11, 2},
    {"CoolSetpointComfort", "SetPoints", 7, SNVT_temp_p, -1, RES_0_1, 0, 50, kNone, kNone, 1, 2},
    {"CoolSetpointStandby", "SetPoints", 8, SNVT_temp_p, -1, RES_0_1, 0, 50, kNone, kNone, 3, 2},
    {"CoolSetpointEconomy", "SetPoints", 9, SNVT_temp_p, -1, RES_0_1, 0, 50, kNone, kNone, 5, 2},
    {"ProtSetpointHeat", nullptr, 6, SNVT_temp_p, -1, RES_0_1, 0, 50, kNone, kNone, 0, 0},
    {"ProtSetpointCool", nullptr, 10, SNVT_temp_p, -1, RES_0_1, 0, 50, kNone, kNone, 0, 0},
    {"ProtSetpointFrost", nullptr, 11, SNVT_temp_p, -1, RES_0_1, 1, 15, kNone, kNone, 0, 0},
    {"HeatXp", nullptr, 20, SNVT_temp_p, UNIT_Kelvin, RES_0_1, 0.5, 10, kNone, kNone, 0, 0},
    {"HeatTi", nullptr, 21, SNVT_time_min, -1, RES_1, kNone, kNone, 1, 65534, 0, 0},
    {"CoolXp", nullptr, 24, SNVT_temp_p, UNIT_Kelvin, RES_0_1, 0.5, 10, kNone, kNone, 0, 0},
    {"CoolTi", nullptr, 25, SNVT_time_min, -1, RES_1, kNone, kNone, 1, 65534, 0, 0},
    {"MinDischAirTemp", nullptr, 26, SNVT_temp_p, -1, RES_0_1, kNone, 35, 10, kNone, 0, 0},
    {"AuxHyst", nullptr, 22, SNVT_temp_p, UNIT_Kelvin, RES_0_1, 0.5, 4, kNone, kNone, 0, 0},
    {"OffDelay", nullptr, 23, SNVT_time_sec, -1, RES_1, kNone, 3600, 1, kNone, 0, 0},
    {"SetPointEcon", nullptr, 27, SNVT_temp_p, -1, RES_0_1, 0, 50, kNone, kNone, 0, 0},
    {"EconMinLevel", nullptr, 28, SNVT_lev_percent, -1, RES_0_5, 0, 100, kNone, kNone, 0, 0},
    {"SettingHystHighLevel", "SettingHystHigh", 29, SNVT_lev_cont, -1, -1, kNone, kNone, kNone, kNone, 2, 1},
    {"SettingHystLowLevel", "SettingHystLow", 30, SNVT_lev_cont, -1, -1, kNone, kNone, kNone, kNone, 2, 1},
    {"FanHyst", nullptr, 31, SNVT_temp_p, UNIT_Kelvin, RES_0_1, 0.5, 4, kNone, kNone, 0, 0},
    {"MinRuntime", nullptr, 32, SNVT_time_sec, -1, RES_1, kNone, 3600, kNone, kNone, 0, 0},
    {"CycleTime", nullptr, 33, SNVT_time_sec, -1, RES_1, kNone, 3600, 1, kNone, 0, 0},
};

// Builds the map; returns the number of parameters created.
inline int build(cParams &p)
{
    int n = 0;
    n += p.Fetch1ByteCp(QStringLiteral("HvacAppMode"));
    n += p.Fetch2ByteCp(QStringLiteral("NumValves"));
    for (const TextRow &r : kTextRows) {
        std::shared_ptr<cParamTextBox> t;
        const QString cp = QString::fromLatin1(r.cp ? r.cp : r.name);
        if (!p.FetchTextBoxCp(cp, r.control, &t, QString::fromLatin1(r.name)))
            continue;
        ++n;
        if (r.bytePos > 0)
            t->ConsiderPartOfCpOnly(r.bytePos, r.byteLength);
        t->setSnvtType(r.type);
        if (r.unit >= 0)
            t->setUnit(r.unit);
        if (r.resolution >= 0)
            t->setResolution(r.resolution);
        if (r.rangeMin != kNone)
            t->setRangeMin(r.rangeMin);
        if (r.boxMin != kNone)
            t->setTextBoxRangeMin(r.boxMin);
        if (r.rangeMax != kNone)
            t->setRangeMax(r.rangeMax);
        if (r.boxMax != kNone)
            t->setTextBoxRangeMax(r.boxMax);
    }
    std::shared_ptr<cParamComboBox> c;
    if (p.FetchComboBoxCp(QStringLiteral("SetPointMode"), 8, &c)) {
        ++n;
        c->AddComboBoxItem(gLoadResString(1047, 1), SPM_RELATIVE);
        c->AddComboBoxItem(gLoadResString(1047, 2), SPM_ABSOLUTE);
    }
    for (const auto &[name, control, id] :
         {std::make_tuple("AuxLevels", 3, 1122), std::make_tuple("DiscLevels", 7, 1162)}) {
        if (p.FetchComboBoxCp(QString::fromLatin1(name), control, &c)) {
            ++n;
            for (int item = 2; item <= 6; ++item)
                c->AddComboBoxItem(gLoadResString(id, item), item - 1);
        }
    }
    for (const auto &[name, cp, control] : {std::make_tuple("SettingHystHighFunction", "SettingHystHigh", 5),
                                            std::make_tuple("SettingHystLowFunction", "SettingHystLow", 6)}) {
        if (p.FetchComboBoxCp(QString::fromLatin1(cp), control, &c, QString::fromLatin1(name))) {
            ++n;
            c->setSignedValue(true);
            c->ConsiderPartOfCpOnly(1, 1);
            for (int item = 1; item <= 6; ++item)
                c->AddComboBoxItem(gLoadResString(1149, item), item - 1);
            c->AddComboBoxItem(QStringLiteral("Nul"), SET_NUL);
        }
    }
    return n;
}

// The distinct CPs of the map on a device of the first template.
inline constexpr int kDistinctCps = 26;

} // namespace cpmap
