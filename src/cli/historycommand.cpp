// `aerolis history`: the record of writes the network database keeps, newest
// first, for one controller or a whole network. Only the network database is
// read; no device is asked.
#include "commands.h"
#include "networkaccess.h"
#include "objectnames.h"
#include "session.h"

#include <configuration/configuration.h>
#include <configuration/configwindow.h>
#include <host/hoststate.h>
#include <lns/lnsobjects.h>
#include <lns/rawtext.h>
#include <params/paramcollection.h>
#include <platform/objectname.h>
#include <report/parameterrows.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <memory>

namespace cli {

namespace {

constexpr int kHelpItem = 9;
constexpr int kHistoryTexts = 1788; // 1 not a time, 2 nothing recorded, 3 values shown as bytes
constexpr int kHistoryColumns = 1789;
const QString kSince = QStringLiteral("--since");
const QString kNetwork = QStringLiteral("--network");
const QString kJson = QStringLiteral("--json");

// Values as the controller's pages show them. The controller is opened as
// the window opens it (its start reads the parameters once; nothing is
// written), so that its template's parameters, units and lists name the
// recorded bytes. A whole network's record, or a controller that cannot be
// opened, shows bytes.
class ShownValues
{
public:
    // One line on `err` when the controller cannot be opened.
    void open(const QString &objectKey, QTextStream &err)
    {
        m_session = std::make_unique<Session>();
        QString why;
        if (m_session->open(objectKey, host::kCommandIdConfigure, &why) != kOk || !m_session->config()) {
            err << text(kHistoryTexts, 3, {objectKey, why}) << Qt::endl;
            m_session.reset();
            return;
        }
        // Nothing to ask about when the session ends.
        m_session->configWindow()->setParametersChanged(false);
    }
    QString valueOf(const lns::WriteRecord &r, const QByteArray &bytes)
    {
        params::cParams *all = m_session ? &m_session->config()->Parameters() : nullptr;
        if (!all || r.kind != lns::WriteKind::Cp)
            return report::recordedValueText(all, r.kind, r.item, bytes);
        const QString key = r.item + QLatin1Char('\n') + lns::formatRaw(bytes);
        auto at = m_known.constFind(key);
        if (at == m_known.cend())
            at = m_known.insert(key, report::recordedValueText(all, r.kind, r.item, bytes));
        return *at;
    }

private:
    std::unique_ptr<Session> m_session;
    QHash<QString, QString> m_known; // CP and bytes -> text
};

// Bytes of a CP or an NV as decimal numbers; the other kinds hold text.
QString bytesOrText(lns::WriteKind kind, const QByteArray &bytes)
{
    return kind == lns::WriteKind::Cp || kind == lns::WriteKind::Nv ? lns::formatDecimal(bytes)
                                                                     : QString::fromUtf8(bytes);
}

QString objectOf(const lns::WriteRecord &r)
{
    return r.object.isEmpty() ? r.device : r.device + QLatin1Char('.') + r.object;
}

QJsonObject toJson(const lns::WriteRecord &r, ShownValues &shown)
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
        {QStringLiteral("before"), bytesOrText(r.kind, r.before)},
        {QStringLiteral("after"), bytesOrText(r.kind, r.after)},
        {QStringLiteral("beforeShown"), shown.valueOf(r, r.before)},
        {QStringLiteral("afterShown"), shown.valueOf(r, r.after)},
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
        openServer(server);
        lns::NetworkPtr network;
        try {
            network = server->networks()->item(networkName);
        } catch (const lns::LnsError &) {
            return fail(err, kRefused, text(1721, 1, {networkName}));
        }
        network->open(networkAccess().remote);
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

    ShownValues shown;
    if (!a.positional.isEmpty() && !records.isEmpty())
        shown.open(scope, err);
    if (a.flags.contains(kJson)) {
        QJsonArray list;
        for (const lns::WriteRecord &r : records)
            list << toJson(r, shown);
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
                           shown.valueOf(r, r.before), shown.valueOf(r, r.after), lns::writeOutcomeText(r.outcome),
                           r.user + QLatin1Char('@') + r.host,
                           (r.tool + QLatin1Char(' ') + r.command).trimmed()}
                   .join(QLatin1Char('\t'))
            << Qt::endl;
    }
    return kOk;
}

} // namespace cli
