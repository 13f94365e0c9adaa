// The record of every write: each change a program makes to a device or to
// the network database (a CP, an NV value, extension data, an application
// load, an NV type) is kept in the network database with who made it, from
// which program and command, and the bytes before and after. The object
// server writes the record inside the write's own database transaction, so
// there is no write without its record and no record of a write that was
// rolled back.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

namespace lns {

enum class WriteKind { Cp, Nv, ExtensionData, Application, NvType };
// The stored word of a kind ("cp", "nv", "extension", "application",
// "nv-type") and back; false for a word that is none of them.
QString writeKindText(WriteKind kind);
bool writeKindFromText(const QString &text, WriteKind *kind);

// What a write did.
enum class WriteOutcome {
    DeviceAndDatabase, // the device took the bytes, the database copy follows
    DatabaseOnly,      // the device is not on the network: the database alone
};
QString writeOutcomeText(WriteOutcome outcome);
bool writeOutcomeFromText(const QString &text, WriteOutcome *outcome);

struct WriteRecord
{
    qint64 id = 0;          // increases with every record
    qint64 transaction = 0; // records written together share it
    QDateTime time;         // UTC
    QString user;
    QString host;
    QString tool;           // the program ("aerolis", "AerolisCtrl", ...)
    QString command;        // its command line, or what the program set
    QString device;         // network.subsystem path.device
    QString object;         // the LonMark object (empty for the device's own)
    WriteKind kind = WriteKind::Cp;
    QString item;           // the CP's or NV's name, the extension key
    QByteArray before;
    QByteArray after;
    WriteOutcome outcome = WriteOutcome::DeviceAndDatabase;
    QString run;            // the program run that wrote it (empty before runs were kept)
    QString databaseUser;   // the database server's user; empty for a network file
};

struct HistoryFilter
{
    // A device ("Demo.Building.Floor1.Room101"), an object below it
    // ("...Room101.Controller": its device's records), or empty for all.
    QString device;
    QDateTime since;        // invalid: from the start
    int limit = 0;          // 0: no limit; newest first
};

// Who writes and why, as the records name it. The user and host come from
// the session; the tool and command default to the program's name and its
// arguments, and a program may name its command more precisely (the copy
// run of a window, for example).
struct WriteOrigin
{
    QString user;
    QString host;
    QString tool;
    QString command;
    QString run; // one per program run: the records of one run belong together
};
WriteOrigin currentWriteOrigin();
// Replaces the command text until it is set again; an empty text returns
// to the command line.
void setWriteCommand(const QString &command);

} // namespace lns
