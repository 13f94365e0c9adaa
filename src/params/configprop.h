// cConfigProp: one CP of the device as a plain array of bytes, shared by the
// parameters whose fields lie in it (an external CP). Each parameter edits
// its own bytes in the array; the wrapper reads and writes the whole CP in
// one operation, always in the "RAW" format.
#pragma once

#include "parambase.h"

#include <QByteArray>

namespace params {

class cConfigProp
{
public:
    cConfigProp() = default;
    cConfigProp(const cConfigProp &) = delete;
    cConfigProp &operator=(const cConfigProp &) = delete;

    int ClassId() const { return PA_CLASSID_CONFIG_PROPERTY; }

    // Set once by the collection (AddConfigProp).
    void bind(ParamOwner *parent, const QString &name, const lns::ConfigPropertyPtr &cp, const QString &cpIniName,
              const lns::ObjectPtr &cpOwner);

    ParamOwner *Parent() const { return m_parent; }
    lns::ConfigPropertyPtr ConfigProperty() const { return m_cp; }
    void setConfigProperty(const lns::ConfigPropertyPtr &cp) { m_cp = cp; }
    bool CpFetched() const { return m_cp != nullptr; }
    QString Name() const { return m_name; }
    QString CpIniName() const { return m_cpIniName; }
    bool Available() const { return m_available; }

    // Sizes, asked from the CP object once and kept for the life of the
    // wrapper; -1 while no CP object is held.
    int Dimension();
    int ElementByteLength();
    int ByteLength();

    // Byte `index` (1-based). Reading the first byte reads the CP from the
    // device once; an index outside 1..ByteLength (or no array) sets *ok
    // false and returns 0 (subscript out of range).
    quint8 ByteValue(int index, bool *ok = nullptr);
    // Stores a byte without reading first; false when out of range.
    bool setByteValue(int index, quint8 value);
    // The whole array (reading the CP first, as ByteValue does).
    QByteArray bytes();
    // Replaces `count` bytes from `index` (1-based); false when out of range.
    bool setBytes(int index, const QByteArray &data);

    bool DontReadFromLns() const { return m_dontRead; }
    void setDontReadFromLns(bool on) { m_dontRead = on; }
    bool DontWriteToLns() const { return m_dontWrite; }
    void setDontWriteToLns(bool on) { m_dontWrite = on; }

    // Reads the whole CP into the array. A read that fails leaves the array
    // as it was (a half-parsed CP would mix old and new bytes).
    bool ReadFromLns(bool fetchCpIfRequired = false);
    // Writes the whole array; a failing element does not stop the others.
    bool WriteToLns();
    bool FetchCp(bool forceFetch = false);

    bool bytesRead() const { return m_bytesRead; }

private:
    void allocate();
    CpIo *io() const;

    ParamOwner *m_parent = nullptr;
    lns::ConfigPropertyPtr m_cp;
    lns::ObjectPtr m_cpOwner;
    QString m_name;
    QString m_cpIniName;
    bool m_available = false;
    bool m_bytesRead = false;
    bool m_dontRead = false;
    bool m_dontWrite = false;
    int m_byteLength = 0;
    int m_dimension = 0;
    int m_elementByteLength = 0;
    QByteArray m_bytes;
    bool m_allocated = false;
};

} // namespace params
