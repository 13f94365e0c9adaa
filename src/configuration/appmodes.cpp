#include "appmodes.h"

#include <platform/stringutil.h>

#include <QStringList>

namespace configuration {

int lastAppNumber(int ctrlType)
{
    if (isCeilingFamily(ctrlType))
        return 7;
    if (isFanCoilFamily(ctrlType))
        return 9;
    return 0;
}

int appNumberForMode(int mode, int valves)
{
    switch (mode) {
    case HA_RAD: return 1;
    case HA_CHILLED_C: return 2;
    case HA_CHILLED_HC: return valves == 1 ? 4 : valves == 2 ? 5 : 0;
    case HA_CHILLED_C_RAD: return 3;
    case HA_FANCOIL_C: return 1;
    case HA_FANCOIL_C_A: return 2;
    case HA_FANCOIL_C_RAD: return 3;
    case HA_FANCOIL_H: return 4;
    case HA_FANCOIL_H_A: return 5;
    case HA_FANCOIL_HC: return valves == 1 ? 6 : valves == 2 ? 7 : 0;
    case HA_FANCOIL_HC_A: return valves == 1 ? 8 : valves == 2 ? 9 : 0;
    case HA_BELIMO6W_HC: return 6;
    case HA_BELIMO6W_CH: return 7;
    default: return 0;
    }
}

ModeAndValves modeForAppNumber(int ctrlType, int appNumber)
{
    static const ModeAndValves ceiling[] = {{HA_RAD, 1},        {HA_CHILLED_C, 1},   {HA_CHILLED_C_RAD, 1},
                                            {HA_CHILLED_HC, 1}, {HA_CHILLED_HC, 2},  {HA_BELIMO6W_HC, 2},
                                            {HA_BELIMO6W_CH, 2}};
    static const ModeAndValves fanCoil[] = {{HA_FANCOIL_C, 1},   {HA_FANCOIL_C_A, 1}, {HA_FANCOIL_C_RAD, 1},
                                            {HA_FANCOIL_H, 1},   {HA_FANCOIL_H_A, 1}, {HA_FANCOIL_HC, 1},
                                            {HA_FANCOIL_HC, 2},  {HA_FANCOIL_HC_A, 1}, {HA_FANCOIL_HC_A, 2}};
    if (isCeilingFamily(ctrlType) && appNumber >= 1 && appNumber <= 7)
        return ceiling[appNumber - 1];
    if (isFanCoilFamily(ctrlType) && appNumber >= 1 && appNumber <= 9)
        return fanCoil[appNumber - 1];
    return {};
}

bool appModeAvailable(const QString &availableApps, int mode)
{
    // The first item is always compared (an empty one counts as 0); after a
    // non-matching item the next one ends the search when it is empty.
    const QStringList items = availableApps.split(QLatin1Char(','));
    for (int i = 0; i < items.size(); ++i) {
        if (i > 0 && items.at(i).trimmed().isEmpty())
            return false;
        if (platform::leadingInt32(items.at(i)) == mode)
            return true;
    }
    return false;
}

bool appNumberOffered(const QString &availableApps, int ctrlType, int appNumber)
{
    if (appNumber < 1 || appNumber > lastAppNumber(ctrlType))
        return false;
    return appModeAvailable(availableApps, modeForAppNumber(ctrlType, appNumber).mode);
}

bool coolingOnly(int ctrlType, int appNumber)
{
    if (isCeilingFamily(ctrlType))
        return appNumber == 2;
    if (isFanCoilFamily(ctrlType))
        return appNumber == 1;
    return false;
}

bool heatingOnly(int ctrlType, int appNumber)
{
    if (isCeilingFamily(ctrlType))
        return appNumber == 1;
    if (isFanCoilFamily(ctrlType))
        return appNumber == 4 || appNumber == 5;
    return false;
}

} // namespace configuration
