// Handles: the objects of the simulated object server as text, so that a
// network tool in one process can hand an object it holds to a plug-in in
// another process, which resolves the text to the same network database
// object through its own object server.
//
// Format (version 1), fields separated by ":", each field percent-encoded
// (so ":" and "%" inside a field never split it):
//
//   lnssim:<class id>:<root folder>[:<network>[:<key>[:<key>]]]
//
//   object server   lnssim:0:<root>
//   network         lnssim:1:<root>:<network>
//   system          lnssim:3:<root>:<network>
//   subsystem       lnssim:5:<root>:<network>:<dotted subsystem path>
//   device          lnssim:7:<root>:<network>:<device index>
//   LonMark object  lnssim:28:<root>:<network>:<device index>:<object index>
//
// The root folder is the absolute, cleaned path of the network database
// folder; the network is the database file's base name. Indexes are the
// object server's (device index, LonMark object index). Other objects (CPs,
// NVs, templates) have no handle: a plug-in looks them up from the objects
// above.
#pragma once

#include "simobjectserver.h"

#include <lns/lnsobjects.h>

#include <QHash>
#include <QString>

#include <memory>

namespace lnssim {

inline const QString kHandleScheme = QStringLiteral("lnssim");

// The handle of an object of the simulated object server. Throws
// lns::LnsError (ErrNotSupported) for an object that has none.
QString objectHandle(const lns::ObjectPtr &object);

// The class id a handle claims, -1 when the text is not a handle.
int handleClassId(const QString &handle);

// Resolves handles to objects, opening object servers and networks as
// needed. Handles of one root folder share one object server (and so one
// network session), the process's own one when it was added.
class HandleResolver
{
public:
    // iniPath: the device template file new object servers are made with.
    explicit HandleResolver(const QString &iniPath);

    // An object server of this process: handles of its root resolve through it.
    void addServer(const std::shared_ptr<SimObjectServer> &server);

    // Throws lns::LnsError: ErrBadValue for text that is not a handle,
    // ErrIndexOutOfRange when it names nothing (no such network, device or
    // object), and the object server's own errors when the network cannot
    // be opened.
    lns::ObjectPtr resolve(const QString &handle);

private:
    std::shared_ptr<SimObjectServer> serverFor(const QString &root);
    QString m_iniPath;
    QHash<QString, std::weak_ptr<SimObjectServer>> m_external;
    QHash<QString, std::shared_ptr<SimObjectServer>> m_own;
};

} // namespace lnssim
