// set-mode, set-occupancy and monitor: the control command's page, unshown.
#include "commands.h"
#include "monitorline.h"
#include "session.h"

#include <host/hoststate.h>
#include <monitoring/monitoring.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <model/pagemodel.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace cli {

namespace {

// The page's lists as the window fills them: text id, item -> item data.
struct ListEntry
{
    int item;
    int data;
};
QVector<ListEntry> listEntries(bool occupancy)
{
    if (occupancy)
        return {{1, 0}, {3, 3}, {2, 1}, {4, 255}};
    QVector<ListEntry> out;
    for (int n = 1; n <= 7; ++n)
        out << ListEntry{n, n - 1};
    return out;
}

int listId(bool occupancy) { return occupancy ? 1076 : 1072; }

// Labels of the monitor line's fields and the indicators' states.
constexpr int kMonitorLabels = 1715;
constexpr int kOnOffText = 1787;

QString itemText(int id, int item, int languageOffset)
{
    const QString raw = platform::rawString(id + languageOffset);
    return raw.split(platform::kItemSeparator).value(item - 1);
}

QString boxText(const model::PageModel &page, int index)
{
    const model::ControlState *b = page.control(QStringLiteral("TextBox"), index);
    return b ? b->text() : QString();
}

} // namespace

MonitorLine MonitorLine::fromPage(const Session &s, const QDateTime &time)
{
    const model::PageModel &w = *s.pageModel();
    MonitorLine l;
    l.time = time;
    l.mode = boxText(w, 34);
    l.setpoint = boxText(w, 12);
    l.occupancy = boxText(w, 13);
    l.heatPrimary = boxText(w, 14);
    l.heatSecondary = boxText(w, 15);
    l.cool = boxText(w, 16);
    l.economizer = boxText(w, 17);
    l.fan = boxText(w, 18);
    l.fanLevel = boxText(w, 19);
    for (int i = 0; i < 3; ++i)
        l.indicators[i] = s.indicatorActive(i);
    return l;
}

QJsonObject MonitorLine::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("time"), time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("mode"), mode);
    o.insert(QStringLiteral("setpoint"), setpoint);
    o.insert(QStringLiteral("occupancy"), occupancy);
    o.insert(QStringLiteral("heatPrimary"), heatPrimary);
    o.insert(QStringLiteral("heatSecondary"), heatSecondary);
    o.insert(QStringLiteral("cool"), cool);
    o.insert(QStringLiteral("economizer"), economizer);
    o.insert(QStringLiteral("fan"), fan);
    o.insert(QStringLiteral("fanLevel"), fanLevel);
    o.insert(QStringLiteral("nightPurge"), indicators[0]);
    o.insert(QStringLiteral("energyHoldOff"), indicators[1]);
    o.insert(QStringLiteral("frostAlarm"), indicators[2]);
    return o;
}

QString MonitorLine::toText() const
{
    // A box the page leaves empty (an output the controller does not have,
    // a mode it does not report) shows as "-", so that every field keeps its
    // label and place.
    const auto value = [](const QString &v, const QString &unit) {
        if (v.isEmpty())
            return QStringLiteral("-");
        return unit.isEmpty() ? v : v + QLatin1Char(' ') + unit;
    };
    const QString percent = QStringLiteral("%");
    const QString celsius = QStringLiteral("\u00B0C");
    const QStringList values{value(mode, {}),          value(setpoint, celsius), value(occupancy, {}),
                             value(heatPrimary, percent), value(heatSecondary, percent), value(cool, percent),
                             value(economizer, percent), value(fan, percent),     value(fanLevel, {}),
                             text(kOnOffText, indicators[0] ? 1 : 2), text(kOnOffText, indicators[1] ? 1 : 2),
                             text(kOnOffText, indicators[2] ? 1 : 2)};
    QStringList fields;
    for (int i = 0; i < values.size(); ++i)
        fields << text(kMonitorLabels, i + 1) + QStringLiteral(": ") + values.at(i);
    return time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral("  ") + fields.join(QStringLiteral("; "));
}

std::optional<int> controlItem(const QString &text, bool occupancy)
{
    const QString wanted = text.trimmed();
    bool isNumber = false;
    const int number = wanted.toInt(&isNumber);
    for (const ListEntry &e : listEntries(occupancy)) {
        if (isNumber && number == e.data)
            return e.data;
        for (int offset : {0, 1000})
            if (wanted.compare(itemText(listId(occupancy), e.item, offset), Qt::CaseInsensitive) == 0)
                return e.data;
    }
    return std::nullopt;
}

int setModeCommand(const QStringList &args, QTextStream &out, QTextStream &err, bool occupancy)
{
    const int helpItem = occupancy ? 5 : 4;
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h")))
        return printHelp(out, helpItem), kOk;
    const ParsedArgs a = parseArgs(args, {}, {});
    if (a.status)
        return usageError(err, a.error, helpItem);
    if (a.positional.size() < 2)
        return usageError(err, gLoadResString(1703).replace(QLatin1String("%1"), a.positional.isEmpty() ? QStringLiteral("OBJECT") : occupancy ? QStringLiteral("STATE") : QStringLiteral("MODE")), helpItem);
    if (a.positional.size() > 2)
        return usageError(err, gLoadResString(1704).replace(QLatin1String("%1"), a.positional.mid(2).join(QLatin1Char(' '))), helpItem);
    const std::optional<int> data = controlItem(a.positional.at(1), occupancy);
    if (!data) {
        QStringList names;
        for (const ListEntry &e : listEntries(occupancy))
            names << gLoadResString(listId(occupancy), e.item);
        return fail(err, kRefused,
                    platform::fillPlaceholders(gLoadResString(1713, occupancy ? 2 : 1),
                                               {a.positional.at(1), names.join(QStringLiteral(", "))}));
    }

    Session s;
    QString error;
    if (const int st = s.open(a.positional.at(0), host::kCommandIdControl, &error))
        return fail(err, st, a.positional.at(0) + QStringLiteral(": ") + error);
    model::ControlState *list = s.pageModel()->control(QStringLiteral("ComboBox"), occupancy ? 9 : 1);
    int index = -1;
    for (int i = 0; list && i < list->count() && index < 0; ++i)
        if (list->itemData(i) == QVariant(*data))
            index = i;
    if (index < 0)
        return fail(err, kRefused, a.positional.at(1));
    list->setCurrentIndex(index);
    const int before = s.messages().shown.size();
    const bool sent = occupancy ? s.monitoring()->SendOccupancy() : s.monitoring()->SendApplicationMode();
    const QStringList shown = s.messages().textsSince(before);
    if (!sent || !shown.isEmpty())
        return fail(err, kCommunication, shown.isEmpty() ? oneLine(gLoadResString(1528)) : shown.join(QLatin1Char(' ')));
    out << platform::fillPlaceholders(gLoadResString(1714), {list->currentText()}) << Qt::endl;
    return kOk;
}

int monitorCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h")))
        return printHelp(out, 6), kOk;
    const ParsedArgs a = parseArgs(args, {QStringLiteral("--json")}, {QStringLiteral("--seconds")});
    if (a.status)
        return usageError(err, a.error, 6);
    if (a.positional.isEmpty())
        return usageError(err, gLoadResString(1703).replace(QLatin1String("%1"), QStringLiteral("OBJECT")), 6);
    if (a.positional.size() > 1)
        return usageError(err, gLoadResString(1704).replace(QLatin1String("%1"), a.positional.mid(1).join(QLatin1Char(' '))), 6);
    double seconds = -1;
    if (a.values.contains(QStringLiteral("--seconds"))) {
        bool ok = false;
        seconds = a.values.value(QStringLiteral("--seconds")).toDouble(&ok);
        if (!ok || seconds < 0)
            return usageError(err, platform::fillPlaceholders(gLoadResString(1717), {a.values.value(QStringLiteral("--seconds"))}), 6);
    }
    const bool json = a.flags.contains(QLatin1String("--json"));

    Session s;
    QString error;
    if (const int st = s.open(a.positional.at(0), host::kCommandIdControl, &error))
        return fail(err, st, a.positional.at(0) + QStringLiteral(": ") + error);
    monitoring::cMonitoring *mon = s.monitoring();

    // One line per update, with every value the page shows after it.
    const auto line = [&] {
        const MonitorLine shown = MonitorLine::fromPage(s, QDateTime::currentDateTime());
        if (json)
            out << QString::fromUtf8(QJsonDocument(shown.toJson()).toJson(QJsonDocument::Compact)) << Qt::endl;
        else
            out << shown.toText() << Qt::endl;
    };
    bool failed = false;
    QEventLoop loop;
    QObject::connect(mon, &monitoring::cMonitoring::updateShown, &loop, [&](const QString &, const QString &) { line(); });
    QObject::connect(mon->MonitorPoints(), &monitoring::cMonitorPoints::CommunicationFailed, &loop, [&] {
        failed = true;
        loop.quit();
    });
    if (!mon->monitoringOn())
        mon->SetMonitoring(true);
    if (seconds >= 0)
        QTimer::singleShot(qint64(seconds * 1000), &loop, &QEventLoop::quit);
    if (!failed)
        loop.exec();
    mon->SetMonitoring(false);
    if (failed)
        return fail(err, kCommunication, oneLine(gLoadResString(1528)));
    return kOk;
}

} // namespace cli
