// One line of `aerolis monitor`: what the control command's page shows after
// an update, with the time it was shown.
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace cli {

class Session;

struct MonitorLine
{
    QDateTime time;
    QString mode;          // TextBox34
    QString setpoint;      // TextBox12, °C
    QString occupancy;     // TextBox13
    QString heatPrimary;   // TextBox14..18, %
    QString heatSecondary;
    QString cool;
    QString economizer;
    QString fan;
    QString fanLevel;      // TextBox19
    bool indicators[3] = {false, false, false}; // night purge, energy hold-off, frost alarm (blinking)

    // The page of the session's control command as it is now.
    static MonitorLine fromPage(const Session &s, const QDateTime &time);
    // Compact JSON object; "time" in ISO 8601 with milliseconds and offset.
    QJsonObject toJson() const;
    // "yyyy-MM-dd hh:mm:ss  Label: value unit; ..." in the configured
    // language, every field labelled, "-" for a box the page leaves empty.
    QString toText() const;
};

} // namespace cli
