#include "plainmainwindow.h"

#include <host/startup.h>
#include <platform/resstrings.h>
#include <platform/version.h>

#include <QCloseEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTime>
#include <QVBoxLayout>

namespace ui {

frmMain::frmMain()
    : m_log(new QListWidget(this))
{
    setObjectName(QStringLiteral("frmMain"));
    m_log->setObjectName(QStringLiteral("lstLogger"));
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(m_log);
    setCentralWidget(central);
    resize(720, 480);
}

void frmMain::setupForCommand(int commandIndex)
{
    Q_UNUSED(commandIndex);
}

void frmMain::display()
{
    const host::HostState &s = host::state();
    if (s.commandIndex == host::kCmdStandAlone || s.deviceName.isEmpty())
        setWindowTitle(platform::kProductName);
    else
        setWindowTitle(s.connectionTitle());
    m_loaded = true;
    LogLine(gLoadResString(1530));
    statusBar()->showMessage(gLoadResString(1517));
    if (host::state().statusWindow)
        host::state().statusWindow->hideWindow();
    show();
}

void frmMain::unload()
{
    if (m_unloading)
        return;
    m_unloading = true;
    m_loaded = false;
    close();
    m_unloading = false;
}

void frmMain::LogLine(const QString &text)
{
    m_log->addItem(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" - ") + text);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (!m_unloading) {
        // The user closed the window: the orderly shut-down unloads it.
        m_loaded = false;
        host::EndApp();
    }
    event->accept();
}

} // namespace ui
