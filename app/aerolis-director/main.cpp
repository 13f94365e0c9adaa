// aerolis-director: the network tool that launches the plug-in (director.h).
// With a command it runs headless (directorcli.h); without, it shows its window.
#include "director.h"
#include "directorcli.h"
#include "directorwindow.h"

#include <lnssim/simobjectserver.h>

#include <host/startup.h>
#include <platform/datafolder.h>
#include <platform/messages.h>
#include <platform/qtmessagefilter.h>
#include <platform/standardoptions.h>

#include <QApplication>
#include <QDir>
#include <QMessageBox>

namespace {

// Message boxes of the window, or the unattended printout.
class BoxMessages : public platform::MessageService
{
public:
    int show(const platform::Message &m) override
    {
        if (platform::unattendedRequested()) {
            platform::UnattendedMessages u;
            return u.show(m);
        }
        QMessageBox::warning(nullptr, m.title, m.text);
        return platform::ANS_OK;
    }
};

// The window needs a screen: a display to connect to, and not the offscreen
// platform, whose window nobody could see or close.
bool windowCanBeShown()
{
    const QString platformName = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (platformName.startsWith(QLatin1String("offscreen")) || platformName.startsWith(QLatin1String("minimal")))
        return false;
    if (!platformName.isEmpty())
        return true;
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char *argv[])
{
    const QStringList arguments = platform::rawArguments(argc, argv);
    director::Settings settings;
    QString error;
    if (!director::parseSettings(arguments, QString(), &settings, &error)) {
        QTextStream(stderr) << "aerolis-director: " << error << '\n' << director::usage();
        return 2;
    }
    // --help and --version in place of the command: print and end.
    switch (platform::standardOption(settings.rest.value(0))) {
    case platform::StandardOption::Help:
        QTextStream(stdout) << director::usage();
        return 0;
    case platform::StandardOption::Version:
        QTextStream(stdout) << platform::versionLine(QStringLiteral("aerolis-director")) << '\n';
        return 0;
    case platform::StandardOption::None:
        break;
    }
    const bool window = settings.rest.isEmpty();
    if (window && !windowCanBeShown()) {
        QTextStream(stderr) << "aerolis-director: no display for the window; give a command\n" << director::usage();
        return 2;
    }
    if (window)
        platform::installQtMessageFilter();

    std::unique_ptr<QCoreApplication> app;
    if (window)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    // The plug-in's names, so that both find the same default network folder.
    QCoreApplication::setOrganizationName(QStringLiteral("norda"));
    QCoreApplication::setApplicationName(QStringLiteral("aerolis"));
    if (settings.root.isEmpty())
        settings.root = lnssim::SimObjectServer::defaultRoot();
    if (settings.ini.isEmpty())
        settings.ini = QDir(platform::dataFolder()).filePath(platform::kTemplateFileName);
    // The language the family of plug-ins shares (or the one of this run).
    host::applyConfiguredLanguage();

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!window)
        return director::runCommandLine(settings, out, err);

    platform::setMessageService(std::make_shared<BoxMessages>());
    director::Director d(settings.root, settings.ini, settings.network);
    d.setTimeout(settings.timeoutMs);
    if (!d.open(&error)) {
        platform::messages().show(platform::MsgIcon::Critical, QStringLiteral("aerolis-director"), error);
        return 1;
    }
    director::DirectorWindow w(d);
    w.show();
    return app->exec();
}
