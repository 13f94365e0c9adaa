// The object a user typed, found the way the tool's commands need it, and
// the errors the product's code hands to the error logger while a command
// runs (a network database failure among them decides the command's status).
#pragma once

#include <lns/objectlookup.h>

#include <QString>
#include <QTextStream>
#include <QVector>

#include <optional>

namespace cli {

struct ResolvedObject
{
    int status = 0; // kOk, kRefused (named object not there) or kDatabase
    QString key;    // the whole object name to open, when kOk
    QString error;  // one line, from the string table, when not kOk
};

// Resolves a name given on the command line: a whole object name, a device
// name alone or "device.object" (lns::lookUpObject). Not found: kRefused
// with a message that names the missing network, subsystem, device or object
// and the closest existing names. The network database cannot be read:
// kDatabase with its reason. Other object server trouble is left to the
// product's start, which reports it as the window would: the key is then the
// name as typed.
ResolvedObject resolveObjectName(const QString &typedName);
// The same on an object server already created (several names, one server).
ResolvedObject resolveObjectName(const QString &typedName, const lns::ObjectServerPtr &server);

// The message for a lookup that found nothing (string table, one line).
QString lookupMessage(const lns::ObjectLookup &lookup);
// The message for a network database failure with its reason.
QString databaseMessage(const QString &reason);
// The product's message for an object server that cannot be opened, with
// the reason (an unreachable database server, a refused login).
QString serverMessage(const QString &reason);

// An error the product's code handed to the error logger.
struct LoggedError
{
    QString module;
    QString procedure;
    int number = 0;
    QString description;
};

// Records the errors handed to the error logger while it lives; watches nest
// (each records what happens in its lifetime), the innermost living one is
// current(). The tool installs no other error policy.
class ErrorWatch
{
public:
    ErrorWatch();
    ~ErrorWatch();
    ErrorWatch(const ErrorWatch &) = delete;
    ErrorWatch &operator=(const ErrorWatch &) = delete;

    static ErrorWatch *current();
    const QVector<LoggedError> &errors() const { return m_errors; }
    // The first network database failure recorded, if any.
    std::optional<LoggedError> databaseFailure() const;
    // Whether the database server refused a change for a right the user
    // lacks.
    bool rightRefused() const;
    // The last error of `procedure`, if any.
    std::optional<LoggedError> lastOf(const QString &procedure) const;
    // Whether the database failure has been told on standard error; told
    // by one watch means told for the watches around it too.
    bool databaseFailureTold() const { return m_told; }
    void setDatabaseFailureTold();

    ErrorWatch *outer() const { return m_outer; }
    void record(const LoggedError &e) { m_errors << e; }

private:
    QVector<LoggedError> m_errors;
    ErrorWatch *m_outer = nullptr;
    bool m_told = false;
};

// What a command ends with when the network database failed on the way: its
// own status when nothing failed there; otherwise the failure told once on
// `err` (unless already told) and kDatabase.
int settleDatabaseFailure(const ErrorWatch &watch, int status, QTextStream &err);

} // namespace cli
