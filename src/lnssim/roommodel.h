// The room a simulated controller sits in, and the controller's own loop.
//
// A pure model, stepped in simulated seconds: the room temperature moves with
// the heating and cooling outputs, the losses to the outdoor air and an open
// window; two PI loops (heating, cooling) drive the outputs towards the
// effective setpoint of the commanded mode and occupancy; a fan-coil unit's
// fan follows the outputs in the configured number of levels; a window
// contact opens now and then (or is held open or closed), which sends the
// night purge command to the windows and holds off the energy outputs; the
// frost alarm rises below the frost protection setpoint (or is forced).
//
// The controller's parameters come from its CPs (RoomParams::fromCps); what
// it reports is encoded into the bytes of its output NVs (encodeOutputs).
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

namespace lnssim {

// HVAC modes of the mode input (SNVT_hvac_mode numbers).
enum RoomMode : int {
    RM_AUTO = 0,
    RM_HEAT = 1,
    RM_MORNING_WARMUP = 2,
    RM_COOL = 3,
    RM_NIGHT_PURGE = 4,
    RM_PRE_COOL = 5,
    RM_OFF = 6,
};

// Occupancy numbers (SNVT_occupancy).
enum RoomOccupancy : int { RO_OCCUPIED = 0, RO_UNOCCUPIED = 1, RO_BYPASS = 2, RO_STANDBY = 3, RO_NUL = 255 };

enum class WindowHold : int { Auto = 0, Open = 1, Closed = 2 };

struct RoomParams
{
    // Setpoints in °C by occupancy: comfort, standby, economy.
    double heatComfort = 21, heatStandby = 19, heatEconomy = 16;
    double coolComfort = 23, coolStandby = 25, coolEconomy = 28;
    double protHeat = 12, protCool = 40, frost = 6;
    double heatXp = 2, coolXp = 2;     // K
    double heatTiMin = 30, coolTiMin = 30; // min; 0: no integral part
    double econMinLevel = 0;           // % of the economizer while the room is used
    double minDeltaPercent = 2;        // outputs are sent again after a change this large
    int discLevels = 3;                // fan levels, 0: steady
    QByteArray settingHigh = QByteArray("\x01\xC8", 2); // window command for night purge (function, level)
    QByteArray settingLow = QByteArray(2, '\0');        // window command otherwise
    // Outputs the application drives.
    bool heatPrimary = true, heatSecondary = false, cooling = true, fan = false;
    double outdoor = 8;                // °C
    quint32 seed = 1;                  // the device's own sequence of window openings

    // Reads what the CPs hold (missing CPs keep the defaults); family
    // "fancoil" has a fan; the application number decides the outputs as the
    // controller types do.
    static RoomParams fromCps(const QHash<QString, QByteArray> &cps, const QString &family, int appNumber);
};

struct RoomState
{
    double temperature = 21;
    double heatIntegral = 0; // % of output held by the integral part
    double coolIntegral = 0;
    int mode = RM_HEAT;
    int occupancy = RO_OCCUPIED;
    bool window = false;
    WindowHold windowHold = WindowHold::Auto;
    double windowTimer = 1800; // simulated seconds until the contact changes by itself
    int windowChanges = 0;
    bool frostForced = false;
};

struct RoomOutputs
{
    int mode = RM_HEAT;
    double heatPrimary = 0, heatSecondary = 0, cool = 0, econ = 0, fan = 0; // %
    bool frostAlarm = false;
    int effectiveOccupancy = RO_OCCUPIED;
    double effectiveSetpoint = 21; // °C
    bool nightPurge = false;       // the window command is the night purge one
    bool energyHoldOff = false;
    int fanLevel = 0;
};

class RoomModel
{
public:
    // Advances the room by `seconds` simulated seconds (in steps of at most
    // 10 s) and returns what the controller then reports.
    static RoomOutputs step(RoomState &state, const RoomParams &params, double seconds);
    // What the controller reports for a state, without time passing (after a
    // command).
    static RoomOutputs outputs(const RoomState &state, const RoomParams &params);

    // Fan output for a demand in % with `levels` levels (0: steady); the
    // percentages of the levels are those the page's level formula reads
    // back as 1..levels.
    static double fanOutput(double demand, int levels, int *level = nullptr);

    // Bytes of the output NVs (by name) for sizes of the device's NVs.
    static QHash<QString, QByteArray> encodeOutputs(const RoomOutputs &out, const RoomParams &params,
                                                    const QHash<QString, int> &sizes);
    // Output bytes to send now: the new ones where a discrete field changed,
    // an output moved by minDeltaPercent or more, or the NV is not yet set.
    static QHash<QString, QByteArray> changedOutputs(const QHash<QString, QByteArray> &current,
                                                     const QHash<QString, QByteArray> &next, double minDeltaPercent);

    // Duration of the window's next state (open: 2 to 7 min, closed: 15 to
    // 45 min), from the device's seed and the number of changes so far.
    static double nextWindowPeriod(quint32 seed, int changes, bool open);
};

} // namespace lnssim
