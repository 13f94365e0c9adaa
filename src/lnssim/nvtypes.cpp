#include "nvtypes.h"

#include <QHash>

#include <cmath>

namespace lnssim {

namespace {

const QVector<NvEnumItem> kHvacModes = {
    {0, "HVAC_AUTO"},       {1, "HVAC_HEAT"},        {2, "HVAC_MRNG_WRMUP"}, {3, "HVAC_COOL"},
    {4, "HVAC_NIGHT_PURGE"}, {5, "HVAC_PRE_COOL"},   {6, "HVAC_OFF"},        {7, "HVAC_TEST"},
    {8, "HVAC_EMERG_HEAT"}, {9, "HVAC_FAN_ONLY"},    {10, "HVAC_FREE_COOL"}, {11, "HVAC_ICE"},
    {12, "HVAC_MAX_HEAT"},  {13, "HVAC_ECONOMY"},    {14, "HVAC_DEHUMID"},   {15, "HVAC_CALIBRATE"},
    {16, "HVAC_EMERG_COOL"}, {17, "HVAC_EMERG_STEAM"}, {255, "HVAC_NUL"},
};

// Functions of a setting command; SET_NUL is -1 in the signed function byte.
const QVector<NvEnumItem> kSettingFunctions = {
    {0, "SET_OFF"}, {1, "SET_ON"}, {2, "SET_DOWN"}, {3, "SET_UP"}, {4, "SET_STOP"}, {5, "SET_STATE"}, {255, "SET_NUL"},
};

const QVector<NvEnumItem> kOccupancy = {
    {0, "OC_OCCUPIED"}, {1, "OC_UNOCCUPIED"}, {2, "OC_BYPASS"}, {3, "OC_STANDBY"}, {255, "OC_NUL"},
};

NvFieldDef number(const char *name, int offset, int size, bool isSigned, int num, int den)
{
    NvFieldDef f;
    f.name = QString::fromLatin1(name);
    f.offset = offset;
    f.size = size;
    f.isSigned = isSigned;
    f.scaleNum = num;
    f.scaleDen = den;
    return f;
}

NvFieldDef enumeration(const char *name, int offset, const QVector<NvEnumItem> *items)
{
    NvFieldDef f;
    f.name = QString::fromLatin1(name);
    f.offset = offset;
    f.size = 1;
    f.enumItems = items;
    return f;
}

NvTypeDef makeType(const char *name, int index, int size, QChar sep, QVector<NvFieldDef> fields)
{
    NvTypeDef t;
    t.name = QString::fromLatin1(name);
    t.typeIndex = index;
    t.size = size;
    t.separator = sep;
    t.fields = std::move(fields);
    return t;
}

const QVector<NvTypeDef> &types()
{
    static const QVector<NvTypeDef> all = {
        makeType("SNVT_lev_percent", 81, 2, QLatin1Char(','), {number("value", 0, 2, true, 5, 1000)}),
        makeType("SNVT_switch", 95, 2, QLatin1Char(' '),
                 {number("value", 0, 1, false, 5, 10), number("state", 1, 1, true, 1, 1)}),
        makeType("SNVT_temp_p", 105, 2, QLatin1Char(','), {number("value", 0, 2, true, 1, 100)}),
        makeType("SNVT_hvac_mode", 108, 1, QLatin1Char(','), {enumeration("value", 0, &kHvacModes)}),
        makeType("SNVT_occupancy", 109, 1, QLatin1Char(','), {enumeration("value", 0, &kOccupancy)}),
        makeType("SNVT_hvac_status", 112, 12, QLatin1Char(','),
                 {enumeration("mode", 0, &kHvacModes), number("heat_output_primary", 1, 2, true, 5, 1000),
                  number("heat_output_secondary", 3, 2, true, 5, 1000), number("cool_output", 5, 2, true, 5, 1000),
                  number("econ_output", 7, 2, true, 5, 1000), number("fan_output", 9, 2, true, 5, 1000),
                  number("in_alarm", 11, 1, false, 1, 1)}),
        makeType("SNVT_setting", 117, 4, QLatin1Char(','),
                 {enumeration("function", 0, &kSettingFunctions), number("setting", 1, 1, false, 5, 10),
                  number("rotation", 2, 2, true, 2, 100)}),
        makeType("SNVT_tod_event", 128, 4, QLatin1Char(','),
                 {enumeration("current_state", 0, &kOccupancy), enumeration("next_state", 1, &kOccupancy),
                  number("time_to_next_state", 2, 2, false, 1, 1)}),
    };
    return all;
}

int decimalsOf(int den)
{
    int d = 0;
    while (den > 1) {
        den /= 10;
        ++d;
    }
    return d;
}

qint64 rawOf(const NvFieldDef &f, const QByteArray &bytes)
{
    qint64 v = 0;
    for (int i = 0; i < f.size; ++i)
        v = (v << 8) | static_cast<unsigned char>(bytes.at(f.offset + i));
    if (f.isSigned && (v & (qint64(1) << (8 * f.size - 1))))
        v -= qint64(1) << (8 * f.size);
    return v;
}

void storeRaw(const NvFieldDef &f, qint64 v, QByteArray *bytes)
{
    for (int i = f.size - 1; i >= 0; --i) {
        (*bytes)[f.offset + i] = static_cast<char>(v & 0xFF);
        v >>= 8;
    }
}

// Exact decimal text of raw * num / den (den a power of ten), without
// trailing zeros.
QString scaledText(qint64 raw, int num, int den)
{
    const qint64 units = raw * num; // in 1/den
    const int decimals = decimalsOf(den);
    const bool negative = units < 0;
    const qint64 a = negative ? -units : units;
    QString text = QString::number(a / den);
    if (decimals > 0) {
        QString frac = QString::number(a % den).rightJustified(decimals, QLatin1Char('0'));
        while (frac.endsWith(QLatin1Char('0')))
            frac.chop(1);
        if (!frac.isEmpty())
            text += QLatin1Char('.') + frac;
    }
    if (negative && text != QLatin1String("0"))
        text.prepend(QLatin1Char('-'));
    return text;
}

} // namespace

const NvTypeDef *nvTypeByName(const QString &name)
{
    for (const NvTypeDef &t : types()) {
        if (t.name == name)
            return &t;
    }
    return nullptr;
}

const NvTypeDef *nvTypeByIndex(int typeIndex)
{
    for (const NvTypeDef &t : types()) {
        if (t.typeIndex == typeIndex)
            return &t;
    }
    return nullptr;
}

int nvTypeIndex(const QString &name)
{
    const NvTypeDef *t = nvTypeByName(name);
    return t ? t->typeIndex : 0;
}

const NvFieldDef *nvField(const NvTypeDef &type, const QString &fieldName)
{
    for (const NvFieldDef &f : type.fields) {
        if (f.name == fieldName)
            return &f;
    }
    return nullptr;
}

QString formatNvField(const NvFieldDef &field, const QByteArray &bytes)
{
    if (bytes.size() < field.offset + field.size)
        return QString();
    const qint64 raw = rawOf(field, bytes);
    if (field.enumItems) {
        for (const NvEnumItem &e : *field.enumItems) {
            if (e.value == raw)
                return QString::fromLatin1(e.name);
        }
        return QString::number(raw);
    }
    return scaledText(raw, field.scaleNum, field.scaleDen);
}

bool parseNvField(const NvFieldDef &field, const QString &text, QByteArray *bytes, QString *why)
{
    const QString t = text.trimmed();
    qint64 raw = 0;
    bool ok = false;
    if (field.enumItems) {
        for (const NvEnumItem &e : *field.enumItems) {
            if (t.compare(QLatin1String(e.name), Qt::CaseInsensitive) == 0) {
                raw = e.value;
                ok = true;
                break;
            }
        }
        if (!ok) {
            raw = t.toLongLong(&ok);
            if (!ok) {
                if (why)
                    *why = QStringLiteral("\"%1\" is not a value of field %2").arg(text, field.name);
                return false;
            }
        }
    } else {
        const double v = t.toDouble(&ok);
        if (!ok || !std::isfinite(v)) {
            if (why)
                *why = QStringLiteral("\"%1\" is not a number (field %2)").arg(text, field.name);
            return false;
        }
        raw = std::llround(v * field.scaleDen / field.scaleNum);
    }
    const qint64 lo = field.isSigned ? -(qint64(1) << (8 * field.size - 1)) : 0;
    const qint64 hi = field.isSigned ? (qint64(1) << (8 * field.size - 1)) - 1 : (qint64(1) << (8 * field.size)) - 1;
    if (raw < lo || raw > hi) {
        if (why)
            *why = QStringLiteral("\"%1\" is out of the range of field %2").arg(text, field.name);
        return false;
    }
    if (bytes->size() < field.offset + field.size)
        bytes->resize(field.offset + field.size, '\0');
    storeRaw(field, raw, bytes);
    return true;
}

QString formatNvValue(const NvTypeDef &type, const QByteArray &bytes)
{
    QStringList parts;
    for (const NvFieldDef &f : type.fields)
        parts << formatNvField(f, bytes);
    return parts.join(type.separator);
}

bool parseNvValue(const NvTypeDef &type, const QString &text, QByteArray *bytes, QString *why)
{
    const QStringList parts = text.trimmed().split(type.separator);
    if (parts.size() != type.fields.size()) {
        if (why)
            *why = QStringLiteral("%1 needs %2 field(s) separated by \"%3\", got \"%4\"")
                       .arg(type.name)
                       .arg(type.fields.size())
                       .arg(type.separator)
                       .arg(text);
        return false;
    }
    QByteArray out(type.size, '\0');
    for (int i = 0; i < type.fields.size(); ++i) {
        if (!parseNvField(type.fields.at(i), parts.at(i), &out, why))
            return false;
    }
    *bytes = out;
    return true;
}

} // namespace lnssim
