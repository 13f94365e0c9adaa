// Finding the LonMark object a user or a network tool named, and saying
// exactly what is missing when it is not there.
//
// A name is either a whole object name "<network>.<subsystem path>.<device>.
// <object>" or, for people typing it, a device name alone ("Room101") or a
// device and its object ("Room101.Controller"). A device name alone is taken
// when exactly one network of the object server holds a device of that name
// (device names are unique within a network); its object is the device's one
// functional block (the object besides the node object).
//
// The walk goes through the object server's interfaces only (no device
// transaction). When a level is missing, the answer names that level, the
// name looked for, the place it was looked for in and the closest existing
// names there. Errors of the object server itself (a network database that
// cannot be opened or read) are kept with their number and text apart from
// names that are not there.
#pragma once

#include "connector.h"
#include "lnsobjects.h"

#include <platform/objectname.h>

#include <QString>
#include <QStringList>

namespace lns {

enum class LookupMissing {
    None,
    Name,      // the text is no object name at all (empty parts)
    Network,
    Subsystem,
    Device,
    Object,
    Ambiguous, // a device name alone that several networks hold
};

struct ObjectLookup
{
    platform::ObjectName name; // the whole name, valid when found
    LookupMissing missing = LookupMissing::None;
    QString wanted;       // the name looked for at the missing level
    QString place;        // where it was looked for: "Demo.Building", a device's path, or the networks searched
    QStringList closest;  // existing names there, closest first (or the whole names of an ambiguous device)
    int errorNumber = 0;  // an object server error that stopped the walk (e.g. ErrDatabase)
    QString errorText;

    bool found() const { return missing == LookupMissing::None && errorNumber == 0; }
    bool serverError() const { return errorNumber != 0; }
    // One line in English for the trace log and the error logger.
    QString reason() const;
};

// Looks `typedName` up through `server`, opening the server (with `access`)
// and the networks it needs and closing again what it opened itself.
ObjectLookup lookUpObject(const ObjectServerPtr &server, const QString &typedName, const Access &access = Access());

// At most `count` of `names`, the closest to `wanted` first (edit distance,
// letter case ignored; equal distances in natural order, "Room9" before
// "Room10").
QStringList closestNames(const QString &wanted, const QStringList &names, int count = 3);

} // namespace lns
