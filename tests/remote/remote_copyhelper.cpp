// Test helper: a copy run of its own process. Opens the demo network with the
// given access mode and writes the same three CPs (HeatXp, HeatTi, CoolXp,
// each the bytes 0 VALUE) to every room named, one transaction per room.
// Prints READY once the network is open and starts writing when a line
// arrives on its input, so that two of them write at the same time.
// Usage: remote_copyhelper ROOT INI ACCESSMODE VALUE ROOM...
#include "demorooms.h"

#include <lnssim/simobjectserver.h>

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.size() < 6) {
        out << "usage: remote_copyhelper ROOT INI ACCESSMODE VALUE ROOM...\n";
        return 2;
    }
    try {
        const int accessMode = args.at(3).toInt();
        auto server = lnssim::SimObjectServer::create(args.at(1), args.at(2));
        server->open(accessMode);
        auto net = server->networks()->item(QStringLiteral("Demo"));
        net->open(accessMode != 0);
        auto system = net->system();
        const QString text = QStringLiteral("0\t") + args.at(4);
        out << "READY" << Qt::endl;
        QTextStream(stdin).readLine();
        int done = 0;
        for (const QString &room : args.mid(5)) {
            system->startTransaction();
            for (const char *name : {"HeatXp", "HeatTi", "CoolXp"})
                demoControllerCp(system, room, QString::fromLatin1(name))->setValue(text);
            system->commitTransaction();
            ++done;
        }
        out << "DONE " << done << Qt::endl;
        return 0;
    } catch (const lns::LnsError &e) {
        out << "ERROR " << e.number() << " " << e.description() << Qt::endl;
        return 1;
    }
}
