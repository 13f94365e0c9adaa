#include "rawparams.h"

#include "configprop.h"

namespace params {

namespace {
const QString kInvalidParameters = QStringLiteral("invalid parameters");
} // namespace

// ---- cRawNumberParam ----

ParamStatus cRawNumberParam::ConsiderPartOfCpOnly(int bytePos)
{
    const ParamStatus st = checkPartOfCp(bytePos, m_width, kInvalidParameters);
    if (st.ok())
        m_bytePos = bytePos;
    return st;
}

FieldPlace cRawNumberParam::fieldPlace() const
{
    // 0 means "from the first byte".
    FieldPlace s;
    s.bytePos = m_bytePos > 0 ? m_bytePos : 1;
    s.byteLength = m_width;
    s.isSigned = m_signed;
    return s;
}

void cRawNumberParam::takeRead(const std::optional<qint64> &v)
{
    if (!v)
        return;
    takeFieldValue(*v);
    setValueKnown(true);
    setChanged(false);
}

void cRawNumberParam::ReadFromLns(bool fetchCpIfRequired)
{
    if (CpIsExternal())
        return;
    if (fetchCpIfRequired && !FetchCp(false))
        return;
    if (!CpFetched())
        return;
    takeRead(readOwnField(fieldPlace(), kReadFromLns));
}

void cRawNumberParam::WriteToLns()
{
    if (CpIsExternal() || !CpFetched())
        return;
    if (writeOwnField(fieldPlace(), fieldValue(), kWriteToLns))
        setChanged(false);
}

void cRawNumberParam::ReadFromExtCp()
{
    if (!CpIsExternal() || !Available())
        return;
    takeRead(readExtField(fieldPlace(), kReadFromExtCp));
}

void cRawNumberParam::WriteToExtCp()
{
    if (!CpIsExternal() || !Available())
        return;
    if (writeExtField(fieldPlace(), fieldValue(), kWriteToExtCp))
        setChanged(false);
}

// ---- cParam1Byte ----

void cParam1Byte::setValue(qint32 v)
{
    m_value = v;
    setValueKnown(true);
    setChanged(true);
}

// ---- cParam2Byte ----

qint32 cParam2Byte::Value() const
{
    const qint64 v = qint64(m_value1) * 256 + m_value2;
    // A 32-bit result; an overflow would be an error, and no two bytes can
    // produce one, so it is clamped only for nonsense byte values.
    return static_cast<qint32>(qBound(qint64(INT32_MIN), v, qint64(INT32_MAX)));
}

std::pair<qint32, qint32> cParam2Byte::splitValue(qint64 v)
{
    return {static_cast<qint32>(v / 256), static_cast<qint32>(v % 256)};
}

void cParam2Byte::split(qint64 v)
{
    std::tie(m_value1, m_value2) = splitValue(v);
}

void cParam2Byte::setValue(qint32 v)
{
    split(v);
    setValueKnown(true);
    setChanged(true);
}

void cParam2Byte::setValue1(qint32 v)
{
    m_value1 = v;
    setValueKnown(true);
    setChanged(true);
}

void cParam2Byte::setValue2(qint32 v)
{
    m_value2 = v;
    setValueKnown(true);
    setChanged(true);
}

// ---- cParamASCII ----

void cParamASCII::setValue(const QString &text)
{
    m_value = text;
    setValueKnown(true);
    setChanged(true);
}

ParamStatus cParamASCII::ConsiderPartOfCpOnly(int bytePos, int byteLength)
{
    const ParamStatus st = checkPartOfCp(bytePos, byteLength, kInvalidParameters);
    if (st.ok()) {
        m_bytePos = bytePos;
        m_byteLength = byteLength;
    }
    return st;
}

bool cParamASCII::runOf(int cpLength, int *first, int *count) const
{
    if (m_bytePos <= 0) {
        // The whole CP (own CP), or from byte 1 over ByteLength (wrapper;
        // the rest of the wrapper when no length was given).
        *first = 0;
        *count = m_byteLength > 0 ? m_byteLength : cpLength;
    } else {
        *first = m_bytePos - 1;
        *count = m_byteLength;
    }
    return *count >= 0 && *first + *count <= cpLength;
}

void cParamASCII::ReadFromLns(bool fetchCpIfRequired)
{
    if (CpIsExternal())
        return;
    if (fetchCpIfRequired && !FetchCp(false))
        return;
    if (!CpFetched() || !io())
        return;
    const auto bytes = io()->readCp(ConfigProperty(), moduleName(), kReadFromLns);
    setLastReadFailed(!bytes);
    if (!bytes) {
        setValueKnown(false);
        return;
    }
    int first = 0, count = 0;
    if (m_bytePos <= 0) {
        first = 0;
        count = bytes->size();
    } else if (!runOf(bytes->size(), &first, &count)) {
        CpIo::logError(moduleName(), kReadFromLns, lns::ErrBadValue,
                       QStringLiteral("%1: bytes %2 to %3 outside the CP").arg(Name()).arg(first + 1).arg(first + count));
        setLastReadFailed(true);
        setValueKnown(false);
        return;
    }
    m_value = asciiFromBytes(bytes->mid(first, count));
    setValueKnown(true);
    setChanged(false);
}

void cParamASCII::WriteToLns()
{
    setChanged(false);
}

void cParamASCII::ReadFromExtCp()
{
    if (!CpIsExternal() || !Available())
        return;
    const QByteArray bytes = ConfigPropExt()->bytes();
    int first = 0, count = 0;
    if (!runOf(bytes.size(), &first, &count)) {
        CpIo::logError(moduleName(), kReadFromExtCp, lns::ErrBadValue,
                       QStringLiteral("%1: bytes %2 to %3 outside the CP").arg(Name()).arg(first + 1).arg(first + count));
        setLastReadFailed(true);
        setValueKnown(false);
        return;
    }
    setLastReadFailed(false);
    m_value = asciiFromBytes(bytes.mid(first, count));
    setValueKnown(true);
    setChanged(false);
}

void cParamASCII::WriteToExtCp()
{
    if (!CpIsExternal() || !Available())
        return;
    const auto ext = ConfigPropExt();
    const int length = ext->ByteLength();
    int first = 0, count = 0;
    if (length < 0 || !runOf(length, &first, &count)) {
        CpIo::logError(moduleName(), kWriteToExtCp, lns::ErrBadValue,
                       QStringLiteral("%1: bytes %2 to %3 outside the CP").arg(Name()).arg(first + 1).arg(first + count));
        return;
    }
    ext->bytes(); // the rest of the wrapper comes from the device
    if (ext->setBytes(first + 1, asciiToBytes(m_value, count)))
        setChanged(false);
}

} // namespace params
