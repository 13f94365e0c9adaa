// What the controlling page shows for each reported NV value, and what the
// page's two commands write: pure functions, without widgets or an object
// server, so that every rule can be tested on its own and the page binding
// only applies the result.
//
// Field n of a text at a delimiter is the n-th piece (from 1) when the text
// is cut at every occurrence of the delimiter; a missing piece is empty.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

namespace monitoring {

// ---- the monitored NVs and their monitor settings -------------------------

inline const QString kNvApplicMode = QStringLiteral("nviApplicMode");
inline const QString kNvOccSchedule = QStringLiteral("nviOccSchedule");
inline const QString kNvUnitStatus = QStringLiteral("nvoUnitStatus");
inline const QString kNvEffectOccup = QStringLiteral("nvoEffectOccup");
inline const QString kNvEffectSetpt = QStringLiteral("nvoEffectSetpt");
inline const QString kNvOaDamper = QStringLiteral("nvoOaDamper");
inline const QString kNvOaWindow = QStringLiteral("nvoOaWindow");
inline const QString kNvEnergyHoldOff = QStringLiteral("nvoEnergyHoldOff");

struct NvMonitorSetting
{
    QString name;
    bool setReportByException = false; // set to True when this is set
    qint32 monitoringType = 0;
    int pollInterval = -1;              // seconds; -1: left as it is
    std::optional<QString> format;      // "RAW", empty for the default text, nullopt: left
    bool clearOption = false;           // clear the NV's own update option
    bool activatedByPage = false;       // switched on and off with the page
};
// The eight NVs in fetch order (which fixes their monitor tags 5000..5007).
const std::array<NvMonitorSetting, 8> &monitoredNvs();

// ---- decoding -----------------------------------------------------------------

// Item of list 1072 for a mode name of the unit status (1..7), 0 for any
// other name; the item data of the mode list is item - 1.
int modeItem(const QString &modeName);
// Field 1 of the unit status text.
QString unitStatusModeName(const QString &unitStatusValue);
// The text of the current mode: item of list 1072, empty for an unknown name.
QString modeText(const QString &unitStatusValue);

// An output field's number (leading-number rule), its absolute value as
// plain decimal text.
QString outputText(const QString &fieldText);
// The fan level for a fan output and a number of levels; nullopt when the
// level box is emptied (levels below 1). Throws std::overflow_error when the
// intermediate number leaves the 16-bit range (the level box then keeps its
// text).
std::optional<int> fanLevel(float fanOutput, int levels);
// Field 7 (the alarm field) is "1".
bool frostAlarm(const QString &unitStatusValue);

// The effective occupancy as a number; nullopt when the text is not a number.
std::optional<qint32> occupancyNumber(const QString &value);
// Text of list 1076 for an occupancy number (empty for a number not in the
// list); nullopt when the text is not a number (the update ends).
std::optional<QString> occupancyText(const QString &value);

// Signed value of a two-byte RAW text divided by 100 with one decimal
// ("21.0", "-2.0"); nullopt when the text is not exactly two raw bytes.
std::optional<QString> setpointText(const QString &rawValue);
// The same value as a number in °C (hundredths kept).
std::optional<double> setpointValue(const QString &rawValue);
// Function and setting byte of the window output equal the configured
// command for active night purge.
bool nightPurgeActive(const QString &rawValue, qint32 settingFunction, qint32 settingLevel);
// State field (field 2 at a blank) of the switch text is "1".
bool energyHoldOffActive(const QString &switchValue);

// ---- one update onto the page ---------------------------------------------

// Output boxes 14..19 in order: heat primary, heat secondary, cool,
// economizer, fan %, fan level.
constexpr int kFirstOutputBox = 14;
constexpr int kOutputBoxes = 6;
inline const std::array<const char *, 5> kOutputFields = {"heat_output_primary", "heat_output_secondary",
                                                          "cool_output", "econ_output", "fan_output"};

struct DecodeInputs
{
    // Tag "True" of TextBox(14)..TextBox(19).
    std::array<bool, kOutputBoxes> outputAvailable{};
    // Configuration values; nullopt when the parameter cannot be had (the
    // step that needs it then does nothing).
    std::optional<qint32> discLevels;
    std::optional<qint32> settingHystHighFunction;
    std::optional<qint32> settingHystHighLevel;
    // Reads one field of the unit status NV as text; may throw (the box then
    // keeps its text).
    std::function<QString(const QString &field)> readUnitStatusField;
};

struct PageChange
{
    // TextBox index -> new text (empty text empties the box).
    QHash<int, QString> texts;
    std::optional<bool> nightPurge;
    std::optional<bool> energyHoldOff;
    std::optional<bool> frostAlarm;
    // Steps that failed and were skipped (diagnostics).
    QStringList skipped;
    bool isEmpty() const { return texts.isEmpty() && !nightPurge && !energyHoldOff && !frostAlarm; }
};

// Decodes one update of a point; names that are not monitored give nothing.
// Each step runs on its own: a step that fails is skipped and the next runs.
PageChange decodeUpdate(const QString &pointName, const QString &value, const DecodeInputs &in);

// ---- output availability ------------------------------------------------------

// Tags of TextBox(14)..TextBox(19) for a controller kind and application
// mode; nullopt leaves the tag as it is.
std::array<std::optional<bool>, kOutputBoxes> outputAvailability(int ctrlType, int appMode);

// ---- control commands ------------------------------------------------------

// The text written to nviApplicMode (RAW, one byte) for an entry's item data.
std::optional<QString> applicModeCommand(int itemData);
// The text written to the current_state field of nviOccSchedule for an
// entry's item data: 0 "OC_OCCUPIED", 1 "OC_UNOCCUPIED", 3 "OC_STANDBY",
// 255 "OC_NUL"; nullopt for any other.
std::optional<QString> occupancyCommand(int itemData);
inline const QString kOccScheduleField = QStringLiteral("current_state");

} // namespace monitoring
