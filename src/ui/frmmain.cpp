#include "frmmain.h"

#include "infowindows.h"
#include "pages.h"

#include <headless/displaysteps.h>
#include <host/connection.h>
#include <host/startup.h>
#include <lns/templatelookup.h>
#include <platform/messages.h>
#include <platform/registry.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>
#include <platform/version.h>

#include <QApplication>
#include <algorithm>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLayout>
#include <QMenuBar>
#include <QStyle>
#include <QRegularExpression>

namespace ui {

namespace {

bool g_helpComponentAvailable = true;

// The sub-menu of device templates of the window without a device, and the
// prefix of its tools' names (followed by the template name).
constexpr const char *kTemplateBand = "DeviceTemplate";
const QString kTemplateToolPrefix = QStringLiteral("Template:");

const QString kSettings = QStringLiteral("Settings");
const QString kAppModeRecord = QStringLiteral("9726A01-27422_Qrt_AppMode");

// The menu model: band, tool, caption id and item ("" band = menu bar).
struct MenuTool
{
    const char *band;
    const char *tool;
    int id;
    int item;
};

const MenuTool kMenuTools[] = {
    {"", "File", 1370, 1},
    {"", "Extras", 1370, 3},
    {"", "Help", 1370, 2},
    {"File", kTemplateBand, 1810, 1},
    {"File", "OpenFile", 1371, 1},
    {"File", "SaveFile", 1371, 2},
    {"File", "FileSeperator", 0, 0},
    {"File", "ReadParameters", 1371, 3},
    {"File", "WriteParameters", 1371, 4},
    {"File", "SpreadParameters", 1371, 5},
    {"File", "Report", 1740, 1},
    {"File", "History", 1807, 1},
    {"File", "Resync", 1933, 1},
    {"File", "ParameterSeperator", 0, 0},
    {"File", "Language", 1371, 6},
    {"Language", "German", 1373, 1},
    {"Language", "English", 1373, 2},
    {"File", "Quit", 1371, 7},
    {"Help", "Manual", 1372, 1},
    {"Help", "AppDoc", 1372, 2},
    {"Help", "DeviceInfo", 1372, 3},
    {"Help", "About", 1372, 4},
    {"Extras", "ForceAppDownload", 1375, 1},
    {"-", "Logger", 1380, 1},
    {"-", "Trend", 1963, 1},
};

// Tools of the band "File" that the window without a device offers too: a
// parameter set of a chosen device template is loaded and saved there.
const char *const kOfflineTools[] = {"OpenFile", "SaveFile", "FileSeperator"};

// Tools of the band "File" that only the configuration command offers.
const char *const kConfigurationTools[] = {"OpenFile",        "SaveFile",         "FileSeperator",     "ReadParameters",
                                           "WriteParameters", "SpreadParameters", "Report",          "History",         "Resync",
                                           "ParameterSeperator"};

// The indicators: dark and bright colour of night purge, energy hold off
// and frost alarm.
const QColor kIndicatorDark[] = {QColor(0, 128, 0), QColor(128, 128, 0), QColor(128, 0, 0)};
const QColor kIndicatorBright[] = {QColor(0, 255, 0), QColor(255, 255, 0), QColor(255, 0, 0)};

// A stored position value: a whole number of twips. Text that does not
// start with a number cannot be read and counts as "-1" (not stored), so a
// damaged value never throws the window to the corner of the screen.
int positionValue(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*-?\\d+"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return -1;
    bool ok = false;
    const int v = m.captured(0).trimmed().toInt(&ok);
    return ok ? v : -1;
}

} // namespace

// The display steps on this window: the hooks of the command and the
// window's own parts.
class FrmMainDisplay : public headless::DisplayView
{
public:
    explicit FrmMainDisplay(frmMain &w) : m_w(w) {}
    model::PageModel &pageModel() override { return *m_w.pageModel(); }
    int ctrlType() const override { return m_w.ctrlType(); }
    bool startCommand() override { return !m_w.m_hooks.startCommand || m_w.m_hooks.startCommand(m_w); }
    void setControls() override
    {
        if (m_w.m_hooks.setControls)
            m_w.m_hooks.setControls(m_w);
    }
    void markMonitoringOutputs() override
    {
        if (m_w.m_hooks.markMonitoringOutputs)
            m_w.m_hooks.markMonitoringOutputs(m_w);
    }
    void setApplyEnabled(bool enabled) override { m_w.setApplyEnabled(enabled); }
    void setParametersChanged(bool changed) override { m_w.setParametersChanged(changed); }
    void openFirstPage() override
    {
        if (m_w.m_nav->count() > 0) {
            m_w.m_nav->select(0);
            m_w.navigationButtonClick(0);
        }
    }
    bool errorsLogged() const override { return m_w.errorsLogged(); }
    void setErrorsLogged(bool logged) override { m_w.setErrorsLogged(logged); }
    void ShowLogger() override { m_w.ShowLogger(); }
    void showView() override
    {
        m_w.m_displayed = true;
        m_w.show();
    }
    bool statusIsAlert() const override { return m_w.statusIsAlert(); }
    void setStatusText(const QString &text) override { m_w.setStatusText(text); }
    void LogStamped(const QString &text) override { m_w.LogStamped(text, frmMain::kBlack); }

private:
    frmMain &m_w;
};

frmMain::frmMain()
{
    setObjectName(QStringLiteral("frmMain"));
    setControlTag(this, QStringLiteral("0"));
    // The menu bar's own customisation (the tool bar context menu) is not
    // offered.
    setContextMenuPolicy(Qt::NoContextMenu);
    buildMenu();
    buildClient();
    m_loggerWindow = new LoggerWindow(this);
    for (int i = 0; i < 3; ++i) {
        auto *t = new QTimer(this);
        t->setInterval(350);
        t->setObjectName(QStringList{QStringLiteral("tmrNightPurgeIndicator"), QStringLiteral("tmrEnergyHoldOffIndicator"),
                                     QStringLiteral("tmrFrostAlarmIndicator")}
                             .at(i));
        connect(t, &QTimer::timeout, this, [this, i] { indicatorTick(i); });
        m_indicatorTimers[i] = t;
    }
    formLoad();
}

frmMain::~frmMain() = default;

void frmMain::buildMenu()
{
    m_activeBar = new ActiveBar(menuBar());
    for (const MenuTool &t : kMenuTools) {
        const QString band = QString::fromLatin1(t.band);
        const QString name = QString::fromLatin1(t.tool);
        if (band.isEmpty()) {
            m_activeBar->addBand(name);
        } else if (name == QLatin1String("Language") || name == QLatin1String(kTemplateBand)) {
            m_activeBar->addBand(name, m_activeBar->band(band));
        } else if (name.endsWith(QLatin1String("Seperator"))) {
            m_activeBar->addSeparator(name, m_activeBar->band(band));
        } else {
            m_activeBar->addTool(name, band == QLatin1String("-") ? nullptr : m_activeBar->band(band));
        }
    }
    tool(QStringLiteral("ForceAppDownload"))->setCheckable(true);
    // Shown by setupForCommand under the control command.
    tool(QStringLiteral("Trend"))->setVisible(false);
    tool(QStringLiteral("Manual"))->setShortcut(QKeySequence(Qt::Key_F1));
    tool(QStringLiteral("Manual"))->setShortcutContext(Qt::WidgetShortcut); // F1 itself is handled by keyPressEvent
    connect(m_activeBar, &ActiveBar::toolClick, this, &frmMain::menuToolClick);
}

void frmMain::buildClient()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);

    m_nav = new NavigationBar(m_client);
    m_nav->setGroupCaption(gLoadResString(1000));
    for (const headless::NavigationButtonDesign &b : headless::navigationDesign())
        m_nav->addButton(QString::number(b.key), QString::number(b.captionId), gLoadResString(b.captionId));
    connect(m_nav, &NavigationBar::buttonClicked, this, &frmMain::navigationButtonClick);

    for (int i = 0; i < 2; ++i) {
        auto *strip = new TabStrip(m_client);
        strip->setObjectName(QStringLiteral("TabStrip") + QString::number(i));
        strip->setProperty("ArrayIndex", i);
        m_tabStrips[i] = strip;
        m_arrays.insert(strip->objectName(), strip);
        connect(strip, &TabStrip::clicked, this, [this, i] { tabStripClick(i); });
    }
    // The designed tabs of both strips.
    for (const model::TabDesign &t : model::tabTable())
        m_tabStrips[t.strip]->addTab(QString(), QStringLiteral("KEY:") + QString::number(t.page), QString(),
                                     QString::number(t.captionId) + QStringLiteral("/0"));

    for (int i = 0; i < 10; ++i) {
        auto *frame = new PageFrame(m_client);
        frame->setObjectName(QStringLiteral("QXFrame") + QString::number(i));
        frame->setProperty("ArrayIndex", i);
        m_frames[i] = frame;
        m_arrays.insert(frame->objectName(), frame);
    }
    for (const PageDesign &design : pageTable())
        buildPage(design, m_frames[design.page], m_arrays);
    // The page controls show the page model's state.
    m_model = new model::PageModel(this);
    m_binder = new ControlBinder(this);
    for (model::ControlState *state : m_model->controls()) {
        QWidget *w = m_arrays.value(state->objectName());
        if (!w)
            w = m_client->findChild<QWidget *>(state->objectName());
        m_binder->bind(state, w);
    }
    m_logBox = m_frames[9]->findChild<LogBox *>(QStringLiteral("QxLogBox"));

    m_buttonLine = new ButtonLine(m_client);
    connect(m_buttonLine, &ButtonLine::buttonClicked, this, &frmMain::buttonLineClick);

}

void frmMain::formLoad()
{
    platform::traceEntry(QStringLiteral("[frmMain] Private Sub Form_Load()"));
    m_loaded = true;
    const host::HostState &s = host::state();

    // Position in twips; "-1" leaves the window where the platform puts it.
    const int top = positionValue(platform::Registry::read(s.productKey, kSettings, QStringLiteral("Top"),
                                                           QStringLiteral("-1")));
    const int left = positionValue(platform::Registry::read(s.productKey, kSettings, QStringLiteral("Left"),
                                                            QStringLiteral("-1")));
    if (top != -1 || left != -1) {
        QPoint p = pos();
        if (top != -1)
            p.setY(twipsToPixels(top));
        if (left != -1)
            p.setX(twipsToPixels(left));
        move(p);
    }

    loadControlCaptions(this, s.tooltipsFlag);
    // The page controls show the captions the model loads.
    m_model->loadCaptions();
    loadResStringsToMenu();
    m_buttonLine->setButtonCaption(ButtonLine::OK, gLoadResString(1374, 1));
    m_buttonLine->setButtonCaption(ButtonLine::Cancel, gLoadResString(1374, 2));
    m_buttonLine->setButtonCaption(ButtonLine::Apply, gLoadResString(1374, 3));
    tool(QStringLiteral("Extras"))->setText(gLoadResString(1370, 3));
    tool(QStringLiteral("ForceAppDownload"))->setText(gLoadResString(1375, 1));

    for (int i = 0; i < m_nav->count(); ++i)
        m_nav->setButtonCaption(i, gLoadResString(platform::leadingInt32(m_nav->buttonAt(i).tag)));
    m_loggerWindow->setWindowTitle(gLoadResString(1380));

    if (s.commandIndex == host::kCmdStandAlone || s.deviceName.isEmpty())
        setWindowTitle(platform::kProductName);
    else
        setWindowTitle(s.connectionTitle());

    // Until Display lays the window out again, the design layout.
    styleWindow(kPageHeightTwips, 2, kPageWidthTwips);
}

void frmMain::loadResStringsToMenu()
{
    for (const MenuTool &t : kMenuTools) {
        if (t.id <= 0)
            continue;
        if (QAction *a = tool(QString::fromLatin1(t.tool)))
            a->setText(gLoadResString(t.id, t.item));
    }
}

void frmMain::setupForCommand(int commandIndex)
{
    // Menu: the file tools belong to the configuration command only; Extras
    // (forced download) too, and there only for some controller kinds.
    const bool configuration = commandIndex == host::kCmdConfiguration;
    const bool offline = commandIndex == host::kCmdStandAlone && bool(m_hooks.chooseTemplate);
    for (const char *name : kConfigurationTools)
        tool(QString::fromLatin1(name))->setVisible(configuration);
    tool(QString::fromLatin1(kTemplateBand))->setVisible(offline);
    if (offline) {
        for (const char *name : kOfflineTools)
            tool(QString::fromLatin1(name))->setVisible(true);
        addTemplateTools();
        // No parameter set before a template is chosen.
        tool(QStringLiteral("OpenFile"))->setEnabled(false);
        tool(QStringLiteral("SaveFile"))->setEnabled(false);
    }
    if (!configuration)
        tool(QStringLiteral("Extras"))->setVisible(false);
    // The trend view belongs to the controlling page.
    tool(QStringLiteral("Trend"))->setVisible(commandIndex == host::kCmdControl && m_hooks.showTrend);

    // Navigation: record the designed buttons, then remove those the
    // command's mask names.
    m_navRecords.clear();
    for (int i = 0; i < m_nav->count() && i < 5; ++i)
        m_navRecords << NavRecord{m_nav->buttonAt(i).key, m_nav->buttonAt(i).tag, m_nav->buttonAt(i).caption};
    const int mask = headless::navigationMask(commandIndex);
    for (int i = m_nav->count() - 1; i >= 0; --i)
        if (headless::navigationRemoves(mask, platform::leadingInt32(m_nav->buttonAt(i).tag)))
            m_nav->removeButton(i);
}

void frmMain::addTemplateTools()
{
    QMenu *band = m_activeBar->band(QString::fromLatin1(kTemplateBand));
    const platform::IniFile &ini = host::state().ini;
    for (const platform::TemplateEntry &t : ini.templates()) {
        const QString name = kTemplateToolPrefix + t.name;
        if (tool(name))
            continue;
        QAction *a = m_activeBar->addTool(name, band);
        a->setCheckable(true);
        a->setText(platform::fillPlaceholders(
            gLoadResString(1811), {t.name, ini.value(lns::kCpSection, QStringLiteral("CtrlType"), t.name)}));
    }
}

QStringList frmMain::templateToolNames() const
{
    QStringList names;
    for (const QString &n : m_activeBar->toolNames())
        if (n.startsWith(kTemplateToolPrefix))
            names << n;
    return names;
}

void frmMain::markTemplateTool(const QString &templateName)
{
    for (const QString &n : templateToolNames())
        tool(n)->setChecked(n == kTemplateToolPrefix + templateName);
}

int frmMain::ctrlType() const
{
    return headless::templateCtrlType();
}

void frmMain::display()
{
    platform::traceEntry(QStringLiteral("[frmMain] Public Sub Display()"));
    host::HostState &s = host::state();
    try {
        styleWindow(kPageHeightTwips, 2, kPageWidthTwips);
        if (s.conn.objectServer)
            connect(s.conn.objectServer.get(), &lns::ObjectServer::working, this, &frmMain::LNS_Notification,
                    Qt::UniqueConnection);

        // Help files of the template, in the data folder (beside the
        // executable in the build tree).
        const QDir appDir(host::dataFolder());
        const lns::TemplateContext ctx = s.templateContext();
        const QString help = ctx.value(lns::kHelpSection, QStringLiteral("HelpFilePath"));
        m_helpFile = help.isEmpty() ? QString() : appDir.filePath(help);
        tool(QStringLiteral("Manual"))->setEnabled(!m_helpFile.isEmpty() && QFileInfo(m_helpFile).isFile());
        const QString doc = ctx.value(lns::kHelpSection, QStringLiteral("AppDoc"));
        m_appDocFile = doc.isEmpty() ? QString() : appDir.filePath(doc);

        // The forced download exists for controller kinds 1 and 2.
        const int kind = ctrlType();
        tool(QStringLiteral("Extras"))->setVisible(s.commandIndex == host::kCmdConfiguration && (kind == 1 || kind == 2));

        FrmMainDisplay steps(*this);
        if (headless::runDisplaySteps(steps, s.commandIndex))
            Q_EMIT displayed();
    } catch (const std::exception &e) {
        platform::TraceLog::instance().logError(QStringLiteral("frmMain"), QStringLiteral("Display"), 0,
                                                QString::fromUtf8(e.what()));
    }
}

void frmMain::unload()
{
    if (m_unloading)
        return;
    m_unloading = true;
    close();
    m_loaded = false;
    m_unloading = false;
}

void frmMain::stopMonitoring()
{
    for (int i = 0; i < 3; ++i)
        m_indicatorTimers[i]->stop();
    if (m_hooks.stopMonitoring)
        m_hooks.stopMonitoring(*this);
}

bool frmMain::queryUnload()
{
    if (!m_parametersChanged)
        return true;
    const int answer = platform::messages().show(platform::MsgIcon::Question, windowTitle(), gLoadResString(1428, 3),
                                                 platform::MB_YesNo, platform::ANS_No);
    return answer != platform::ANS_No;
}

void frmMain::formUnload()
{
    platform::traceEntry(QStringLiteral("[frmMain] Private Sub Form_Unload(Cancel As Integer)"));
    const host::HostState &s = host::state();
    // A window that was never shown has no position of its own to keep.
    if (m_displayed && !isMinimized()) {
        platform::Registry::write(s.productKey, kSettings, QStringLiteral("Top"), QString::number(pixelsToTwips(y())));
        platform::Registry::write(s.productKey, kSettings, QStringLiteral("Left"), QString::number(pixelsToTwips(x())));
    }
    setStatusText(gLoadResString(1507));
    m_loaded = false;
    m_loggerWindow->close();
    if (m_helpViewer)
        m_helpViewer->close();
    if (m_aboutWindow)
        m_aboutWindow->close();
    if (m_deviceInfoWindow)
        m_deviceInfoWindow->close();
    host::EndApp();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (!m_unloading && !queryUnload()) {
        event->ignore();
        return;
    }
    formUnload();
    event->accept();
}

void frmMain::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1) {
        showHelp(1000 + platform::languageOffset());
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

QColor frmMain::logColor(qint32 c)
{
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

void frmMain::LogLine(const QString &text, qint32 color, bool bold, bool withTime, int blankLinesAfter)
{
    if (color == kRed)
        m_errorsLogged = true;
    if (color == kGreen)
        color = kDarkGreen;
    else if (color == kBlue)
        color = kDarkBlue;
    const QStringList lines = headless::logLines(text, withTime, blankLinesAfter);
    const QColor c = logColor(color);
    for (LogBox *box : {m_logBox, m_loggerWindow->log()}) {
        if (!box)
            continue;
        // The line itself in bold when asked, the blank lines after it not.
        for (int i = 0; i < lines.size(); ++i)
            box->addLine(lines.at(i), c, bold && i == 0);
    }
    update();
}

void frmMain::LogStamped(const QString &text, qint32 color)
{
    const QString line = headless::stampedLine(text);
    const QColor c = logColor(color);
    for (LogBox *box : {m_logBox, m_loggerWindow->log()})
        if (box)
            box->addLine(line, c, false);
}

void frmMain::ShowLogger()
{
    if (m_nav->count() > 0) {
        m_nav->select(0);
        navigationButtonClick(0);
    }
    TabStrip *strip = m_tabStrips[0];
    const int i = strip->indexOfKey(QStringLiteral("KEY:9"));
    if (i >= 0) {
        strip->select(i);
        if (m_currentStrip == strip)
            showPage(9);
    }
}

void frmMain::setStatusText(const QString &text)
{
    m_buttonLine->setStatus(text);
}

QString frmMain::statusText() const
{
    return m_buttonLine->status();
}

void frmMain::setStatusAlert(const QString &text)
{
    m_buttonLine->setStatus(text, true);
}

bool frmMain::statusIsAlert() const
{
    return m_buttonLine->statusIsAlert();
}

QWidget *frmMain::control(const QString &array, int index) const
{
    return m_arrays.value(array + QString::number(index), nullptr);
}

void frmMain::showBusyCursor(bool on)
{
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

QWidget *frmMain::page(int frameIndex) const
{
    return frameIndex >= 0 && frameIndex < 10 ? m_frames[frameIndex] : nullptr;
}

void frmMain::setParametersChanged(bool changed)
{
    m_parametersChanged = changed;
    if (model::ControlState *note = modelControl(QStringLiteral("Label"), 30))
        note->setVisible(changed);
}

void frmMain::setApplyEnabled(bool enabled)
{
    m_buttonLine->button(ButtonLine::Apply)->setEnabled(enabled);
}

bool frmMain::applyEnabled() const
{
    return m_buttonLine->button(ButtonLine::Apply)->isEnabled();
}

void frmMain::FillComboBox(int index)
{
    headless::fillWindowList(*m_model, index, ctrlType());
}

void frmMain::setIndicator(int i, bool active)
{
    if (active) {
        m_indicatorTimers[i]->start();
    } else {
        m_indicatorTimers[i]->stop();
        if (auto *s = control<IndicatorShape>(QStringLiteral("shpButton"), i))
            s->setFillColor(kIndicatorDark[i]);
    }
}

void frmMain::indicatorTick(int i)
{
    quint8 &counter = m_indicatorCounters[i];
    if (counter > 254)
        counter = 0;
    ++counter;
    if (auto *s = control<IndicatorShape>(QStringLiteral("shpButton"), i))
        s->setFillColor(counter % 2 ? kIndicatorDark[i] : kIndicatorBright[i]);
}

void frmMain::SetNightPurgeIndicator(bool active)
{
    setIndicator(0, active);
}

void frmMain::SetEnergyHoldOffIndicator(bool active)
{
    setIndicator(1, active);
}

void frmMain::SetFrostAlarmIndicator(bool active)
{
    setIndicator(2, active);
}

void frmMain::navigationButtonClick(int position)
{
    if (position < 0 || position >= m_nav->count())
        return;
    const int n = platform::leadingInt32(m_nav->buttonAt(position).key);
    if (m_hooks.setMonitoring)
        m_hooks.setMonitoring(*this, n == 1 ? host::DeviceAccessible(nullptr, false) : false);
    showMonitoringState();
    const int pageNo = showTabStrip(n);
    showPage(pageNo);
}

void frmMain::showMonitoringState()
{
    m_monitored = m_hooks.monitoringActive && m_hooks.monitoringActive(*this);
    headless::showMonitoringState(*m_model, bool(m_hooks.setMonitoring), m_monitored);
}

int frmMain::showTabStrip(int n)
{
    const int left = twipsToPixels(1320);
    int pageNo = -1;
    for (int i = 0; i < 2; ++i) {
        TabStrip *strip = m_tabStrips[i];
        if (i == n) {
            m_currentStrip = strip;
            strip->move(left, strip->y());
            strip->setVisible(true);
            strip->setEnabled(true);
            const int sel = strip->selectedIndex();
            pageNo = sel >= 0 ? keyNumber(strip->key(sel)) : -1;
        } else {
            strip->move(twipsToPixels(-200000), strip->y());
            strip->setVisible(false);
            strip->setEnabled(false);
        }
    }
    m_tabStrips[1]->update();
    return pageNo;
}

void frmMain::showPage(int n)
{
    if (!m_currentStrip)
        return;
    const QRect client = m_currentStrip->clientArea();
    const int h = client.height() + twipsToPixels(30);
    const int w = client.width() + twipsToPixels(60);
    for (int i = 0; i < 10; ++i) {
        QWidget *frame = m_frames[i];
        if (i == n) {
            frame->setGeometry(client.left() - twipsToPixels(45), client.top() - twipsToPixels(15), w, h);
        } else {
            frame->setGeometry(twipsToPixels(-200000), frame->y(), w, h);
            frame->setEnabled(false);
            frame->setVisible(false);
        }
    }
    if (n < 0 || n >= 10)
        return;
    QWidget *shown = m_frames[n];
    if (m_logBox && m_logBox->parentWidget() == shown) {
        m_logBox->setGeometry(m_logBox->x(), m_logBox->y(), shown->width() - 2 * m_logBox->x(),
                              shown->height() - m_logBox->y() - twipsToPixels(180));
    }
    m_currentPage = n;
    shown->setEnabled(true);
    shown->setVisible(true);
    shown->raise();
    shown->update();
}

void frmMain::tabStripClick(int strip)
{
    // Tabs of a strip that is not shown change without showing anything.
    if (m_tabStrips[strip] != m_currentStrip)
        return;
    const int sel = m_currentStrip->selectedIndex();
    if (sel >= 0)
        showPage(keyNumber(m_currentStrip->key(sel)));
}

void frmMain::buttonLineClick(int button)
{
    const bool configuration = host::state().commandIndex == host::kCmdConfiguration;
    switch (button) {
    case ButtonLine::OK:
        if (configuration && m_parametersChanged) {
            const bool ok = m_hooks.writeParameters && m_hooks.writeParameters(*this);
            if (!ok)
                setApplyEnabled(false);
        }
        close();
        break;
    case ButtonLine::Cancel:
        close();
        break;
    case ButtonLine::Apply:
        // A write that did not reach the device leaves Apply for another try.
        if (!configuration || !m_hooks.writeParameters || m_hooks.writeParameters(*this))
            setApplyEnabled(false);
        break;
    default:
        break;
    }
}

void frmMain::chooseLanguage(const QString &toolName, int offset)
{
    const int current = platform::leadingInt32(
        platform::Registry::read(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language")));
    if (current == offset)
        return;
    platform::Registry::write(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"),
                              QString::number(offset));
    QString caption = tool(toolName)->text();
    caption.remove(QLatin1Char('&'));
    platform::messages().show(platform::MsgIcon::Information, windowTitle(),
                              platform::fillPlaceholders(gLoadResString(1490), {caption}));
}

void frmMain::menuToolClick(const QString &name)
{
    auto run = [this](const std::function<void(frmMain &)> &f) {
        if (f)
            f(*this);
    };
    if (name == QLatin1String("German")) {
        chooseLanguage(name, 1000);
    } else if (name == QLatin1String("English")) {
        chooseLanguage(name, 0);
    } else if (name == QLatin1String("OpenFile")) {
        run(m_hooks.openFile);
    } else if (name == QLatin1String("SaveFile")) {
        run(m_hooks.saveFile);
    } else if (name == QLatin1String("ReadParameters")) {
        run(m_hooks.readParameters);
    } else if (name == QLatin1String("WriteParameters")) {
        if (m_hooks.writeParameters)
            m_hooks.writeParameters(*this);
    } else if (name == QLatin1String("SpreadParameters")) {
        run(m_hooks.spreadParameters);
    } else if (name == QLatin1String("Report")) {
        run(m_hooks.report);
    } else if (name == QLatin1String("History")) {
        run(m_hooks.history);
    } else if (name == QLatin1String("Resync")) {
        run(m_hooks.resync);
    } else if (name == QLatin1String("Manual")) {
        showHelp(0);
    } else if (name == QLatin1String("AppDoc")) {
        openDocument(m_appDocFile, 0, true);
    } else if (name == QLatin1String("About")) {
        showAbout();
    } else if (name == QLatin1String("Quit")) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        close();
        QApplication::restoreOverrideCursor();
    } else if (name == QLatin1String("Logger")) {
        m_loggerWindow->show();
        m_loggerWindow->raise();
    } else if (name == QLatin1String("Trend")) {
        run(m_hooks.showTrend);
    } else if (name == QLatin1String("DeviceInfo")) {
        showDeviceInfo();
    } else if (name.startsWith(kTemplateToolPrefix)) {
        if (m_hooks.chooseTemplate)
            m_hooks.chooseTemplate(*this, name.mid(kTemplateToolPrefix.size()));
    } else if (name == QLatin1String("ForceAppDownload")) {
        // The action toggles its own tick mark; the flag follows it.
        m_forceAppDownload = tool(name)->isChecked();
    }
}

void frmMain::setHelpComponentAvailable(bool available)
{
    g_helpComponentAvailable = available;
}

void frmMain::showHelp(int context)
{
    openDocument(m_helpFile, context, false);
}

void frmMain::openDocument(const QString &file, int context, bool appDoc)
{
    const bool exists = !file.isEmpty() && QFileInfo(file).isFile();
    if (appDoc && !exists) {
        platform::messages().show(platform::MsgIcon::Exclamation, windowTitle(), gLoadResString(1527));
        return;
    }
    if (!g_helpComponentAvailable) {
        platform::messages().show(platform::MsgIcon::Critical, windowTitle(), gLoadResString(1426));
        return;
    }
    if (!m_helpViewer)
        m_helpViewer = new HelpViewer(this);
    if (!m_helpViewer->open(file, context)) {
        platform::messages().show(platform::MsgIcon::Critical, windowTitle(),
                                  platform::fillPlaceholders(gLoadResString(1425), {file}));
        return;
    }
    m_helpViewer->show();
    m_helpViewer->raise();
}

void frmMain::showAbout()
{
    const host::HostState &s = host::state();
    QList<InfoLine> lines;
    lines << InfoLine{QString(), platform::fillPlaceholders(gLoadResString(1851), {platform::fullVersionText()})};
    QString serverVersion;
    if (s.conn.objectServer) {
        try {
            serverVersion = s.conn.objectServer->version();
        } catch (const std::exception &e) {
            platform::traceCaughtError(QStringLiteral("About: object server version"), e);
        }
    }
    if (!serverVersion.isEmpty())
        lines << InfoLine{QString(), platform::fillPlaceholders(gLoadResString(1830), {serverVersion})};
    if (m_aboutWindow)
        m_aboutWindow->close();
    m_aboutWindow = new InfoWindow(QStringLiteral("frmAbout"), gLoadResString(1850), lines,
                                   {gLoadResString(1852), gLoadResString(1858)}, this);
    m_aboutWindow->show();
}

void frmMain::showDeviceInfo()
{
    const host::HostState &s = host::state();
    auto caption = [](int item) { return gLoadResString(1383, item); };
    const QString unknown = caption(9);
    QString deviceName = s.deviceName, templateName = unknown, programId = unknown, commissioned = unknown,
            appNumber = unknown, serverVersion = unknown;
    // Each value on its own: what cannot be read stays "unknown" (a device
    // that never had an application loaded has no application record).
    auto read = [](QString &target, const std::function<QString()> &f) {
        try {
            const QString v = f();
            if (!v.isEmpty())
                target = v;
        } catch (const std::exception &e) {
            platform::traceCaughtError(QStringLiteral("DeviceInfo"), e);
        }
    };
    if (const lns::AppDevicePtr device = s.conn.device) {
        read(deviceName, [&] { return device->name(); });
        read(programId, [&] { return device->programId(); });
        read(commissioned, [&] { return device->commissioned() ? caption(7) : caption(8); });
    }
    if (const lns::DeviceTemplatePtr t = s.conn.deviceTemplate)
        read(templateName, [&] { return t->name(); });
    if (const lns::LonMarkObjectPtr object = s.conn.object)
        read(appNumber, [&] { return object->extensionData(kAppModeRecord); });
    if (const lns::ObjectServerPtr server = s.conn.objectServer)
        read(serverVersion, [&] { return server->version(); });
    if (deviceName.isEmpty())
        deviceName = unknown;
    const QList<InfoLine> lines{{caption(1), deviceName},   {caption(2), templateName}, {caption(3), programId},
                                {caption(4), commissioned}, {caption(5), appNumber},    {caption(6), serverVersion}};
    if (m_deviceInfoWindow)
        m_deviceInfoWindow->close();
    m_deviceInfoWindow = new InfoWindow(QStringLiteral("frmDeviceInfo"), gLoadResString(1382), lines, {}, this);
    m_deviceInfoWindow->show();
}

void frmMain::LNS_Notification()
{
    if (m_notificationCount < 10) {
        ++m_notificationCount;
        return;
    }
    m_notificationCount = 0;
    repaint();
    setCursor(cursor());
}

bool frmMain::visualStyleActive()
{
    // Themed styles (Fusion, the native ones) draw pages in the window
    // background; only the classic "Windows" style is unthemed.
    const QStyle *st = QApplication::style();
    return st && st->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

void frmMain::setClientSize(int widthPx, int heightPx)
{
    m_clientSizeFromHost = QSize(std::max(1, widthPx), std::max(1, heightPx));
    layout()->setSizeConstraint(QLayout::SetNoConstraint);
    setFixedSize(m_clientSizeFromHost);
}

void frmMain::styleWindow(int frameHeightTwips, int tabRows, int frameWidthTwips)
{
    m_visualStyle = visualStyleActive();
    m_pageColor = m_visualStyle ? palette().color(QPalette::Base) : palette().color(QPalette::Button);
    const int frameW = frameWidthTwips > 0 ? frameWidthTwips : 5100;

    for (QWidget *f : m_frames)
        f->resize(twipsToPixels(frameW), twipsToPixels(frameHeightTwips));

    static const QStringList coloured{QStringLiteral("frame"),       QStringLiteral("label"),
                                      QStringLiteral("checkbox"),    QStringLiteral("qxlines"),
                                      QStringLiteral("picturebox"),  QStringLiteral("optionbutton"),
                                      QStringLiteral("commandbutton"), QStringLiteral("ciahslider30")};
    const QList<QWidget *> all = findChildren<QWidget *>();
    for (QWidget *w : all) {
        const QString kind = controlKind(w).toLower();
        // The page frames are this program's frames: they take the page
        // colour like every element on them.
        const bool pageFrame = std::find(m_frames.begin(), m_frames.end(), w) != m_frames.end();
        if (!coloured.contains(kind) && !pageFrame)
            continue;
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, m_pageColor);
        w->setPalette(pal);
        // Buttons fill with their button colour by default; the page colour
        // is their back colour here.
        w->setBackgroundRole(QPalette::Window);
        w->setAutoFillBackground(true);
        if (kind == QLatin1String("picturebox"))
            if (auto *frame = qobject_cast<QFrame *>(w))
                frame->setFrameShape(QFrame::NoFrame);
    }

    const int tabTop = 480 - kMenuBandTwips;
    const int tabLeft = 1320;
    const int tabHeight = frameHeightTwips + (m_visualStyle ? 345 : 360) + (tabRows - 1) * 270;
    const int tabWidth = frameW + (m_visualStyle ? 45 : 30);
    if (m_logBox)
        m_logBox->resize(m_logBox->width(),
                         twipsToPixels(frameHeightTwips) - m_logBox->y() - twipsToPixels(180));
    for (TabStrip *strip : m_tabStrips) {
        strip->setMinimumRows(tabRows);
        strip->setGeometry(twipsToPixels(tabLeft), twipsToPixels(tabTop), twipsToPixels(tabWidth),
                           twipsToPixels(tabHeight));
    }

    const int navTop = 420 - kMenuBandTwips;
    const int navHeight = tabTop + tabHeight - navTop;
    m_nav->setGeometry(twipsToPixels(45), twipsToPixels(navTop), twipsToPixels(1200), twipsToPixels(navHeight));

    const int lineTop = navTop + navHeight + 60;
    const int lineHeight = 480;
    const int lineWidth = tabLeft + tabWidth;
    m_buttonLine->setGeometry(0, twipsToPixels(lineTop), twipsToPixels(lineWidth), twipsToPixels(lineHeight));

    int clientHeight = navTop + navHeight + lineHeight + 75;
    if (clientHeight == 0)
        clientHeight = 6570;
    m_client->setFixedSize(twipsToPixels(lineWidth + 60), twipsToPixels(clientHeight));
    if (m_clientSizeFromHost.isEmpty())
        layout()->setSizeConstraint(QLayout::SetFixedSize);

    // The records are made once, with every designed tab and its caption.
    if (m_tabRecords.Count() == 0)
        for (TabStrip *strip : m_tabStrips)
            m_tabRecords.Add(strip);
}

} // namespace ui
