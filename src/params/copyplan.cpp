#include "copyplan.h"

#include "paramcollection.h"
#include "rawfield.h"

#include <QHash>
#include <platform/tracelog.h>

namespace params {

namespace {

// The field a parameter writes into its own CP.
FieldPlace placeOf(const cParamBase &p)
{
    switch (p.ClassId()) {
    case PA_CLASSID_TEXTBOX_PARAMETER:
        return static_cast<const cParamTextBox &>(p).fieldPlace();
    case PA_CLASSID_COMBOBOX_PARAMTER:
        return static_cast<const cParamComboBox &>(p).fieldPlace();
    case PA_CLASSID_CHECKBOX_PARAMETER:
        return static_cast<const cParamCheckBox &>(p).fieldPlace();
    case PA_CLASSID_1BYTE_PARAMETER:
        return FieldPlace{qMax(1, static_cast<const cParam1Byte &>(p).bytePos()), 1, 0, false};
    case PA_CLASSID_2BYTE_PARAMETER:
        return FieldPlace{qMax(1, static_cast<const cParam2Byte &>(p).bytePos()), 2, 0, false};
    default:
        // Option buttons write the whole CP.
        return FieldPlace{};
    }
}

} // namespace

QVector<CopiedCp> copiedCps(const cParams &params)
{
    QVector<CopiedCp> out;
    QHash<QString, int> at;
    const auto add = [&](const lns::ConfigPropertyPtr &cp, const QString &iniName, const FieldPlace *place) {
        try {
            const QString name = cp->name();
            const int el = cp->elementByteLength();
            const int length = el * qMax(1, cp->dimension());
            auto it = at.find(name);
            if (it == at.end()) {
                // The first write of the CP decides: a field that does not
                // cover it needs the target's bytes.
                const bool partial = place && !fieldCoversCp(*place, el, length);
                at.insert(name, out.size());
                out << CopiedCp{name, iniName, length, partial};
            }
        } catch (const lns::LnsError &e) {
            // The CPs that could not be listed are left to the copy's own
            // reads, which report them.
            platform::traceCaughtError(QStringLiteral("CopyPlan"), e.number(), e.description());
        }
    };
    for (const auto &p : params.GetAllParamsShouldBeWrittenToLns()) {
        // ASCII text reaches a device only through a wrapper.
        if (p->CpIsExternal() || !p->ConfigProperty() || p->ClassId() == PA_CLASSID_ASCII_PARAMETER)
            continue;
        const FieldPlace place = placeOf(*p);
        add(p->ConfigProperty(), p->CpIniName(), &place);
    }
    for (int i = 1; i <= params.ConfigPropsCount(); ++i) {
        const auto w = params.ConfigProps(i);
        if (w && !w->DontWriteToLns() && w->Available() && w->ConfigProperty())
            add(w->ConfigProperty(), w->CpIniName(), nullptr);
    }
    return out;
}

} // namespace params
