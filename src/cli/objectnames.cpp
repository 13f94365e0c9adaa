#include "objectnames.h"

#include "commands.h"
#include "networkaccess.h"
#include "session.h"

#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>
#include <platform/version.h>

#include <algorithm>

namespace cli {

namespace {

constexpr int kNotFoundText = 1784;
constexpr int kClosestText = 1785;
constexpr int kDatabaseText = 1786;

// Items of kNotFoundText.
enum NotFoundItem {
    kNetworkItem = 1,
    kSubsystemItem,
    kDeviceItem,
    kObjectItem,
    kAmbiguousItem,
    kNoNameItem,
    kNoSingleObjectItem,
};

QString withClosest(const QString &message, const QStringList &closest)
{
    const QString hint =
        closest.isEmpty() ? text(kClosestText, 2) : text(kClosestText, 1, {closest.join(QStringLiteral(", "))});
    return message + QStringLiteral(". ") + hint;
}

ErrorWatch *g_current = nullptr;

} // namespace

QString lookupMessage(const lns::ObjectLookup &l)
{
    using lns::LookupMissing;
    if (l.serverError())
        return l.errorNumber == lns::ErrDatabase ? databaseMessage(l.errorText) : l.errorText;
    switch (l.missing) {
    case LookupMissing::None:
        return QString();
    case LookupMissing::Name:
        return text(kNotFoundText, kNoNameItem, {l.wanted});
    case LookupMissing::Network:
        return withClosest(text(kNotFoundText, kNetworkItem, {l.wanted}), l.closest);
    case LookupMissing::Subsystem:
        return withClosest(text(kNotFoundText, kSubsystemItem, {l.wanted, l.place}), l.closest);
    case LookupMissing::Device:
        return withClosest(text(kNotFoundText, kDeviceItem, {l.wanted, l.place}), l.closest);
    case LookupMissing::Object:
        if (l.wanted.isEmpty())
            return text(kNotFoundText, kNoSingleObjectItem, {l.place, l.closest.join(QStringLiteral(", "))});
        return withClosest(text(kNotFoundText, kObjectItem, {l.wanted, l.place}), l.closest);
    case LookupMissing::Ambiguous:
        return text(kNotFoundText, kAmbiguousItem, {l.wanted, l.closest.join(QStringLiteral(", "))});
    }
    return QString();
}

QString databaseMessage(const QString &reason)
{
    // The object server words it "network database PATH: reason (SQLite's
    // text)", sometimes behind the step that met it ("CP X: ..."): the
    // message starts at the path.
    static const QString lead = QStringLiteral("network database ");
    const int at = reason.indexOf(lead);
    return text(kDatabaseText, 1, {at >= 0 ? reason.mid(at + lead.size()) : reason});
}

QString serverMessage(const QString &reason)
{
    return oneLine(platform::fillPlaceholders(gLoadResString(1508), {platform::kProductName})) + QStringLiteral(" (")
        + reason + QLatin1Char(')');
}

ResolvedObject resolveObjectName(const QString &typedName)
{
    return resolveObjectName(typedName, newObjectServer());
}

ResolvedObject resolveObjectName(const QString &typedName, const lns::ObjectServerPtr &server)
{
    ResolvedObject r;
    const lns::ObjectLookup l = lns::lookUpObject(server, typedName, networkAccess());
    if (l.found()) {
        r.key = l.name.toString();
        return r;
    }
    // An object server that cannot be opened is a fault of the way to it,
    // told here with its reason: nothing further could find the object.
    if (l.serverError() && l.errorNumber == lns::ErrNotOpen) {
        r.status = kCommunication;
        r.error = serverMessage(l.errorText);
        return r;
    }
    if (l.serverError() && l.errorNumber != lns::ErrDatabase) {
        r.key = typedName;
        return r;
    }
    r.status = l.serverError() ? kDatabase : kRefused;
    r.error = lookupMessage(l);
    return r;
}

// --- ErrorWatch ---------------------------------------------------------------

namespace {

// The error logger's policy while watches live: every living watch records
// the error (the inner ones see what the outer ones see), and the action is
// the logger's default.
void installPolicyFor(ErrorWatch *innermost)
{
    if (!innermost) {
        platform::TraceLog::instance().setActionPolicy(nullptr);
        return;
    }
    platform::TraceLog::instance().setActionPolicy([](const QString &module, const QString &procedure, int number) {
        // The policy is told module, procedure and number; the description
        // is in the line the error logger has just written from those parts.
        LoggedError e{module, procedure, number, QString()};
        const QStringList &recent = platform::TraceLog::instance().recent();
        const QString head = QStringLiteral("ERROR in [%1] %2: %3 ").arg(module, procedure).arg(number);
        if (!recent.isEmpty() && recent.last().startsWith(head))
            e.description = recent.last().mid(head.size());
        for (ErrorWatch *w = g_current; w; w = w->outer())
            w->record(e);
        return int(platform::EA_Leave);
    });
}

} // namespace

ErrorWatch::ErrorWatch() : m_outer(g_current)
{
    g_current = this;
    installPolicyFor(this);
}

ErrorWatch::~ErrorWatch()
{
    g_current = m_outer;
    installPolicyFor(m_outer);
}

void ErrorWatch::setDatabaseFailureTold()
{
    for (ErrorWatch *w = this; w; w = w->m_outer)
        w->m_told = true;
}

ErrorWatch *ErrorWatch::current()
{
    return g_current;
}

std::optional<LoggedError> ErrorWatch::databaseFailure() const
{
    for (const LoggedError &e : m_errors)
        if (e.number == lns::ErrDatabase)
            return e;
    return std::nullopt;
}

bool ErrorWatch::rightRefused() const
{
    return std::any_of(m_errors.cbegin(), m_errors.cend(), [](const LoggedError &e) { return e.number == lns::ErrNoRight; });
}

std::optional<LoggedError> ErrorWatch::lastOf(const QString &procedure) const
{
    for (auto it = m_errors.crbegin(); it != m_errors.crend(); ++it)
        if (it->procedure == procedure)
            return *it;
    return std::nullopt;
}

int settleDatabaseFailure(const ErrorWatch &watch, int status, QTextStream &err)
{
    const std::optional<LoggedError> failure = watch.databaseFailure();
    if (!failure)
        return status;
    if (!watch.databaseFailureTold())
        err << "aerolis: " << databaseMessage(failure->description) << Qt::endl;
    return kDatabase;
}

} // namespace cli
