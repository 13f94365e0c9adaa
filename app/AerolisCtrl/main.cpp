// AerolisCtrl: the configuration and monitoring plug-in.
//
// Wires the window, the message and status services and the simulated object
// server into start-up, runs Main and then the event loop while the window
// is open. Started with the automation flag (by the session bus, for a
// network tool) it serves the host object on the bus instead and ends as
// automation/automationserver.h describes. With `--screenshots DIR` (or AEROLIS_SCREENSHOT_DIR) every page is
// shown in turn once the window is displayed and grabbed into that folder
// (page-KEY<n>.png, logger-window.png, logger.txt), then the window closes
// normally, so that the demo can run unattended without a display; with
// AEROLIS_EXIT_WHEN_SHOWN=1 it closes right after being shown (start-up
// benchmark).
#include <automation/networktoolstart.h>
#include <automation/pluginwindow.h>
#include <host/busactivation.h>
#include <host/hoststate.h>
#include <host/startup.h>
#include <configuration/copyrun.h>
#include <lnssim/serverenvironment.h>
#include <ui/configurationbinding.h>
#include <ui/frmmain.h>
#include <ui/monitoringbinding.h>
#include <ui/screenshottour.h>
#include <ui/widgetservices.h>

#include <platform/datafolder.h>
#include <platform/qtmessagefilter.h>
#include <platform/resstrings.h>
#include <platform/standardoptions.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <cstdio>

namespace {

// Takes "--screenshots DIR" (or "--screenshots=DIR") out of the arguments:
// the rest is the product's own command line.
QString takeScreenshotFolder(QStringList &arguments)
{
    QString folder;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--screenshots") && i + 1 < arguments.size()) {
            folder = arguments.at(i + 1);
            arguments.remove(i, 2);
            break;
        }
        if (a.startsWith(QLatin1String("--screenshots="))) {
            folder = a.mid(14);
            arguments.removeAt(i);
            break;
        }
    }
    return folder;
}

// The usage text of --help (string table, in the configured language).
constexpr int kUsageTextId = 1790;

} // namespace

int main(int argc, char *argv[])
{
    // Asked for help or the version: print and end, before any window,
    // network or registry is touched.
    switch (platform::firstStandardOption(platform::rawArguments(argc, argv))) {
    case platform::StandardOption::Help:
        // Reads the language setting; writes nothing.
        host::applyConfiguredLanguage();
        std::printf("%s\n", qPrintable(gLoadResString(kUsageTextId)));
        return 0;
    case platform::StandardOption::Version:
        std::printf("%s\n", qPrintable(platform::versionLine(QStringLiteral("AerolisCtrl"))));
        return 0;
    case platform::StandardOption::None:
        break;
    }
    platform::installQtMessageFilter();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("aerolis"));
    QApplication::setOrganizationName(QStringLiteral("norda"));

    QStringList arguments = app.arguments().mid(1);
    QString shots = takeScreenshotFolder(arguments);
    if (shots.isEmpty())
        shots = qEnvironmentVariable("AEROLIS_SCREENSHOT_DIR");
    const QString exePath = QFileInfo(QApplication::applicationFilePath()).absoluteFilePath();
    if (host::HandleServerRegistration(arguments, exePath))
        return 0;

    platform::setMessageService(std::make_shared<ui::WidgetMessages>());

    std::shared_ptr<ui::frmMain> window;
    host::Environment &env = host::state().env;
    env.applicationFolder = QApplication::applicationDirPath();
    env.dataFolder = platform::dataFolder();
    env.executableName = QFileInfo(exePath).completeBaseName();
    const QString templatePath = QDir(env.dataFolder).filePath(platform::kTemplateFileName);
    env.server = lnssim::simServerEnvironment(templatePath);
    env.statusWindowFactory = [] { return std::make_shared<ui::StatusWindowWidget>(); };
    // The copy selection window prices its estimate with the object
    // server's channel.
    configuration::CopyRun::setChannelPrice(env.server.channelPrice);
    env.mainWindowFactory = [&window]() -> std::shared_ptr<host::MainWindowPort> {
        window = std::make_shared<automation::PlugInWindow<ui::frmMain>>();
        ui::bindConfiguration(*window);
        ui::bindMonitoring(*window);
        return window;
    };
    env.showAbout = ui::showAboutWindow;
    env.startDetached = [](const QString &program, const QStringList &args) {
        QProcess::startDetached(program, args);
    };

    if (host::isAutomationStart(arguments)) {
        host::Main(arguments); // returns at once: the host object takes the command
        QApplication::setQuitOnLastWindowClosed(false);
        const int status = automation::serveNetworkTool();
        host::state().mainWindow.reset();
        window.reset();
        return status;
    }

    host::Main(arguments);

    if (window && window->isLoaded() && window->isVisible()) {
        if (!shots.isEmpty()) {
            ui::frmMain *w = window.get();
            QTimer::singleShot(0, w, [w, shots] {
                ui::runScreenshotTour(*w, shots);
                w->close();
            });
        }
        // Start-up measurements: end as soon as the window is up.
        if (qEnvironmentVariable("AEROLIS_EXIT_WHEN_SHOWN") == QLatin1String("1"))
            QTimer::singleShot(0, window.get(), &QWidget::close);
        QApplication::setQuitOnLastWindowClosed(true);
        app.exec();
    }
    const int status = host::exitStatus();
    host::state().mainWindow.reset();
    window.reset();
    return status;
}
