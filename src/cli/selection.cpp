#include "selection.h"

#include "networkaccess.h"
#include "objectnames.h"
#include "session.h"

#include <host/hoststate.h>
#include <lns/templatelookup.h>
#include <platform/inifile.h>
#include <platform/multidevice.h>
#include <platform/objectname.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/version.h>

#include <QHash>
#include <QSet>
#include <platform/tracelog.h>

namespace cli {

namespace {

const QString kAll = QStringLiteral("--all");
const QString kSubsystem = QStringLiteral("--subsystem");
const QString kTemplate = QStringLiteral("--template");
const QString kNetwork = QStringLiteral("--network");

// Everything one network holds, as far as the selection needs it.
struct NetworkContents
{
    QVector<SelectedObject> objects; // every LonMark object of every device
    QVector<platform::MultiDeviceCandidate> candidates; // the same, for sorting
    QSet<QString> subsystemPaths;    // every subsystem, dotted
};

class Walker
{
public:
    explicit Walker(const platform::IniFile &ini) : m_ini(ini)
    {
        for (const platform::TemplateEntry &t : ini.templates())
            m_templates.insert(t.name);
    }

    bool isTemplate(const QString &name) const { return m_templates.contains(name); }

    void walk(const lns::SubsystemPtr &subsystem, const QString &network, NetworkContents &out)
    {
        const QString path = subsystem->path();
        out.subsystemPaths.insert(path);
        const auto devices = subsystem->appDevices();
        for (int i = 1; devices && i <= devices->count(); ++i) {
            const lns::AppDevicePtr d = devices->itemAt(i);
            try {
                const lns::DeviceTemplatePtr t = d->deviceTemplate();
                const QString templateName = t ? t->name() : QString();
                const QString programId = d->programId();
                const bool ours = m_templates.contains(templateName);
                const int kind = ours ? platform::leadingInt32(m_ini.value(lns::kCpSection, QStringLiteral("CtrlType"), templateName)) : 0;
                const bool commissioned = d->commissioned();
                const auto objects = d->lonMarkObjects();
                for (int k = 1; objects && k <= objects->count(); ++k) {
                    const lns::LonMarkObjectPtr o = objects->itemAt(k);
                    SelectedObject s;
                    s.key = QStringList{network, path, d->name(), o->name()}.join(QLatin1Char('.'));
                    s.templateName = templateName;
                    s.programId = programId;
                    s.ctrlType = kind;
                    // The node object belongs to the device, not to the plug-in.
                    s.ofThisType = ours && o->index() > 0;
                    s.commissioned = commissioned;
                    out.objects << s;
                    platform::MultiDeviceCandidate c;
                    c.key = s.key;
                    c.subsystemPath = path;
                    c.deviceName = d->name();
                    c.objectName = o->name();
                    c.templateName = templateName;
                    out.candidates << c;
                }
            } catch (const lns::LnsError &e) {
                // A device the database cannot describe is not selectable.
                platform::traceCaughtError(QStringLiteral("SelectObjects"), e.number(), e.description());
            }
        }
        const auto children = subsystem->subsystems();
        for (int i = 1; children && i <= children->count(); ++i)
            walk(children->itemAt(i), network, out);
    }

private:
    const platform::IniFile &m_ini;
    QSet<QString> m_templates;
};

Selection refused(const QString &message)
{
    Selection s;
    s.status = kRefused;
    s.error = message;
    return s;
}

} // namespace

QStringList selectorFlagNames()
{
    return {kAll};
}

QStringList selectorValueNames()
{
    return {kSubsystem, kTemplate, kNetwork};
}

QStringList selectorOptionNames()
{
    return selectorFlagNames() + selectorValueNames();
}

bool hasSelector(const ParsedArgs &a)
{
    return a.flags.contains(kAll) || a.values.contains(kSubsystem) || a.values.contains(kTemplate);
}

Selection selectObjects(const ParsedArgs &a, const QStringList &namedObjects)
{
    const bool all = a.flags.contains(kAll);
    const QString subsystem = a.values.value(kSubsystem);
    const QString templateName = a.values.value(kTemplate);
    const QString network = a.values.value(kNetwork);
    if (a.values.contains(kSubsystem) && subsystem.trimmed().isEmpty())
        return refused(text(1722, 1, {subsystem}));

    platform::IniFile ini;
    ini.setFileName(templateFilePath());
    Walker walker(ini);
    if (a.values.contains(kTemplate) && !walker.isTemplate(templateName))
        return refused(text(1723, 1, {templateName}));

    // The networks to look in, in the order they are named.
    QStringList networks;
    const auto addNetwork = [&networks](const QString &n) {
        if (!n.isEmpty() && !networks.contains(n))
            networks << n;
    };
    QVector<platform::ObjectName> named;
    for (const QString &o : namedObjects) {
        const platform::ObjectName parts = platform::analyseObjectName(o);
        if (!parts.valid)
            return refused(text(1720, 1, {o}));
        named << parts;
        addNetwork(parts.networkName);
    }
    addNetwork(network);
    const QString subsystemNetwork = subsystem.section(QLatin1Char('.'), 0, 0);
    const QString subsystemPath = subsystem.section(QLatin1Char('.'), 1);
    addNetwork(subsystemNetwork);

    const auto server = newObjectServer();
    QHash<QString, NetworkContents> contents;
    try {
        openServer(server);
        const auto available = server->networks();
        if (networks.isEmpty()) {
            for (int i = 1; i <= available->count(); ++i)
                networks << available->itemAt(i)->name();
        }
        for (const QString &n : networks) {
            lns::NetworkPtr net;
            try {
                net = available->item(n);
            } catch (const lns::LnsError &) {
                server->close();
                return refused(text(1721, 1, {n}));
            }
            try {
                if (!net->isOpen())
                    net->open(networkAccess().remote);
                NetworkContents &c = contents[n];
                const auto top = net->system()->subsystems();
                for (int i = 1; top && i <= top->count(); ++i)
                    walker.walk(top->itemAt(i), n, c);
                net->close();
            } catch (const lns::LnsError &e) {
                server->close();
                return refused(text(1721, 2, {n, e.description()}));
            }
        }
        server->close();
    } catch (const lns::LnsError &e) {
        Selection s;
        s.status = kCommunication;
        s.error = serverMessage(e.description());
        return s;
    }

    Selection out;
    QSet<QString> taken;
    const auto take = [&out, &taken](const SelectedObject &o) {
        if (taken.contains(o.key))
            return;
        taken.insert(o.key);
        out.objects << o.key;
        out.details << o;
    };
    for (int i = 0; i < named.size(); ++i) {
        const QString key = named.at(i).toString();
        const NetworkContents &c = contents[named.at(i).networkName];
        const SelectedObject *found = nullptr;
        for (const SelectedObject &o : c.objects)
            if (o.key == key)
                found = &o;
        if (!found)
            return refused(text(1720, 1, {namedObjects.at(i)}));
        SelectedObject o = *found;
        o.named = true;
        take(o);
    }

    if (a.values.contains(kSubsystem)) {
        const auto it = contents.constFind(subsystemNetwork);
        if (it == contents.constEnd() || (!subsystemPath.isEmpty() && !it->subsystemPaths.contains(subsystemPath)))
            return refused(text(1722, 1, {subsystem}));
    }
    if (all || a.values.contains(kSubsystem) || a.values.contains(kTemplate)) {
        // Networks keep their order; within one the objects are in the
        // search's order.
        const QStringList looked = network.isEmpty() ? networks : QStringList{network};
        for (const QString &n : looked) {
            const NetworkContents &c = contents[n];
            QHash<QString, SelectedObject> byKey;
            QVector<platform::MultiDeviceCandidate> inNetwork;
            for (int i = 0; i < c.objects.size(); ++i) {
                const SelectedObject &o = c.objects.at(i);
                if (!o.ofThisType)
                    continue;
                if (a.values.contains(kTemplate) && o.templateName != templateName)
                    continue;
                if (a.values.contains(kSubsystem)) {
                    if (n != subsystemNetwork)
                        continue;
                    const QString path = c.candidates.at(i).subsystemPath;
                    if (!subsystemPath.isEmpty() && path != subsystemPath
                        && !path.startsWith(subsystemPath + QLatin1Char('.')))
                        continue;
                }
                byKey.insert(o.key, o);
                inNetwork << c.candidates.at(i);
            }
            platform::sortCandidates(inNetwork);
            for (const auto &candidate : inNetwork)
                take(byKey.value(candidate.key));
        }
    }
    if (out.objects.isEmpty())
        return refused(text(1724));
    return out;
}

} // namespace cli
