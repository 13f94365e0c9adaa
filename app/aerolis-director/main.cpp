// aerolis-director: the network tool that launches the plug-in (director.h).
// With a command it runs headless (directorcli.h); without, it shows its window.
#include "director.h"
#include "directorcli.h"
#include "directorwindow.h"

#include <lnssim/simobjectserver.h>

#include <platform/messages.h>
#include <platform/registry.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>

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

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    director::Settings settings;
    QString error;
    if (!director::parseSettings(arguments, QString(), &settings, &error)) {
        QTextStream(stderr) << "aerolis-director: " << error << '\n' << director::usage();
        return 2;
    }
    const bool window = settings.rest.isEmpty();

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
        settings.ini = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("AerolisCtrl.ini"));
    // The language the family of plug-ins shares.
    platform::setLanguageOffset(platform::leadingInt16(platform::Registry::read(
        QStringLiteral("SOFTWARE\\norda\\vlink Register"), QStringLiteral("Options"), QStringLiteral("Language"),
        QStringLiteral("0"))));

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
