// Monitor points: named handles on the controller's network variables.
//
// cMonitorPoints owns its points and the connection to the object server's
// NV update event. A point is found from an update by its monitor tag, which
// is 5000 plus its position minus 1 in the collection, so points are never
// removed while monitoring runs. Every change of an NV's monitor settings is
// made inside the NV object's settings bracket (editing flag on, change,
// editing flag off).
//
// Failed reads and writes of a point's value or of one of its fields never
// reach the caller: they raise CommunicationFailed once and the member
// returns the empty value or false. The settings members (PollInterval,
// Format, ReportByException, MonitoringType) pass object-server errors on
// (lns::LnsError), as do the collection lookups for a missing name or
// position (numbers kErrNoSuchPoint, kErrDuplicatePoint).
#pragma once

#include "nvtypechanger.h"

#include <lns/lnsobjects.h>
#include <lns/templatelookup.h>

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace monitoring {

constexpr int kFirstMonitorTag = 5000;
// Collection errors, numbered as the platform's keyed collections number them.
constexpr int kErrInvalidCall = 5;        // removing a name that is not there
constexpr int kErrNoSuchPoint = 9;        // position or name not in the collection
constexpr int kErrDuplicatePoint = 457;   // a name already in the collection

// Monitoring types: 0 not monitored; 1 monitored with the monitor message
// flag set; 2 monitored without it (what the plug-in uses for its outputs).
enum eMonitoringType : qint32 { MT_NONE = 0, MT_MESSAGES = 1, MT_UPDATES = 2 };

// Where the collection writes its logger lines (message 1542, "Nv not found
// in Ini file"); colour as a colour value (255 red).
class LogPort
{
public:
    virtual ~LogPort() = default;
    virtual void LogLine(const QString &text, int color, bool bold) = 0;
};

class cMonitorPoints;

class cMonitorPoint
{
public:
    QString Name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    bool Available() const { return m_available; }
    cMonitorPoints *Parent() const { return m_parent; }
    // The monitor tag this point puts on its NV when activated.
    qint32 monitorTag() const { return m_tag; }

    // A fresh read from the device; empty (after CommunicationFailed) when
    // the read fails, empty without an event when not Available.
    QString Value();
    void setValue(const QString &text);
    // The last value read, written or reported; a fresh read when empty.
    QString BufferedValue();
    // The buffer alone, without a read (diagnostics and tests).
    QString bufferedText() const { return m_buffer; }

    bool SetElementValue(const QString &elementName, const QString &value);
    bool GetElementValue(const QString &elementName, QString &value);

    lns::NetworkVariablePtr NetworkVariable() const { return m_available ? m_nv : nullptr; }
    void setNetworkVariable(const lns::NetworkVariablePtr &nv) { m_nv = nv; }

    qint32 MonitoringType() const { return m_monitoringType; }
    void setMonitoringType(qint32 type);
    qint32 PollInterval() const;
    void setPollInterval(qint32 seconds);
    QString Format() const;
    void setFormat(const QString &format);
    bool ReportByException() const;
    void setReportByException(bool on);
    // Clears or sets the NV's own update option (inside the bracket).
    void setMonitorOption(int value);

    void ActivateMonitoring();
    void DeactivateMonitoring();
    bool MonitoringIsActive() const;

    bool IndependentMonitoring() const { return m_independent; }
    void setIndependentMonitoring(bool on) { m_independent = on; }

    bool ChangeNvType(qint16 nvTypeId, const QString &programId, quint8 scope);

private:
    friend class cMonitorPoints;
    cMonitorPoint() = default;
    // Runs change inside the NV's settings bracket; errors pass on after the
    // bracket is closed again.
    void bracket(const std::function<void()> &change);
    void failed();

    QString m_name;
    bool m_available = false;
    lns::NetworkVariablePtr m_nv;
    cMonitorPoints *m_parent = nullptr;
    qint32 m_monitoringType = MT_NONE;
    qint32 m_tag = 0;
    bool m_independent = false;
    QString m_buffer;
};

class cMonitorPoints : public QObject
{
    Q_OBJECT
public:
    explicit cMonitorPoints(QObject *parent = nullptr);
    ~cMonitorPoints() override;

    // The server whose update event reaches this collection.
    lns::ObjectServerPtr ObjectServer() const { return m_server; }
    void setObjectServer(const lns::ObjectServerPtr &server);

    // Logger for type-change failures; NV type changer (the default changes
    // the type through the object server).
    void setLogPort(LogPort *log) { m_log = log; }
    void setNvTypeChanger(std::shared_ptr<NvTypeChanger> changer);

    cMonitorPoint *AddMonitorPoint(const QString &name, const lns::NetworkVariablePtr &nv, qint32 monitoringType = 0);
    void RemoveMonitorPointByName(const QString &name);
    // 1-based position.
    cMonitorPoint *GetMonitorPoint(qint16 index) const;
    cMonitorPoint *GetMonitorPointByName(const QString &name) const;
    // nullptr instead of an error.
    cMonitorPoint *findPoint(const QString &name) const;
    qint32 Count() const { return qint32(m_points.size()); }

    bool ActivateMonitoring();
    void DeactivateMonitoring();
    // Reads the point afresh and reports what came (empty after a failure).
    void ForceNvUpdate(const QString &monitorPointName);

    // Template lookups of one NV. With succeed given, a name the template
    // does not know sets it false; without, that is error 10000.
    void FetchDevNV(const QString &nvName, const QString &section, const lns::TemplateContext &ctx,
                    const lns::AppDevicePtr &appDevice, lns::NetworkVariablePtr &networkVariable,
                    bool *succeed = nullptr);
    void FetchLmoNV(const QString &nvName, const QString &section, const lns::TemplateContext &ctx,
                    const lns::LonMarkObjectPtr &lonmarkObject, lns::NetworkVariablePtr &networkVariable,
                    bool *succeed = nullptr);

    // Batch type change and check over named points: each point's NV is
    // looked up again in the template's NV section of its own LonMark object
    // (the template of its device when ctx has none). A name the template
    // does not know is logged in red and makes the result false.
    bool WriteNvsTypeLmo(const QStringList &monitorPointNames, qint16 nvTypeId, const QString &programId,
                         quint8 scope, const QString &section, lns::TemplateContext ctx);
    bool CheckNvTypeCpConsistencyLmo(const QStringList &monitorPointNames, qint16 nvTypeId,
                                     const QString &section, lns::TemplateContext ctx);

    // The collection's type change used by cMonitorPoint::ChangeNvType.
    bool changeNvType(cMonitorPoint &point, qint16 nvTypeId, const QString &programId, quint8 scope);

    // The object that received the preparatory call (nullptr until found).
    lns::ObjectPtr monitorOwner() const { return m_owner; }

    // Raised by a point of this collection when a read or write failed.
    void raiseCommunicationFailed(cMonitorPoint *point);

Q_SIGNALS:
    void NvUpdate(const QString &monitorPointName, const QString &value);
    void CommunicationFailed(monitoring::cMonitorPoint *monitorPoint);

private:
    void onServerUpdate(int monitorTag, const QString &value, const lns::NetworkVariablePtr &nv);
    void logRed(const QString &text);
    // Finds the NV again through the template for a batch; nullptr (logged)
    // when the template does not know the name.
    lns::NetworkVariablePtr lookUpForBatch(cMonitorPoint &point, const QString &section, lns::TemplateContext ctx);

    std::vector<std::unique_ptr<cMonitorPoint>> m_points;
    QHash<QString, int> m_index; // name -> 0-based position
    lns::ObjectServerPtr m_server;
    QMetaObject::Connection m_serverConnection;
    lns::ObjectPtr m_owner;
    LogPort *m_log = nullptr;
    std::shared_ptr<NvTypeChanger> m_changer;
};

} // namespace monitoring
