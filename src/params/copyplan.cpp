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

QSet<QString> cpsCoveredBySet(const cParams &params)
{
    // Bytes written per CP; a CP is covered when none is left unwritten.
    QHash<QString, QVector<bool>> written;
    for (const auto &p : params.GetAllParamsShouldBeWrittenToLns()) {
        // The copy writes these through the target's own CP objects only.
        if (p->CpIsExternal() || !p->ConfigProperty() || p->ClassId() == PA_CLASSID_ASCII_PARAMETER)
            continue;
        try {
            const lns::ConfigPropertyPtr &cp = p->ConfigProperty();
            const int el = cp->elementByteLength();
            const int length = el * qMax(1, cp->dimension());
            const auto layout = fieldLayout(placeOf(*p), el, length);
            if (!layout || length <= 0)
                continue;
            QVector<bool> &bytes = written[cp->name()];
            if (bytes.size() != length)
                bytes = QVector<bool>(length, false);
            for (int i = layout->first; i < layout->first + layout->count && i < length; ++i)
                bytes[i] = true;
        } catch (const lns::LnsError &e) {
            // A CP that cannot be measured keeps its merge read.
            platform::traceCaughtError(QStringLiteral("CopyPlan"), e.number(), e.description());
        }
    }
    QSet<QString> covered;
    for (auto it = written.constBegin(); it != written.constEnd(); ++it) {
        if (!it.value().contains(false))
            covered.insert(it.key());
    }
    return covered;
}

QVector<CopiedCp> copiedCps(const cParams &params)
{
    QVector<CopiedCp> out;
    QHash<QString, int> at;
    const QSet<QString> covered = cpsCoveredBySet(params);
    const auto add = [&](const lns::ConfigPropertyPtr &cp, const QString &iniName, const FieldPlace *place) {
        try {
            const QString name = cp->name();
            const int el = cp->elementByteLength();
            const int length = el * qMax(1, cp->dimension());
            auto it = at.find(name);
            if (it == at.end()) {
                // A CP whose bytes the set's fields do not all make needs
                // the target's bytes first.
                const bool partial = place && !covered.contains(name);
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
