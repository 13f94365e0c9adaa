// AerolisCtrl: the configuration and monitoring plug-in.
//
// Wires the window, the message and status services and the simulated object
// server into start-up, runs Main and then the event loop while the window
// is open. With AEROLIS_SCREENSHOT_DIR set, the window is grabbed into that
// folder (main.png, logger.txt) once shown and then closed, so that the demo
// can run unattended without a display; with AEROLIS_EXIT_WHEN_SHOWN=1 it
// closes right after being shown (start-up benchmark).
#include <host/hoststate.h>
#include <host/startup.h>
#include <lnssim/simobjectserver.h>
#include <ui/plainmainwindow.h>
#include <ui/widgetservices.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace {

void scheduleScreenshot(ui::frmMain *window, const QString &folder)
{
    QTimer::singleShot(400, window, [window, folder] {
        QDir().mkpath(folder);
        window->grab().save(QDir(folder).filePath(QStringLiteral("main.png")));
        QFile log(QDir(folder).filePath(QStringLiteral("logger.txt")));
        if (log.open(QIODevice::WriteOnly | QIODevice::Text)) {
            for (int i = 0; i < window->logger()->count(); ++i)
                log.write(window->logger()->item(i)->text().toUtf8() + '\n');
        }
        window->close();
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("aerolis"));
    QApplication::setOrganizationName(QStringLiteral("norda"));

    const QStringList arguments = app.arguments().mid(1);
    const QString exePath = QFileInfo(QApplication::applicationFilePath()).absoluteFilePath();
    if (host::HandleServerRegistration(arguments, exePath))
        return 0;

    platform::setMessageService(std::make_shared<ui::WidgetMessages>());

    std::shared_ptr<ui::frmMain> window;
    host::Environment &env = host::state().env;
    env.applicationFolder = QApplication::applicationDirPath();
    env.executableName = QFileInfo(exePath).completeBaseName();
    env.objectServerFactory = [] {
        return std::make_shared<lnssim::SimObjectServer>(lnssim::SimObjectServer::defaultRoot(),
                                                         QDir(QApplication::applicationDirPath())
                                                             .filePath(QStringLiteral("AerolisCtrl.ini")));
    };
    env.statusWindowFactory = [] { return std::make_shared<ui::StatusWindowWidget>(); };
    env.mainWindowFactory = [&window]() -> std::shared_ptr<host::MainWindowPort> {
        window = std::make_shared<ui::frmMain>();
        return window;
    };
    env.showAbout = ui::showAboutWindow;
    env.startDetached = [](const QString &program, const QStringList &args) {
        QProcess::startDetached(program, args);
    };

    host::Main(arguments);

    if (window && window->isLoaded() && window->isVisible()) {
        const QString shots = qEnvironmentVariable("AEROLIS_SCREENSHOT_DIR");
        if (!shots.isEmpty())
            scheduleScreenshot(window.get(), shots);
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
