// Test helper: opens the demo network, writes three CPs of one controller in
// a transaction and commits. With a sleeping latency on the device the commit
// holds the database transaction open long enough to be killed inside it.
// Usage: lnssim_txhelper ROOT INI DEVICE
#include "demorooms.h"

#include <lnssim/simobjectserver.h>

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        out << "usage: lnssim_txhelper ROOT INI DEVICE\n";
        return 2;
    }
    try {
        auto server = lnssim::SimObjectServer::create(args.at(1), args.at(2));
        server->open(0);
        auto net = server->networks()->item(QStringLiteral("Demo"));
        net->open(false);
        auto system = net->system();
        const QString device = args.at(3);
        system->startTransaction();
        for (const char *name : {"HeatXp", "HeatTi", "CoolXp"})
            demoControllerCp(system, device, QString::fromLatin1(name))->setValue(QStringLiteral("1\t23"));
        out << "COMMITTING" << Qt::endl;
        system->commitTransaction();
        out << "COMMITTED" << Qt::endl;
        return 0;
    } catch (const lns::LnsError &e) {
        out << "ERROR " << e.number() << " " << e.description() << Qt::endl;
        return 1;
    }
}
