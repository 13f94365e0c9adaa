// `aerolis history`: the record of writes the network database keeps, newest
// first, for one controller or a whole network. Only the network database is
// read; no device is asked.
#include "commands.h"
#include "objectnames.h"
#include "session.h"

#include <lns/lnsobjects.h>
#include <lns/rawtext.h>
#include <platform/objectname.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

namespace cli {

namespace {

constexpr int kHelpItem = 9;
constexpr int kHistoryTexts = 1788; // 1 not a time, 2 nothing recorded
constexpr int kHistoryColumns = 1789;
const QString kSince = QStringLiteral("--since");
const QString kNetwork = QStringLiteral("--network");
const QString kJson = QStringLiteral("--json");

// Bytes of a CP or an NV as their decimal values; the other kinds hold text.
QString valueText(lns::WriteKind kind, const QByteArray &bytes)
{
    if (kind == lns::WriteKind::Cp || kind == lns::WriteKind::Nv) {
        QStringList parts;
        for (char c : bytes)
            parts << QString::number(quint8(c));
        return parts.join(QLatin1Char(' '));
    }
    return QString::fromUtf8(bytes);
}

QString objectOf(const lns::WriteRecord &r)
{
    return r.object.isEmpty() ? r.device : r.device + QLatin1Char('.') + r.object;
}

QJsonObject toJson(const lns::WriteRecord &r)
{
    return QJsonObject{
        {QStringLiteral("id"), double(r.id)},
        {QStringLiteral("transaction"), double(r.transaction)},
        {QStringLiteral("time"), r.time.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("user"), r.user},
        {QStringLiteral("host"), r.host},
        {QStringLiteral("tool"), r.tool},
        {QStringLiteral("command"), r.command},
        {QStringLiteral("device"), r.device},
        {QStringLiteral("object"), r.object},
        {QStringLiteral("kind"), lns::writeKindText(r.kind)},
        {QStringLiteral("item"), r.item},
        {QStringLiteral("before"), valueText(r.kind, r.before)},
        {QStringLiteral("after"), valueText(r.kind, r.after)},
        {QStringLiteral("outcome"), lns::writeOutcomeText(r.outcome)},
        {QStringLiteral("run"), r.run},
    };
}

} // namespace

// "2026-12-01", "2026-12-01T08:30", "2026-12-01 08:30:15" (local time) or
// with a trailing "Z" (UTC).
std::optional<QDateTime> parseHistoryTime(const QString &text)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(' '), QLatin1Char('T'));
    const bool utc = t.endsWith(QLatin1Char('Z'));
    if (utc)
        t.chop(1);
    QDateTime when;
    if (t.size() == 10) {
        const QDate d = QDate::fromString(t, Qt::ISODate);
        if (d.isValid())
            when = d.startOfDay();
    } else {
        for (const char *format : {"yyyy-MM-ddTHH:mm", "yyyy-MM-ddTHH:mm:ss"}) {
            when = QDateTime::fromString(t, QString::fromLatin1(format));
            if (when.isValid())
                break;
        }
    }
    if (!when.isValid())
        return std::nullopt;
    if (utc)
        when.setTimeZone(QTimeZone::utc());
    return when;
}

int readHistory(const QString &networkName, const lns::HistoryFilter &filter, QVector<lns::WriteRecord> *records,
                QTextStream &err)
{
    try {
        const lns::ObjectServerPtr server = newObjectServer();
        if (!server)
            return fail(err, kCommunication, text(1721, 2, {networkName, QStringLiteral("no object server")}));
        server->open(0);
        lns::NetworkPtr network;
        try {
            network = server->networks()->item(networkName);
        } catch (const lns::LnsError &) {
            return fail(err, kRefused, text(1721, 1, {networkName}));
        }
        network->open(false);
        *records = network->writeHistory(filter);
        network->close();
        server->close();
    } catch (const lns::LnsError &e) {
        return fail(err, e.number() == lns::ErrDatabase ? kDatabase : kCommunication,
                    text(1721, 2, {networkName, e.description()}));
    }
    return kOk;
}

int historyCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (wantsHelp(args))
        return printHelp(out, kHelpItem), kOk;
    const ParsedArgs a = parseArgs(args, {kJson}, {kSince, kNetwork});
    if (a.status)
        return usageError(err, a.error, kHelpItem);
    if (a.positional.size() > 1)
        return usageError(err, text(1704, 1, {a.positional.mid(1).join(QLatin1Char(' '))}), kHelpItem);
    if (a.positional.isEmpty() == !a.values.contains(kNetwork))
        return usageError(err, text(1703, 1, {QStringLiteral("OBJECT | --network NAME")}), kHelpItem);
    lns::HistoryFilter filter;
    if (a.values.contains(kSince)) {
        const auto since = parseHistoryTime(a.values.value(kSince));
        if (!since)
            return usageError(err, text(kHistoryTexts, 1, {a.values.value(kSince)}), kHelpItem);
        filter.since = *since;
    }

    QString networkName = a.values.value(kNetwork);
    QString scope = networkName;
    if (!a.positional.isEmpty()) {
        const ResolvedObject object = resolveObjectName(a.positional.first());
        if (object.status != kOk)
            return fail(err, object.status, object.error);
        scope = object.key;
        networkName = platform::analyseObjectName(object.key).networkName;
    }
    filter.device = scope;

    QVector<lns::WriteRecord> records;
    if (const int st = readHistory(networkName, filter, &records, err))
        return st;

    if (a.flags.contains(kJson)) {
        QJsonArray list;
        for (const lns::WriteRecord &r : records)
            list << toJson(r);
        out << QJsonDocument(list).toJson(QJsonDocument::Indented);
        return kOk;
    }
    if (records.isEmpty()) {
        out << text(kHistoryTexts, 2, {scope}) << Qt::endl;
        return kOk;
    }
    QStringList header;
    for (int i = 1; i <= 8; ++i)
        header << text(kHistoryColumns, i);
    out << header.join(QLatin1Char('\t')) << Qt::endl;
    for (const lns::WriteRecord &r : records) {
        out << QStringList{r.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), objectOf(r), r.item,
                           valueText(r.kind, r.before), valueText(r.kind, r.after), lns::writeOutcomeText(r.outcome),
                           r.user + QLatin1Char('@') + r.host,
                           (r.tool + QLatin1Char(' ') + r.command).trimmed()}
                   .join(QLatin1Char('\t'))
            << Qt::endl;
    }
    return kOk;
}

} // namespace cli
