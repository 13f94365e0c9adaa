// Application: the plug-in's host object, the one a network tool creates.
//
// The tool reads the plug-in's identity from it, positions and shows the
// main window through it, hands over the objects it already holds and sends
// the command. Creating it runs InitApp, so a start through the tool
// initialises exactly as a command-line start. Apart from the remembered
// window state all of its state is the process-wide state of hoststate.h.
//
// The members follow the order of the class's interface; each property has
// its getter before its setter. While the abort flag is set the window
// members read 0 / False, and no setter and no method does anything; the
// identity members still answer, and writing a read-only member is always
// an error.
#pragma once

#include "hoststate.h"

#include <lns/lnsobjects.h>

#include <QString>

#include <memory>
#include <stdexcept>

namespace host {

// The object error raised by the read-only members: the object error base
// 0x80040000 plus 20002.
constexpr qint32 kErrReadOnly = qint32(0x80044E22u); // -2147201502
inline const QString kReadOnlyDescription = QStringLiteral("Write not supported. This property is read-only.");

// An error the host object raises to its caller (number, source, description).
class AutomationError : public std::runtime_error
{
public:
    AutomationError(qint32 number, const QString &source, const QString &description)
        : std::runtime_error(description.toStdString()), m_number(number), m_source(source), m_description(description)
    {
    }
    qint32 number() const { return m_number; }
    QString source() const { return m_source; }
    QString description() const { return m_description; }

private:
    qint32 m_number;
    QString m_source;
    QString m_description;
};

class Application
{
public:
    // Runs InitApp.
    Application();

    qint32 Height() const;
    void setHeight(qint32 twips);
    QString LcaVersion() const;
    void setLcaVersion(const QString &);
    qint32 Left() const;
    void setLeft(qint32 twips);
    QString ManufacturerId() const;
    void setManufacturerId(const QString &);
    QString ManufacturerName() const;
    void setManufacturerName(const QString &);
    bool Minimized() const;
    void setMinimized(bool minimized);
    QString Name() const;
    void setName(const QString &);
    QString NetworkInterfaceName() const;
    void setNetworkInterfaceName(const QString &name);
    bool Remote() const;
    void setRemote(bool remote);
    // Always empty; a write is accepted and discarded.
    QString NetworkName() const;
    void setNetworkName(const QString &);
    qint32 Top() const;
    void setTop(qint32 twips);
    QString Version() const;
    void setVersion(const QString &);
    bool Visible() const;
    void setVisible(bool visible);
    qint32 Width() const;
    void setWidth(qint32 twips);

    // Runs ValidateCommand unless the abort flag is set.
    void SendCommand(qint32 &commandId, qint16 &classId, QString &objectName);

    // The connection's LonMark object. Setting it takes an object of ClassId
    // 28 as the connection's LonMark object and then marks the objects as
    // handed over (no own connect, no own close); any other object, and one
    // whose ClassId cannot be read, is ignored.
    lns::ObjectPtr LnsObjectByTool() const;
    void setLnsObjectByTool(const lns::ObjectPtr &object);

    // Write-only members.
    void setProgramIdsToRegister(const QString &programIds);
    void setRegResult(const std::shared_ptr<HostResultObject> &resultObject);
    void setLnsServer(const lns::ObjectPtr &server);

    // Does nothing: the plug-in ends when its caller releases it or the user
    // closes the window.
    void ClosePlugIn();

    // The remembered window state (before Minimized = True).
    qint16 savedWindowState() const { return m_savedWindowState; }

    // The nearest 32-bit integer, halves to even (the conversion of the
    // window's floating-point sizes).
    static qint32 roundHalfEven(double value);

private:
    qint16 m_savedWindowState = kWindowNormal;
};

} // namespace host
