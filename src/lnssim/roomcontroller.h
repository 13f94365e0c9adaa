// A behaving simulated controller: every commissioned device of the network
// runs the room model (roommodel.h), and its outputs change as a real
// controller's would.
//
// The room's state (temperature, PI integrals, commanded mode and
// occupancy, window contact, forced frost alarm, time of the last step) is
// kept in the network database (table device_room), so that aerolis-net in
// another process can set the room temperature, hold the window open or
// closed and force the frost alarm, and so that two programs that have the
// network open step the rooms together instead of twice as fast.
//
// Time: with autoStep the rooms are stepped every tick by the wall-clock time
// since their last step times the time scale; advance() steps them by an
// explicit number of simulated seconds (tests, benchmarks). Commands written
// to nviApplicMode and nviOccSchedule are answered at once.
#pragma once

#include "devicesimulator.h"
#include "roommodel.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace lnssim {

class NetworkSession;

// Network settings that switch the behaviour on (written by aerolis-net).
inline const QString kBehaviourSetting = QStringLiteral("device_behaviour");
inline const QString kBehaviourRoom = QStringLiteral("room");
inline const QString kTimeScaleSetting = QStringLiteral("room_time_scale");

// The room table of a network database.
class RoomStore
{
public:
    static void ensureTable(NetworkDb &db);
    // nullopt when the device has no room yet.
    static std::optional<RoomState> load(NetworkDb &db, int deviceId, qint64 *lastStepMs = nullptr);
    static void save(NetworkDb &db, int deviceId, const RoomState &state, qint64 lastStepMs);
    // The room a device starts with: just below its effective setpoint, mode
    // and occupancy as its outputs report them.
    static RoomState initial(NetworkDb &db, int deviceId);
    // Loads, or creates and stores the initial room.
    static RoomState loadOrCreate(NetworkDb &db, int deviceId, qint64 *lastStepMs = nullptr);
    // The controller's parameters from its device memory.
    static RoomParams params(NetworkDb &db, const DeviceRow &device, const QString &family);

    struct Step
    {
        double seconds = 0;        // simulated seconds (explicit steps)
        bool wallClock = false;    // instead: the wall-clock time since the last step ...
        qint64 nowMs = 0;          // ... until now (ms since the epoch) ...
        double maxRealSeconds = 5; // ... at most this ...
        double timeScale = 1;      // ... times the time scale
    };
    // Steps one device's room inside one database transaction and returns
    // the output NVs to send (not yet in device memory); `sizes` are the
    // sizes of the device's output NVs by name. Nothing for a device that is
    // not commissioned.
    static QHash<QString, QByteArray> step(NetworkDb &db, const DeviceRow &device, const QString &family,
                                           const QHash<QString, int> &sizes, const Step &how);
    // Sizes of the device's output NVs from the database.
    static QHash<QString, int> outputSizes(NetworkDb &db, int deviceId);
};

class RoomController : public QObject, public DeviceSimulator
{
    Q_OBJECT
public:
    struct Options
    {
        double timeScale = 1;  // simulated seconds per wall-clock second
        int tickMs = 1000;
        bool autoStep = true;
    };

    RoomController(NetworkSession &session, const Options &options);
    ~RoomController() override;

    // From the network's settings; nullopt when the rooms are off.
    static std::optional<Options> configured(NetworkDb &db);

    QHash<QString, QByteArray> inputWritten(NetworkDb &db, const DeviceRow &device, const QString &nvName,
                                            const QByteArray &value) override;

    // Steps every commissioned device's room by simSeconds and sends the
    // outputs that changed.
    void advance(double simSeconds);
    // One wall-clock tick (what the timer runs).
    void tick();
    void setAutoStep(bool on);
    bool autoStep() const { return m_timer.isActive(); }
    const Options &options() const { return m_options; }
    // Steps run and output NVs sent since creation (diagnostics, benchmark).
    qint64 steps() const { return m_steps; }
    qint64 outputsSent() const { return m_sent; }

private:
    void stepDevice(const DeviceRow &device, double simSeconds, bool wallClock, qint64 nowMs);
    QString familyOf(const DeviceRow &device) const;

    NetworkSession &m_session;
    Options m_options;
    QTimer m_timer;
    qint64 m_steps = 0;
    qint64 m_sent = 0;
};

// Installs the device behaviour of a freshly opened session: the factory's
// when one is given, else the room model when the network's settings ask
// for it; otherwise the session keeps its static devices.
using DeviceSimulatorFactory = std::function<std::unique_ptr<DeviceSimulator>(NetworkSession &)>;
void installDeviceBehaviour(NetworkSession &session, const DeviceSimulatorFactory &factory);

} // namespace lnssim
