#include "cpfetch.h"

#include <platform/stringutil.h>
#include <platform/tracelog.h>

namespace params {

namespace {

struct DevIndexes
{
    int cp = -1;
    int object = 0;
    int nv = 0;
};

DevIndexes devIndexes(const lns::TemplateContext &ctx, const QString &section, const QString &cpName)
{
    DevIndexes idx;
    const QString value = ctx.value(section, cpName).trimmed();
    if (value.isEmpty())
        return idx;
    const QStringList parts = value.split(QLatin1Char(','));
    idx.cp = platform::leadingInt32(parts.value(0));
    idx.object = parts.size() > 1 ? platform::leadingInt32(parts.at(1)) : 0;
    idx.nv = parts.size() > 2 ? platform::leadingInt32(parts.at(2)) : 0;
    return idx;
}

} // namespace

lns::ConfigPropertyPtr FetchLmoCp(const QString &cpName, const QString &section, const lns::TemplateContext &ctx,
                                  const lns::LonMarkObjectPtr &lonMarkObject, bool *succeed)
{
    platform::traceEntry(QStringLiteral("[cParams] Public Function FetchLmoCp()"));
    const platform::IniFile::Indexes idx =
        ctx.ini ? ctx.ini->indexes(section, cpName, ctx.templateName()) : platform::IniFile::Indexes();
    if (idx.index == -1 || !lonMarkObject) {
        if (succeed) {
            *succeed = false;
            return nullptr;
        }
        throw lns::LnsError(lns::kErrIniFile, lns::kIniFileErrorText + cpName);
    }
    lns::CollectionPtr<lns::ConfigProperty> cps;
    if (idx.index > 0 && idx.member > 0)
        cps = lonMarkObject->networkVariables()->item(idx.member)->configProperties();
    else
        cps = lonMarkObject->configProperties();
    lns::ConfigPropertyPtr cp = cps->item(idx.index);
    if (succeed)
        *succeed = true;
    return cp;
}

lns::ConfigPropertyPtr FetchDevCp(const QString &cpName, const QString &section, const lns::TemplateContext &ctx,
                                  const lns::AppDevicePtr &device, bool *succeed)
{
    platform::traceEntry(QStringLiteral("[cParams] Public Function FetchDevCp()"));
    if (succeed)
        *succeed = true;
    const DevIndexes idx = devIndexes(ctx, section, cpName);
    auto fail = [&](const QString &text, const QString &indexName, int index) -> lns::ConfigPropertyPtr {
        if (succeed) {
            *succeed = false;
            return nullptr;
        }
        throw lns::LnsError(lns::kErrIniFile,
                            text + cpName + QStringLiteral(" / ") + indexName + QString::number(index));
    };
    if (!device)
        return fail(kCpFetchErrorObject, QStringLiteral("Object-Index="), idx.object);
    lns::CollectionPtr<lns::ConfigProperty> cps;
    if (idx.object > 0) {
        lns::LonMarkObjectPtr object;
        try {
            object = device->lonMarkObjects()->item(idx.object);
        } catch (const lns::LnsError &e) {
            platform::traceCaughtError(QStringLiteral("CpFetchObject"), e.number(), e.description());
        }
        if (!object)
            return fail(kCpFetchErrorObject, QStringLiteral("Object-Index="), idx.object);
        if (idx.nv > 0) {
            lns::NetworkVariablePtr nv;
            try {
                nv = object->networkVariables()->item(idx.nv);
            } catch (const lns::LnsError &e) {
                platform::traceCaughtError(QStringLiteral("CpFetchNv"), e.number(), e.description());
            }
            if (!nv)
                return fail(kCpFetchErrorNv, QStringLiteral("NV-Index="), idx.nv);
            cps = nv->configProperties();
        } else {
            cps = object->configProperties();
        }
    } else {
        cps = device->configProperties();
    }
    lns::ConfigPropertyPtr cp;
    if (idx.cp != -1) {
        try {
            cp = cps->item(idx.cp);
        } catch (const lns::LnsError &e) {
            platform::traceCaughtError(QStringLiteral("CpFetchCp"), e.number(), e.description());
        }
    }
    if (!cp)
        return fail(kCpFetchErrorCp, QStringLiteral("CP-Index="), idx.cp);
    return cp;
}

bool fetchCpFromOwner(const lns::ObjectPtr &owner, const QString &cpIniName, const lns::TemplateContext &ctx,
                      lns::ConfigPropertyPtr *cp)
{
    if (!owner)
        return false;
    bool ok = false;
    try {
        lns::ConfigPropertyPtr found;
        switch (owner->classId()) {
        case lns::ClsAppDevice:
            found = params::FetchDevCp(cpIniName, lns::kCpSection, ctx, std::dynamic_pointer_cast<lns::AppDevice>(owner), &ok);
            break;
        case lns::ClsLonMarkObject:
            found = params::FetchLmoCp(cpIniName, lns::kCpSection, ctx, std::dynamic_pointer_cast<lns::LonMarkObject>(owner),
                               &ok);
            break;
        default:
            return false;
        }
        if (ok && found) {
            *cp = found;
            return true;
        }
    } catch (const lns::LnsError &e) {
        platform::TraceLog::instance().logError(QStringLiteral("cParams"), QStringLiteral("FetchCp"), e.number(),
                                                e.description());
    }
    return false;
}

} // namespace params
