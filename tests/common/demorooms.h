// The rooms of the demo network by name, as the object server's collections
// reach them: Building, then Floor1 for Room1xx and Floor2 for the others,
// then the room's device and its "Controller" object.
#pragma once

#include <lns/lnsobjects.h>
#include <lns/rawtext.h>

#include <QString>

inline QString demoFloorOf(const QString &room)
{
    return room.startsWith(QLatin1String("Room1")) ? QStringLiteral("Floor1") : QStringLiteral("Floor2");
}

// "Demo.Building.FloorN.RoomNNN.Controller": the object name a command line gives.
inline QString demoControllerPath(const QString &room)
{
    return QStringLiteral("Demo.Building.%1.%2.Controller").arg(demoFloorOf(room), room);
}

inline lns::AppDevicePtr demoRoom(const lns::SystemPtr &system, const QString &room)
{
    return system->subsystems()
        ->item(QStringLiteral("Building"))
        ->subsystems()
        ->item(demoFloorOf(room))
        ->appDevices()
        ->item(room);
}

inline lns::LonMarkObjectPtr demoController(const lns::SystemPtr &system, const QString &room)
{
    return demoRoom(system, room)->lonMarkObjects()->item(QStringLiteral("Controller"));
}

// A CP of the room's controller, set to give and take RAW text.
inline lns::ConfigPropertyPtr demoControllerCp(const lns::SystemPtr &system, const QString &room, const QString &cp)
{
    auto c = demoController(system, room)->configProperties()->item(cp);
    c->setFormatSpecifier(lns::kRawFormat);
    return c;
}
