#include "parameterrows.h"

#include "controlcaptions.h"

#include <params/configprop.h>
#include <params/paramchoice.h>
#include <params/paramcollection.h>
#include <params/paramtextbox.h>
#include <params/rawfield.h>
#include <params/rawparams.h>


#include <optional>

namespace report {

namespace {

using namespace params;

// The template's bytes of the CP a parameter lies in, and the CP's element
// length (the field places count in elements).
struct DefaultCp
{
    QByteArray bytes;
    int elementLength = 0;
};

std::optional<DefaultCp> defaultCpOf(const cParamBase &p)
{
    lns::ConfigPropertyPtr cp = p.CpIsExternal() && p.ConfigPropExt() ? p.ConfigPropExt()->ConfigProperty()
                                                                       : p.ConfigProperty();
    if (!cp)
        return std::nullopt;
    try {
        const QString raw = cp->templateDefaultValue();
        if (raw.isEmpty())
            return std::nullopt;
        const auto bytes = parseRawText(raw, -1);
        if (!bytes)
            return std::nullopt;
        return DefaultCp{*bytes, cp->elementByteLength()};
    } catch (const lns::LnsError &) {
        return std::nullopt;
    }
}

std::optional<qint64> defaultField(const cParamBase &p, const FieldPlace &place)
{
    const auto cp = defaultCpOf(p);
    if (!cp)
        return std::nullopt;
    return readField(cp->bytes, place, cp->elementLength);
}

// The first list entry with that item data; -1 when none has it.
int findItemData(const model::ControlState &list, qint32 data)
{
    for (int i = 0; i < list.count(); ++i)
        if (list.itemData(i) == QVariant(data))
            return i;
    return -1;
}

ParameterRow baseRow(const cParamBase &p, const char *kind, const model::ControlState *control,
                    const PageLookup &pages)
{
    ParameterRow r;
    r.name = p.Name();
    r.kind = QString::fromLatin1(kind);
    r.available = p.Available();
    if (control)
        r.page = pages.pageOf ? pages.pageOf(control) : control->page();
    else
        r.page = -1;
    if (r.page >= 0 && pages.titleOf)
        r.pageTitle = pages.titleOf(r.page);
    if (control && r.page >= 0) {
        const ControlPlace place = placeOf(*control);
        r.label = place.label();
        r.order = place.order;
        r.shown = control->isVisible() && (!pages.pageShown || pages.pageShown(r.page));
        r.locked = !control->isEnabled() || control->isReadOnly();
    }
    return r;
}

void finish(ParameterRow &r, const cParamBase &p)
{
    // A value that was not read is no value of the device: nothing to show
    // and nothing to differ.
    r.read = p.valueKnown();
    if (!r.read)
        r.value = r.stored = QString();
    // A parameter the controller does not have, one the page does not show
    // and a locked one have no value to differ: the mark follows what the
    // page shows.
    r.differs = r.available && r.read && r.shown && !r.locked && r.defaultKnown && r.stored != r.defaultStored;
}

template <class P, class F>
void each(params::cParams &all, int count, std::shared_ptr<P> (params::cParams::*at)(int) const, F f)
{
    for (int i = 1; i <= count; ++i)
        if (const std::shared_ptr<P> p = (all.*at)(i))
            f(*p);
}

} // namespace

QVector<ParameterRow> parameterRows(params::cParams &p, const PageLookup &pages)
{
    QVector<ParameterRow> out;
    const auto number = [](qint64 v) { return QString::number(v); };

    each(p, p.Parameter1ByteCount(), &cParams::Parameter1Byte, [&](const cParam1Byte &x) {
        ParameterRow r = baseRow(x, "1-byte", nullptr, pages);
        r.value = r.stored = number(x.Value());
        if (const auto d = defaultField(x, x.fieldPlace())) {
            r.defaultKnown = true;
            r.defaultText = r.defaultStored = number(*d);
        }
        finish(r, x);
        out << r;
    });
    each(p, p.Parameter2ByteCount(), &cParams::Parameter2Byte, [&](const cParam2Byte &x) {
        ParameterRow r = baseRow(x, "2-byte", nullptr, pages);
        r.stored = number(x.Value1()) + QLatin1Char(',') + number(x.Value2());
        r.value = number(x.Value());
        if (const auto d = defaultField(x, x.fieldPlace())) {
            // High and low part as the parameter splits them.
            const auto [high, low] = cParam2Byte::splitValue(*d);
            r.defaultKnown = true;
            r.defaultStored = number(high) + QLatin1Char(',') + number(low);
            r.defaultText = number(*d);
        }
        finish(r, x);
        out << r;
    });
    each(p, p.ParameterAsciiCount(), &cParams::ParameterAscii, [&](const cParamASCII &x) {
        ParameterRow r = baseRow(x, "ascii", nullptr, pages);
        r.value = r.stored = x.Value();
        if (const auto cp = defaultCpOf(x)) {
            const int first = x.bytePos() > 0 ? x.bytePos() - 1 : 0;
            const int count = x.bytePos() > 0 || x.byteLength() > 0 ? x.byteLength() : cp->bytes.size();
            if (count >= 0 && first + count <= cp->bytes.size()) {
                r.defaultKnown = true;
                r.defaultText = r.defaultStored = asciiFromBytes(cp->bytes.mid(first, count));
            }
        }
        finish(r, x);
        out << r;
    });
    each(p, p.CheckBoxParameterCount(), &cParams::CheckBoxParameter, [&](const cParamCheckBox &x) {
        const model::ControlState *box = x.CheckBoxControl();
        ParameterRow r = baseRow(x, "check-box", box, pages);
        r.stored = number(x.Value());
        const auto mark = [](bool on) { return on ? QStringLiteral("[x]") : QStringLiteral("[ ]"); };
        r.value = box ? mark(box->isChecked()) : mark(x.Value() == x.ValueChecked());
        if (const auto d = defaultField(x, x.fieldPlace())) {
            r.defaultKnown = true;
            r.defaultStored = number(*d);
            r.defaultText = mark(*d == x.ValueChecked());
        }
        finish(r, x);
        out << r;
    });
    each(p, p.ComboBoxParameterCount(), &cParams::ComboBoxParameter, [&](const cParamComboBox &x) {
        const model::ControlState *box = x.ComboBoxControl();
        ParameterRow r = baseRow(x, "combo-box", box, pages);
        r.stored = number(x.Value());
        r.value = box ? box->currentText() : r.stored;
        if (const auto d = defaultField(x, x.fieldPlace())) {
            r.defaultKnown = true;
            r.defaultStored = number(*d);
            const int at = box ? findItemData(*box, static_cast<qint32>(*d)) : -1;
            r.defaultText = at >= 0 ? box->itemText(at) : r.defaultStored;
        }
        finish(r, x);
        out << r;
    });
    each(p, p.OptionButtonParameterCount(), &cParams::OptionButtonParameter, [&](const cParamOptBtn &x) {
        const model::ControlState *first = x.OptionButtonsCount() > 0 ? x.OptionButton(1) : nullptr;
        ParameterRow r = baseRow(x, "option-button", first, pages);
        r.stored = x.Value();
        for (int i = 1; i <= x.OptionButtonsCount(); ++i)
            if (const model::ControlState *b = x.OptionButton(i); b && b->isChecked())
                r.value = b->text();
        if (const auto cp = defaultCpOf(x)) {
            r.defaultKnown = true;
            r.defaultText = r.defaultStored = rawText(cp->bytes);
            for (int i = 1; i <= x.OptionButtonsCount(); ++i)
                if (x.itemData(i) == r.defaultStored && x.OptionButton(i))
                    r.defaultText = x.OptionButton(i)->text();
        }
        finish(r, x);
        out << r;
    });
    each(p, p.TextBoxParameterCount(), &cParams::TextBoxParameter, [&](const cParamTextBox &x) {
        const model::ControlState *box = x.TextBoxControl();
        ParameterRow r = baseRow(x, "text-box", box, pages);
        r.stored = number(x.Value());
        r.value = box ? box->text() : x.numbers().displayText();
        r.unit = x.UnitMnemonic();
        if (const auto d = defaultField(x, x.fieldPlace())) {
            // The template's number through the parameter's own scaling.
            TextValue v = x.numbers();
            v.setValue(v.valueForField(*d));
            r.defaultKnown = true;
            r.defaultStored = number(v.value());
            r.defaultText = v.displayText();
        }
        finish(r, x);
        out << r;
    });
    return out;
}

} // namespace report
