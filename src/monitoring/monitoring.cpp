#include "monitoring.h"

#include <params/controlutil.h>
#include <params/paramchoice.h>
#include <params/paramcollection.h>
#include <params/paramtextbox.h>
#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/tracelog.h>

#include <QSignalBlocker>

namespace monitoring {

using model::ControlState;

namespace {

const QString kModule = QStringLiteral("M_PlugInSpecific");
// A step the error logger asks to repeat is tried this often at most, so a
// fault that does not go away cannot hold the page.
constexpr int kMaxRepeats = 3;

void trace(const QString &text)
{
    platform::TraceLog::instance().write(text);
}

// Runs each step; an error is cleared and the next step runs.
void resumeNext(const QString &procedure, std::initializer_list<std::function<void()>> steps)
{
    int n = 0;
    for (const auto &step : steps) {
        ++n;
        try {
            step();
        } catch (const std::exception &e) {
            trace(QStringLiteral("[%1] %2 step %3 skipped: %4").arg(kModule, procedure).arg(n).arg(QString::fromUtf8(e.what())));
        }
    }
}

void setText(ControlState *w, const QString &text)
{
    if (w)
        w->setText(text);
}

void setBox(ControlState *w, bool enabled)
{
    if (!w)
        return;
    w->setEnabled(enabled);
    params::setBackground(w, enabled ? params::Background::Window : params::Background::ButtonFace);
}

// The list selector: selects the entry with that item data without raising
// the list's change handling; changes nothing when no entry has it.
void selectListEntry(ControlState *combo, int data)
{
    if (!combo || combo->kind() != model::ControlKind::ComboBox)
        return;
    for (int i = 0; i < combo->count(); ++i) {
        const QVariant d = combo->itemData(i);
        if (d.isValid() && d.toInt() == data) {
            params::selectByItemData(combo, data);
            return;
        }
    }
}

void clearSelection(ControlState *combo)
{
    if (combo && combo->kind() == model::ControlKind::ComboBox) {
        const QSignalBlocker block(combo);
        combo->setCurrentIndex(-1);
    }
}

std::optional<int> selectedItemData(ControlState *combo)
{
    if (!combo || combo->kind() != model::ControlKind::ComboBox || combo->currentIndex() < 0)
        return std::nullopt;
    const QVariant d = combo->itemData(combo->currentIndex());
    bool ok = false;
    const int v = d.toInt(&ok);
    if (!d.isValid() || !ok)
        return std::nullopt;
    return v;
}

// The window's busy cursor while the page starts monitoring.
class BusyCursor
{
public:
    explicit BusyCursor(MonitoringWindow *window) : m_window(window)
    {
        if (m_window)
            m_window->showBusyCursor(true);
    }
    ~BusyCursor()
    {
        if (m_window)
            m_window->showBusyCursor(false);
    }

private:
    MonitoringWindow *m_window;
};

} // namespace

// --- configuration values ------------------------------------------------------

std::optional<qint32> ParamsConfig::parameterValue(const QString &name) const
{
    if (!m_params)
        return std::nullopt;
    const std::shared_ptr<params::cParamBase> p = m_params->ParameterAllByName(name);
    if (!p || !p->Available())
        return std::nullopt;
    if (auto c = std::dynamic_pointer_cast<params::cParamComboBox>(p))
        return c->Value();
    if (auto t = std::dynamic_pointer_cast<params::cParamTextBox>(p))
        return t->Value();
    return std::nullopt;
}

// --- cMonitoring -------------------------------------------------------------------

cMonitoring::cMonitoring(MonitoringWindow *window, const MonitoringConnection &connection,
                         const MonitoringConfig *config, QObject *parent)
    : QObject(parent), m_window(window), m_conn(connection), m_config(config), m_points(new cMonitorPoints(this))
{
    m_points->setObjectServer(connection.objectServer);
    connect(m_points, &cMonitorPoints::NvUpdate, this, &cMonitoring::mobjMonitorPoints_NvUpdate);
    connect(m_points, &cMonitorPoints::CommunicationFailed, this, &cMonitoring::mobjMonitorPoints_CommunicationFailed);
}

cMonitoring::~cMonitoring() = default;

ControlState *cMonitoring::ctl(const char *array, int index) const
{
    return m_window ? m_window->control(QString::fromLatin1(array), index) : nullptr;
}

std::optional<qint32> cMonitoring::config(const QString &name) const
{
    return m_config ? m_config->parameterValue(name) : std::nullopt;
}

void cMonitoring::FetchNVs()
{
    if (m_fetched)
        return;
    platform::traceEntry(QStringLiteral("[%1] Public Sub FetchNVs()").arg(kModule));

    // Each step may be repeated, skipped, or end the fetch or the program,
    // as the error logger answers.
    enum class Outcome { Next, Leave, End };
    auto run = [&](const std::function<void()> &step) -> Outcome {
        for (int attempt = 0;; ++attempt) {
            try {
                step();
                return Outcome::Next;
            } catch (const std::exception &e) {
                const auto *lns = dynamic_cast<const lns::LnsError *>(&e);
                const int action = platform::TraceLog::instance().logError(
                    kModule, QStringLiteral("FetchNVs"), lns ? lns->number() : 0,
                    lns ? lns->description() : QString::fromUtf8(e.what()));
                switch (action) {
                case platform::EA_Repeat:
                    if (attempt + 1 < kMaxRepeats)
                        continue;
                    return Outcome::Leave;
                case platform::EA_Continue:
                    return Outcome::Next;
                case platform::EA_End:
                    return Outcome::End;
                default:
                    return Outcome::Leave;
                }
            }
        }
    };

    for (const NvMonitorSetting &s : monitoredNvs()) {
        lns::NetworkVariablePtr nv;
        bool found = false;
        cMonitorPoint *point = nullptr;
        std::vector<std::function<void()>> steps;
        steps.push_back([&] {
            found = false;
            try {
                nv = lns::FetchNv(s.name, lns::kNvSection, m_conn.templateContext, m_conn.lonMarkObject, &found);
            } catch (const lns::LnsError &e) {
                // The template names it, but the device has no such NV: the
                // point is added unavailable like one the template lacks.
                if (e.number() != lns::ErrIndexOutOfRange)
                    throw;
                trace(QStringLiteral("%1 is not on the device: %2").arg(s.name, e.description()));
                found = false;
            }
            if (!found)
                nv.reset();
        });
        steps.push_back([&] { point = m_points->AddMonitorPoint(s.name, found ? nv : nullptr, 0); });
        steps.push_back([&] {
            if (!point || !found)
                return;
            if (s.setReportByException)
                point->setReportByException(true);
        });
        steps.push_back([&] {
            if (point && found && s.monitoringType != 0)
                point->setMonitoringType(s.monitoringType);
        });
        steps.push_back([&] {
            if (point && found && s.pollInterval >= 0)
                point->setPollInterval(s.pollInterval);
        });
        steps.push_back([&] {
            if (point && found && s.format)
                point->setFormat(*s.format);
        });
        steps.push_back([&] {
            if (point && found && s.clearOption)
                point->setMonitorOption(0);
        });
        for (const auto &step : steps) {
            switch (run(step)) {
            case Outcome::Next:
                break;
            case Outcome::Leave:
                return;
            case Outcome::End:
                if (m_conn.endProgram)
                    m_conn.endProgram();
                return;
            }
        }
    }
    m_fetched = true;
}

void cMonitoring::SetMonitoring(bool activate)
{
    const QString proc = QStringLiteral("SetMonitoring");
    platform::traceEntry(QStringLiteral("[%1] Public Sub SetMonitoring(%2)").arg(kModule, activate ? QStringLiteral("True") : QStringLiteral("False")));
    if (!activate) {
        m_on = false;
        resumeNext(proc, {
            [&] { m_points->DeactivateMonitoring(); },
            [&] {
                for (int i : {1, 9}) {
                    setBox(ctl("ComboBox", i), false);
                    clearSelection(ctl("ComboBox", i));
                }
            },
            [&] {
                for (int i : {34, 13, 12, 14, 15, 16, 17, 18, 19}) {
                    setBox(ctl("TextBox", i), false);
                    setText(ctl("TextBox", i), QString());
                }
            },
            [&] {
                for (int i : {0, 3}) {
                    if (ControlState *b = ctl("cmdButton", i))
                        b->setEnabled(false);
                }
            },
        });
        return;
    }

    BusyCursor busy(m_window);
    m_on = true;
    auto activateAndForce = [&](const QString &name) {
        m_points->GetMonitorPointByName(name)->ActivateMonitoring();
        m_points->ForceNvUpdate(name);
    };
    resumeNext(proc, {
        [&] { FetchNVs(); },
        [&] {
            if (ControlState *l = ctl("Label", 30))
                l->setVisible(m_window->parametersChanged());
        },
        [&] { activateAndForce(kNvUnitStatus); },
        [&] { setBox(ctl("ComboBox", 1), true); },
        [&] {
            const QString mode = unitStatusModeName(m_points->GetMonitorPointByName(kNvUnitStatus)->BufferedValue());
            const int item = modeItem(mode);
            if (item > 0)
                selectListEntry(ctl("ComboBox", 1), item - 1);
        },
        [&] { setBox(ctl("ComboBox", 9), true); },
        [&] {
            if (ControlState *b = ctl("cmdButton", 0))
                b->setEnabled(true);
        },
        [&] { setBox(ctl("TextBox", 34), true); },
        [&] {
            for (int i = kFirstOutputBox; i <= 18; ++i) {
                ControlState *box = ctl("TextBox", i);
                if (params::controlTag(box) == QLatin1String("True"))
                    setBox(box, true);
            }
        },
        [&] {
            ControlState *fan = ctl("TextBox", 18);
            if (!fan || !fan->isEnabled())
                return;
            const std::optional<qint32> levels = config(QStringLiteral("DiscLevels"));
            if (!levels)
                throw std::runtime_error("DiscLevels is not known");
            ControlState *level = ctl("TextBox", 19);
            if (*levels < 1) {
                setBox(level, false);
                setText(level, QString());
            } else {
                setBox(level, true);
            }
        },
        [&] { activateAndForce(kNvEffectSetpt); },
        [&] { setBox(ctl("TextBox", 12), true); },
        [&] { activateAndForce(kNvEffectOccup); },
        [&] { setBox(ctl("TextBox", 13), true); },
        [&] {
            const std::optional<qint32> n =
                occupancyNumber(m_points->GetMonitorPointByName(kNvEffectOccup)->BufferedValue());
            if (!n)
                throw std::runtime_error("effective occupancy is not a number");
            selectListEntry(ctl("ComboBox", 9), *n);
        },
        [&] {
            if (ControlState *b = ctl("cmdButton", 3))
                b->setEnabled(true);
        },
        [&] { activateAndForce(kNvOaWindow); },
        [&] { activateAndForce(kNvEnergyHoldOff); },
    });
}

DecodeInputs cMonitoring::decodeInputs() const
{
    DecodeInputs in;
    for (int i = 0; i < kOutputBoxes; ++i)
        in.outputAvailable[i] = params::controlTag(ctl("TextBox", kFirstOutputBox + i)) == QLatin1String("True");
    in.discLevels = config(QStringLiteral("DiscLevels"));
    in.settingHystHighFunction = config(QStringLiteral("SettingHystHighFunction"));
    in.settingHystHighLevel = config(QStringLiteral("SettingHystHighLevel"));
    cMonitorPoint *status = m_points->findPoint(kNvUnitStatus);
    lns::NetworkVariablePtr nv = status ? status->NetworkVariable() : nullptr;
    in.readUnitStatusField = [nv](const QString &field) -> QString {
        if (!nv)
            throw std::runtime_error("unit status is not available");
        const lns::NvFieldPtr f = nv->field(field);
        if (!f)
            throw std::runtime_error("no such field");
        return f->value();
    };
    return in;
}

void cMonitoring::mobjMonitorPoints_NvUpdate(const QString &monitorPointName, const QString &value)
{
    try {
        const PageChange change = decodeUpdate(monitorPointName, value, decodeInputs());
        for (const QString &s : change.skipped)
            trace(QStringLiteral("[%1] update of %2: %3").arg(kModule, monitorPointName, s));
        applyChange(change);
        ++m_decoded;
        Q_EMIT updateShown(monitorPointName, value);
    } catch (const std::exception &e) {
        trace(QStringLiteral("[%1] update of %2 dropped: %3").arg(kModule, monitorPointName, QString::fromUtf8(e.what())));
    }
}

void cMonitoring::applyChange(const PageChange &change)
{
    for (auto it = change.texts.constBegin(); it != change.texts.constEnd(); ++it)
        setText(ctl("TextBox", it.key()), it.value());
    if (!m_window)
        return;
    if (change.nightPurge)
        m_window->SetNightPurgeIndicator(*change.nightPurge);
    if (change.energyHoldOff)
        m_window->SetEnergyHoldOffIndicator(*change.energyHoldOff);
    if (change.frostAlarm)
        m_window->SetFrostAlarmIndicator(*change.frostAlarm);
}

void cMonitoring::mobjMonitorPoints_CommunicationFailed(cMonitorPoint *)
{
    platform::messages().show(platform::MsgIcon::Exclamation, m_window ? m_window->caption() : QString(),
                              gLoadResString(1528));
}

bool cMonitoring::SendApplicationMode()
{
    platform::traceEntry(QStringLiteral("[frmMain] Private Sub cmdButton_Click(0)"));
    const std::optional<int> data = selectedItemData(ctl("ComboBox", 1));
    const std::optional<QString> text = data ? applicModeCommand(*data) : std::nullopt;
    if (!text) {
        trace(QStringLiteral("no application mode selected: nothing sent"));
        return false;
    }
    cMonitorPoint *p = m_points->findPoint(kNvApplicMode);
    if (!p || !p->Available()) {
        // Nothing to write to: told like a failed write.
        mobjMonitorPoints_CommunicationFailed(p);
        return false;
    }
    p->setValue(*text);
    return true;
}

bool cMonitoring::SendOccupancy()
{
    platform::traceEntry(QStringLiteral("[frmMain] Private Sub cmdButton_Click(3)"));
    const std::optional<int> data = selectedItemData(ctl("ComboBox", 9));
    const std::optional<QString> text = data ? occupancyCommand(*data) : std::nullopt;
    if (!text) {
        trace(QStringLiteral("no occupancy selected: nothing sent"));
        return false;
    }
    cMonitorPoint *p = m_points->findPoint(kNvOccSchedule);
    if (!p || !p->Available()) {
        mobjMonitorPoints_CommunicationFailed(p);
        return false;
    }
    // A failed field write raises CommunicationFailed (message 1528).
    return p->SetElementValue(kOccScheduleField, *text);
}

void cMonitoring::connectCommandButtons()
{
    if (ControlState *b = ctl("cmdButton", 0))
        connect(b, &ControlState::clicked, this, [this] { SendApplicationMode(); });
    if (ControlState *b = ctl("cmdButton", 3))
        connect(b, &ControlState::clicked, this, [this] { SendOccupancy(); });
}

// --- outputs and start -------------------------------------------------------------

void MarkMonitoringOutputs(MonitoringWindow &window, int ctrlType, int appMode)
{
    const auto tags = outputAvailability(ctrlType, appMode);
    for (int i = 0; i < kOutputBoxes; ++i) {
        if (tags[i])
            params::setControlTag(window.control(QStringLiteral("TextBox"), kFirstOutputBox + i),
                                  *tags[i] ? QStringLiteral("True") : QStringLiteral("False"));
    }
}

bool StartControlCommand(cMonitoring &monitoring, const ControlStart &start)
{
    try {
        if (start.readReducedParameters)
            start.readReducedParameters();
    } catch (const std::exception &e) {
        trace(QStringLiteral("[%1] reading the parameters failed: %2").arg(kModule, QString::fromUtf8(e.what())));
    }
    if (start.ctrlType != 3 && start.ctrlType != 4) {
        if (start.statusText)
            start.statusText(gLoadResString(1552));
        int running = -1;
        try {
            if (start.runningApplication)
                running = start.runningApplication();
        } catch (const std::exception &e) {
            trace(QStringLiteral("[%1] the running application cannot be told: %2").arg(kModule, QString::fromUtf8(e.what())));
            running = -1;
        }
        if (running != -1 && running != start.currentApplication) {
            platform::messages().show(platform::MsgIcon::Exclamation, start.messageTitle, gLoadResString(1250));
            if (start.endPlugIn)
                start.endPlugIn();
            return false;
        }
    }
    monitoring.SetMonitoring(false);
    return true;
}

} // namespace monitoring
