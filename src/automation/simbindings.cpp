#include "simbindings.h"

#include <lnssim/projectregistrations.h>

namespace automation {

ObjectBindings simObjectBindings(const std::shared_ptr<lnssim::HandleResolver> &resolver)
{
    ObjectBindings b;
    b.resolve = [resolver](const QString &handle) { return resolver->resolve(handle); };
    b.handleOf = [](const lns::ObjectPtr &object) { return lnssim::objectHandle(object); };
    return b;
}

bool simRegisterProjectCommand(const lns::NetworkPtr &network, const host::ProjectCommand &command, QString *error)
{
    lnssim::NetworkDb *db = lnssim::networkDatabase(network);
    if (!db) {
        if (error)
            *error = QStringLiteral("the network is not an open network of the simulated object server");
        return false;
    }
    lnssim::PlugInRegistration r;
    r.templateName = command.templateName;
    r.programId = command.programId;
    r.registrationNumber = command.registrationNumber;
    r.name = command.name;
    r.commandId = command.commandId;
    r.classId = command.classId;
    r.description = command.description;
    r.manufacturerId = command.manufacturerId;
    r.progIdPrefix = command.progIdPrefix;
    r.className = command.className;
    r.version = command.version;
    try {
        lnssim::ProjectRegistrations(*db).add(r);
        return true;
    } catch (const lns::LnsError &e) {
        if (error)
            *error = e.description();
        return false;
    }
}

} // namespace automation
