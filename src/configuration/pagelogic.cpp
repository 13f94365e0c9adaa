// Page logic of the configuration command: setpoint ranges, SetControls,
// the layout by controller type and the control event handlers.
#include "configuration.h"

#include "appmodes.h"

#include <host/hoststate.h>
#include <monitoring/nvdecoding.h>
#include <params/controlevents.h>
#include <params/controlutil.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>

#include <QSignalBlocker>

namespace configuration {

using namespace params;

namespace {

const char *const kHeatSetpoints[] = {"HeatSetpointComfort", "HeatSetpointStandby", "HeatSetpointEconomy",
                                      "ProtSetpointHeat"};
const char *const kCoolSetpoints[] = {"CoolSetpointComfort", "CoolSetpointStandby", "CoolSetpointEconomy",
                                      "ProtSetpointCool"};

// Clamp of one step of the range chain: only when asked to and when the
// value lies outside its (new) range.
void clampTo(const std::shared_ptr<cParamTextBox> &t, bool correct, double limit)
{
    if (correct && t->ValueIsInvalid())
        t->setValueCalc(limit);
}

} // namespace

void cConfiguration::lockText(const QString &name, int mode)
{
    if (auto t = m_params->TextBoxParameterByName(name))
        t->setLockMode(mode);
}

// ------------------------------------------------------------ setpoint ranges

void cConfiguration::SetSetpointRanges(bool correct)
{
    auto hc = text("HeatSetpointComfort");
    auto hs = text("HeatSetpointStandby");
    auto he = text("HeatSetpointEconomy");
    auto ph = text("ProtSetpointHeat");
    auto cc = text("CoolSetpointComfort");
    auto cs = text("CoolSetpointStandby");
    auto ce = text("CoolSetpointEconomy");
    auto pc = text("ProtSetpointCool");
    auto pf = text("ProtSetpointFrost");
    auto econ = text("SetPointEcon");

    // Each step reads the values as the previous steps left them. A value
    // that was never read sets no limit: nothing is corrected towards it.
    const auto known = [](const std::shared_ptr<cParamTextBox> &p) { return p && p->valueKnown(); };
    auto below = [correct, known](const std::shared_ptr<cParamTextBox> &upper, const std::shared_ptr<cParamTextBox> &t) {
        if (!known(upper) || !t)
            return;
        t->setRangeMax(upper->ValueCalc());
        clampTo(t, correct, t->RangeMax());
    };
    auto above = [correct, known](const std::shared_ptr<cParamTextBox> &lower, const std::shared_ptr<cParamTextBox> &t,
                                  double offset) {
        if (!known(lower) || !t)
            return;
        t->setRangeMin(lower->ValueCalc() + offset);
        clampTo(t, correct, t->RangeMin());
    };
    below(hc, hs);
    below(hs, he);
    below(he, ph);
    if (ctrlType() != 5) {
        above(hc, cc, coolingOnly() ? 0 : 1);
        above(cc, cs, 0);
        above(cs, ce, 0);
        above(ce, pc, 0);
    }
    if (known(hc) && pf) {
        pf->setRangeMax(hc->ValueCalc() - 1);
        clampTo(pf, correct, pf->RangeMax());
    }
    if (econ && !SetpointEconLimit()) {
        if (known(pf))
            econ->setTextBoxRangeMin(pf->ValueCalc() + 1);
        if (known(cc))
            econ->setRangeMax(cc->ValueCalc());
        if (correct && econ->ValueIsInvalid())
            econ->setValueCalc(econ->ValueCalc() < econ->TextBoxRangeMin() ? econ->TextBoxRangeMin()
                                                                            : econ->RangeMax());
    }
}

// ------------------------------------------------------------------ SetControls

void cConfiguration::startUpDisplay()
{
    const int kind = ctrlType();
    if (kind == 1 || kind == 2 || kind == 5) {
        // No external setpoint on these kinds.
        for (const auto &[array, index] : {std::make_pair("QXLines", 20), std::make_pair("Label", 72),
                                           std::make_pair("ComboBox", 8)})
            if (ControlState *w = ctl(array, index))
                w->setVisible(false);
    }
    SetControls();
    m_window->setApplyEnabled(false);
    m_window->setParametersChanged(false);
    if (m_nothingRead)
        m_window->setStatusAlert(gLoadResString(1590, 2));
}

void cConfiguration::SetControls()
{
    platform::traceEntry(QStringLiteral("[frmMain] Public Sub SetControls()"));
    const int kind = ctrlType();
    setLoading(true);
    try {
        if (auto *type = ctl("ComboBox", 0)) {
            selectByItemData(type, m_appNumber);
            if (kind == 5) {
                setBackground(type, Background::ButtonFace);
                if (ControlState *frame = m_window->namedControl(QStringLiteral("fraHvacAppMode")))
                    frame->setEnabled(false);
            }
        }
        pageLayout();
        outputFields();

        // On/off pairs: a value of 0 means switched off.
        auto pair = [this](const char *name, int box) {
            auto t = text(name);
            auto *check = ctl("CheckBox", box);
            if (!t)
                return;
            const bool on = t->ValueCalc() != 0;
            if (check)
                check->setCheckState(on ? Qt::Checked : Qt::Unchecked);
            t->setLockMode(on ? kUnlock : kLock);
        };
        pair("MaxSendTime", 1);
        pair("MaxReceiveTime", 0);
        pair("OffDelay", 2);
        pair("MinDischAirTemp", 3);
        pair("CycleTime", 4);

        if (auto econ = text("SetPointEcon")) {
            auto minLevel = text("EconMinLevel");
            const bool off = econ->ValueCalc() == 0 && (!minLevel || minLevel->ValueCalc() == 0);
            if (auto *check = ctl("CheckBox", 5))
                check->setCheckState(off ? Qt::Unchecked : Qt::Checked);
            // Kinds 1 and 3 have no damper: the layout keeps its fields locked.
            const int mode = (off || kind == 1 || kind == 3) ? kLock : kUnlock;
            econ->setLockMode(mode);
            if (minLevel)
                minLevel->setLockMode(mode);
        }

        auto highLevel = text("SettingHystHighLevel");
        auto lowLevel = text("SettingHystLowLevel");
        auto highFunction = m_params->ComboBoxParameterByName(QStringLiteral("SettingHystHighFunction"));
        auto lowFunction = m_params->ComboBoxParameterByName(QStringLiteral("SettingHystLowFunction"));
        if (highLevel && lowLevel && highFunction && lowFunction) {
            const bool off = highFunction->Value() == SET_NUL && lowFunction->Value() == SET_NUL &&
                             highLevel->ValueCalc() == 0 && lowLevel->ValueCalc() == 0;
            if (auto *check = ctl("CheckBox", 6))
                check->setCheckState(off ? Qt::Unchecked : Qt::Checked);
            const int mode = off ? kLock : kUnlock;
            highLevel->setLockMode(mode);
            lowLevel->setLockMode(mode);
            highFunction->setLockMode(mode);
            lowFunction->setLockMode(mode);
        }

        controlModeDisplay(0);
        controlModeDisplay(1);
    } catch (const std::exception &e) {
        platform::TraceLog::instance().logError(QStringLiteral("frmMain"), QStringLiteral("SetControls"), 0,
                                                QString::fromUtf8(e.what()));
    }
    // The range chain runs while the values are still being loaded: moving
    // a limit re-formats texts, and a re-formatted text is no entry. The
    // deliberate corrections below set their exact values themselves.
    if (coolingOnly()) {
        setTextParam(QStringLiteral("HeatSetpointComfort"), 15);
        SetSetpointRanges(true);
    }
    SetSetpointRanges(false);
    setLoading(false);
    m_window->setApplyEnabled(false);
    m_window->setParametersChanged(false);
}

void cConfiguration::pageLayout()
{
    const int kind = ctrlType();
    const int app = m_appNumber;
    auto setHeat = [this](int mode) {
        for (const char *n : kHeatSetpoints)
            lockText(QString::fromLatin1(n), mode);
    };
    auto setCool = [this](int mode) {
        for (const char *n : kCoolSetpoints)
            lockText(QString::fromLatin1(n), mode);
    };
    auto page = [this](int key, bool show) {
        if (show)
            m_window->showTab(key);
        else
            m_window->hideTab(key);
    };

    if (isCeilingFamily(kind)) {
        page(kPageReheating, false);
        page(kPageFan, false);
        for (const auto &[array, index] : {std::make_pair("QXLines", 19), std::make_pair("Label", 69),
                                           std::make_pair("Label", 70), std::make_pair("CheckBox", 3),
                                           std::make_pair("TextBox", 26)})
            if (ControlState *w = ctl(array, index))
                w->setVisible(false);
        if (kind == 1 || kind == 3) {
            if (ControlState *w = ctl("CheckBox", 5))
                w->setEnabled(false);
            lockText(QStringLiteral("SetPointEcon"), kLock);
            lockText(QStringLiteral("EconMinLevel"), kLock);
            for (int label : {49, 50, 27, 29})
                if (ControlState *w = ctl("Label", label))
                    w->setEnabled(false); // system colour of disabled text
        } else {
            page(kPageVentilation, false);
        }
        if (app == 1) {
            setHeat(kUnlock);
            setCool(kLock);
            page(kPageHeating, true);
            page(kPageCooling, false);
        } else if (app == 2) {
            setHeat(kLock);
            setCool(kUnlock);
            page(kPageHeating, false);
            page(kPageCooling, true);
        } else if (app >= 3 && app <= 7) {
            setHeat(kUnlock);
            setCool(kUnlock);
            page(kPageHeating, true);
            page(kPageCooling, true);
        }
    } else if (isFanCoilFamily(kind)) {
        struct Row
        {
            int heat; // 0 lock, 1 unlock, 2 comfort only
            bool cool, heating, reheating, cooling;
        };
        static const Row rows[] = {
            {2, true, false, false, true}, // 1
            {1, true, false, true, true},  // 2
            {1, true, true, false, true},  // 3
            {1, false, true, false, false}, // 4
            {1, false, true, true, false},  // 5
            {1, true, true, true, true},   // 6 to 9
        };
        if (app < 1 || app > 9)
            return;
        const Row &r = rows[std::min(app, 6) - 1];
        if (r.heat == 2) {
            setHeat(kLock);
            lockText(QStringLiteral("HeatSetpointComfort"), kUnlock);
        } else {
            setHeat(r.heat ? kUnlock : kLock);
        }
        setCool(r.cool ? kUnlock : kLock);
        page(kPageHeating, r.heating);
        page(kPageReheating, r.reheating);
        page(kPageCooling, r.cooling);
    }
}

void cConfiguration::outputFields()
{
    const auto tags = monitoring::outputAvailability(ctrlType(), m_appNumber);
    for (int i = 0; i < monitoring::kOutputBoxes; ++i)
        if (tags[i])
            setControlTag(ctl("TextBox", monitoring::kFirstOutputBox + i),
                          *tags[i] ? QStringLiteral("True") : QStringLiteral("False"));
}

void cConfiguration::controlModeDisplay(int index)
{
    auto ti = text(index == 0 ? "HeatTi" : "CoolTi");
    auto *combo = ctl("ComboBox", index == 0 ? 2 : 4);
    auto *label = ctl("Label", index == 0 ? 20 : 40);
    if (!ti)
        return;
    if (!ti->valueKnown()) {
        // No control mode follows from a time that was not read.
        if (combo) {
            const QSignalBlocker quiet(combo); // no selection is no click
            combo->setCurrentIndex(-1);
        }
        ti->setLockMode(kLock);
        return;
    }
    const double v = ti->ValueCalc();
    int data = 2;
    if (v == 0)
        data = 0;
    else if (v == 65535)
        data = 1;
    if (combo)
        selectByItemData(combo, data);
    ti->setLockMode(data == 2 ? kUnlock : kLock);
    if (label)
        label->setText(gLoadResString(1103, data == 0 ? 2 : 1));
}

// ------------------------------------------------------------------ events

void cConfiguration::setEdited()
{
    m_window->setParametersChanged(true);
    m_window->setApplyEnabled(true);
}

void cConfiguration::ComboBox_Click(int index)
{
    if (m_window->valueLoading() || index == 1 || index == 9)
        return;
    auto *combo = ctl("ComboBox", index);
    const int value = combo && combo->currentIndex() >= 0 ? combo->currentData().toInt() : 0;
    if (index == 0) {
        if (value != m_appNumber) {
            m_appNumber = value;
            cmdButton_Click(1);
            cmdButton_Click(2);
        }
        setModeParametersFromAppNumber();
        pageLayout();
        outputFields();
        setDefaultSetpoints();
    } else if (index == 2 || index == 4) {
        const bool heating = index == 2;
        const QString key = value == 0 ? QStringLiteral("Defaults_2P")
                                       : QStringLiteral("Defaults_") + QString::number(m_appNumber);
        const QString defaults = templateValue(lns::kAppsSection, key);
        auto field = [&defaults](int n) { return platform::leadingNumber(platform::token(defaults, QStringLiteral(","), n)); };
        const QString xp = heating ? QStringLiteral("HeatXp") : QStringLiteral("CoolXp");
        const QString ti = heating ? QStringLiteral("HeatTi") : QStringLiteral("CoolTi");
        setTextParam(xp, field(heating ? 1 : 3));
        setTextParam(ti, value == 0 ? 0 : value == 1 ? 65535 : field(heating ? 2 : 4));
        controlModeDisplay(heating ? 0 : 1);
    }
    // Lists of parameters went to their parameter through the forwarding.
    setEdited();
}

void cConfiguration::CheckBox_Click(int index)
{
    if (m_window->valueLoading())
        return;
    auto *box = ctl("CheckBox", index);
    const bool checked = box && box->checkState() == Qt::Checked;
    auto onOff = [this, checked](const char *name, double onValue) {
        auto t = text(name);
        if (!t)
            return;
        t->setLockMode(checked ? kUnlock : kLock);
        t->setValueCalc(checked ? onValue : 0);
    };
    switch (index) {
    case 0: onOff("MaxReceiveTime", 60); break;
    case 1: onOff("MaxSendTime", 60); break;
    case 2: onOff("OffDelay", 60); break;
    case 3: onOff("MinDischAirTemp", 16); break;
    case 4: onOff("CycleTime", 60); break;
    case 5: {
        auto econ = text("SetPointEcon");
        auto minLevel = text("EconMinLevel");
        if (econ) {
            econ->setLockMode(checked ? kUnlock : kLock);
            econ->setValueCalc(checked ? 16 : 0);
            if (checked && econ->ValueIsInvalid())
                econ->setValueCalc(econ->TextBoxRangeMin());
        }
        if (minLevel) {
            minLevel->setLockMode(checked ? kUnlock : kLock);
            minLevel->setValueCalc(0);
        }
        break;
    }
    case 6: {
        const int mode = checked ? kUnlock : kLock;
        const std::pair<const char *, double> levels[] = {{"SettingHystHighLevel", 100}, {"SettingHystLowLevel", 100}};
        for (const auto &[name, on] : levels)
            if (auto t = text(name)) {
                t->setLockMode(mode);
                t->setValueCalc(checked ? on : 0);
            }
        const std::pair<const char *, int> functions[] = {{"SettingHystHighFunction", SET_UP},
                                                          {"SettingHystLowFunction", SET_DOWN}};
        for (const auto &[name, on] : functions)
            if (auto c = m_params->ComboBoxParameterByName(QString::fromLatin1(name))) {
                c->setLockMode(mode);
                c->setValue(checked ? on : SET_NUL);
            }
        break;
    }
    default:
        if (box)
            m_params->CheckBox_Click_Event(box);
        break;
    }
    setEdited();
}

void cConfiguration::cmdButton_Click(int index)
{
    if (index != 1 && index != 2)
        return;
    applyDefaults(index);
}

void cConfiguration::applyDefaults(int index)
{
    const bool heating = index == 1;
    auto *combo = ctl("ComboBox", heating ? 2 : 4);
    const int mode = combo && combo->currentIndex() >= 0 ? combo->currentData().toInt() : 0;
    const int xpField = heating ? 1 : 3;
    const QString xp = heating ? QStringLiteral("HeatXp") : QStringLiteral("CoolXp");
    const QString ti = heating ? QStringLiteral("HeatTi") : QStringLiteral("CoolTi");
    auto field = [this](const QString &key, int n) {
        return platform::leadingNumber(platform::token(templateValue(lns::kAppsSection, key), QStringLiteral(","), n));
    };
    const QString appKey = QStringLiteral("Defaults_") + QString::number(m_appNumber);
    if (mode == 0) {
        setTextParam(xp, field(QStringLiteral("Defaults_2P"), xpField));
    } else {
        setTextParam(xp, field(appKey, xpField));
        if (mode == 2)
            setTextParam(ti, field(appKey, xpField + 1));
    }
}

void cConfiguration::connectControls()
{
    if (m_controlsConnected || !m_window)
        return;
    m_controlsConnected = true;
    m_params->connectControlEvents(true);
    connect(m_params->controlEvents(), &ControlEvents::forwarded, this, &cConfiguration::onForwarded);
    // A focus departure of a setpoint box is seen here before the
    // forwarding validates it.
    for (int i = 3; i <= 11; ++i)
        if (ControlState *c = ctl("TextBox", i))
            connect(c, &ControlState::aboutToLeave, this, [this, c]() { m_focusOut = c; });
    for (int i : {0, 2, 4})
        if (ControlState *c = ctl("ComboBox", i))
            connect(c, &ControlState::currentIndexChanged, this, [this, i]() { ComboBox_Click(i); });
    for (int i = 0; i <= 6; ++i)
        if (ControlState *c = ctl("CheckBox", i))
            connect(c, &ControlState::stateChanged, this, [this, i]() { CheckBox_Click(i); });
    for (int i : {1, 2})
        if (ControlState *b = ctl("cmdButton", i))
            connect(b, &ControlState::clicked, this, [this, i]() { cmdButton_Click(i); });
}

void cConfiguration::onForwarded(ControlState *control)
{
    if (control->kind() == model::ControlKind::TextBox) {
        ControlState *edit = control;
        if (m_focusOut == edit) {
            // Focus departure of a setpoint box: the chain follows the entry.
            m_focusOut = nullptr;
            SetSetpointRanges(true);
            return;
        }
        if (m_window->valueLoading())
            return;
        setEdited();
    } else if (control->kind() == model::ControlKind::ComboBox) {
        if (m_window->valueLoading())
            return;
        setEdited();
    }
}

} // namespace configuration
