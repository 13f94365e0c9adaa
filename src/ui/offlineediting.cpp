#include "offlineediting.h"

#include "configurationbinding.h"
#include "frmmain.h"

#include <headless/displaysteps.h>
#include <host/hoststate.h>
#include <lns/offlinedevice.h>
#include <model/pagemodel.h>
#include <model/pagetable.h>
#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>
#include <platform/version.h>

namespace ui {

namespace {

constexpr int kTextChangedQuestion = 1812;
constexpr int kTextTemplateFault = 1813;
constexpr int kTextOfflineTitle = 1814;
constexpr int kColorBlue = 16711680;

// The pages as the window without a device showed them before the first
// template was chosen: the page logic of one template sets what that of
// another may leave alone, so the pages start from it for every template.
// Unlike the page model's own reset, the window's connections to the
// controls stay, and the tabs come back too.
class PageDesign : public QObject
{
public:
    explicit PageDesign(frmMain &w) : QObject(&w)
    {
        setObjectName(QStringLiteral("offlinePageDesign"));
        for (model::ControlState *c : w.pageModel()->controls())
            m_states.insert(c, c->values());
        const FrmMainConfigPort port(w);
        for (const model::TabDesign &t : model::tabTable())
            if (port.tabVisible(t.page))
                m_tabs << t.page;
    }
    static PageDesign &of(frmMain &w)
    {
        auto *d = w.findChild<PageDesign *>(QStringLiteral("offlinePageDesign"), Qt::FindDirectChildrenOnly);
        return d ? *d : *new PageDesign(w);
    }
    // Lists lose the items a registry put in; the new registry and the
    // window fill them again.
    void restore(frmMain &w) const
    {
        // Tabs the page logic hid come back at their designed place.
        FrmMainConfigPort port(w);
        for (int key : m_tabs)
            port.showTab(key);
        model::PageModel &page = *w.pageModel();
        for (model::ControlState *c : page.controls()) {
            const auto it = m_states.constFind(c);
            if (it == m_states.constEnd())
                continue;
            if (c->kind() == model::ControlKind::ComboBox)
                c->clear();
            else
                c->setText(it->text);
            c->setMaxLength(it->maxLength);
            c->setEnabled(it->enabled);
            c->setReadOnly(it->readOnly);
            c->setVisible(it->visible);
            c->setTextColor(it->textColor);
            if (c->kind() == model::ControlKind::CheckBox || c->kind() == model::ControlKind::OptionButton)
                c->setChecked(it->checkState != Qt::Unchecked);
        }
    }

private:
    QHash<model::ControlState *, model::ControlValues> m_states;
    QList<int> m_tabs;
};

} // namespace

QString offlineTemplateName()
{
    const host::HostState &s = host::state();
    if (!lns::isOfflineDevice(s.conn.device) || !s.conn.deviceTemplate)
        return QString();
    return s.conn.deviceTemplate->name();
}

bool openOfflineTemplate(frmMain &w, const QString &templateName)
{
    platform::traceEntry(QStringLiteral("[frmMain] Private Sub OpenOfflineTemplate()"));
    host::HostState &s = host::state();
    if (w.parametersChanged()) {
        const int answer = platform::messages().show(platform::MsgIcon::Question, w.caption(),
                                                     gLoadResString(kTextChangedQuestion), platform::MB_YesNo,
                                                     platform::ANS_No);
        if (answer != platform::ANS_Yes)
            return false;
    }
    lns::OfflineConnection offline;
    try {
        offline = lns::makeOfflineDevice(s.ini, templateName);
    } catch (const lns::LnsError &e) {
        platform::TraceLog::instance().logError(QStringLiteral("frmMain"), QStringLiteral("OpenOfflineTemplate"),
                                                e.number(), e.description());
        platform::messages().show(platform::MsgIcon::Critical, w.caption(),
                                  platform::fillPlaceholders(gLoadResString(kTextTemplateFault),
                                                             {templateName, e.description()}));
        return false;
    }

    // The in-memory controller becomes the connection the pages work on.
    s.conn.device = offline.device;
    s.conn.object = offline.object;
    s.conn.lonMarkObjects = offline.device->lonMarkObjects();
    s.conn.deviceTemplate = offline.deviceTemplate;
    s.conn.system = offline.system;
    s.objectName = offline.object->name();
    s.accessCacheValid = false;

    const QString title = platform::fillPlaceholders(gLoadResString(kTextOfflineTitle), {templateName});
    w.setWindowTitle(platform::kProductName + QStringLiteral(" - ") + title);
    w.LogLine(QString());
    w.LogLine(title, kColorBlue, true);

    // The display steps of the configuration command on the new set, on
    // the pages as designed.
    model::PageModel &page = *w.pageModel();
    PageDesign &design = PageDesign::of(w);
    dropConfiguration(w);
    design.restore(w);
    headless::setFamilyCaptions(page, w.ctrlType());
    configuration::cConfiguration *config = startConfigurationAfresh(w);
    for (int i = 0; i <= 9; ++i)
        w.FillComboBox(i);
    config->startUpDisplay();
    w.setApplyEnabled(false);
    w.setParametersChanged(false);
    w.tool(QStringLiteral("OpenFile"))->setEnabled(true);
    w.tool(QStringLiteral("SaveFile"))->setEnabled(true);
    w.markTemplateTool(templateName);
    // The page logic may have hidden or shown tabs: show the strip again.
    if (w.navigationBar()->count() > 0)
        w.navigationButtonClick(0);
    if (w.errorsLogged())
        w.ShowLogger();
    w.setErrorsLogged(false);
    w.setStatusText(gLoadResString(1517));
    return true;
}

void bindOfflineEditing(frmMain &window)
{
    window.commandHooks().chooseTemplate = [](frmMain &w, const QString &name) { openOfflineTemplate(w, name); };
}

} // namespace ui
