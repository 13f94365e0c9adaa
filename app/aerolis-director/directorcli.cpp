#include "directorcli.h"

#include "director.h"

#include <lnssim/simobjectserver.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>

namespace director {

namespace {

void listLevel(Director &d, const QVector<SubsystemEntry> &level, int depth, QTextStream &out)
{
    const QString pad(depth * 2, QLatin1Char(' '));
    for (const SubsystemEntry &s : level) {
        out << pad << s.name << '\n';
        listLevel(d, s.subsystems, depth + 1, out);
        for (const DeviceEntry &dev : s.devices) {
            out << pad << "  " << dev.name << "  " << dev.templateName << "  " << dev.programId << "  "
                << stateText(dev.state) << '\n';
            for (const ObjectEntry &o : dev.objects) {
                QStringList commands;
                for (const lnssim::PlugInRegistration &r : d.commandsFor(dev, o))
                    commands << QStringLiteral("%1 %2").arg(r.commandId).arg(r.name);
                out << pad << "    " << o.name << "  (" << o.classId << ")  "
                    << (commands.isEmpty() ? QStringLiteral("-") : commands.join(QStringLiteral(" | "))) << '\n';
            }
        }
    }
}

// A command the template has no registration for, with the ones it has.
QString unknownCommandText(const QString &asked, const QString &templateName,
                           const QVector<lnssim::PlugInRegistration> &commands)
{
    QStringList names;
    for (const lnssim::PlugInRegistration &r : commands)
        names << QStringLiteral("%1 \"%2\"").arg(r.commandId).arg(r.name);
    return QStringLiteral("\"%1\" is no command registered for template %2; its commands (CommandId or name): %3")
        .arg(asked, templateName, names.join(QStringLiteral(", ")));
}

} // namespace

QString usage()
{
    return QStringLiteral(
        "usage: aerolis-director [--root DIR] [--ini FILE] [--network NAME] [--timeout MS] [COMMAND]\n"
        "  list                          subsystems, devices and objects with their registered commands\n"
        "  registrations                 the project's plug-in registrations\n"
        "  register [--program-ids IDS]  the plug-in registers its commands in the project\n"
        "  launch OBJECTNAME COMMAND [--remote] [--ni NAME] [--by-name]\n"
        "                                start the plug-in with a registered command (CommandId or name)\n"
        "  --help, --version             print this text or the version\n"
        "  (no command: the network tool's window; it needs a display)\n");
}

bool parseSettings(const QStringList &arguments, const QString &defaultIni, Settings *settings, QString *error)
{
    Settings s;
    s.ini = defaultIni;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        auto value = [&](QString *target) {
            if (i + 1 >= arguments.size()) {
                *error = QStringLiteral("%1 needs a value").arg(a);
                return false;
            }
            *target = arguments.at(++i);
            return true;
        };
        if (a == QLatin1String("--root")) {
            if (!value(&s.root))
                return false;
        } else if (a == QLatin1String("--ini")) {
            if (!value(&s.ini))
                return false;
        } else if (a == QLatin1String("--network")) {
            if (!value(&s.network))
                return false;
        } else if (a == QLatin1String("--timeout")) {
            QString t;
            if (!value(&t))
                return false;
            bool ok = false;
            s.timeoutMs = t.toInt(&ok);
            if (!ok || s.timeoutMs <= 0) {
                *error = QStringLiteral("--timeout takes milliseconds, not \"%1\"").arg(t);
                return false;
            }
        } else {
            s.rest << a;
        }
    }
    *settings = s;
    return true;
}

int runCommandLine(const Settings &settings, QTextStream &out, QTextStream &err)
{
    const QStringList &args = settings.rest;
    const QString cmd = args.value(0);
    auto bad = [&](const QString &why) {
        err << "aerolis-director: " << why << '\n' << usage();
        return 2;
    };
    if (cmd != QLatin1String("list") && cmd != QLatin1String("registrations") && cmd != QLatin1String("register")
        && cmd != QLatin1String("launch"))
        return bad(cmd.isEmpty() ? QStringLiteral("no command given") : QStringLiteral("unknown command \"%1\"").arg(cmd));

    // Options of the command, checked before anything is opened.
    QString programIds;
    bool programIdsGiven = false;
    LaunchOptions options;
    QStringList positional;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (cmd == QLatin1String("register") && a == QLatin1String("--program-ids") && i + 1 < args.size()) {
            programIds = args.at(++i);
            programIdsGiven = true;
        } else if (cmd == QLatin1String("launch") && a == QLatin1String("--remote")) {
            options.remote = true;
        } else if (cmd == QLatin1String("launch") && a == QLatin1String("--ni") && i + 1 < args.size()) {
            options.networkInterfaceName = args.at(++i);
        } else if (cmd == QLatin1String("launch") && a == QLatin1String("--by-name")) {
            options.byName = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return bad(QStringLiteral("%1: unknown or incomplete option %2").arg(cmd, a));
        } else {
            positional << a;
        }
    }
    const int wanted = cmd == QLatin1String("launch") ? 2 : 0;
    if (positional.size() != wanted)
        return bad(QStringLiteral("%1: wrong number of arguments").arg(cmd));

    Director d(settings.root, settings.ini, settings.network);
    d.setTimeout(settings.timeoutMs);
    QString message;
    if (!d.open(&message)) {
        err << message << '\n';
        return 1;
    }

    if (cmd == QLatin1String("list")) {
        out << "Network " << d.networkName() << '\n';
        listLevel(d, d.tree(), 1, out);
        return 0;
    }
    if (cmd == QLatin1String("registrations")) {
        for (const lnssim::PlugInRegistration &r : d.registrations())
            out << r.templateName << "  " << r.programId << "  " << r.commandId << "  " << r.classId << "  " << r.name
                << "  " << r.progId() << "  " << r.version << '\n';
        return 0;
    }
    if (cmd == QLatin1String("register")) {
        if (!programIdsGiven)
            programIds = d.programIds().join(QLatin1Char(','));
        // The plug-in's answer in words: its RegResult (False for success)
        // is the tool's business, not the user's.
        const Outcome o = d.registerInProject(programIds);
        (o.ok ? out : err) << o.message << '\n';
        out << "registrations " << d.registrations().size() << '\n';
        return o.ok ? 0 : 1;
    }

    // launch
    const DeviceEntry *device = nullptr;
    const ObjectEntry *object = d.findObject(positional.at(0), &device);
    if (!object) {
        err << QStringLiteral("no LonMark object %1 in network %2").arg(positional.at(0), d.networkName()) << '\n';
        return 1;
    }
    const QVector<lnssim::PlugInRegistration> commands = d.commandsFor(*device, *object);
    const lnssim::PlugInRegistration *chosen = nullptr;
    bool isNumber = false;
    const int commandId = positional.at(1).toInt(&isNumber);
    for (const lnssim::PlugInRegistration &r : commands) {
        if ((isNumber && r.commandId == commandId) || r.name.compare(positional.at(1), Qt::CaseInsensitive) == 0) {
            chosen = &r;
            break;
        }
    }
    if (!chosen) {
        if (commands.isEmpty()) {
            err << platform::fillPlaceholders(gLoadResString(1915), {device->templateName}) << " ("
                << positional.at(1) << ")\n";
        } else {
            err << unknownCommandText(positional.at(1), device->templateName, commands) << '\n';
        }
        return 1;
    }
    const Outcome o = d.launch(*device, *object, *chosen, options);
    if (o.ok)
        out << o.message << '\n' << "window shown\n";
    else
        err << o.message << '\n';
    return o.ok ? 0 : 1;
}

} // namespace director
