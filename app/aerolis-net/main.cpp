// aerolis-net: demo network, faults and counters of the simulated object
// server. The logic is lnssim::NetTool.
#include <lnssim/nettool.h>

#include <QCoreApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The same names as the plug-in, so that both find the same default
    // network folder.
    QCoreApplication::setOrganizationName(QStringLiteral("norda"));
    QCoreApplication::setApplicationName(QStringLiteral("aerolis"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    lnssim::NetTool tool(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("AerolisCtrl.ini")));
    QStringList args = app.arguments();
    args.removeFirst();
    return tool.run(args, out, err);
}
