// The commands of the `aerolis` tool. run() takes the arguments after the
// program name, prints results to `out` and one-line messages to `err`, and
// answers the exit status (session.h: ExitStatus).
#pragma once

#include <lns/writehistory.h>

#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace params {
struct LoadReport;
}

namespace cli {

int run(const QStringList &arguments, QTextStream &out, QTextStream &err);
// Whether the command renders (a PDF report) and so needs Qt Gui's
// application object; every other command runs on Qt Core alone.
bool rendersPages(const QStringList &arguments);

// The single commands (arguments after the command name).
int readCommand(const QStringList &args, QTextStream &out, QTextStream &err);
int writeCommand(const QStringList &args, QTextStream &out, QTextStream &err);   // writecommand.cpp
int diffCommand(const QStringList &args, QTextStream &out, QTextStream &err);
int setModeCommand(const QStringList &args, QTextStream &out, QTextStream &err, bool occupancy);
int monitorCommand(const QStringList &args, QTextStream &out, QTextStream &err);
int copyCommand(const QStringList &args, QTextStream &out, QTextStream &err);   // copycommand.cpp
int reportCommand(const QStringList &args, QTextStream &out, QTextStream &err); // reportcommand.cpp
int historyCommand(const QStringList &args, QTextStream &out, QTextStream &err); // historycommand.cpp
int undoCommand(const QStringList &args, QTextStream &out, QTextStream &err);    // undocommand.cpp
int resyncCommand(const QStringList &args, QTextStream &out, QTextStream &err);  // resynccommand.cpp

// Item data of an entry of the page's mode list (occupancy false) or
// occupancy list, from its name in English or German or its number;
// nullopt when it names none.
std::optional<int> controlItem(const QString &text, bool occupancy);

// Shared by the command files.
struct ParsedArgs
{
    QStringList positional;
    QStringList flags;         // given flags without value
    QHash<QString, QString> values; // options with value
    QString error;             // one-line usage error
    int status = 0;
};
// `flagNames` take no value, `valueNames` take one ("-o FILE", "--seconds=N").
ParsedArgs parseArgs(const QStringList &args, const QStringList &flagNames, const QStringList &valueNames);
// Usage line and description of command `item` (1 read, 2 write, 3 diff,
// 4 set-mode, 5 set-occupancy, 6 monitor, 7 copy, 8 report, 9 history,
// 10 undo, 11 resync).
void printHelp(QTextStream &out, int item);
int usageError(QTextStream &err, const QString &message, int item = 0);
int fail(QTextStream &err, int status, const QString &message);
bool wantsHelp(const QStringList &args);

// A time as the history options take it: "2026-12-01", "2026-12-01T08:30",
// "2026-12-01 08:30:15" (local time), or with a trailing "Z" (UTC).
std::optional<QDateTime> parseHistoryTime(const QString &text);
// The records of network `networkName` that `filter` selects, newest first;
// kOk, or the status after a one-line message on `err`. Only the network
// database is read.
int readHistory(const QString &networkName, const lns::HistoryFilter &filter, QVector<lns::WriteRecord> *records,
                QTextStream &err);

class Session;
// Item `item` of string `id` of the string table, placeholders filled.
QString text(int id, int item = 1, const QStringList &args = {});
// Program id of the opened device (empty when it cannot be told).
QString programId();
// Opens `object` for command 13 or 22; kOk, or the status after a one-line
// message on `err`.
int openObject(Session &s, const QString &object, int commandId, QTextStream &err);
// The refusal of a parameter file, as the window's load command words it.
QString loadRefusal(const params::LoadReport &report);
// Loads a parameter file into the opened object as the window's load command
// does (values loading, then the page logic); kOk or kRefused.
int loadFile(Session &s, const QString &file, QTextStream &err);
// The window's checks before a write; the refused values, each with the
// range or list it may take, in one line on `err`.
bool checkValues(Session &s, QTextStream &err);

} // namespace cli
