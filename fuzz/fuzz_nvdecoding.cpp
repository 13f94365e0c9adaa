// The NV decoders on any value: the monitoring page's decoding of every
// monitored point (the first input byte chooses the point and the
// configuration it decodes with, the rest is the reported text), and the
// object server's typed text of every NV type it knows (the first byte
// chooses the type): a text it accepts gives bytes of the type's size whose
// text it accepts again with the same bytes.
#include "fuzzsupport.h"

#include <lnssim/nvtypes.h>
#include <monitoring/nvdecoding.h>

#include <QVector>

#include <algorithm>
#include <stdexcept>

namespace {

const QVector<const lnssim::NvTypeDef *> &knownTypes()
{
    static const QVector<const lnssim::NvTypeDef *> types = [] {
        QVector<const lnssim::NvTypeDef *> out;
        for (int i = 0; i < 1000; ++i)
            if (const lnssim::NvTypeDef *t = lnssim::nvTypeByIndex(i))
                out << t;
        return out;
    }();
    return types;
}

void decodePoint(uint8_t selector, const QString &value)
{
    const auto &points = monitoring::monitoredNvs();
    monitoring::DecodeInputs in;
    for (int i = 0; i < monitoring::kOutputBoxes; ++i)
        in.outputAvailable[size_t(i)] = (selector >> (i % 5)) & 1;
    if (selector & 0x20)
        in.discLevels = qint32(selector) - 128;
    if (selector & 0x40) {
        in.settingHystHighFunction = selector & 7;
        in.settingHystHighLevel = selector >> 3;
    }
    // Fields of the unit status text, as the object server's field read
    // gives them; an unknown field throws as it does.
    in.readUnitStatusField = [&value](const QString &field) -> QString {
        const int i = int(std::find(monitoring::kOutputFields.begin(), monitoring::kOutputFields.end(),
                                    field.toLatin1())
                          - monitoring::kOutputFields.begin());
        if (i >= int(monitoring::kOutputFields.size()))
            throw std::runtime_error("no such field");
        return value.section(QLatin1Char(','), i + 1, i + 1);
    };
    const monitoring::PageChange change =
        monitoring::decodeUpdate(points[selector % points.size()].name, value, in);
    for (auto it = change.texts.cbegin(); it != change.texts.cend(); ++it)
        fuzz::require(it.key() == 12 || it.key() == 13 || it.key() == 34
                          || (it.key() >= monitoring::kFirstOutputBox && it.key() < monitoring::kFirstOutputBox + monitoring::kOutputBoxes),
                      "a text for a box the page does not show");

    (void)monitoring::modeText(value);
    (void)monitoring::outputText(value);
    (void)monitoring::frostAlarm(value);
    (void)monitoring::occupancyText(value);
    (void)monitoring::energyHoldOffActive(value);
    const std::optional<QString> setpoint = monitoring::setpointText(value);
    fuzz::require(setpoint.has_value() == monitoring::setpointValue(value).has_value(),
                  "setpoint text and value disagree on what is a setpoint");
    try {
        (void)monitoring::fanLevel(float(monitoring::setpointValue(value).value_or(selector)), int(selector) - 100);
    } catch (const std::overflow_error &) {
        // documented: the level box keeps its text
    }
    (void)monitoring::applicModeCommand(int(selector) - 8);
}

void typedText(uint8_t selector, const QString &text)
{
    const auto &types = knownTypes();
    if (types.isEmpty())
        return;
    const lnssim::NvTypeDef &type = *types[selector % types.size()];
    QByteArray bytes;
    QString why;
    if (!lnssim::parseNvValue(type, text, &bytes, &why))
        return;
    fuzz::require(bytes.size() == type.size, "accepted text of another size");
    const QString formatted = lnssim::formatNvValue(type, bytes);
    QByteArray again;
    fuzz::require(lnssim::parseNvValue(type, formatted, &again, &why), "the type's own text is refused");
    fuzz::require(again == bytes, "the type's own text gives other bytes");
    for (const lnssim::NvFieldDef &field : type.fields) {
        const QString fieldText = lnssim::formatNvField(field, bytes);
        QByteArray copy = bytes;
        fuzz::require(lnssim::parseNvField(field, fieldText, &copy, &why), "a field's own text is refused");
        fuzz::require(copy == bytes, "a field's own text changes the value");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QString value = QString::fromUtf8(fuzz::bytes(data + 1, size - 1));
    decodePoint(data[0], value);
    typedText(data[0], value);
    return 0;
}
