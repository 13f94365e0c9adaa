// aerolis-net: demo network, faults and counters of the simulated object
// server. The logic is lnssim::NetTool.
#include <lnssim/nettool.h>
#include <platform/datafolder.h>
#include <platform/standardoptions.h>

#include <QCoreApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    if (platform::standardOption(platform::rawArguments(argc, argv).value(0)) == platform::StandardOption::Version) {
        QTextStream(stdout) << platform::versionLine(QStringLiteral("aerolis-net")) << '\n';
        return 0;
    }
    QCoreApplication app(argc, argv);
    // The same names as the plug-in, so that both find the same default
    // network folder.
    QCoreApplication::setOrganizationName(QStringLiteral("norda"));
    QCoreApplication::setApplicationName(QStringLiteral("aerolis"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    lnssim::NetTool tool(QDir(platform::dataFolder()).filePath(platform::kTemplateFileName));
    QStringList args = app.arguments();
    args.removeFirst();
    return tool.run(args, out, err);
}
