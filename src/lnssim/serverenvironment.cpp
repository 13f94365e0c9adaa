#include "serverenvironment.h"

#include "channelmodel.h"
#include "handles.h"
#include "projectregistrations.h"
#include "simobjectserver.h"

#include <platform/tracelog.h>

namespace lnssim {

namespace {

ChannelModel::Op modelOp(lns::ChannelOp op)
{
    switch (op) {
    case lns::ChannelOp::ReadCp:
        return ChannelModel::Op::ReadCp;
    case lns::ChannelOp::WriteCp:
        return ChannelModel::Op::WriteCp;
    case lns::ChannelOp::ReadVersion:
        return ChannelModel::Op::ReadVersion;
    }
    return ChannelModel::Op::ReadCp;
}

lns::HandleBindings bindings(const QString &iniPath, const lns::ObjectServerPtr &own)
{
    auto resolver = std::make_shared<HandleResolver>(iniPath);
    if (const auto sim = std::dynamic_pointer_cast<SimObjectServer>(own))
        resolver->addServer(sim);
    lns::HandleBindings b;
    b.resolve = [resolver](const QString &handle) { return resolver->resolve(handle); };
    b.handleOf = [](const lns::ObjectPtr &object) { return objectHandle(object); };
    return b;
}

bool registerProjectCommand(const lns::NetworkPtr &network, const lns::ProjectCommand &command, QString *error)
{
    NetworkDb *db = networkDatabase(network);
    if (!db) {
        if (error)
            *error = QStringLiteral("the network is not an open network of the simulated object server");
        return false;
    }
    PlugInRegistration r;
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
        ProjectRegistrations(*db).add(r);
        return true;
    } catch (const lns::LnsError &e) {
        if (error)
            *error = e.description();
        else
            platform::traceCaughtError(QStringLiteral("registerProjectCommand"), e.number(), e.description());
        return false;
    }
}

} // namespace

lns::ServerEnvironment simServerEnvironment(const QString &iniPath, const QString &rootFolder)
{
    lns::ServerEnvironment env;
    env.newObjectServer = [iniPath, rootFolder]() -> lns::ObjectServerPtr {
        return SimObjectServer::create(rootFolder, iniPath);
    };
    env.handleBindings = [iniPath](const lns::ObjectServerPtr &own) { return bindings(iniPath, own); };
    env.channelPrice = [](lns::ChannelOp op, int dataBytes) {
        return ChannelModel::cost(modelOp(op), dataBytes, ChannelModel::Outcome::Ok).micros;
    };
    env.registerProjectCommand = registerProjectCommand;
    return env;
}

} // namespace lnssim
