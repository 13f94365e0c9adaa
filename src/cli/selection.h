// Which objects a command of the tool works on: objects named as on the
// plug-in's command line ("<network>.<subsystem path>.<device>.<object>"),
// plus the selectors
//   --all             every object of this device type (a device made from
//                     one of the templates of AerolisCtrl.ini; the node
//                     object of the device is not one of them)
//   --subsystem PATH  those of them in the subsystem "<network>.<path>" and below
//   --template NAME   those of them whose device was made from template NAME
//   --network NAME    the network --all and --template look in
// Without --network, --all and --template look in the networks of the named
// objects and of --subsystem, and in every network under the object server's
// root when neither names one.
//
// The walk goes through the object server's own interfaces (no device
// transaction). Named objects come first in the order given, the objects of
// the selectors follow in the order of the multi-device search (subsystem
// path, device name with numbers compared as numbers, object name); an
// object named twice or picked by two selectors is listed once.
#pragma once

#include "commands.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace cli {

struct SelectedObject
{
    QString key;          // "<network>.<subsystem path>.<device>.<object>"
    QString templateName; // template of its device (empty when it has none)
    QString programId;    // program id of its device
    int ctrlType = 0;     // CtrlType of that template (0: not one of ours)
    bool ofThisType = false; // an object this plug-in configures
    bool commissioned = true;
    bool named = false; // named on the command line (not only found by a selector)
};

struct Selection
{
    QStringList objects;            // keys, in order, each once
    QVector<SelectedObject> details; // the same objects with what the walk found
    int status = 0;                 // kOk, or the exit status of `error`
    QString error;                  // one line
};

// The selector options: flags without value and options with one, for
// parseArgs.
QStringList selectorFlagNames();
QStringList selectorValueNames();
// Both together.
QStringList selectorOptionNames();
// Whether any selector option is given.
bool hasSelector(const ParsedArgs &a);

// The objects of `namedObjects` and of the selectors in `a`. An object that
// is not in its network, an unknown network, subsystem or template, or a
// selection that ends up empty is an error (kRefused); an object that is
// there but not of this device type is listed (ofThisType false) and left to
// the command.
Selection selectObjects(const ParsedArgs &a, const QStringList &namedObjects);

} // namespace cli
