// What the tool shows of one parameter: its name, kind, the text its control
// shows, the unit, the stored value (as the parameter data file writes it),
// the CP and the CP's bytes as the collection last read or wrote them. A
// value that was not read from the device has no text, and its value is the
// words "not read" (JSON: null with "read": false), never a number.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVector>

#include <memory>

namespace params {
class cParams;
class cParamBase;
} // namespace params

namespace cli {

struct ParamView
{
    QString name;
    QString kind; // "1-byte", "2-byte", "ascii", "check-box", "combo-box", "option-button", "text-box"
    QString text;
    QString unit;
    QString value;
    QString cp;
    QByteArray bytes;
    bool bytesKnown = false;
    bool available = false;
    bool read = true;

    QJsonObject toJson() const;
};

// Every parameter of the collection, in the order of the parameter data file
// (1-byte, 2-byte, ASCII, check box, combo box, option button, text box).
QVector<ParamView> describeParameters(params::cParams &p);

// How a value not read from the device is shown ("not read").
QString notReadText();

} // namespace cli
