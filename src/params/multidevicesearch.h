// The search of the multi-device selection on the object server: every
// LonMark object of the network that can take this parameter set, i.e. an
// object named like the current one on a device whose program id may load
// data of the current device (the same id, or one listed as compatible in
// the device template), the current object itself left out.
//
// It also models what writing the set to a selection costs on the channel:
// one CP write per CP of the set that the target's template has (and a read
// before it where a field is merged into the target's bytes), plus the
// application check (a version read) on controllers whose template has
// CtrlType 1 or 2. Downloads are not foreseeable and not counted.
#pragma once


#include <lns/lnsobjects.h>
#include <lns/serverenvironment.h>
#include <platform/inifile.h>
#include <platform/multidevice.h>

#include <QHash>

#include <functional>

namespace params {

// Modelled microseconds of one device transaction, as the object server's
// environment prices it.
using ChannelOp = lns::ChannelOp;
using ChannelPrice = lns::ChannelPrice;

// One CP the copy writes into every target.
struct CopiedCp
{
    QString name;      // LNS name
    QString cpIniName; // template key
    int bytes = 0;
    // A partial field is written before anything else of the CP: the
    // target's bytes are read first (copyplan.h).
    bool readFirst = false;
};

class LnsMultiDeviceSearch : public platform::MultiDeviceSearch
{
    Q_OBJECT
public:
    LnsMultiDeviceSearch(lns::SystemPtr system, lns::LonMarkObjectPtr current, const platform::IniFile *ini,
                         QObject *parent = nullptr);

    void setCopiedCps(const QVector<CopiedCp> &cps) { m_cps = cps; }
    void setChannelPrice(ChannelPrice price) { m_price = std::move(price); }

    QVector<platform::MultiDeviceCandidate> run() override;
    platform::MultiDeviceCost cost(const QVector<platform::MultiDeviceCandidate> &selection) const override;

    // The LonMark object of a key of the last search; nullptr when unknown.
    lns::LonMarkObjectPtr object(const QString &key) const { return m_objects.value(key); }
    // CtrlType of a device template (0 when the template has none).
    int ctrlType(const QString &templateName) const;
    // The modelled cost of one object of that template.
    platform::MultiDeviceCost costOf(const QString &templateName) const;

private:
    void collectDevices(const lns::SubsystemPtr &subsystem, QVector<lns::AppDevicePtr> &out);

    lns::SystemPtr m_system;
    lns::LonMarkObjectPtr m_current;
    const platform::IniFile *m_ini;
    QVector<CopiedCp> m_cps;
    ChannelPrice m_price;
    QHash<QString, lns::LonMarkObjectPtr> m_objects;
    mutable QHash<QString, platform::MultiDeviceCost> m_costCache;
};

} // namespace params
