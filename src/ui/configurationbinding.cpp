#include "configurationbinding.h"
#include "copyrun.h"
#include "offlineediting.h"
#include "parameterfiles.h"
#include "reportmenu.h"

#include "frmmain.h"
#include "historywindow.h"
#include "resyncwindow.h"

#include <headless/displaysteps.h>
#include <host/hoststate.h>
#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>

#include <QApplication>

#include <algorithm>

namespace ui {

namespace {

// Owns the port and the configuration object, as a child of the window.
class ConfigurationHolder : public QObject
{
public:
    explicit ConfigurationHolder(frmMain &window) : QObject(&window), port(window)
    {
        setObjectName(QStringLiteral("configurationHolder"));
        config = new configuration::cConfiguration(&port, this);
    }
    FrmMainConfigPort port;
    configuration::cConfiguration *config = nullptr;
};

// Asked when another session changed a CP since the pages read it.
constexpr int kTextChangedSinceRead = 1953;

// A write the object server refused because another session changed a CP
// since the pages read it: the user writes over that change, reads the
// controller again (the edits are dropped), or leaves everything as it is.
bool writeOverOrReadAgain(frmMain &w, configuration::cConfiguration &c, int traceFrom, bool written)
{
    const QVector<platform::TracedError> errors = platform::tracedErrorsSince(traceFrom);
    const auto refusal = std::find_if(errors.cbegin(), errors.cend(), [](const platform::TracedError &e) {
        return e.number == lns::ErrChangedSince;
    });
    const lns::SystemPtr system = host::state().conn.system;
    if (refusal == errors.cend() || !system)
        return written;
    const int answer = platform::messages().show(
        platform::MsgIcon::Exclamation, w.caption(),
        platform::fillPlaceholders(gLoadResString(kTextChangedSinceRead), {refusal->description}),
        platform::MB_YesNoCancel, platform::ANS_Cancel);
    if (answer == platform::ANS_Yes) {
        system->setOverwriteChanges(true);
        const bool again = c.WriteParameters();
        system->setOverwriteChanges(false);
        return again;
    }
    if (answer == platform::ANS_No) {
        // The controller's values were chosen over the edits: nothing to ask.
        w.setParametersChanged(false);
        c.ReadParameters();
    }
    return written;
}

} // namespace

void FrmMainConfigPort::LogLine(const QString &text, int color, bool bold, bool withTime, int blankLinesAfter)
{
    m_w.LogLine(text, color, bold, withTime, blankLinesAfter);
}
QString FrmMainConfigPort::caption() const { return m_w.caption(); }
model::ControlState *FrmMainConfigPort::control(const QString &arrayName, int index) const
{
    return m_w.modelControl(arrayName, index);
}
void FrmMainConfigPort::setStatusText(const QString &text) { m_w.setStatusText(text); }
QString FrmMainConfigPort::statusText() const { return m_w.statusText(); }
void FrmMainConfigPort::setStatusAlert(const QString &text) { m_w.setStatusAlert(text); }
bool FrmMainConfigPort::parametersChanged() const { return m_w.parametersChanged(); }
void FrmMainConfigPort::setParametersChanged(bool changed) { m_w.setParametersChanged(changed); }
bool FrmMainConfigPort::errorsLogged() const { return m_w.errorsLogged(); }
void FrmMainConfigPort::setErrorsLogged(bool logged) { m_w.setErrorsLogged(logged); }
bool FrmMainConfigPort::valueLoading() const { return m_w.valueLoading(); }
void FrmMainConfigPort::setValueLoading(bool on) { m_w.setValueLoading(on); }
void FrmMainConfigPort::setApplyEnabled(bool enabled) { m_w.setApplyEnabled(enabled); }
bool FrmMainConfigPort::applyEnabled() const { return m_w.applyEnabled(); }
bool FrmMainConfigPort::forceAppDownload() const { return m_w.forceAppDownload(); }
void FrmMainConfigPort::ShowLogger() { m_w.ShowLogger(); }
int FrmMainConfigPort::ctrlType() const { return m_w.ctrlType(); }

model::ControlState *FrmMainConfigPort::namedControl(const QString &name) const
{
    return m_w.pageModel() ? m_w.pageModel()->named(name) : nullptr;
}

void FrmMainConfigPort::showTab(int keyNo)
{
    const QString key = QStringLiteral("KEY:") + QString::number(keyNo);
    for (int i = 0; i < 2; ++i)
        if (cTabStrip *strip = m_w.tabStripRecord(i))
            if (strip->Tabs()->ItemByKey(key))
                strip->Tabs()->ShowTabByKeyNo(keyNo);
}

void FrmMainConfigPort::hideTab(int keyNo)
{
    const QString key = QStringLiteral("KEY:") + QString::number(keyNo);
    for (int i = 0; i < 2; ++i)
        if (cTabStrip *strip = m_w.tabStripRecord(i))
            if (strip->Tabs()->ItemByKey(key))
                strip->Tabs()->HideTabByKeyNo(keyNo);
}

bool FrmMainConfigPort::tabVisible(int keyNo) const
{
    const QString key = QStringLiteral("KEY:") + QString::number(keyNo);
    for (int i = 0; i < 2; ++i)
        if (TabStrip *strip = m_w.tabStrip(i))
            if (strip->indexOfKey(key) >= 0)
                return true;
    return false;
}

void FrmMainConfigPort::setBusy(bool busy)
{
    if (busy) {
        if (m_busy++ == 0) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            m_w.setEnabled(false);
        }
    } else if (m_busy > 0 && --m_busy == 0) {
        QApplication::restoreOverrideCursor();
        m_w.setEnabled(true);
    }
}

void bindConfiguration(frmMain &window)
{
    frmMain::CommandHooks &hooks = window.commandHooks();
    auto otherStart = hooks.startCommand;
    hooks.startCommand = [otherStart](frmMain &w) {
        if (host::state().commandIndex != host::kCmdConfiguration)
            return otherStart ? otherStart(w) : true;
        auto *holder = dynamic_cast<ConfigurationHolder *>(
            w.findChild<QObject *>(QStringLiteral("configurationHolder"), Qt::FindDirectChildrenOnly));
        if (!holder)
            holder = new ConfigurationHolder(w);
        headless::startConfigurationCommand(*holder->config);
        return true;
    };
    hooks.setControls = [](frmMain &w) {
        if (auto *c = configurationOf(w))
            c->startUpDisplay();
    };
    hooks.writeParameters = [](frmMain &w) {
        auto *c = configurationOf(w);
        if (!c)
            return false;
        const int traceFrom = int(platform::TraceLog::instance().recent().size());
        const bool written = c->WriteParameters();
        return c->lastWriteSteps().paramsWritten ? written : writeOverOrReadAgain(w, *c, traceFrom, written);
    };
    hooks.readParameters = [](frmMain &w) {
        if (auto *c = configurationOf(w))
            c->ReadParameters();
    };
    bindParameterFiles(window);
    bindCopyRun(window);
    bindReportMenu(window);
    bindHistoryMenu(window);
    bindOfflineEditing(window);
    bindResyncMenu(window);
}

void dropConfiguration(frmMain &window)
{
    // The registry lets go of the page controls with its objects.
    delete window.findChild<QObject *>(QStringLiteral("configurationHolder"), Qt::FindDirectChildrenOnly);
}

configuration::cConfiguration *startConfigurationAfresh(frmMain &window)
{
    dropConfiguration(window);
    auto *holder = new ConfigurationHolder(window);
    headless::startConfigurationCommand(*holder->config);
    return holder->config;
}

configuration::cConfiguration *configurationOf(const frmMain &window)
{
    auto *holder = dynamic_cast<ConfigurationHolder *>(
        window.findChild<QObject *>(QStringLiteral("configurationHolder"), Qt::FindDirectChildrenOnly));
    return holder ? holder->config : nullptr;
}

} // namespace ui
