// The public enumerations of the parameter model (cParamEnums): class ids,
// value types, units, display resolutions, lock modes and key filters, plus
// the small enumerations the CP map needs for its list items.
#pragma once

namespace params {

enum eParamClassIds : int {
    PA_PARAMETERS = 1000,
    PA_CLASSID_TEXTBOX_PARAMETER = 1001,
    PA_CLASSID_COMBOBOX_PARAMTER = 1002,
    PA_CLASSID_CHECKBOX_PARAMETER = 1003,
    PA_CLASSID_OPTIONBUTTON_PARAMETER = 1004,
    PA_CLASSID_1BYTE_PARAMETER = 1005,
    PA_CLASSID_2BYTE_PARAMETER = 1006,
    PA_CLASSID_CONFIG_PROPERTY = 1007,
    PA_CLASSID_ASCII_PARAMETER = 1008,
};

enum eUnit : int {
    UNIT_No = 0,
    UNIT_Ampere = 1,
    UNIT_Centimetres = 2,
    UNIT_CubicMetresPerHour = 3,
    UNIT_Degrees = 4,
    UNIT_DegreesCelsius = 5,
    UNIT_Kelvin = 6,
    UNIT_Kilolitres = 7,
    UNIT_KiloPascals = 8,
    UNIT_Kilovolts = 9,
    UNIT_KiloWatts = 10,
    UNIT_Litres = 11,
    UNIT_LitresPerSecond = 12,
    UNIT_Lux = 13,
    UNIT_Metres = 14,
    UNIT_MetresPerSecond = 15,
    UNIT_Milliampere = 16,
    UNIT_MillilitresPerSecond = 17,
    UNIT_Millimetres = 18,
    UNIT_Millisecond = 19,
    UNIT_Millivolts = 20,
    UNIT_Minute = 21,
    UNIT_PartsPerMillion = 22,
    UNIT_Pascals = 23,
    UNIT_Percent = 24,
    UNIT_RevolutionsPerMinute = 25,
    UNIT_Second = 26,
    UNIT_Volts = 27,
    UNIT_Watts = 28,
    UNIT_UserDefined = 29,
};

enum eResolution : int {
    RES_50 = 0,
    RES_1 = 1,
    RES_0_5 = 2,
    RES_0_2 = 3,
    RES_0_1 = 4,
    RES_0_0_5 = 5,
    RES_0_0_2 = 6,
    RES_0_0_1 = 7,
    RES_0_0_0_5 = 8,
    RES_0_0_0_2 = 9,
    RES_0_0_0_1 = 10,
};

enum eSnvtType : int {
    SNVT_unsigned = 0, // "unsigned" in the product; renamed because it is a C++ keyword
    SNVT_Signed = 1,
    SNVT_amp = 2,
    SNVT_amp_mil = 3,
    SNVT_angle_deg = 4,
    SNVT_flow = 5,
    SNVT_flow_mil = 6,
    SNVT_flow_p = 7,
    SNVT_lev_cont = 8,
    SNVT_lev_percent = 9,
    SNVT_lux = 10,
    SNVT_power = 11,
    SNVT_power_kilo = 12,
    SNVT_ppm = 13,
    SNVT_press = 14,
    SNVT_press_p = 15,
    SNVT_rpm = 16,
    SNVT_speed = 17,
    SNVT_speed_mil = 18,
    SNVT_switch = 19,
    SNVT_switch_Value = 20,
    SNVT_switch_State = 21,
    SNVT_temp = 22,
    SNVT_temp_p = 23,
    SNVT_time_min = 24,
    SNVT_time_sec = 25,
    SNVT_vol = 26,
    SNVT_vol_kilo = 27,
    SNVT_volt = 28,
    SNVT_volt_kilo = 29,
    SNVT_volt_mil = 30,
};

enum eLockMode : int {
    LM_UNLOCKED = 0,
    LM_LOCKED = 1,
    LM_DISABLED = 2,
    LM_DISABLED_NO_VALUE = 3,
    LM_DISABLED_GREY = 4,
    LM_DISABLED_GREY_NO_VALUE = 5,
    LM_DISABLED_GREY_TEXT = 6,
};

enum eKeysAllowed : int {
    KA_Numbers = 0,
    KA_NumbersNeg = 1,
    KA_NumbersFloat = 2,
    KA_NumbersFloatNeg = 3,
    KA_All = 4,
    KA_UserDef = 5,
};

// Function byte of a setting CP (laid out like SNVT_setting).
enum eSettingType : int {
    SET_NUL = -1,
    SET_OFF = 0,
    SET_ON = 1,
    SET_DOWN = 2,
    SET_UP = 3,
    SET_STOP = 4,
    SET_STATE = 5,
};

enum eNordaSetpointMode : int {
    SPM_RELATIVE = 0,
    SPM_ABSOLUTE = 1,
};

// Colour values of the controls and the logger (blue * 65536 + green * 256 + red).
constexpr int kColorBlack = 0;
constexpr int kColorRed = 255;
constexpr int kColorGreen = 65280;
constexpr int kColorBlue = 16711680;
constexpr int kColorMagenta = 16711935;

} // namespace params
