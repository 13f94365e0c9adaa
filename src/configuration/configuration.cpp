#include "configuration.h"

#include "appmodes.h"

#include <host/connection.h>
#include <host/hoststate.h>
#include <params/controlevents.h>
#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

namespace configuration {

using namespace params;

namespace {

const QString kModule = QStringLiteral("M_PlugIn");

void logError(const QString &procedure, const std::exception &e)
{
    int number = 0;
    QString description = QString::fromUtf8(e.what());
    if (auto le = dynamic_cast<const lns::LnsError *>(&e)) {
        number = le->number();
        description = le->description();
    }
    platform::TraceLog::instance().logError(kModule, procedure, number, description);
}

// Reads a CP in the "RAW" format and gives the format back afterwards.
QString readRaw(const lns::ConfigPropertyPtr &cp)
{
    const QString format = cp->formatSpecifier();
    cp->setFormatSpecifier(QStringLiteral("RAW"));
    QString v;
    try {
        v = cp->value();
    } catch (...) {
        cp->setFormatSpecifier(format);
        throw;
    }
    cp->setFormatSpecifier(format);
    return v;
}

void writeRaw(const lns::ConfigPropertyPtr &cp, const QString &raw)
{
    const QString format = cp->formatSpecifier();
    cp->setFormatSpecifier(QStringLiteral("RAW"));
    try {
        cp->setValue(raw);
    } catch (...) {
        cp->setFormatSpecifier(format);
        throw;
    }
    cp->setFormatSpecifier(format);
}

QList<int> rawNumbers(const QString &raw)
{
    QList<int> out;
    for (const QString &piece : raw.split(QLatin1Char('\t')))
        out << piece.trimmed().toInt();
    return out;
}

// One row of the text-box part of the map.
struct TextRow
{
    const char *name;
    const char *cp; // nullptr: same as the name
    int control;
    int type;
    int unit; // -1: the type's own
    int resolution; // -1: the type's own
    double rangeMin; // kNone: not set
    double boxMin;
    double rangeMax;
    double boxMax;
    int bytePos; // 0: whole CP
    int byteLength;
    int titleId; // 0: no title
    int titleItem;
};

constexpr double kNone = -1e300;

// MaxReceiveTime .. EconMinLevel without SetPointMode and AuxLevels (lists),
// in the order the registry gets them.
const TextRow kFirstRows[] = {
    {"MaxReceiveTime", nullptr, 0, SNVT_time_sec, -1, RES_1, kNone, 1, kNone, kNone, 0, 0, 1037, 1},
    {"MaxSendTime", nullptr, 1, SNVT_time_sec, -1, RES_1, kNone, 1, kNone, kNone, 0, 0, 1040, 1},
    {"MinDeltaLevel", nullptr, 2, SNVT_lev_cont, -1, RES_1, 1, kNone, kNone, kNone, 0, 0, 1042, 1},
};
const TextRow kSetpointRows[] = {
    {"HeatSetpointComfort", "SetPoints", 3, SNVT_temp_p, -1, RES_0_1, 5, kNone, 50, kNone, 7, 2, 1051, 1},
    {"HeatSetpointStandby", "SetPoints", 4, SNVT_temp_p, -1, RES_0_1, 0, kNone, 50, kNone, 9, 2, 1052, 1},
    {"HeatSetpointEconomy", "SetPoints", 5, SNVT_temp_p, -1, RES_0_1, 0, kNone, 50, kNone, 11, 2, 1053, 1},
    {"CoolSetpointComfort", "SetPoints", 7, SNVT_temp_p, -1, RES_0_1, 0, kNone, 50, kNone, 1, 2, 1056, 1},
    {"CoolSetpointStandby", "SetPoints", 8, SNVT_temp_p, -1, RES_0_1, 0, kNone, 50, kNone, 3, 2, 1057, 1},
    {"CoolSetpointEconomy", "SetPoints", 9, SNVT_temp_p, -1, RES_0_1, 0, kNone, 50, kNone, 5, 2, 1058, 1},
    {"ProtSetpointHeat", nullptr, 6, SNVT_temp_p, -1, RES_0_1, 0, kNone, 50, kNone, 0, 0, 1054, 1},
    {"ProtSetpointCool", nullptr, 10, SNVT_temp_p, -1, RES_0_1, 0, kNone, 50, kNone, 0, 0, 1059, 1},
    {"ProtSetpointFrost", nullptr, 11, SNVT_temp_p, -1, RES_0_1, 1, kNone, 15, kNone, 0, 0, 1061, 1},
    {"HeatXp", nullptr, 20, SNVT_temp_p, UNIT_Kelvin, RES_0_1, 0.5, kNone, 10, kNone, 0, 0, 0, 0},
    {"HeatTi", nullptr, 21, SNVT_time_min, -1, RES_1, kNone, 1, kNone, 65534, 0, 0, 1104, 1},
    {"CoolXp", nullptr, 24, SNVT_temp_p, UNIT_Kelvin, RES_0_1, 0.5, kNone, 10, kNone, 0, 0, 0, 0},
    {"CoolTi", nullptr, 25, SNVT_time_min, -1, RES_1, kNone, 1, kNone, 65534, 0, 0, 1104, 1},
    {"MinDischAirTemp", nullptr, 26, SNVT_temp_p, -1, RES_0_1, kNone, 10, 35, kNone, 0, 0, 1107, 1},
};
const TextRow kReheatRows[] = {
    {"AuxHyst", nullptr, 22, SNVT_temp_p, UNIT_Kelvin, RES_0_1, 0.5, kNone, 4, kNone, 0, 0, 1123, 1},
    {"OffDelay", nullptr, 23, SNVT_time_sec, -1, RES_1, kNone, 1, 3600, kNone, 0, 0, 1126, 1},
};
const TextRow kEconMinRow = {"EconMinLevel", nullptr, 28, SNVT_lev_percent, -1, RES_0_5, 0, kNone, 100, kNone, 0, 0, 1142, 1};
const TextRow kFanRows[] = {
    {"FanHyst", nullptr, 31, SNVT_temp_p, UNIT_Kelvin, RES_0_1, 0.5, kNone, 4, kNone, 0, 0, 1163, 1},
    {"MinRuntime", nullptr, 32, SNVT_time_sec, -1, RES_1, kNone, kNone, 3600, kNone, 0, 0, 1164, 1},
    {"CycleTime", nullptr, 33, SNVT_time_sec, -1, RES_1, kNone, 1, 3600, kNone, 0, 0, 1167, 1},
};

std::shared_ptr<cParamTextBox> fetchText(cParams &p, const TextRow &r)
{
    std::shared_ptr<cParamTextBox> t;
    const QString name = QString::fromLatin1(r.name);
    const QString cp = r.cp ? QString::fromLatin1(r.cp) : name;
    if (!p.FetchTextBoxCp(cp, r.control, &t, name))
        return nullptr;
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
    if (r.titleId > 0)
        t->setTextBoxTitle(gLoadResString(r.titleId, r.titleItem));
    return t;
}

void addLevels(cParams &p, const char *name, int control, int listId)
{
    std::shared_ptr<cParamComboBox> c;
    if (p.FetchComboBoxCp(QString::fromLatin1(name), control, &c))
        for (int item = 2; item <= 6; ++item)
            c->AddComboBoxItem(gLoadResString(listId, item), item - 1);
}

void addSettingPair(cParams &p, const char *cp, const char *levelName, int levelControl, const char *functionName,
                    int functionControl)
{
    std::shared_ptr<cParamTextBox> t;
    if (p.FetchTextBoxCp(QString::fromLatin1(cp), levelControl, &t, QString::fromLatin1(levelName))) {
        t->ConsiderPartOfCpOnly(2, 1);
        t->setSnvtType(SNVT_lev_cont);
        t->setTextBoxTitle(gLoadResString(1148));
    }
    std::shared_ptr<cParamComboBox> c;
    if (p.FetchComboBoxCp(QString::fromLatin1(cp), functionControl, &c, QString::fromLatin1(functionName))) {
        c->setSignedValue(true);
        c->ConsiderPartOfCpOnly(1, 1);
        for (int item = 1; item <= 6; ++item)
            c->AddComboBoxItem(gLoadResString(1149, item), item - 1);
        c->AddComboBoxItem(QStringLiteral("Nul"), SET_NUL);
    }
}

} // namespace

cConfiguration::cConfiguration(ConfigWindow *window, QObject *parent)
    : QObject(parent), m_window(window), m_params(std::make_unique<cParams>())
{
    host::HostState &s = host::state();
    m_params->setWindow(window);
    m_params->setSystem(s.conn.system);
    m_params->setTemplateContext(s.templateContext());
    m_params->setConnection(s.conn.object, s.conn.device);
}

cConfiguration::~cConfiguration() = default;

int cConfiguration::ctrlType() const
{
    return m_window ? m_window->ctrlType()
                    : platform::leadingInt32(templateValue(lns::kCpSection, QStringLiteral("CtrlType")));
}

QString cConfiguration::templateValue(const QString &section, const QString &key) const
{
    return host::state().templateContext().value(section, key);
}

ControlState *cConfiguration::ctl(const char *array, int index) const
{
    return m_window ? m_window->control(QString::fromLatin1(array), index) : nullptr;
}

std::shared_ptr<cParamTextBox> cConfiguration::text(const char *name) const
{
    return m_params->TextBoxParameterByName(QString::fromLatin1(name));
}

// ---------------------------------------------------------------- the map

void cConfiguration::FetchCPs()
{
    platform::traceEntry(QStringLiteral("[M_PlugIn] Public Sub FetchCPs()"));
    QElapsedTimer timer;
    timer.start();
    try {
        cParams &p = *m_params;
        const bool config = host::state().commandIndex != host::kCmdControl;
        p.Fetch1ByteCp(QStringLiteral("HvacAppMode"));
        p.Fetch2ByteCp(QStringLiteral("NumValves"));
        if (config) {
            for (const TextRow &r : kFirstRows)
                fetchText(p, r);
            std::shared_ptr<cParamComboBox> c;
            if (p.FetchComboBoxCp(QStringLiteral("SetPointMode"), 8, &c)) {
                c->AddComboBoxItem(gLoadResString(1047, 1), SPM_RELATIVE);
                c->AddComboBoxItem(gLoadResString(1047, 2), SPM_ABSOLUTE);
            }
            for (const TextRow &r : kSetpointRows)
                fetchText(p, r);
            addLevels(p, "AuxLevels", 3, 1122);
            for (const TextRow &r : kReheatRows)
                fetchText(p, r);
            std::shared_ptr<cParamTextBox> econ;
            if (p.FetchTextBoxCp(QStringLiteral("SetPointEcon"), 27, &econ)) {
                econ->setSnvtType(SNVT_temp_p);
                econ->setResolution(RES_0_1);
                econ->setRangeMin(SetpointEconLimit() ? -50 : 0);
                econ->setRangeMax(50);
                econ->setTextBoxTitle(gLoadResString(1141));
            }
            fetchText(p, kEconMinRow);
        }
        // The hysteresis settings: the high one under both commands.
        std::shared_ptr<cParamTextBox> level;
        if (p.FetchTextBoxCp(QStringLiteral("SettingHystHigh"), 29, &level, QStringLiteral("SettingHystHighLevel"))) {
            level->ConsiderPartOfCpOnly(2, 1);
            level->setSnvtType(SNVT_lev_cont);
            level->setTextBoxTitle(gLoadResString(1148));
        }
        std::shared_ptr<cParamComboBox> function;
        if (p.FetchComboBoxCp(QStringLiteral("SettingHystHigh"), 5, &function,
                              QStringLiteral("SettingHystHighFunction"))) {
            function->setSignedValue(true);
            function->ConsiderPartOfCpOnly(1, 1);
            for (int item = 1; item <= 6; ++item)
                function->AddComboBoxItem(gLoadResString(1149, item), item - 1);
            function->AddComboBoxItem(QStringLiteral("Nul"), SET_NUL);
        }
        if (config)
            addSettingPair(p, "SettingHystLow", "SettingHystLowLevel", 30, "SettingHystLowFunction", 6);
        addLevels(p, "DiscLevels", 7, 1162);
        if (config)
            for (const TextRow &r : kFanRows)
                fetchText(p, r);

        // Optional CPs switch their check box off when the device lacks them.
        if (config) {
            const std::pair<const char *, int> optional[] = {{"MinDischAirTemp", 3}, {"OffDelay", 2}, {"CycleTime", 4}};
            for (const auto &[name, box] : optional)
                if (!text(name))
                    if (ControlState *w = ctl("CheckBox", box))
                        w->setEnabled(false);
        }
    } catch (const std::exception &e) {
        logError(QStringLiteral("FetchCPs"), e);
    }
    m_fetchMs = timer.elapsed();
    platform::TraceLog::instance().write(QStringLiteral("FetchCPs: %1 ms").arg(m_fetchMs));
}

bool cConfiguration::SetpointEconLimit()
{
    if (!m_econLimitRead) {
        const QString v = templateValue(lns::kCpSection, QStringLiteral("SetpointEconNoLimit"));
        m_econLimit = !v.isEmpty() && platform::leadingNumber(v) > 0;
        m_econLimitRead = true;
    }
    return m_econLimit;
}

// ------------------------------------------------------ application number

int cConfiguration::deviceAppNumber(const lns::AppDevicePtr &device)
{
    // Another device of a copy run answers by its own controller kind: asking
    // a kind-1 target through a kind-3 source's parameters would report the
    // source's application and skip a download the target needs.
    int kind = ctrlType();
    const host::HostState &hs = host::state();
    try {
        if (device && hs.conn.device && device->name() != hs.conn.device->name() && device->deviceTemplate())
            kind = platform::leadingInt32(
                hs.ini.value(lns::kCpSection, QStringLiteral("CtrlType"), device->deviceTemplate()->name()));
    } catch (const std::exception &e) {
        logError(QStringLiteral("GetDeviceAppNumber"), e);
        return -1;
    }
    if (kind == 3 || kind == 4) {
        auto mode = m_params->Parameter1ByteByName(QStringLiteral("HvacAppMode"));
        auto valves = m_params->Parameter2ByteByName(QStringLiteral("NumValves"));
        if (!mode || !valves)
            return -1;
        return appNumberForMode(mode->Value(), valves->Value2());
    }
    if (kind != 1 && kind != 2)
        return -1;
    const host::HostState &s = host::state();
    if (!device || !s.conn.object)
        return -1;
    try {
        lns::LonMarkObjectPtr object = device->lonMarkObjects()->item(s.conn.object->index());
        if (!object)
            return -1;
        lns::TemplateContext ctx = s.templateContext();
        ctx.deviceTemplate = device->deviceTemplate();
        bool found = false;
        lns::ConfigPropertyPtr modeCp = lns::FetchCp(QStringLiteral("HvacAppMode"), lns::kCpSection, ctx, object, &found);
        if (!found || !modeCp)
            return -1;
        found = false;
        lns::ConfigPropertyPtr valvesCp = lns::FetchCp(QStringLiteral("NumValves"), lns::kCpSection, ctx, object, &found);
        if (!found || !valvesCp)
            return -1;
        const QList<int> mode = rawNumbers(readRaw(modeCp));
        const QList<int> valves = rawNumbers(readRaw(valvesCp));
        return appNumberForMode(mode.value(0), valves.value(1));
    } catch (const std::exception &e) {
        logError(QStringLiteral("GetDeviceAppNumber"), e);
        return -1;
    }
}

void cConfiguration::setModeParametersFromAppNumber()
{
    const ModeAndValves mv = modeForAppNumber(ctrlType(), m_appNumber);
    if (auto mode = m_params->Parameter1ByteByName(QStringLiteral("HvacAppMode")))
        mode->setValue(mv.mode);
    if (auto valves = m_params->Parameter2ByteByName(QStringLiteral("NumValves"))) {
        valves->setValue1(0);
        valves->setValue2(mv.valves);
    }
}

int cConfiguration::readAppNumberRecord() const
{
    const host::HostState &s = host::state();
    if (!s.conn.object)
        return -1;
    try {
        const QString v = s.conn.object->extensionData(kAppModeRecordKey);
        return v.trimmed().isEmpty() ? -1 : platform::leadingInt32(v);
    } catch (const std::exception &e) {
        platform::traceCaughtError(QStringLiteral("readAppNumberRecord"), e);
        return -1;
    }
}

void cConfiguration::storeAppNumberRecord()
{
    const host::HostState &s = host::state();
    if (!s.conn.object)
        return;
    try {
        s.conn.object->setExtensionData(kAppModeRecordKey, QString::number(m_appNumber));
    } catch (const std::exception &e) {
        platform::TraceLog::instance().write(QStringLiteral("StoreAppMode: %1").arg(QString::fromUtf8(e.what())));
    }
}

bool cConfiguration::appAvailable(int mode) const
{
    return appModeAvailable(templateValue(lns::kCpSection, QStringLiteral("AvailableApps")), mode);
}

bool cConfiguration::coolingOnly() const { return configuration::coolingOnly(ctrlType(), m_appNumber); }
bool cConfiguration::heatingOnly() const { return configuration::heatingOnly(ctrlType(), m_appNumber); }

void cConfiguration::setTextParam(const QString &name, double value)
{
    if (auto t = m_params->TextBoxParameterByName(name))
        t->setValueCalc(value);
}

void cConfiguration::setDefaultSetpoints()
{
    const std::pair<const char *, double> defaults[] = {
        {"HeatSetpointComfort", 21}, {"HeatSetpointStandby", 19}, {"HeatSetpointEconomy", 16},
        {"ProtSetpointHeat", 12},    {"CoolSetpointComfort", 23}, {"CoolSetpointStandby", 25},
        {"CoolSetpointEconomy", 28}, {"ProtSetpointCool", 40},    {"ProtSetpointFrost", 6}};
    for (const auto &[name, value] : defaults)
        setTextParam(QString::fromLatin1(name), value);
    SetSetpointRanges(true);
    if (coolingOnly()) {
        setTextParam(QStringLiteral("HeatSetpointComfort"), 15);
        SetSetpointRanges(true);
    }
}

bool cConfiguration::LoadApplicationByAppMode(const lns::AppDevicePtr &device, bool &silent)
{
    platform::traceEntry(QStringLiteral("[M_PlugIn] Public Function LoadApplicationByAppMode(Device As Object, Silent As Boolean) As Boolean"));
    host::HostState &s = host::state();
    const qint32 green = 65280, red = 255, magenta = 16711935;
    bool result = false;
    bool bracketOpen = false;
    int line = 0;
    m_calibrationKept = false;
    m_downloadFailed = false;
    try {
        line = 1;
        if (!silent && s.conn.system) {
            s.conn.system->beginBracket(100);
            bracketOpen = true;
        }
        line = 2;
        lns::TemplateContext ctx = s.templateContext();
        if (device)
            ctx.deviceTemplate = device->deviceTemplate();
        const QString appKey = QStringLiteral("App_") + QString::number(m_appNumber);
        const QString imageValue = ctx.value(lns::kAppsSection, appKey);
        QString imageFile = imageValue;
        if (!imageValue.isEmpty() && QFileInfo(imageValue).isRelative()) {
            const QString besideApp = QDir(s.env.applicationFolder).filePath(imageValue);
            const QString besideIni = QFileInfo(s.iniPath).dir().filePath(imageValue);
            imageFile = QFileInfo::exists(besideApp) ? besideApp : besideIni;
        }
        line = 3;
        const bool commissioned = device && device->commissioned();
        const bool accessible = commissioned && host::DeviceAccessible(device, false);
        if (commissioned && accessible) {
            line = 4;
            const int deviceApp = deviceAppNumber(device);
            if (deviceApp != m_appNumber || (m_window && m_window->forceAppDownload())) {
                // Keep the turning-knob calibration where the running
                // application is new enough to have it in the same place.
                line = 5;
                QString calibration;
                bool haveCalibration = false;
                lns::ConfigPropertyPtr calibCp;
                const double newCalib = platform::leadingNumber(ctx.value(lns::kCpSection, QStringLiteral("ApbVersionNewCalib")));
                if (newCalib > 0) {
                    const double version = m_loader.applicationVersion(device);
                    if (version > 0 && version >= newCalib) {
                        bool found = false;
                        calibCp = lns::FetchDevCp(QStringLiteral("TempCalib"), lns::kCpSection, ctx, device, &found);
                        if (found && calibCp) {
                            calibration = readRaw(calibCp);
                            haveCalibration = true;
                        }
                    }
                }
                line = 6;
                if (m_window) {
                    if (silent)
                        m_window->setStatusText(platform::fillPlaceholders(
                            gLoadResString(1500, 7), {platform::token(m_window->statusText(), QStringLiteral(" "), 3)}));
                    else
                        m_window->setStatusText(gLoadResString(1500, 5));
                }
                m_loader.setProgress([this, silent](qint64 done, qint64 total) {
                    if (!m_window || silent || total <= 0)
                        return;
                    m_window->setStatusText(gLoadResString(1500, 5) + QStringLiteral(" ") +
                                            QString::number(done * 100 / total) + QStringLiteral(" %"));
                });
                line = 7;
                QString error;
                // The image, the mode it reports and the kept calibration go
                // to the device as one transaction: a device never runs the
                // new application with the old mode or a lost calibration.
                const bool ownTransaction = s.conn.system && !s.conn.system->inTransaction();
                if (ownTransaction)
                    s.conn.system->startTransaction();
                bool ok = false;
                try {
                    ok = m_loader.load(device, imageFile, &error, device->lonMarkObjects()->item(s.conn.object->index()), ctx);
                    if (ok && haveCalibration)
                        writeRaw(calibCp, calibration);
                    if (ownTransaction) {
                        if (ok)
                            s.conn.system->commitTransaction();
                        else
                            s.conn.system->cancelTransaction();
                    }
                } catch (const lns::LnsError &e) {
                    if (ownTransaction && s.conn.system->inTransaction())
                        s.conn.system->cancelTransaction();
                    ok = false;
                    error = QStringLiteral("AppLoader: %1: %2").arg(e.number()).arg(e.description());
                }
                if (m_window) {
                    if (ok) {
                        if (silent)
                            m_window->LogLine(QStringLiteral(" - ") + gLoadResString(1210, 2), green);
                        else
                            m_window->LogLine(QStringLiteral("  ") + gLoadResString(1206), green);
                        if (!silent)
                            m_window->LogLine(gLoadResString(1207), magenta);
                    } else {
                        if (silent)
                            m_window->LogLine(QStringLiteral(" - ") + gLoadResString(1210, 3), red);
                        m_window->LogLine(error, red);
                    }
                }
                if (ok) {
                    line = 8;
                    m_calibrationKept = haveCalibration;
                    device->update(1);
                    // The general utility's refresh after a download has
                    // nothing to do here: the object server holds no caches.
                    try {
                        device->test(4);
                    } catch (const std::exception &e) {
                        // The download succeeded; the test only wakes the
                        // device's status up, and its failure changes nothing.
                        platform::traceCaughtError(QStringLiteral("DownloadApplication: device test"), e);
                    }
                    result = true;
                }
            } else if (m_window) {
                if (silent)
                    m_window->LogLine(QStringLiteral(" - ") + gLoadResString(1210, 1), green);
                else
                    m_window->LogLine(QStringLiteral("  ") + gLoadResString(1203), green);
            }
        } else if (commissioned) {
            if (m_window) {
                if (silent) {
                    m_window->LogLine(QStringLiteral(" - ") + gLoadResString(1210, 3), red);
                    m_window->LogLine(gLoadResString(1205), red);
                } else {
                    m_window->LogLine(gLoadResString(1202), red);
                }
            }
        } else if (m_window) {
            if (silent) {
                m_window->LogLine(QStringLiteral(" - ") + gLoadResString(1210, 3), red);
                m_window->LogLine(gLoadResString(1204), red);
            } else {
                m_window->LogLine(gLoadResString(1202), red);
            }
        }
        line = 9;
        if (bracketOpen) {
            bracketOpen = false;
            s.conn.system->endBracket();
        }
    } catch (const std::exception &e) {
        if (bracketOpen) {
            try {
                s.conn.system->endBracket();
            } catch (const std::exception &bracket) {
                platform::traceCaughtError(QStringLiteral("DownloadApplication: EndBracket"), bracket);
            }
        }
        int number = 0;
        QString description = QString::fromUtf8(e.what());
        if (auto le = dynamic_cast<const lns::LnsError *>(&e)) {
            number = le->number();
            description = le->description();
        }
        platform::messages().show(platform::MsgIcon::Critical, QStringLiteral("LoadApplicationByAppMode"),
                                  QStringLiteral("ErrNo. : %1\nDescr. : %2\nLine   : %3")
                                      .arg(number)
                                      .arg(description)
                                      .arg(line));
        result = false;
        m_downloadFailed = true;
    }
    m_loader.setProgress({});
    return result;
}

// ---------------------------------------------------------------- workflow

void cConfiguration::setLoading(bool on)
{
    if (m_window)
        m_window->setValueLoading(on);
    if (m_params->controlEvents())
        m_params->controlEvents()->setSuspended(on);
}

void cConfiguration::ReadSettings()
{
    platform::traceEntry(QStringLiteral("[M_PlugIn] Public Sub ReadSettings()"));
    try {
        cParams &p = *m_params;
        auto mode = p.Parameter1ByteByName(QStringLiteral("HvacAppMode"));
        auto valves = p.Parameter2ByteByName(QStringLiteral("NumValves"));
        switch (ctrlType()) {
        case 1:
        case 2:
            m_appNumber = readAppNumberRecord();
            if (m_appNumber == -1)
                m_appNumber = 3;
            if (mode)
                mode->setDontReadFromLns(true);
            if (valves)
                valves->setDontReadFromLns(true);
            p.ReadFromLns();
            break;
        case 3:
        case 4:
            p.ReadFromLns();
            m_appNumber = deviceAppNumber(host::state().conn.device);
            break;
        case 5:
            m_appNumber = 1;
            p.ReadFromLns();
            break;
        default:
            break;
        }
    } catch (const std::exception &e) {
        logError(QStringLiteral("ReadSettings"), e);
    }
}

void cConfiguration::prepareWriteSet()
{
    // Kinds whose mode follows the application: the mode CPs are the
    // application's, never the page's.
    const int kind = ctrlType();
    const bool modeByApp = kind == 1 || kind == 2 || kind == 5;
    if (auto mode = m_params->Parameter1ByteByName(QStringLiteral("HvacAppMode")))
        mode->setDontWriteToLns(modeByApp);
    if (auto valves = m_params->Parameter2ByteByName(QStringLiteral("NumValves")))
        valves->setDontWriteToLns(modeByApp);
}

bool cConfiguration::WriteSettings()
{
    platform::traceEntry(QStringLiteral("[M_PlugIn] Public Sub WriteSettings()"));
    host::HostState &s = host::state();
    bool ok = false;
    bool bracketOpen = false;
    try {
        if (s.conn.system) {
            s.conn.system->beginBracket(100);
            bracketOpen = true;
        }
        cParams &p = *m_params;
        const int kind = ctrlType();
        prepareWriteSet();
        ok = p.WriteToLns(true);
        if (m_window && !p.lastLeftOutUnread().isEmpty())
            m_window->LogLine(platform::fillPlaceholders(gLoadResString(1592),
                                                         {p.lastLeftOutUnread().join(QStringLiteral(", "))}),
                              kColorMagenta);
        if (!ok && m_window) {
            // Nothing of a failed write reached the device; name its CPs.
            m_window->LogLine(gLoadResString(1528), 255);
            const QStringList failed = p.failedCpNames();
            if (!failed.isEmpty())
                m_window->LogLine(QStringLiteral("  ") + failed.join(QStringLiteral(", ")), 255);
        }
        // The record names the application the device now runs: only after
        // everything of this write reached it.
        if ((kind == 1 || kind == 2) && ok && !(m_window && m_window->errorsLogged()))
            storeAppNumberRecord();
    } catch (const std::exception &e) {
        logError(QStringLiteral("WriteSettings"), e);
        ok = false;
    }
    if (bracketOpen) {
        try {
            s.conn.system->endBracket();
        } catch (const std::exception &e) {
            logError(QStringLiteral("WriteSettings"), e);
        }
    }
    return ok;
}

bool cConfiguration::checkValues()
{
    platform::traceEntry(QStringLiteral("[M_PlugIn] Public Function checkValues() As Boolean"));
    const bool noHeat = coolingOnly();
    const bool noCool = heatingOnly();
    const std::pair<const char *, bool> pairs[] = {{"HeatXp", noHeat}, {"HeatTi", noHeat}, {"CoolXp", noCool}, {"CoolTi", noCool}};
    for (const auto &[name, off] : pairs) {
        if (auto t = text(name)) {
            t->setDontWriteToLns(off);
            t->setDontWriteToFile(off);
        }
    }
    if (m_params->AnyParameterValueIsInvalid()) {
        platform::messages().show(platform::MsgIcon::Critical, m_window ? m_window->caption() : QString(),
                                  gLoadResString(1420));
        return false;
    }
    return true;
}

void cConfiguration::checkApplicationAfterRead()
{
    if (!host::DeviceAccessible(host::state().conn.device, true))
        return;
    m_window->LogLine(QString());
    m_window->LogLine(gLoadResString(1552), 16711680);
    if (deviceAppNumber(host::state().conn.device) == m_appNumber)
        m_window->LogLine(QStringLiteral("  ") + gLoadResString(1203), 65280);
    else
        m_window->LogLine(gLoadResString(1544), 255);
}

bool cConfiguration::reportUnread()
{
    const QStringList unread = m_params->lastUnreadNames();
    m_nothingRead = m_params->lastReadCount() > 0 && unread.size() == m_params->lastReadCount();
    if (m_nothingRead)
        m_window->LogLine(gLoadResString(1590, 1), kColorRed);
    else if (!unread.isEmpty())
        m_window->LogLine(platform::fillPlaceholders(gLoadResString(1591), {unread.join(QStringLiteral(", "))}),
                          kColorRed);
    return m_nothingRead;
}

void cConfiguration::startConfiguration()
{
    m_window->LogLine(gLoadResString(1530), 65280);
    m_window->LogLine(gLoadResString(1550, 1), 16711680);
    setLoading(true);
    ReadSettings();
    setLoading(false);
    const bool nothingRead = reportUnread();
    const int kind = ctrlType();
    if (kind != 3 && kind != 4)
        checkApplicationAfterRead();
    if (!nothingRead)
        m_window->LogLine(gLoadResString(1550, 2), 16711680);
}

void cConfiguration::ReadParameters()
{
    platform::traceEntry(QStringLiteral("[frmMain] Private Sub ReadParameters()"));
    if (m_window->parametersChanged()) {
        const host::HostState &s = host::state();
        const QString objectName = s.conn.object ? s.conn.object->name() : s.objectName;
        const int answer = platform::messages().show(
            platform::MsgIcon::Question, m_window->caption(),
            platform::fillPlaceholders(gLoadResString(1428, 1), {objectName}), platform::MB_YesNo, platform::ANS_No);
        if (answer != platform::ANS_Yes)
            return;
    }
    m_window->setBusy(true);
    m_window->setStatusText(gLoadResString(1501, 1));
    m_window->LogLine(gLoadResString(1550, 1), 16711680);
    setLoading(true);
    ReadSettings();
    setLoading(false);
    const bool nothingRead = reportUnread();
    checkApplicationAfterRead();
    if (!nothingRead)
        m_window->LogLine(gLoadResString(1550, 2), 16711680);
    if (m_window->errorsLogged())
        m_window->ShowLogger();
    m_window->setErrorsLogged(false);
    SetControls();
    checkValues();
    m_window->setBusy(false);
    if (m_nothingRead)
        m_window->setStatusAlert(gLoadResString(1590, 2));
    else
        m_window->setStatusText(gLoadResString(1517));
}

bool cConfiguration::WriteParameters()
{
    platform::traceEntry(QStringLiteral("[frmMain] Private Sub WriteParameters()"));
    if (!checkValues())
        return false;
    m_window->setBusy(true);
    m_lastSteps = WriteSteps();
    const int kind = ctrlType();
    bool downloadFailed = false;
    if (kind == 1 || kind == 2) {
        m_window->setStatusText(gLoadResString(1500, 4));
        m_window->LogLine(gLoadResString(1552), 16711680);
        const bool before = m_window->errorsLogged();
        m_window->setErrorsLogged(false);
        bool silent = false;
        m_lastSteps.appChecked = true;
        m_lastSteps.appLoaded = LoadApplicationByAppMode(host::state().conn.device, silent);
        m_lastSteps.calibrationKept = m_lastSteps.appLoaded && m_calibrationKept;
        downloadFailed = m_window->errorsLogged() || m_downloadFailed;
        m_lastSteps.appFailed = downloadFailed;
        m_window->setErrorsLogged(before || downloadFailed);
    }
    m_window->setStatusText(gLoadResString(1500, 1));
    m_window->LogLine(gLoadResString(1551, 1), 16711680);
    const bool written = WriteSettings();
    m_lastSteps.paramsWritten = written;
    m_lastWriteOk = written && !downloadFailed;
    m_window->LogLine(gLoadResString(1551, 2), 16711680);
    SetControls();
    const bool result = !m_window->errorsLogged();
    if (!result)
        m_window->ShowLogger();
    m_window->setErrorsLogged(false);
    if (ControlState *label = ctl("Label", 30))
        label->setVisible(false);
    m_window->setBusy(false);
    m_window->setStatusText(gLoadResString(1517));
    // What did not reach the device stays marked for another try.
    m_window->setApplyEnabled(!m_lastWriteOk);
    m_window->setParametersChanged(!m_lastWriteOk);
    return result;
}

} // namespace configuration
