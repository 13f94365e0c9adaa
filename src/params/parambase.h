// What every parameter of the collection shares: its name, its CP (an own LNS
// CP object or a shared CP wrapper), the flags the collection reads and
// writes by, and the changed flag.
#pragma once

#include "cpio.h"
#include "paramenums.h"

#include <lns/lnsobjects.h>
#include <lns/templatelookup.h>

#include <QString>

#include <memory>

namespace params {

class cConfigProp;

// The owner of parameters and CP wrappers (the collection) as the parameters
// see it: the CP access and the device template.
class ParamOwner
{
public:
    virtual ~ParamOwner() = default;
    virtual CpIo &cpIo() = 0;
    virtual lns::TemplateContext templateContext() const = 0;
    // Title of the parameters' message boxes (the main window's caption).
    virtual QString messageTitle() const = 0;
};

// Error raised by the partial-CP calls: the object-error base plus 1000.
constexpr int kErrInvalidPartOfCp = static_cast<int>(0x800403E8u);
inline const QString kPartOfCpSource = QStringLiteral("ConsiderPartOfCpOnly");
// Procedure names the parameters log their CP errors under.
inline const QString kReadFromLns = QStringLiteral("ReadFromLns");
inline const QString kWriteToLns = QStringLiteral("WriteToLns");
inline const QString kReadFromExtCp = QStringLiteral("ReadFromExtCp");
inline const QString kWriteToExtCp = QStringLiteral("WriteToExtCp");

// Lock modes that show no value on the control.
inline bool hidesValue(int mode)
{
    return mode == LM_DISABLED_NO_VALUE || mode == LM_DISABLED_GREY_NO_VALUE;
}

// Marks, for its lifetime, the control changes a parameter makes itself, so
// that its own change handler ignores them.
class ChangeGuard
{
public:
    explicit ChangeGuard(bool &flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~ChangeGuard() { m_flag = m_old; }
    ChangeGuard(const ChangeGuard &) = delete;
    ChangeGuard &operator=(const ChangeGuard &) = delete;

private:
    bool &m_flag;
    bool m_old;
};

struct ParamStatus
{
    int number = 0;
    QString source;
    QString description;
    bool ok() const { return number == 0; }
};

class cParamBase
{
public:
    virtual ~cParamBase() = default;
    cParamBase(const cParamBase &) = delete;
    cParamBase &operator=(const cParamBase &) = delete;

    virtual int ClassId() const = 0;

    // Set once by the collection when it creates the parameter.
    struct Binding
    {
        ParamOwner *parent = nullptr;
        QString name;
        lns::ConfigPropertyPtr configProperty;
        QString cpIniName;
        std::shared_ptr<cConfigProp> configPropExt;
        // The LonMark object or device the CP belongs to, for FetchCp.
        lns::ObjectPtr cpOwner;
    };
    void bind(const Binding &b);

    ParamOwner *Parent() const { return m_parent; }
    QString Name() const { return m_name; }
    QString CpIniName() const { return m_cpIniName; }
    bool Available() const { return m_available; }
    // Set by the collection; a parameter without its CP also locks its control.
    virtual void setAvailable(bool on) { m_available = on; }

    lns::ConfigPropertyPtr ConfigProperty() const { return m_cp; }
    void setConfigProperty(const lns::ConfigPropertyPtr &cp) { m_cp = cp; }
    bool CpFetched() const { return m_cp != nullptr; }
    std::shared_ptr<cConfigProp> ConfigPropExt() const { return m_ext; }
    bool CpIsExternal() const { return m_ext != nullptr; }
    lns::ObjectPtr cpOwner() const { return m_cpOwner; }

    bool DontReadFromLns() const { return m_dontRead; }
    void setDontReadFromLns(bool on) { m_dontRead = on; }
    bool DontWriteToLns() const { return m_dontWrite; }
    void setDontWriteToLns(bool on) { m_dontWrite = on; }
    bool DontWriteToFile() const { return m_dontWriteFile; }
    void setDontWriteToFile(bool on) { m_dontWriteFile = on; }
    bool ForceWriteToFile() const { return m_forceWriteFile; }
    void setForceWriteToFile(bool on) { m_forceWriteFile = on; }

    bool Changed() const { return m_changed; }
    virtual void setChanged(bool on) { m_changed = on; }

    // True once the value came from the device or was set by the user or the
    // program; false while it is only the initial 0 or the last read of its
    // CP failed. The collection does not write a value it does not know: a
    // CP that could not be read must not be overwritten with a guess.
    bool valueKnown() const { return m_valueKnown || m_changed; }
    // The last read of the parameter's CP field gave no value.
    bool lastReadFailed() const { return m_lastReadFailed; }

    // Finds the CP object again through the device template (own CP only).
    bool FetchCp(bool forceFetch = false);

    virtual void ReadFromLns() = 0;
    virtual void WriteToLns() = 0;
    virtual void ReadFromExtCp() = 0;
    virtual void WriteToExtCp() = 0;

protected:
    cParamBase() = default;
    CpIo *io() const;
    QString moduleName() const;
    void setValueKnown(bool on) { m_valueKnown = on; }
    void setLastReadFailed(bool on) { m_lastReadFailed = on; }
    // The collection's field reader and writer on the own CP.
    std::optional<qint64> readOwnField(const FieldPlace &place, const QString &procedure);
    bool writeOwnField(const FieldPlace &place, qint64 value, const QString &procedure);
    // The same on the wrapper's bytes (the wrapper is read and written as a
    // whole by the collection).
    std::optional<qint64> readExtField(const FieldPlace &place, const QString &procedure);
    bool writeExtField(const FieldPlace &place, qint64 value, const QString &procedure);
    // The partial-CP check: the field must lie within the CP's element;
    // accepted at once for an external CP.
    ParamStatus checkPartOfCp(int bytePos, int byteLength, const QString &description);

private:
    ParamOwner *m_parent = nullptr;
    QString m_name;
    QString m_cpIniName;
    lns::ConfigPropertyPtr m_cp;
    std::shared_ptr<cConfigProp> m_ext;
    lns::ObjectPtr m_cpOwner;
    bool m_available = false;
    bool m_dontRead = false;
    bool m_dontWrite = false;
    bool m_dontWriteFile = false;
    bool m_forceWriteFile = false;
    bool m_changed = false;
    bool m_valueKnown = false;
    bool m_lastReadFailed = false;
};

} // namespace params
