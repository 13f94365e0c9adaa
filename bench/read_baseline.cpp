// The bare Qt Core baseline of `aerolis read`: a QCoreApplication that opens
// the network of one controller through the object-server interface, reads
// every CP of the controller's object, of the object's NVs and of its device
// from the device in one transaction (the CPs a read of the tool reads) and writes their raw
// bytes to standard output. Nothing else: no start-up of the plug-in, no
// parameter model, no window.
//
//   read_baseline <network>.<subsystem path>.<device>.<object>
//
// The object server is the simulated one with the build's device template;
// AEROLIS_LNS_ROOT chooses its root folder as for the tools.
#include <lns/lnsobjects.h>
#include <lns/rawtext.h>
#include <lnssim/serverenvironment.h>
#include <platform/objectname.h>

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

namespace {

void readAll(const lns::CollectionPtr<lns::ConfigProperty> &cps, QTextStream &out)
{
    for (int i = 1; cps && i <= cps->count(); ++i) {
        const lns::ConfigPropertyPtr cp = cps->itemAt(i);
        cp->setFormatSpecifier(lns::kRawFormat);
        out << cp->name() << " = " << cp->value() << '\n';
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("aerolis"));
    QCoreApplication::setOrganizationName(QStringLiteral("norda"));
    const platform::ObjectName name = platform::analyseObjectName(app.arguments().value(1));
    if (!name.valid) {
        std::fprintf(stderr, "usage: read_baseline NETWORK.SUBSYSTEM.DEVICE.OBJECT\n");
        return 2;
    }
    const QString iniPath = QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini");
    QTextStream out(stdout);
    try {
        const lns::ObjectServerPtr server = lnssim::simServerEnvironment(iniPath).newObjectServer();
        server->open(0);
        const lns::NetworkPtr network = server->networks()->item(name.networkName);
        network->open(false);
        const lns::SystemPtr system = network->system();
        lns::CollectionPtr<lns::Subsystem> level = system->subsystems();
        lns::SubsystemPtr subsystem;
        for (const QString &part : name.subsystemPath.split(QLatin1Char('.'))) {
            subsystem = level->item(part);
            level = subsystem->subsystems();
        }
        const lns::AppDevicePtr device = subsystem->appDevices()->item(name.deviceName);
        const lns::LonMarkObjectPtr object = device->lonMarkObjects()->item(name.objectName);
        system->startTransaction();
        readAll(object->configProperties(), out);
        const lns::CollectionPtr<lns::NetworkVariable> nvs = object->networkVariables();
        for (int i = 1; nvs && i <= nvs->count(); ++i)
            readAll(nvs->itemAt(i)->configProperties(), out);
        readAll(device->configProperties(), out);
        system->commitTransaction();
        network->close();
        server->close();
    } catch (const lns::LnsError &e) {
        std::fprintf(stderr, "read_baseline: %d %s\n", e.number(), qPrintable(e.description()));
        return 3;
    }
    return 0;
}
