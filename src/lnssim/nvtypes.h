// The network variable types the controller uses: their size, their fields
// and their default (typed) text form.
//
// A value's default text is its fields in order, separated by the type's
// separator: enumerations by name (e.g. "HVAC_HEAT"), numbers in engineering
// units as plain decimal text without trailing zeros (e.g. "21.5"). A field
// object reads and writes one field in the same form; writing accepts an
// enumeration name or its number. Multi-byte numbers are most significant
// byte first.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

namespace lnssim {

struct NvEnumItem
{
    int value;
    const char *name;
};

struct NvFieldDef
{
    QString name;
    int offset = 0;
    int size = 1;        // 1 or 2 bytes
    bool isSigned = false;
    // Engineering value = raw * scaleNum / scaleDen; scaleDen is a power of 10.
    int scaleNum = 1;
    int scaleDen = 1;
    const QVector<NvEnumItem> *enumItems = nullptr; // set for enumerations
};

struct NvTypeDef
{
    QString name;
    int typeIndex = 0;
    int size = 0;
    QChar separator;
    QVector<NvFieldDef> fields; // one unnamed field ("value") for scalar types
};

// nullptr for a type the server does not know (its values are RAW only).
const NvTypeDef *nvTypeByName(const QString &name);
const NvTypeDef *nvTypeByIndex(int typeIndex);
// The type index of a known type name, 0 otherwise.
int nvTypeIndex(const QString &name);

const NvFieldDef *nvField(const NvTypeDef &type, const QString &fieldName);

QString formatNvValue(const NvTypeDef &type, const QByteArray &bytes);
// False (with a reason) when the text does not fit the type.
bool parseNvValue(const NvTypeDef &type, const QString &text, QByteArray *bytes, QString *why);

QString formatNvField(const NvFieldDef &field, const QByteArray &bytes);
// Changes the field's bytes inside *bytes (the whole value).
bool parseNvField(const NvFieldDef &field, const QString &text, QByteArray *bytes, QString *why);

} // namespace lnssim
