#include "configprop.h"

#include "cpfetch.h"

#include <platform/tracelog.h>

namespace params {

namespace {
const QString kModule = QStringLiteral("cConfigProp");
}

void cConfigProp::bind(ParamOwner *parent, const QString &name, const lns::ConfigPropertyPtr &cp,
                       const QString &cpIniName, const lns::ObjectPtr &cpOwner)
{
    m_parent = parent;
    m_name = name;
    m_cp = cp;
    m_cpIniName = cpIniName;
    m_cpOwner = cpOwner;
    m_available = cp != nullptr;
}

CpIo *cConfigProp::io() const
{
    return m_parent ? &m_parent->cpIo() : nullptr;
}

int cConfigProp::Dimension()
{
    if (!CpFetched())
        return -1;
    if (m_dimension == 0) {
        const int d = io() ? io()->dimension(m_cp) : -1;
        if (d > 0)
            m_dimension = d;
        else
            return -1;
    }
    return m_dimension;
}

int cConfigProp::ElementByteLength()
{
    if (!CpFetched())
        return -1;
    if (m_elementByteLength == 0) {
        const int e = io() ? io()->elementByteLength(m_cp) : -1;
        if (e > 0)
            m_elementByteLength = e;
        else
            return -1;
    }
    return m_elementByteLength;
}

int cConfigProp::ByteLength()
{
    if (!CpFetched())
        return -1;
    if (m_byteLength == 0) {
        const int e = ElementByteLength();
        const int d = Dimension();
        if (e < 0 || d < 0)
            return -1;
        const int product = e * d;
        if (product > 32767) {
            CpIo::logError(kModule, QStringLiteral("ByteLength"), 6, QStringLiteral("Overflow"));
            return -1;
        }
        m_byteLength = product;
    }
    return m_byteLength;
}

void cConfigProp::allocate()
{
    if (m_allocated)
        return;
    const int n = ByteLength();
    if (n <= 0)
        return;
    m_bytes = QByteArray(n, '\0');
    m_allocated = true;
}

quint8 cConfigProp::ByteValue(int index, bool *ok)
{
    if (!m_bytesRead) {
        ReadFromLns(false);
        m_bytesRead = true;
    }
    if (!m_allocated || index < 1 || index > m_bytes.size()) {
        CpIo::logError(kModule, QStringLiteral("ByteValue"), 9,
                       QStringLiteral("Subscript out of range (%1, index %2)").arg(m_name).arg(index));
        if (ok)
            *ok = false;
        return 0;
    }
    if (ok)
        *ok = true;
    return static_cast<quint8>(m_bytes.at(index - 1));
}

bool cConfigProp::setByteValue(int index, quint8 value)
{
    if (!m_allocated || index < 1 || index > m_bytes.size()) {
        CpIo::logError(kModule, QStringLiteral("ByteValue"), 9,
                       QStringLiteral("Subscript out of range (%1, index %2)").arg(m_name).arg(index));
        return false;
    }
    m_bytes[index - 1] = static_cast<char>(value);
    return true;
}

QByteArray cConfigProp::bytes()
{
    if (!m_bytesRead) {
        ReadFromLns(false);
        m_bytesRead = true;
    }
    return m_bytes;
}

bool cConfigProp::setBytes(int index, const QByteArray &data)
{
    if (!m_allocated || index < 1 || index - 1 + data.size() > m_bytes.size()) {
        CpIo::logError(kModule, QStringLiteral("ByteValue"), 9,
                       QStringLiteral("Subscript out of range (%1, bytes %2 to %3)")
                           .arg(m_name)
                           .arg(index)
                           .arg(index + data.size() - 1));
        return false;
    }
    for (int i = 0; i < data.size(); ++i)
        m_bytes[index - 1 + i] = data.at(i);
    return true;
}

bool cConfigProp::ReadFromLns(bool fetchCpIfRequired)
{
    if (fetchCpIfRequired && !FetchCp(false))
        return false;
    if (!CpFetched() || !io())
        return false;
    allocate();
    if (!m_allocated)
        return false;
    const auto data = io()->readCp(m_cp, kModule, QStringLiteral("ReadFromLns"));
    if (!data)
        return false;
    if (data->size() != m_bytes.size()) {
        CpIo::logError(kModule, QStringLiteral("ReadFromLns"), lns::ErrBadValue,
                       QStringLiteral("CP %1 has %2 bytes, the wrapper %3").arg(m_name).arg(data->size()).arg(m_bytes.size()));
        return false;
    }
    m_bytes = *data;
    m_bytesRead = true;
    return true;
}

bool cConfigProp::WriteToLns()
{
    if (!CpFetched() || !io())
        return false;
    allocate();
    if (!m_allocated)
        return false;
    return io()->writeCp(m_cp, m_bytes, kModule, QStringLiteral("WriteToLns"));
}

bool cConfigProp::FetchCp(bool forceFetch)
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
    allocate();
    return true;
}

} // namespace params
