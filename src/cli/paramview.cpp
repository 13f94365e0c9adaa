#include "paramview.h"

#include <params/paramcollection.h>
#include <platform/resstrings.h>

#include <QJsonArray>
#include <platform/tracelog.h>

namespace cli {

namespace {

// "not read"
constexpr int kNotReadText = 1593;

lns::ConfigPropertyPtr cpOf(const params::cParamBase &p)
{
    if (p.CpIsExternal())
        return p.ConfigPropExt()->ConfigProperty();
    return p.ConfigProperty();
}

template <class P, class F>
void add(QVector<ParamView> &out, params::cParams &all, int count, std::shared_ptr<P> (params::cParams::*at)(int) const,
         const char *kind, F fill)
{
    for (int i = 1; i <= count; ++i) {
        const std::shared_ptr<P> p = (all.*at)(i);
        if (!p)
            continue;
        ParamView v;
        v.name = p->Name();
        v.kind = QString::fromLatin1(kind);
        v.available = p->Available();
        if (const lns::ConfigPropertyPtr cp = cpOf(*p)) {
            try {
                v.cp = cp->name();
            } catch (const lns::LnsError &e) {
                platform::traceCaughtError(QStringLiteral("ParamView"), e.number(), e.description());
                v.cp = p->CpIniName();
            }
            if (const auto bytes = all.cpIo().knownBytes(cp)) {
                v.bytes = *bytes;
                v.bytesKnown = true;
            }
        } else {
            v.cp = p->CpIniName();
        }
        fill(*p, v);
        v.read = p->valueKnown();
        if (!v.read) {
            v.text.clear();
            v.value = gLoadResString(kNotReadText);
        }
        out << v;
    }
}

} // namespace

QJsonObject ParamView::toJson() const
{
    QJsonArray raw;
    for (char c : bytes)
        raw.append(static_cast<int>(static_cast<quint8>(c)));
    QJsonObject o;
    o.insert(QStringLiteral("name"), name);
    o.insert(QStringLiteral("kind"), kind);
    o.insert(QStringLiteral("text"), text);
    o.insert(QStringLiteral("unit"), unit);
    o.insert(QStringLiteral("value"), read ? QJsonValue(value) : QJsonValue());
    o.insert(QStringLiteral("read"), read);
    o.insert(QStringLiteral("available"), available);
    o.insert(QStringLiteral("cp"), cp);
    o.insert(QStringLiteral("cpBytes"), bytesKnown ? QJsonValue(raw) : QJsonValue());
    return o;
}

QVector<ParamView> describeParameters(params::cParams &p)
{
    using namespace params;
    QVector<ParamView> out;
    const auto number = [](qint32 v) { return QString::number(v); };
    add(out, p, p.Parameter1ByteCount(), &cParams::Parameter1Byte, "1-byte", [&](const cParam1Byte &x, ParamView &v) {
        v.value = v.text = number(x.Value());
    });
    add(out, p, p.Parameter2ByteCount(), &cParams::Parameter2Byte, "2-byte", [&](const cParam2Byte &x, ParamView &v) {
        v.value = number(x.Value1()) + QLatin1Char(',') + number(x.Value2());
        v.text = number(x.Value());
    });
    add(out, p, p.ParameterAsciiCount(), &cParams::ParameterAscii, "ascii", [](const cParamASCII &x, ParamView &v) {
        v.value = v.text = x.Value();
    });
    add(out, p, p.CheckBoxParameterCount(), &cParams::CheckBoxParameter, "check-box",
        [&](const cParamCheckBox &x, ParamView &v) {
            v.value = number(x.Value());
            if (const model::ControlState *box = x.CheckBoxControl())
                v.text = box->isChecked() ? QStringLiteral("[x]") : QStringLiteral("[ ]");
        });
    add(out, p, p.ComboBoxParameterCount(), &cParams::ComboBoxParameter, "combo-box",
        [&](const cParamComboBox &x, ParamView &v) {
            v.value = number(x.Value());
            if (const model::ControlState *box = x.ComboBoxControl())
                v.text = box->currentText();
        });
    add(out, p, p.OptionButtonParameterCount(), &cParams::OptionButtonParameter, "option-button",
        [](const cParamOptBtn &x, ParamView &v) {
            v.value = x.Value();
            for (int i = 1; i <= x.OptionButtonsCount(); ++i)
                if (const model::ControlState *b = x.OptionButton(i); b && b->isChecked())
                    v.text = b->text();
        });
    add(out, p, p.TextBoxParameterCount(), &cParams::TextBoxParameter, "text-box",
        [&](const cParamTextBox &x, ParamView &v) {
            v.value = number(x.Value());
            v.unit = x.UnitMnemonic();
            if (const model::ControlState *box = x.TextBoxControl())
                v.text = box->text();
        });
    return out;
}

QString notReadText()
{
    return gLoadResString(kNotReadText);
}

} // namespace cli
