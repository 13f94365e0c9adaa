#include "busnames.h"

#include <QDBusObjectPath>
#include <QRegularExpression>

namespace automation {

bool splitObjectHandle(const QString &handle, QString *service, QString *path)
{
    const int slash = handle.indexOf(QLatin1Char('/'));
    if (slash <= 0)
        return false;
    const QString s = handle.left(slash);
    const QString p = handle.mid(slash);
    // Bus names: unique (":1.42") or well-known ("a.b"), elements of
    // [A-Za-z0-9_-], at least two; object paths: "/" separated [A-Za-z0-9_].
    static const QRegularExpression busName(
        QStringLiteral("^(:[A-Za-z0-9_-]+(\\.[A-Za-z0-9_-]+)+|[A-Za-z_-][A-Za-z0-9_-]*(\\.[A-Za-z_-][A-Za-z0-9_-]*)+)$"));
    static const QRegularExpression objectPath(QStringLiteral("^/([A-Za-z0-9_]+(/[A-Za-z0-9_]+)*)?$"));
    if (s.size() > 255 || !busName.match(s).hasMatch() || !objectPath.match(p).hasMatch())
        return false;
    if (service)
        *service = s;
    if (path)
        *path = p;
    return true;
}

} // namespace automation
