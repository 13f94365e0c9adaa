// Process-wide trace log and error logger.
//
// Every public procedure writes an entry line ("[Module] Public Sub Name()")
// here first; errors caught by a procedure's handler are written here with
// module and procedure, and the error logger answers with what to do next.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>

namespace platform {

// What a procedure does after its error handler ran.
enum ErrorAction : int {
    EA_Repeat = 0,   // repeat the failing step
    EA_Continue = 1, // continue with the next step
    EA_Leave = 2,    // leave the procedure
    EA_End = 3,      // end the program
};

class TraceLog
{
public:
    static TraceLog &instance();

    // Opens (appends to) the log file. When its folder is not writable the
    // file goes to fallbackFolder instead. Returns the path used.
    QString start(const QString &fileName, const QString &fallbackFolder, const QString &programVersion,
                  int textBase, const QString &productName);
    void stop();
    QString fileName() const { return m_file.fileName(); }
    bool isOpen() const { return m_file.isOpen(); }

    // Writes one line verbatim after a time stamp.
    void write(const QString &line);
    // The error logger: writes the error and answers with an ErrorAction.
    int logError(const QString &module, const QString &procedure, int number, const QString &description);

    // Lines written since start (or since clearRecent); lets tests and the
    // demo read back what was traced without parsing the file.
    const QStringList &recent() const { return m_recent; }
    void clearRecent() { m_recent.clear(); }

    // Who decides the error action; default: leave the procedure.
    using ActionPolicy = std::function<int(const QString &module, const QString &procedure, int number)>;
    void setActionPolicy(ActionPolicy policy) { m_policy = std::move(policy); }

private:
    TraceLog() = default;
    QFile m_file;
    QStringList m_recent;
    QStringList m_pending; // written before the file was opened
    ActionPolicy m_policy;
};

// Shorthand for the entry line of a procedure.
inline void traceEntry(const QString &line)
{
    TraceLog::instance().write(line);
}

} // namespace platform
