#include "parambase.h"

#include "configprop.h"
#include "cpfetch.h"

namespace params {

void cParamBase::bind(const Binding &b)
{
    m_parent = b.parent;
    m_name = b.name;
    m_cpIniName = b.cpIniName;
    m_cp = b.configProperty;
    m_ext = b.configPropExt;
    m_cpOwner = b.cpOwner;
}

CpIo *cParamBase::io() const
{
    return m_parent ? &m_parent->cpIo() : nullptr;
}

QString cParamBase::moduleName() const
{
    switch (ClassId()) {
    case PA_CLASSID_TEXTBOX_PARAMETER:
        return QStringLiteral("cParamTextBox");
    case PA_CLASSID_COMBOBOX_PARAMTER:
        return QStringLiteral("cParamComboBox");
    case PA_CLASSID_CHECKBOX_PARAMETER:
        return QStringLiteral("cParamCheckBox");
    case PA_CLASSID_OPTIONBUTTON_PARAMETER:
        return QStringLiteral("cParamOptBtn");
    case PA_CLASSID_1BYTE_PARAMETER:
        return QStringLiteral("cParam1Byte");
    case PA_CLASSID_2BYTE_PARAMETER:
        return QStringLiteral("cParam2Byte");
    case PA_CLASSID_ASCII_PARAMETER:
        return QStringLiteral("cParamASCII");
    default:
        return QStringLiteral("cParam");
    }
}

bool cParamBase::FetchCp(bool forceFetch)
{
    if (!m_available)
        return false;
    if (CpFetched() && !forceFetch)
        return true;
    if (!m_parent)
        return false;
    lns::ConfigPropertyPtr cp;
    if (!fetchCpFromOwner(m_cpOwner, m_cpIniName, m_parent->templateContext(), &cp))
        return false;
    m_cp = m_parent->cpIo().adopt(cp);
    return true;
}

std::optional<qint64> cParamBase::readOwnField(const FieldPlace &place, const QString &procedure)
{
    if (!io() || !m_cp)
        return std::nullopt;
    const auto v = io()->readField(m_cp, place, moduleName(), procedure + QStringLiteral(" (") + m_name + QLatin1Char(')'));
    m_lastReadFailed = !v;
    if (!v)
        m_valueKnown = false;
    return v;
}

bool cParamBase::writeOwnField(const FieldPlace &place, qint64 value, const QString &procedure)
{
    if (!io() || !m_cp)
        return false;
    return io()->writeField(m_cp, place, value, moduleName(), procedure + QStringLiteral(" (") + m_name + QLatin1Char(')'));
}

std::optional<qint64> cParamBase::readExtField(const FieldPlace &place, const QString &procedure)
{
    if (!m_ext)
        return std::nullopt;
    const QByteArray bytes = m_ext->bytes();
    QString why;
    const auto v = params::readField(bytes, place, m_ext->ElementByteLength(), &why);
    m_lastReadFailed = !v;
    if (!v) {
        m_valueKnown = false;
        CpIo::logError(moduleName(), procedure + QStringLiteral(" (") + m_name + QLatin1Char(')'), lns::ErrBadValue,
                       QStringLiteral("CP %1: %2").arg(m_ext->Name(), why));
    }
    return v;
}

bool cParamBase::writeExtField(const FieldPlace &place, qint64 value, const QString &procedure)
{
    if (!m_ext)
        return false;
    const QByteArray current = m_ext->bytes();
    QString why;
    const auto merged = params::writeField(current, place, m_ext->ElementByteLength(), value, &why);
    if (!merged) {
        CpIo::logError(moduleName(), procedure + QStringLiteral(" (") + m_name + QLatin1Char(')'), lns::ErrBadValue,
                       QStringLiteral("CP %1: %2").arg(m_ext->Name(), why));
        return false;
    }
    return m_ext->setBytes(1, *merged);
}

ParamStatus cParamBase::checkPartOfCp(int bytePos, int byteLength, const QString &description)
{
    ParamStatus st;
    if (CpIsExternal())
        return st;
    const int l = (io() && m_cp) ? io()->elementByteLength(m_cp) : -1;
    const qint64 last = qint64(bytePos) + byteLength - 1;
    if (last > 32767 || last < -32768) {
        st.number = 6;
        st.source = kPartOfCpSource;
        st.description = QStringLiteral("Overflow");
        return st;
    }
    if (bytePos >= 1 && byteLength >= 1 && l > 0 && last <= l)
        return st;
    st.number = kErrInvalidPartOfCp;
    st.source = kPartOfCpSource;
    st.description = description;
    CpIo::logError(moduleName(), kPartOfCpSource, st.number,
                   QStringLiteral("%1 (%2: byte %3, %4 bytes, CP element %5 bytes)")
                       .arg(description, m_name)
                       .arg(bytePos)
                       .arg(byteLength)
                       .arg(l));
    return st;
}

} // namespace params
