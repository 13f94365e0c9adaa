#include "pagetable.h"

#include <platform/resstrings.h>

namespace model {

namespace {

using CtlKind = ControlKind;


// Row helpers: labels and boxes share a column grid so that a page reads as
// a form (captions left, values in one column, units right of them).
constexpr int kCapX = 16, kCapW = 266, kBoxX = 286, kBoxW = 72, kUnitX = 364, kUnitW = 60;
constexpr int kIndX = 36, kIndW = 246; // captions of rows that belong to a check box above

ControlDesign L(int i, int y, const char *tag, int x = kCapX, int w = kCapW, int h = 20, int item = 1)
{
    return {CtlKind::Label, i, x, y + 1, w, h, tag, item};
}
ControlDesign U(int i, int y, const char *tag, int x = kUnitX, int w = kUnitW)
{
    return {CtlKind::Label, i, x, y + 1, w, 20, tag};
}
ControlDesign T(int i, int y, int x = kBoxX, int w = kBoxW)
{
    return {CtlKind::TextBox, i, x, y, w, 22, "0/0"};
}
ControlDesign C(int i, int y, int x = kBoxX, int w = 150, const char *parent = nullptr)
{
    return {CtlKind::ComboBox, i, x, y - 1, w, 24, "0/0", 1, nullptr, parent};
}
ControlDesign K(int i, int y, const char *tag, int x = kCapX, int w = 490, int item = 1)
{
    return {CtlKind::CheckBox, i, x, y, w, 22, tag, item};
}
ControlDesign B(int i, int y, const char *tag, int x = kBoxX, int w = 150)
{
    return {CtlKind::CommandButton, i, x, y - 2, w, 26, tag};
}
ControlDesign LN(int i, int y, const char *tag)
{
    return {CtlKind::Lines, i, 12, y, 499, 20, tag};
}
ControlDesign S(int i, int x, int y, const char *tag)
{
    return {CtlKind::Shape, i, x, y + 3, 16, 16, tag};
}

QList<PageDesign> makeTable()
{
    QList<PageDesign> t;
    // 0 Controller type.
    t << PageDesign{0,
                  {{CtlKind::Group, -1, 12, 12, 499, 72, "1030/0", 1, "fraHvacAppMode"},
                   C(0, 31, 12, 475, "fraHvacAppMode"),
                   {CtlKind::Label, -1, 12, 100, 499, 150, "0/0", 1, "pic0"}}};
    // 1 Setpoints: heating and cooling blocks, frost, external setpoint.
    t << PageDesign{1,
                  {LN(0, 4, "1012/0"),     L(1, 28, "1051/0"),  T(3, 28),  U(5, 28, "1191/0"),
                   L(2, 56, "1052/0"),     T(4, 56),            U(6, 56, "1191/0"),
                   L(3, 84, "1053/0"),     T(5, 84),            U(7, 84, "1191/0"),
                   L(4, 112, "1054/0"),    T(6, 112),           U(8, 112, "1191/0"),
                   LN(1, 142, "1014/0"),   L(9, 166, "1056/0"), T(7, 166), U(13, 166, "1191/0"),
                   L(10, 194, "1057/0"),   T(8, 194),           U(14, 194, "1191/0"),
                   L(11, 222, "1058/0"),   T(9, 222),           U(15, 222, "1191/0"),
                   L(12, 250, "1059/0"),   T(10, 250),          U(16, 250, "1191/0"),
                   L(17, 282, "1061/0"),   T(11, 282),          U(18, 282, "1191/0"),
                   LN(20, 314, "1045/0"),  L(72, 340, "1046/0"), C(8, 340)}};
    // 2 Controlling and monitoring: commands, state, outputs, indicators.
    t << PageDesign{2,
                  {LN(3, 4, "1070/0"),
                   L(58, 28, "1086/0"), C(1, 28, kBoxX, 140), B(0, 28, "1081/1088", 432, 82),
                   L(59, 56, "1087/0"), C(9, 56, kBoxX, 140), B(3, 56, "1081/1089", 432, 82),
                   LN(4, 86, "1071/0"),
                   L(60, 110, "1085/0"), T(34, 110, kBoxX, 140),
                   L(61, 138, "1074/0"), T(12, 138),
                   L(62, 166, "1075/0"), T(13, 166, kBoxX, 140),
                   LN(5, 196, "1073/0"),
                   L(63, 220, "1078/0"), T(14, 220), T(15, 220, kUnitX),
                   L(64, 248, "1079/0"), T(16, 248), T(17, 248, kUnitX),
                   L(65, 276, "1080/0"), T(18, 276), T(19, 276, kUnitX),
                   LN(6, 306, "1077/0"),
                   S(0, 16, 332, "0/1082"), L(66, 332, "1082/0", 38, 130),
                   S(1, 176, 332, "0/1083"), L(67, 332, "1083/0", 198, 140),
                   S(2, 346, 332, "0/1084"), L(68, 332, "1084/0", 368, 140),
                   L(30, 362, "1090/0", kCapX, 262),
                   {CtlKind::Label, -1, 282, 356, 226, 34, "1091/0", 1, "lblNotMonitored"}}};
    // 3 Heating.
    t << PageDesign{3,
                  {L(19, 16, "1101/0"), C(2, 16),
                   L(20, 48, "1103/0"), T(20, 48), U(22, 48, "1192/0"),
                   L(23, 78, "1104/0"), T(21, 78), U(24, 78, "1194/0"),
                   B(1, 118, "1105/0")}};
    // 4 Reheating.
    t << PageDesign{4,
                  {L(25, 16, "1121/0"), C(3, 16),
                   L(26, 48, "1123/0"), T(22, 48), U(28, 48, "1192/0"),
                   K(2, 90, "1126/0"),
                   L(31, 120, "1127/0", kIndX, kIndW), T(23, 120), U(32, 120, "1193/0")}};
    // 5 Cooling.
    t << PageDesign{5,
                  {L(33, 16, "1101/0"), C(4, 16),
                   L(40, 48, "1103/0"), T(24, 48), U(34, 48, "1192/0"),
                   L(35, 78, "1104/0"), T(25, 78), U(36, 78, "1194/0"),
                   B(2, 118, "1105/0"),
                   LN(19, 160, "1107/0"),
                   K(3, 188, "1108/0"),
                   L(69, 218, "1109/0", kIndX, kIndW), T(26, 218), U(70, 218, "1191/0")}};
    // 6 Ventilation: outdoor air damper, windows for night purge.
    t << PageDesign{6,
                  {K(5, 12, "1150/0"),
                   L(49, 42, "1141/0", kIndX, kIndW), T(27, 42), U(50, 42, "1191/0"),
                   L(27, 72, "1142/0", kIndX, kIndW), T(28, 72), U(29, 72, "1195/0"),
                   K(6, 114, "1151/0"),
                   L(38, 144, "1152/0", kIndX, kIndW), C(5, 144, kBoxX, 96), L(39, 144, "1148/0", 388, 58),
                   T(29, 144, 450, 44), U(41, 144, "1195/0", 498, 18),
                   L(42, 174, "1153/0", kIndX, kIndW), C(6, 174, kBoxX, 96), L(43, 174, "1148/0", 388, 58),
                   T(30, 174, 450, 44), U(44, 174, "1195/0", 498, 18)}};
    // 7 Fan.
    t << PageDesign{7,
                  {L(45, 16, "1161/0"), C(7, 16),
                   L(46, 48, "1163/0"), T(31, 48), U(47, 48, "1192/0"),
                   L(48, 78, "1164/0"), T(32, 78), U(51, 78, "1193/0"),
                   K(4, 120, "1166/0"),
                   L(52, 150, "1167/0", kIndX, kIndW), T(33, 150), U(53, 150, "1193/0")}};
    // 8 Nv timing: the two heartbeat rows, the minimum change, the NV lists.
    t << PageDesign{8,
                  {K(0, 16, "1037/0", kCapX, 150), T(0, 16, 170), L(54, 16, "1037/0", 248, 265, 20, 2),
                   K(1, 48, "1040/0", kCapX, 150), T(1, 48, 170), L(55, 48, "1040/0", 248, 265, 20, 2),
                   L(56, 84, "1042/0", kCapX, 150), T(2, 84, 170), U(57, 84, "1195/0", 248),
                   L(21, 130, "1036/0", kCapX, 490, 44), L(37, 186, "1039/0", kCapX, 490, 44)}};
    // 9 Logger.
    t << PageDesign{9, {{CtlKind::LogBox, -1, 8, 8, 507, 400, "0/0", 1, "QxLogBox"}}};
    return t;
}

} // namespace

QString ControlDesign::objectName() const
{
    if (index >= 0)
        return arrayName(kind) + QString::number(index);
    return name ? QString::fromLatin1(name) : QString();
}

const QList<PageDesign> &pageTable()
{
    static const QList<PageDesign> t = makeTable();
    return t;
}

const QList<TabDesign> &tabTable()
{
    static const QList<TabDesign> t = {{0, 0, 1010}, {0, 1, 1011}, {0, 3, 1012}, {0, 4, 1013}, {0, 5, 1014},
                                       {0, 6, 1015}, {0, 7, 1016}, {0, 8, 1017}, {0, 9, 1380}, {1, 2, 1020}};
    return t;
}

QString pageTitle(int page)
{
    for (const TabDesign &tab : tabTable())
        if (tab.page == page)
            return gLoadResString(tab.captionId).remove(QLatin1Char('&'));
    return QStringLiteral("KEY:") + QString::number(page);
}

} // namespace model
