#include "copyrun.h"

#include "configuration.h"

#include <host/hoststate.h>
#include <lns/templatelookup.h>
#include <lns/worklanes.h>
#include <params/copyplan.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>


namespace configuration {

namespace {

constexpr int kRed = 255;
constexpr int kGreen = 65280;
constexpr int kBlue = 16711680;
constexpr int kMagenta = 16711935;

params::ChannelPrice &channelPrice()
{
    static params::ChannelPrice price;
    return price;
}

QString fill(int id, int item, const QStringList &args)
{
    return platform::fillPlaceholders(gLoadResString(id, item), args);
}

// The channel of the object's device; empty when it cannot be told.
QString channelOf(const lns::LonMarkObjectPtr &object)
{
    const QString where = QStringLiteral("WriteParametersEx: channel");
    try {
        return lns::laneChannelOf(std::dynamic_pointer_cast<lns::AppDevice>(lns::findAncestor(object, lns::ClsAppDevice)),
                                  where);
    } catch (const lns::LnsError &e) {
        platform::traceCaughtError(where, e.number(), e.description());
    }
    return QString();
}

void setModeFlags(params::cParams &p, bool dontWrite)
{
    if (auto mode = p.Parameter1ByteByName(QStringLiteral("HvacAppMode")))
        mode->setDontWriteToLns(dontWrite);
    if (auto valves = p.Parameter2ByteByName(QStringLiteral("NumValves")))
        valves->setDontWriteToLns(dontWrite);
}

} // namespace

QStringList CopyRunReport::failedKeys() const
{
    QStringList out;
    for (const CopyObjectResult &r : results)
        if (r.outcome == CopyOutcome::Failed || r.outcome == CopyOutcome::AppLoadedNotWritten)
            out << r.key;
    return out;
}

QStringList CopyRunReport::unfinishedKeys() const
{
    QStringList out;
    for (const CopyObjectResult &r : results)
        if (r.outcome == CopyOutcome::Failed || r.outcome == CopyOutcome::AppLoadedNotWritten
            || r.outcome == CopyOutcome::WrittenAppMissing)
            out << r.key;
    return out;
}

int CopyRunReport::count(CopyOutcome outcome) const
{
    int n = 0;
    for (const CopyObjectResult &r : results)
        n += r.outcome == outcome ? 1 : 0;
    return n;
}

CopyRun::CopyRun(cConfiguration &config) : m_config(config) {}

void CopyRun::setChannelPrice(params::ChannelPrice price)
{
    channelPrice() = std::move(price);
}

void CopyRun::log(const QString &text, int color, bool bold)
{
    if (ConfigWindow *w = m_config.window())
        w->LogLine(text, color, bold);
}

void CopyRun::status(const QString &text)
{
    // Traced as well: the run's progress stays readable after the window
    // moved on (and without a window).
    platform::TraceLog::instance().write(QStringLiteral("[WriteParametersEx] ") + text);
    if (ConfigWindow *w = m_config.window())
        w->setStatusText(text);
}

CopyRunReport CopyRun::WriteParametersEx(platform::MultiDeviceSelector &selector, const QStringList &failedLastRun)
{
    platform::traceEntry(QStringLiteral("[M_PlugIn] Public Sub WriteParametersEx()"));
    CopyRunReport report;
    if (!m_config.checkValues())
        return report;
    const host::HostState &s = host::state();
    status(gLoadResString(1519));

    params::LnsMultiDeviceSearch search(s.conn.system, s.conn.object, &s.ini);
    search.setCopiedCps(params::copiedCps(m_config.Parameters()));
    if (channelPrice())
        search.setChannelPrice(channelPrice());
    // The search's end is the end of "Scanning project ...".
    QObject::connect(&search, &platform::MultiDeviceSearch::searchCompleted, [this]() { status(gLoadResString(1517)); });
    platform::MultiDeviceRequest request;
    request.title = gLoadResString(1602, 1);
    request.search = &search;
    request.failedLastRun = failedLastRun;
    const QStringList keys = selector.select(request);
    if (keys.isEmpty()) {
        status(gLoadResString(1517));
        return report;
    }

    return runChosen(search, keys);
}

CopyRunReport CopyRun::runChosen(const params::LnsMultiDeviceSearch &search, const QStringList &keys)
{
    return runChosen([&search](const QString &key) { return search.object(key); }, keys);
}

CopyRunReport CopyRun::runChosen(const ObjectLookup &lookup, const QStringList &keys)
{
    ConfigWindow *w = m_config.window();
    host::HostState &s = host::state();
    CopyRunReport report;
    bool bracketOpen = false;
    try {
        if (s.conn.system) {
            s.conn.system->beginBracket(100);
            bracketOpen = true;
        }
    } catch (const std::exception &e) {
        platform::TraceLog::instance().logError(QStringLiteral("M_PlugIn"), QStringLiteral("WriteParametersEx"), 0,
                                                QString::fromUtf8(e.what()));
    }
    if (w)
        w->setBusy(true);
    report = writeTo(lookup, keys);
    if (w) {
        w->setBusy(false);
        w->setApplyEnabled(false);
        w->setParametersChanged(false);
    }
    status(gLoadResString(1517));
    if (bracketOpen) {
        try {
            s.conn.system->endBracket();
        } catch (const std::exception &e) {
            platform::TraceLog::instance().logError(QStringLiteral("M_PlugIn"), QStringLiteral("WriteParametersEx"), 0,
                                                    QString::fromUtf8(e.what()));
        }
    }
    return report;
}

CopyRunReport CopyRun::writeTo(const params::LnsMultiDeviceSearch &search, const QStringList &keys)
{
    return writeTo([&search](const QString &key) { return search.object(key); }, keys);
}

CopyRunReport CopyRun::writeTo(const ObjectLookup &lookup, const QStringList &keys)
{
    CopyRunReport report;
    report.started = true;
    ConfigWindow *w = m_config.window();
    const host::HostState &s = host::state();
    const bool errorsBefore = w && w->errorsLogged();
    if (w)
        w->setErrorsLogged(false);

    log(gLoadResString(1551, 1), kBlue, true);
    log(gLoadResString(1208), kMagenta);
    setModeFlags(m_config.Parameters(), false);
    const QString source = s.conn.object ? s.conn.object->name() : s.objectName;
    log(fill(1609, 1, {source, QString::number(keys.size())}), 0, true);

    const int n = keys.size();
    // Objects on different channels overlap, one transaction in flight per
    // channel, unless the caller has put the run in a lane of its own.
    const bool ownLanes = lns::workLane() == 0;
    lns::ChannelLanes lanes;
    for (int i = 0; i < n; ++i) {
        const QString progress = QStringLiteral("%1/%2").arg(i + 1).arg(n);
        const QString &key = keys.at(i);
        CopyObjectResult r;
        if (lns::LonMarkObjectPtr object = lookup(key)) {
            if (ownLanes)
                lns::setWorkLane(lanes.laneFor(channelOf(object)));
            r = writeOne(object, key, progress);
        } else {
            status(fill(1500, 2, {progress}));
            log(fill(1609, 2, {progress, key, QString()}));
            log(gLoadResString(1535), kRed);
            r.key = key;
            r.reason = gLoadResString(1609, 9);
        }
        report.results << r;
    }

    if (ownLanes)
        lns::setWorkLane(0);
    log(QString());
    log(gLoadResString(1551, 2), kBlue, true);
    logSummary(report);
    if (w) {
        if (w->errorsLogged())
            w->ShowLogger();
        w->setErrorsLogged(errorsBefore);
    }
    return report;
}

CopyObjectResult CopyRun::writeOne(const lns::LonMarkObjectPtr &object, const QString &key, const QString &progress)
{
    ConfigWindow *w = m_config.window();
    const host::HostState &s = host::state();
    params::cParams &p = m_config.Parameters();
    CopyObjectResult r;
    r.key = key;
    status(fill(1500, 2, {progress}));

    lns::AppDevicePtr device;
    lns::TemplateContext ctx = s.templateContext();
    try {
        device = std::dynamic_pointer_cast<lns::AppDevice>(lns::findAncestor(object, lns::ClsAppDevice));
        if (device)
            ctx.deviceTemplate = device->deviceTemplate();
        r.ctrlType = platform::leadingInt32(ctx.value(lns::kCpSection, QStringLiteral("CtrlType")));
    } catch (const std::exception &e) {
        platform::TraceLog::instance().logError(QStringLiteral("M_PlugIn"), QStringLiteral("WriteParametersEx"), 0,
                                                QString::fromUtf8(e.what()));
    }
    const QString templateName = ctx.deviceTemplate ? ctx.deviceTemplate->name() : QString();
    log(fill(1609, 2, {progress, key, templateName}));

    bool appFailed = false;
    bool appLoaded = false;
    switch (r.ctrlType) {
    case 1:
    case 2: {
        status(fill(1500, 6, {progress}));
        // Whether this object's application check logged a red line.
        const bool before = w && w->errorsLogged();
        if (w)
            w->setErrorsLogged(false);
        bool silent = true;
        appLoaded = device && m_config.LoadApplicationByAppMode(device, silent);
        appFailed = !device || (w && w->errorsLogged()) || m_config.lastDownloadFailed();
        if (w)
            w->setErrorsLogged(before || appFailed);
        break;
    }
    case 3:
    case 4:
        log(QString());
        break;
    default:
        break;
    }
    applyKindRules(r.ctrlType);

    status(fill(1500, 2, {progress}));
    const int traceFrom = platform::TraceLog::instance().recent().size();
    const bool written = p.WriteToLnsLmo(object, &s.ini, lns::kCpSection);
    if (!written) {
        log(gLoadResString(1535), kRed);
        // The application went in before the transaction: the object runs
        // it now, with its old values.
        r.outcome = appLoaded ? CopyOutcome::AppLoadedNotWritten : CopyOutcome::Failed;
        const QVector<platform::TracedError> traced = platform::tracedErrorsSince(traceFrom);
        if (!traced.isEmpty())
            r.reason = traced.last().description;
        if (r.reason.isEmpty())
            r.reason = fill(1609, 8, {p.failedCpNames().join(QStringLiteral(", "))});
    } else {
        r.outcome = appFailed ? CopyOutcome::WrittenAppMissing
                              : (appLoaded ? CopyOutcome::AppLoaded : CopyOutcome::Written);
    }

    // The record names the application the object now runs: when the set
    // and the application both arrived, or the application was loaded
    // whatever became of the set.
    const int currentKind = m_config.ctrlType();
    if ((currentKind == 1 || currentKind == 2) && ((written && !appFailed) || appLoaded)) {
        try {
            object->setExtensionData(kAppModeRecordKey, QString::number(m_config.appNumber()));
        } catch (const std::exception &e) {
            platform::TraceLog::instance().write(QStringLiteral("StoreAppMode: %1").arg(QString::fromUtf8(e.what())));
        }
    }
    return r;
}

void CopyRun::applyKindRules(int ctrlType)
{
    params::cParams &p = m_config.Parameters();
    switch (ctrlType) {
    case 1:
    case 2:
    case 5:
        setModeFlags(p, true);
        break;
    case 3:
    case 4:
        // These kinds run no application of ours to ask: the mode CPs carry it.
        m_config.setModeParametersFromAppNumber();
        setModeFlags(p, false);
        break;
    default:
        break;
    }
}

void CopyRun::logSummary(const CopyRunReport &report)
{
    log(QString());
    log(gLoadResString(1609, 3), 0, true);
    for (const CopyObjectResult &r : report.results) {
        switch (r.outcome) {
        case CopyOutcome::Written:
            log(QStringLiteral("  ") + fill(1609, 4, {r.key}), kGreen);
            break;
        case CopyOutcome::AppLoaded:
            log(QStringLiteral("  ") + fill(1609, 5, {r.key}), kGreen);
            break;
        case CopyOutcome::WrittenAppMissing:
            log(QStringLiteral("  ") + fill(1609, 6, {r.key}), kMagenta);
            break;
        case CopyOutcome::AppLoadedNotWritten:
            log(QStringLiteral("  ") + fill(1609, 11, {r.key, r.reason}), kRed);
            break;
        case CopyOutcome::Failed:
            log(QStringLiteral("  ") + fill(1609, 7, {r.key, r.reason}), kRed);
            break;
        }
    }
    const int failed = report.failedKeys().size();
    log(fill(1609, 10, {QString::number(report.results.size() - failed), QString::number(report.results.size()),
                        QString::number(failed)}),
        0, true);
}

} // namespace configuration
