// Process-wide trace log and error logger.
//
// Every public procedure writes an entry line ("[Module] Public Sub Name()")
// here first; errors caught by a procedure's handler are written here with
// module and procedure, and the error logger answers with what to do next.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <QVector>

#include <exception>
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

// An error the error logger wrote, read back from the trace.
struct TracedError
{
    int number = 0;
    QString description; // without the object server's "CommitTransaction: " step name
};
// The errors the error logger wrote at or after line `from` of
// TraceLog::recent(), oldest first.
QVector<TracedError> tracedErrorsSince(int from);

// Shorthand for the entry line of a procedure.
inline void traceEntry(const QString &line)
{
    TraceLog::instance().write(line);
}

// An error a catch block turns into a result or goes on after (a close
// during clean-up, a value that is only shown when it can be read, a device
// that does not answer a test): one trace line
// "<where>: caught error <number>: <description>", so that nothing fails
// unseen. A public entry point hands its errors to the error logger instead.
void traceCaughtError(const QString &where, int number, const QString &description);
// The same for an exception of any kind (number 0).
void traceCaughtError(const QString &where, const std::exception &error);

// A programming error: a condition that must hold did not. Hands
// "CHECK FAILED: <condition>" with file and line to the error logger; the
// caller then recovers (AEROLIS_CHECK).
void checkFailed(const char *condition, const char *file, int line);

} // namespace platform

// Asserts a condition that only a programming error can break, and recovers:
// true when it holds; false (after a line in the trace log) when it does not,
// and the caller takes its safe way out, e.g.
//   if (!AEROLIS_CHECK(server)) return nullptr;
#define AEROLIS_CHECK(condition)                                                                    \
    (Q_LIKELY(condition) ? true : (::platform::checkFailed(#condition, __FILE__, __LINE__), false))
