#include "templatelookup.h"

#include <platform/tracelog.h>

namespace lns {

QString TemplateContext::templateName() const
{
    try {
        return deviceTemplate ? deviceTemplate->name() : QString();
    } catch (const LnsError &e) {
        platform::traceCaughtError(QStringLiteral("templateName"), e.number(), e.description());
        return QString();
    }
}

QString TemplateContext::value(const QString &section, const QString &key) const
{
    return ini ? ini->value(section, key, templateName()) : QString();
}

namespace {

platform::IniFile::Indexes indexesOf(const TemplateContext &ctx, const QString &section, const QString &name)
{
    if (!ctx.ini)
        return {};
    return ctx.ini->indexes(section, name, ctx.templateName());
}

template <class T>
std::shared_ptr<T> notFound(const QString &iniName, bool *found)
{
    if (found) {
        *found = false;
        return nullptr;
    }
    throw LnsError(kErrIniFile, kIniFileErrorText + iniName);
}

template <class F>
auto traced(const QString &procedure, F &&body) -> decltype(body())
{
    platform::traceEntry(QStringLiteral("[M_PlugIn] Public Sub %1()").arg(procedure));
    try {
        return body();
    } catch (const LnsError &e) {
        platform::TraceLog::instance().logError(QStringLiteral("M_PlugIn"), procedure, e.number(), e.description());
        throw;
    }
}

} // namespace

ConfigPropertyPtr FetchCp(const QString &iniName, const QString &section, const TemplateContext &ctx,
                          const LonMarkObjectPtr &object, bool *found)
{
    return traced(QStringLiteral("FetchCp"), [&]() -> ConfigPropertyPtr {
        const auto idx = indexesOf(ctx, section, iniName);
        if (idx.index == -1)
            return notFound<ConfigProperty>(iniName, found);
        CollectionPtr<ConfigProperty> cps;
        if (idx.member > 0)
            cps = object->networkVariables()->item(idx.member)->configProperties();
        else
            cps = object->configProperties();
        ConfigPropertyPtr cp = cps->item(idx.index);
        if (found)
            *found = true;
        return cp;
    });
}

ConfigPropertyPtr FetchDevCp(const QString &iniName, const QString &section, const TemplateContext &ctx,
                             const AppDevicePtr &device, bool *found)
{
    return traced(QStringLiteral("FetchDevCp"), [&]() -> ConfigPropertyPtr {
        const auto idx = indexesOf(ctx, section, iniName);
        if (idx.index == -1)
            return notFound<ConfigProperty>(iniName, found);
        CollectionPtr<ConfigProperty> cps;
        if (idx.member > 0)
            cps = device->lonMarkObjects()->item(idx.member)->configProperties();
        else
            cps = device->configProperties();
        ConfigPropertyPtr cp = cps->item(idx.index);
        if (found)
            *found = true;
        return cp;
    });
}

NetworkVariablePtr FetchDevNv(const QString &iniName, const QString &section, const TemplateContext &ctx,
                              const AppDevicePtr &device, bool *found)
{
    return traced(QStringLiteral("FetchDevNv"), [&]() -> NetworkVariablePtr {
        const auto idx = indexesOf(ctx, section, iniName);
        if (idx.index < 1)
            return notFound<NetworkVariable>(iniName, found);
        CollectionPtr<NetworkVariable> nvs;
        if (idx.member > 0)
            nvs = device->lonMarkObjects()->item(idx.member)->networkVariables();
        else
            nvs = device->networkVariables();
        NetworkVariablePtr nv = nvs->item(idx.index);
        if (found)
            *found = true;
        return nv;
    });
}

NetworkVariablePtr FetchNv(const QString &iniName, const QString &section, const TemplateContext &ctx,
                           const LonMarkObjectPtr &object, bool *found)
{
    return traced(QStringLiteral("FetchNv"), [&]() -> NetworkVariablePtr {
        const auto idx = indexesOf(ctx, section, iniName);
        if (idx.index < 1)
            return notFound<NetworkVariable>(iniName, found);
        NetworkVariablePtr nv = object->networkVariables()->item(idx.index);
        if (found)
            *found = true;
        return nv;
    });
}

} // namespace lns
