// HVAC application modes and application numbers of the two controller
// families, the template's list of available modes, and the two family
// checks the pages and the write sequence use. Pure functions, no I/O.
#pragma once

#include <QString>

namespace configuration {

// Members of eNordaHvacAppMode.
enum eNordaHvacAppMode {
    HA_RAD = 0,
    HA_CHILLED_C = 1,
    HA_CHILLED_HC = 2,
    HA_CHILLED_C_RAD = 3,
    HA_FANCOIL_C = 4,
    HA_FANCOIL_C_A = 5,
    HA_FANCOIL_C_RAD = 6,
    HA_FANCOIL_H = 7,
    HA_FANCOIL_H_A = 8,
    HA_FANCOIL_HC = 9,
    HA_FANCOIL_HC_A = 10,
    HA_BELIMO6W_HC = 11,
    HA_BELIMO6W_CH = 12,
};

inline bool isCeilingFamily(int ctrlType) { return ctrlType == 1 || ctrlType == 3 || ctrlType == 5; }
inline bool isFanCoilFamily(int ctrlType) { return ctrlType == 2 || ctrlType == 4; }
// Highest application number of the family (0 for an unknown kind).
int lastAppNumber(int ctrlType);

// Mode and valve count to application number; 0 when the pair has none.
int appNumberForMode(int mode, int valves);

struct ModeAndValves
{
    int mode = 0;
    int valves = 0;
};
// Application number to mode and valve count, per family; {0, 0} for a
// number outside the family.
ModeAndValves modeForAppNumber(int ctrlType, int appNumber);

// The template's "AvailableApps" list (mode values separated by ","): true
// at the first item equal to `mode`; the search ends at an empty item.
bool appModeAvailable(const QString &availableApps, int mode);
// Whether the controller type list offers application `appNumber`: the
// mode it stands for is available.
bool appNumberOffered(const QString &availableApps, int ctrlType, int appNumber);

// Cooling only (the heating pair is not used): ceiling 2, fan coil 1.
bool coolingOnly(int ctrlType, int appNumber);
// Heating only (the cooling pair is not used): ceiling 1, fan coil 4 or 5.
bool heatingOnly(int ctrlType, int appNumber);

} // namespace configuration
