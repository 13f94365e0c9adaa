// Parameters without a control: one byte, two bytes (high and low) and a run
// of bytes seen as text. The configuration logic reads and sets them itself;
// they take part in the collection's reads, writes and write filter like the
// control-bound kinds.
#pragma once

#include "parambase.h"

#include <optional>
#include <utility>

namespace params {

// A number of a fixed width (one or two bytes) at a byte of its CP, without
// a control: what the 1-byte and the 2-byte parameter share.
class cRawNumberParam : public cParamBase
{
public:
    bool SignedValue() const { return m_signed; }
    void setSignedValue(bool on) { m_signed = on; }
    int bytePos() const { return m_bytePos; }

    // The field's first byte inside the own CP; the whole width must fit.
    ParamStatus ConsiderPartOfCpOnly(int bytePos);
    // Where the field lies in its CP (byte 1 when no place was given).
    FieldPlace fieldPlace() const;

    void ReadFromLns() override { ReadFromLns(false); }
    void ReadFromLns(bool fetchCpIfRequired);
    void WriteToLns() override;
    void ReadFromExtCp() override;
    void WriteToExtCp() override;

protected:
    explicit cRawNumberParam(int width) : m_width(width) {}
    // The number the field holds, and taking one read from it.
    virtual qint64 fieldValue() const = 0;
    virtual void takeFieldValue(qint64 v) = 0;

private:
    void takeRead(const std::optional<qint64> &v);

    int m_width;
    bool m_signed = false;
    int m_bytePos = 0;
};

class cParam1Byte : public cRawNumberParam
{
public:
    cParam1Byte() : cRawNumberParam(1) {}
    int ClassId() const override { return PA_CLASSID_1BYTE_PARAMETER; }

    qint32 Value() const { return m_value; }
    void setValue(qint32 v);

protected:
    qint64 fieldValue() const override { return m_value; }
    void takeFieldValue(qint64 v) override { m_value = static_cast<qint32>(v); }

private:
    qint32 m_value = 0;
};

class cParam2Byte : public cRawNumberParam
{
public:
    cParam2Byte() : cRawNumberParam(2) {}
    int ClassId() const override { return PA_CLASSID_2BYTE_PARAMETER; }

    // Value1 * 256 + Value2.
    qint32 Value() const;
    // Value1 = v / 256 (truncated toward zero), Value2 = the remainder (its
    // sign follows v).
    void setValue(qint32 v);
    qint32 Value1() const { return m_value1; }
    void setValue1(qint32 v);
    qint32 Value2() const { return m_value2; }
    void setValue2(qint32 v);
    // The two parts a field value is split into: Value1 and Value2.
    static std::pair<qint32, qint32> splitValue(qint64 v);

protected:
    qint64 fieldValue() const override { return Value(); }
    void takeFieldValue(qint64 v) override { split(v); }

private:
    void split(qint64 v);
    qint32 m_value1 = 0;
    qint32 m_value2 = 0;
};

class cParamASCII : public cParamBase
{
public:
    int ClassId() const override { return PA_CLASSID_ASCII_PARAMETER; }

    QString Value() const { return m_value; }
    void setValue(const QString &text);
    int bytePos() const { return m_bytePos; }
    int byteLength() const { return m_byteLength; }

    ParamStatus ConsiderPartOfCpOnly(int bytePos, int byteLength);

    void ReadFromLns() override { ReadFromLns(false); }
    void ReadFromLns(bool fetchCpIfRequired);
    // Text reaches a device only through a shared CP wrapper: with an own CP
    // this writes nothing and only clears Changed.
    void WriteToLns() override;
    void ReadFromExtCp() override;
    void WriteToExtCp() override;

private:
    // The bytes of the run inside a CP of `cpLength` bytes: [first, first + count).
    bool runOf(int cpLength, int *first, int *count) const;
    QString m_value;
    int m_bytePos = 0;
    int m_byteLength = 0;
};

} // namespace params
