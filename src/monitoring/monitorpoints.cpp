#include "monitorpoints.h"

#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>

namespace monitoring {

namespace {

constexpr int kColorRed = 255;

lns::LnsError collectionError(int number, const QString &text)
{
    return lns::LnsError(number, text);
}

void trace(const QString &text)
{
    platform::TraceLog::instance().write(text);
}

} // namespace

// --- cMonitorPoint ------------------------------------------------------------

void cMonitorPoint::bracket(const std::function<void()> &change)
{
    m_nv->setEditing(true);
    try {
        change();
    } catch (...) {
        // The change's own error goes on to the caller; ending the edit
        // mode after it may fail as well.
        try {
            m_nv->setEditing(false);
        } catch (const std::exception &e) {
            platform::traceCaughtError(QStringLiteral("monitor point ") + m_name, e);
        }
        throw;
    }
    m_nv->setEditing(false);
}

void cMonitorPoint::failed()
{
    if (m_parent)
        m_parent->raiseCommunicationFailed(this);
}

QString cMonitorPoint::Value()
{
    if (!m_available)
        return QString();
    try {
        const QString v = m_nv->value();
        m_buffer = v;
        return v;
    } catch (const std::exception &e) {
        trace(QStringLiteral("reading %1 failed: %2").arg(m_name, QString::fromUtf8(e.what())));
        failed();
        return QString();
    }
}

void cMonitorPoint::setValue(const QString &text)
{
    if (!m_available)
        return;
    try {
        m_nv->setValue(text);
        m_buffer = text;
    } catch (const std::exception &e) {
        trace(QStringLiteral("writing \"%1\" to %2 failed: %3").arg(text, m_name, QString::fromUtf8(e.what())));
        failed();
    }
}

QString cMonitorPoint::BufferedValue()
{
    return m_buffer.isEmpty() ? Value() : m_buffer;
}

bool cMonitorPoint::SetElementValue(const QString &elementName, const QString &value)
{
    lns::NvFieldPtr field;
    try {
        if (!m_nv)
            return false;
        field = m_nv->field(elementName);
        if (!field)
            return false;
    } catch (const std::exception &e) {
        platform::traceCaughtError(QStringLiteral("SetElementValue %1.%2").arg(m_name, elementName), e);
        return false;
    }
    try {
        field->setValue(value);
    } catch (const std::exception &e) {
        trace(QStringLiteral("writing field %1 of %2 failed: %3").arg(elementName, m_name, QString::fromUtf8(e.what())));
        failed();
        return false;
    }
    return true;
}

bool cMonitorPoint::GetElementValue(const QString &elementName, QString &value)
{
    if (!m_available)
        return false;
    lns::NvFieldPtr field;
    try {
        field = m_nv->field(elementName);
        if (!field)
            return false;
    } catch (const std::exception &e) {
        platform::traceCaughtError(QStringLiteral("GetElementValue %1.%2").arg(m_name, elementName), e);
        return false;
    }
    try {
        value = field->value();
    } catch (const std::exception &e) {
        trace(QStringLiteral("reading field %1 of %2 failed: %3").arg(elementName, m_name, QString::fromUtf8(e.what())));
        failed();
        return false;
    }
    return true;
}

void cMonitorPoint::setMonitoringType(qint32 type)
{
    if (!m_available)
        return;
    m_monitoringType = type;
    switch (type) {
    case MT_NONE:
    case MT_UPDATES:
        bracket([&] { m_nv->setMonitorMessageFlag(false); });
        break;
    case MT_MESSAGES:
        bracket([&] { m_nv->setMonitorMessageFlag(true); });
        break;
    default:
        break;
    }
}

qint32 cMonitorPoint::PollInterval() const
{
    return m_available ? m_nv->pollInterval() : 0;
}

void cMonitorPoint::setPollInterval(qint32 seconds)
{
    if (m_available)
        bracket([&] { m_nv->setPollInterval(seconds); });
}

QString cMonitorPoint::Format() const
{
    return m_available ? m_nv->formatSpecifier() : QString();
}

void cMonitorPoint::setFormat(const QString &format)
{
    if (m_available)
        bracket([&] { m_nv->setFormatSpecifier(format); });
}

bool cMonitorPoint::ReportByException() const
{
    return m_available && m_nv->reportByException();
}

void cMonitorPoint::setReportByException(bool on)
{
    if (m_available)
        bracket([&] { m_nv->setReportByException(on); });
}

void cMonitorPoint::setMonitorOption(int value)
{
    if (m_available)
        bracket([&] { m_nv->setMonitorOption(value); });
}

void cMonitorPoint::ActivateMonitoring()
{
    if (!m_available || m_monitoringType == MT_NONE || m_nv->monitorTag() != 0)
        return;
    bracket([&] { m_nv->setMonitorTag(m_tag); });
}

void cMonitorPoint::DeactivateMonitoring()
{
    if (!m_available)
        return;
    try {
        bracket([&] {
            m_nv->setMonitorMessageFlag(false);
            m_nv->setMonitorTag(0);
        });
    } catch (const std::exception &e) {
        trace(QStringLiteral("deactivating %1 stopped: %2").arg(m_name, QString::fromUtf8(e.what())));
        return;
    }
    m_buffer.clear();
}

bool cMonitorPoint::MonitoringIsActive() const
{
    if (!m_available)
        return false;
    try {
        return m_nv->monitorTag() != 0;
    } catch (const std::exception &e) {
        platform::traceCaughtError(QStringLiteral("MonitoringIsActive ") + m_name, e);
        return false;
    }
}

bool cMonitorPoint::ChangeNvType(qint16 nvTypeId, const QString &programId, quint8 scope)
{
    return m_parent ? m_parent->changeNvType(*this, nvTypeId, programId, scope) : false;
}

// --- cMonitorPoints -----------------------------------------------------------

cMonitorPoints::cMonitorPoints(QObject *parent)
    : QObject(parent), m_changer(std::make_shared<ObjectServerTypeChanger>())
{
}

cMonitorPoints::~cMonitorPoints()
{
    if (m_serverConnection)
        disconnect(m_serverConnection);
}

void cMonitorPoints::setObjectServer(const lns::ObjectServerPtr &server)
{
    if (m_serverConnection)
        disconnect(m_serverConnection);
    m_server = server;
    if (m_server)
        m_serverConnection = connect(m_server.get(), &lns::ObjectServer::nvUpdate, this, &cMonitorPoints::onServerUpdate);
}

void cMonitorPoints::setNvTypeChanger(std::shared_ptr<NvTypeChanger> changer)
{
    m_changer = changer ? std::move(changer) : std::make_shared<ObjectServerTypeChanger>();
}

cMonitorPoint *cMonitorPoints::AddMonitorPoint(const QString &name, const lns::NetworkVariablePtr &nv,
                                               qint32 monitoringType)
{
    if (m_index.contains(name.toLower()))
        throw collectionError(kErrDuplicatePoint, QStringLiteral("monitor point \"%1\" is already in the collection").arg(name));
    std::unique_ptr<cMonitorPoint> p(new cMonitorPoint);
    p->m_parent = this;
    p->m_name = name;
    if (nv) {
        p->m_nv = nv;
        p->m_tag = kFirstMonitorTag + Count();
        // Settings apply to the NV only while the point counts as available.
        p->m_available = true;
        p->setMonitoringType(monitoringType);
    }
    p->m_available = nv != nullptr;
    m_index.insert(name.toLower(), int(m_points.size()));
    m_points.push_back(std::move(p));
    return m_points.back().get();
}

void cMonitorPoints::RemoveMonitorPointByName(const QString &name)
{
    const auto it = m_index.constFind(name.toLower());
    if (it == m_index.constEnd())
        throw collectionError(kErrInvalidCall, QStringLiteral("no monitor point \"%1\" to remove").arg(name));
    const int pos = *it;
    try {
        m_points.at(pos)->DeactivateMonitoring();
    } catch (const std::exception &e) {
        // The point goes either way.
        platform::traceCaughtError(QStringLiteral("RemoveMonitorPointByName ") + name, e);
    }
    m_points.erase(m_points.begin() + pos);
    m_index.clear();
    for (int i = 0; i < int(m_points.size()); ++i)
        m_index.insert(m_points.at(i)->m_name.toLower(), i);
}

cMonitorPoint *cMonitorPoints::GetMonitorPoint(qint16 index) const
{
    if (index < 1 || index > Count())
        throw collectionError(kErrNoSuchPoint, QStringLiteral("no monitor point at position %1").arg(index));
    return m_points.at(index - 1).get();
}

cMonitorPoint *cMonitorPoints::GetMonitorPointByName(const QString &name) const
{
    cMonitorPoint *p = findPoint(name);
    if (!p)
        throw collectionError(kErrNoSuchPoint, QStringLiteral("no monitor point \"%1\"").arg(name));
    return p;
}

cMonitorPoint *cMonitorPoints::findPoint(const QString &name) const
{
    const auto it = m_index.constFind(name.toLower());
    return it == m_index.constEnd() ? nullptr : m_points.at(*it).get();
}

bool cMonitorPoints::ActivateMonitoring()
{
    if (!m_points.empty() && !m_owner) {
        // The first point's NV leads up to the system, which owns the
        // monitoring of every NV below it.
        m_owner = lns::findAncestor(m_points.front()->m_nv, lns::ClsSystem);
    }
    if (!m_owner)
        return false;
    auto system = std::dynamic_pointer_cast<lns::System>(m_owner);
    if (!system)
        return false;
    try {
        system->prepareMonitoring(false);
    } catch (const std::exception &e) {
        trace(QStringLiteral("preparing monitoring failed: %1").arg(QString::fromUtf8(e.what())));
        return false;
    }
    for (const auto &p : m_points) {
        if (!p->m_independent)
            p->ActivateMonitoring();
    }
    return true;
}

void cMonitorPoints::DeactivateMonitoring()
{
    for (const auto &p : m_points) {
        if (!p->m_independent)
            p->DeactivateMonitoring();
    }
}

void cMonitorPoints::ForceNvUpdate(const QString &monitorPointName)
{
    cMonitorPoint *p = GetMonitorPointByName(monitorPointName);
    const QString v = p->Value();
    Q_EMIT NvUpdate(monitorPointName, v);
}

void cMonitorPoints::raiseCommunicationFailed(cMonitorPoint *point)
{
    Q_EMIT CommunicationFailed(point);
}

void cMonitorPoints::onServerUpdate(int monitorTag, const QString &value, const lns::NetworkVariablePtr &)
{
    const int position = monitorTag - kFirstMonitorTag + 1;
    if (position < 1 || position > Count() || !m_points.at(position - 1)->m_available) {
        // Another client's tag, or a tag that was never put on an NV.
        trace(QStringLiteral("NV update with monitor tag %1 belongs to no monitor point").arg(monitorTag));
        return;
    }
    cMonitorPoint *p = m_points.at(position - 1).get();
    p->m_buffer = value;
    Q_EMIT NvUpdate(p->m_name, value);
}

void cMonitorPoints::FetchDevNV(const QString &nvName, const QString &section, const lns::TemplateContext &ctx,
                                const lns::AppDevicePtr &appDevice, lns::NetworkVariablePtr &networkVariable,
                                bool *succeed)
{
    lns::NetworkVariablePtr nv = lns::FetchDevNv(nvName, section, ctx, appDevice, succeed);
    if (nv)
        networkVariable = nv;
}

void cMonitorPoints::FetchLmoNV(const QString &nvName, const QString &section, const lns::TemplateContext &ctx,
                                const lns::LonMarkObjectPtr &lonmarkObject, lns::NetworkVariablePtr &networkVariable,
                                bool *succeed)
{
    lns::NetworkVariablePtr nv = lns::FetchNv(nvName, section, ctx, lonmarkObject, succeed);
    if (nv)
        networkVariable = nv;
}

void cMonitorPoints::logRed(const QString &text)
{
    trace(text);
    if (m_log)
        m_log->LogLine(text, kColorRed, false);
}

bool cMonitorPoints::changeNvType(cMonitorPoint &point, qint16 nvTypeId, const QString &programId, quint8 scope)
{
    const lns::NetworkVariablePtr nv = point.NetworkVariable();
    if (!nv)
        return false;
    QString name = point.Name();
    try {
        name = nv->name();
        if (nv->typeIndex() == nvTypeId)
            return true;
    } catch (const std::exception &e) {
        trace(QStringLiteral("type of %1 cannot be read: %2").arg(point.Name(), QString::fromUtf8(e.what())));
        return false;
    }
    if (m_changer->changeType(nv, nvTypeId, programId, scope))
        return true;
    logRed(platform::fillPlaceholders(gLoadResString(1542), {name}));
    return false;
}

lns::NetworkVariablePtr cMonitorPoints::lookUpForBatch(cMonitorPoint &point, const QString &section,
                                                       lns::TemplateContext ctx)
{
    const lns::NetworkVariablePtr own = point.NetworkVariable();
    auto lmo = std::dynamic_pointer_cast<lns::LonMarkObject>(own->parent());
    if (!lmo)
        return nullptr;
    if (!ctx.deviceTemplate) {
        if (auto dev = std::dynamic_pointer_cast<lns::AppDevice>(lmo->parent()))
            ctx.deviceTemplate = dev->deviceTemplate();
    }
    bool found = false;
    lns::NetworkVariablePtr nv;
    FetchLmoNV(point.Name(), section, ctx, lmo, nv, &found);
    if (!found) {
        logRed(QStringLiteral("Nv not found in Ini file"));
        return nullptr;
    }
    return nv;
}

bool cMonitorPoints::WriteNvsTypeLmo(const QStringList &monitorPointNames, qint16 nvTypeId,
                                     const QString &programId, quint8 scope, const QString &section,
                                     lns::TemplateContext ctx)
{
    bool result = true;
    for (const QString &name : monitorPointNames) {
        cMonitorPoint *p = findPoint(name);
        if (!p || !p->Available())
            continue;
        try {
            const lns::NetworkVariablePtr nv = lookUpForBatch(*p, section, ctx);
            if (!nv) {
                result = false;
                continue;
            }
            if (nv->typeIndex() == nvTypeId)
                continue;
            if (!m_changer->changeType(nv, nvTypeId, programId, scope)) {
                logRed(platform::fillPlaceholders(gLoadResString(1542), {nv->name()}));
                result = false;
            }
        } catch (const std::exception &e) {
            trace(QStringLiteral("type change of %1 failed: %2").arg(name, QString::fromUtf8(e.what())));
            result = false;
        }
    }
    return result;
}

bool cMonitorPoints::CheckNvTypeCpConsistencyLmo(const QStringList &monitorPointNames, qint16 nvTypeId,
                                                 const QString &section, lns::TemplateContext ctx)
{
    bool result = true;
    for (const QString &name : monitorPointNames) {
        cMonitorPoint *p = findPoint(name);
        if (!p || !p->Available())
            continue;
        try {
            const lns::NetworkVariablePtr nv = lookUpForBatch(*p, section, ctx);
            if (!nv || nv->typeIndex() != nvTypeId)
                result = false;
        } catch (const std::exception &e) {
            trace(QStringLiteral("type check of %1 failed: %2").arg(name, QString::fromUtf8(e.what())));
            result = false;
        }
    }
    return result;
}

} // namespace monitoring
