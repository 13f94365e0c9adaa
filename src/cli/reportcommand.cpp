// `aerolis report`: the commissioning report of one or many controllers. Each
// object is opened the way the window opens it (one session after the
// other), its values are the ones the window shows after its start-up read,
// and the report collection is the window's menu entry's own. Nothing is
// written to any device. The run opens each network once, and the devices'
// reads go to their channel's work lane, so that controllers on different
// channels are read at the same time as `aerolis copy` writes them; the
// report lists them in the order chosen all the same.
#include "commands.h"
#include "objectnames.h"
#include "selection.h"
#include "session.h"

#include <configuration/configuration.h>
#include <headless/controllerreport.h>
#include <host/hoststate.h>
#include <lns/worklanes.h>
#include <model/pagemodel.h>
#include <platform/tracelog.h>
#include <platform/objectname.h>
#include <report/reportwriters.h>

#include <QDir>
#include <QFileInfo>

namespace cli {

namespace {

constexpr int kHelpItem = 8;
const QString kPerChannel = QStringLiteral("--per-channel");

// The output option given: --html, --pdf or --csv (exactly one).
struct Output
{
    report::Format format = report::Format::Html;
    QString file;
};

// A folder we can create the file in (the file itself may not exist yet).
bool writableTarget(const QString &file)
{
    const QFileInfo info(file);
    if (info.exists())
        return info.isFile() && info.isWritable();
    const QFileInfo dir(info.absolutePath());
    return dir.isDir() && dir.isWritable();
}

// The networks the run will report on, held open before anything is looked
// up: those the names and selectors name, every network when they name
// none (a device name alone, --all without --network).
void holdNetworksOf(const ParsedArgs &a, NetworkHold &networks)
{
    QStringList names;
    bool unnamed = false;
    for (const QString &typed : a.positional) {
        const platform::ObjectName parts = platform::analyseObjectName(typed);
        if (parts.valid)
            names << parts.networkName;
        else
            unnamed = true;
    }
    const QString network = a.values.value(QStringLiteral("--network"));
    if (!network.isEmpty())
        names << network;
    const QString subsystem = a.values.value(QStringLiteral("--subsystem"));
    if (!subsystem.isEmpty())
        names << subsystem.section(QLatin1Char('.'), 0, 0);
    if (unnamed || (names.isEmpty() && hasSelector(a))) {
        networks.holdAll();
        return;
    }
    for (const QString &name : qAsConst(names))
        networks.hold(name);
}

} // namespace

int reportCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (wantsHelp(args))
        return printHelp(out, kHelpItem), kOk;
    const QStringList outputNames{QStringLiteral("--html"), QStringLiteral("--pdf"), QStringLiteral("--csv")};
    const QString site = QStringLiteral("--site");
    const QString technician = QStringLiteral("--technician");
    const ParsedArgs a = parseArgs(args, selectorFlagNames(),
                                   selectorValueNames() + outputNames + QStringList{site, technician, kPerChannel});
    if (a.status)
        return usageError(err, a.error, kHelpItem);
    int perChannel = 1;
    if (a.values.contains(kPerChannel)) {
        bool number = false;
        perChannel = a.values.value(kPerChannel).toInt(&number);
        if (!number || perChannel < 1 || perChannel > lns::kMaxLanesPerChannel)
            return usageError(err, text(1794, 1, {QString::number(lns::kMaxLanesPerChannel), a.values.value(kPerChannel)}),
                              kHelpItem);
    }

    QStringList given;
    for (const QString &name : outputNames)
        if (a.values.contains(name))
            given << name;
    if (given.isEmpty())
        return usageError(err, text(1751, 1), kHelpItem);
    if (given.size() > 1)
        return usageError(err, text(1751, 2, {given.join(QLatin1Char(' '))}), kHelpItem);
    Output output;
    output.file = a.values.value(given.first());
    output.format = given.first() == outputNames.at(0)   ? report::Format::Html
                    : given.first() == outputNames.at(1) ? report::Format::Pdf
                                                         : report::Format::Csv;
    if (output.file.isEmpty())
        return usageError(err, text(1703, 1, {given.first()}), kHelpItem);
    if (a.positional.isEmpty() && !hasSelector(a))
        return usageError(err, text(1703, 1, {QStringLiteral("OBJECT")}), kHelpItem);
    // A file we cannot write is refused before any device is read.
    if (!writableTarget(output.file))
        return fail(err, kRefused, text(1749, 1, {output.file}));

    // The run opens each network it reports on once: the name lookups, the
    // selection and every controller's session find it open.
    NetworkHold networks;
    holdNetworksOf(a, networks);

    // Names as typed (a device name alone included) are resolved first: a
    // name that is not there is refused with what is missing.
    QStringList named;
    const lns::ObjectServerPtr server = a.positional.isEmpty() ? nullptr : networks.server();
    for (const QString &typed : a.positional) {
        const ResolvedObject r = server ? resolveObjectName(typed, server) : resolveObjectName(typed);
        if (r.status != kOk)
            return fail(err, r.status, r.error);
        named << r.key;
    }
    const Selection selection = selectObjects(a, named);
    if (selection.status != kOk)
        return fail(err, selection.status, selection.error);

    report::Report rep = report::newReport();
    if (a.values.contains(site))
        rep.site = a.values.value(site);
    else if (rep.site.isEmpty())
        rep.site = selection.objects.isEmpty() ? QString() : platform::analyseObjectName(selection.objects.first()).networkName;
    if (a.values.contains(technician))
        rep.technician = a.values.value(technician);
    int reported = 0;
    int failed = 0;
    bool communication = false;
    bool database = false;
    lns::ChannelLanes lanes(perChannel);
    const lns::WorkLaneReset laneReset;
    // One page model for every controller of the run.
    const auto pages = std::make_shared<model::PageModel>();
    pages->loadCaptions();
    for (int i = 0; i < selection.objects.size(); ++i) {
        const QString &object = selection.objects.at(i);
        report::ControllerReport c;
        const SelectedObject *detail = i < selection.details.size() ? &selection.details.at(i) : nullptr;
        if (detail && !detail->ofThisType) {
            c.object = object;
            c.failed = true;
            c.failure = text(1756);
        } else {
            Session s;
            s.reusePageModel(pages);
            // The controller's reads go to its channel's lane from the first.
            s.setBeforeWindow([&lanes] {
                lns::setWorkLane(lanes.laneFor(lns::laneChannelOf(host::state().conn.device, QStringLiteral("ReportLane"))));
            });
            QString error;
            const int status = s.open(object, host::kCommandIdConfigure, &error);
            if (status == kOk) {
                c = headless::controllerReport(*s.pageModel(), s.config(), object);
            } else {
                // What the start could learn of the object is kept: identity
                // without values.
                if (s.windowLoaded() && host::state().conn.device)
                    c = headless::controllerReport(*s.pageModel(), s.config(), object);
                c.object = object;
                c.parameters.clear();
                c.failed = true;
                c.communicationFailure = status == kCommunication;
                database = database || status == kDatabase;
                c.failure = error;
            }
        }
        if (c.failed) {
            ++failed;
            communication = communication || c.communicationFailure;
            err << "aerolis: " << text(1752, 2, {object, c.failure}) << Qt::endl;
        } else {
            ++reported;
            out << text(1752, 1,
                        {object, QString::number(report::groupedByPage(c.parameters).size()), QString::number(c.differing())})
                << Qt::endl;
        }
        rep.controllers << c;
    }
    out << text(1752, 3, {QString::number(reported), QString::number(failed)}) << Qt::endl;

    QString error;
    if (!report::writeReport(rep, output.format, output.file, &error))
        return fail(err, kRefused, error);
    err << text(1749, 2, {QDir::toNativeSeparators(output.file)}) << Qt::endl;
    if (database)
        return kDatabase;
    if (communication)
        return kCommunication;
    return failed > 0 ? kRefused : kOk;
}

} // namespace cli
