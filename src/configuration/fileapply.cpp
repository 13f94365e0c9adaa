#include "fileapply.h"

#include "appmodes.h"
#include "configuration.h"

#include <host/hoststate.h>
#include <lns/templatelookup.h>
#include <params/paramcollection.h>
#include <platform/inifile.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>

#include <QSet>

#include <algorithm>

namespace configuration {

using namespace params;

namespace {

// Texts of the judgement (items of one string).
constexpr int kJudgeText = 1782;
enum JudgeItem {
    kRefusalLine = 1,  // "%1: refused, nothing was written: %2"
    kRefusedValue = 2, // "%1 = %2 in the file: %3"
    kReplacedValue = 3, // "%1: %2 in the file, %3 written: %4"
    kNotWrittenValue = 4, // "%1: %2 in the file, not written: %3"
    kCoolingOnly = 5,
    kHeatingOnly = 6,
    kNoSuchCp = 7,
    kNoParameter = 8,
    kSetByApplication = 9,
    kAllowedRange = 10,
    kNotInList = 11,
    kWouldReceive = 12,
    kNotANumber = 13,
    kTooLarge = 14,
    kNotWhole = 15,
    kNoValue = 16,
    kNotWrittenHere = 17,
};

QString judgeText(int item, const QStringList &args = {})
{
    return platform::fillPlaceholders(gLoadResString(kJudgeText, item), args);
}

// The setpoints the page logic moves on purpose for a cooling-only
// controller (the heating comfort setpoint goes to 15 °C and the chain
// below and above it follows).
const QSet<QString> &coolingOnlyChain()
{
    static const QSet<QString> names{
        QStringLiteral("heatsetpointcomfort"), QStringLiteral("heatsetpointstandby"),
        QStringLiteral("heatsetpointeconomy"), QStringLiteral("protsetpointheat"),
        QStringLiteral("coolsetpointcomfort"), QStringLiteral("coolsetpointstandby"),
        QStringLiteral("coolsetpointeconomy"), QStringLiteral("protsetpointcool"),
        QStringLiteral("protsetpointfrost"),   QStringLiteral("setpointecon")};
    return names;
}

bool isHeatingPair(const QString &lowerKey)
{
    return lowerKey == QLatin1String("heatxp") || lowerKey == QLatin1String("heatti");
}

bool isCoolingPair(const QString &lowerKey)
{
    return lowerKey == QLatin1String("coolxp") || lowerKey == QLatin1String("coolti");
}

bool isModeParameter(const QString &lowerKey)
{
    return lowerKey == QLatin1String("hvacappmode") || lowerKey == QLatin1String("numvalves");
}

// The file's value and the parameter's as comparable texts: numbers by
// their value, two-byte pairs field by field, texts trimmed.
QString comparable(const cParamBase &param, const QString &text)
{
    const QString t = text.trimmed();
    switch (param.ClassId()) {
    case PA_CLASSID_2BYTE_PARAMETER: {
        QStringList parts = t.split(QLatin1Char(','));
        for (QString &part : parts)
            part = QString::number(part.trimmed().toLongLong());
        return parts.join(QLatin1Char(','));
    }
    case PA_CLASSID_OPTIONBUTTON_PARAMETER:
    case PA_CLASSID_ASCII_PARAMETER:
        return t;
    default: {
        bool ok = false;
        const qint64 v = t.toLongLong(&ok);
        return ok ? QString::number(v) : t;
    }
    }
}

// A value as the window shows it: a text box's scaled integer as its
// number, anything else as the file writes it.
QString shown(const cParamBase &param, const QString &fileText)
{
    if (param.ClassId() != PA_CLASSID_TEXTBOX_PARAMETER)
        return fileText.trimmed();
    bool ok = false;
    const qint64 v = fileText.trimmed().toLongLong(&ok);
    return ok ? shownValue(static_cast<const cParamTextBox &>(param), v) : fileText.trimmed();
}

QString rangeReason(const cParamTextBox &t)
{
    const AllowedRange r = allowedRange(t);
    const QString unit = t.UnitMnemonic().isEmpty() ? QString() : QLatin1Char(' ') + t.UnitMnemonic();
    return judgeText(kAllowedRange,
                     {QString::number(r.min), QString::number(r.max), r.shownMin, r.shownMax, unit});
}

QString listReason(const cParamComboBox &c)
{
    QStringList items;
    if (const model::ControlState *combo = c.ComboBoxControl())
        for (int i = 0; i < combo->count(); ++i) {
            const QVariant d = combo->itemData(i);
            if (d.isValid() && c.ValueIsInComboList(d.toInt()))
                items << QString::number(d.toInt()) + QStringLiteral(" ") + combo->itemText(i);
        }
    return judgeText(kNotInList, {items.join(QStringLiteral(", "))});
}

// Why the loader did not take a value.
QString noteReason(const FileNote &note, const cParamBase *param, const QString &fileText)
{
    QString expected = note.expected;
    if (param && param->ClassId() == PA_CLASSID_TEXTBOX_PARAMETER)
        // With the ranges as the target's page logic has left them.
        expected = expectedFileForm(static_cast<const cParamTextBox &>(*param), fileText);
    if (expected.isEmpty())
        expected = gLoadResString(1780, 2);
    switch (note.kind) {
    case FileNote::OutOfRange:
        return judgeText(kTooLarge, {expected});
    case FileNote::NotWholeNumber:
        return judgeText(kNotWhole, {expected});
    case FileNote::NoValue:
        return judgeText(kNoValue, {expected});
    default:
        return judgeText(kNotANumber, {expected});
    }
}

} // namespace

bool valueIsRefusedByChecks(const cParamBase &param)
{
    if (!param.Available())
        return false;
    if (param.ClassId() == PA_CLASSID_TEXTBOX_PARAMETER)
        return static_cast<const cParamTextBox &>(param).ValueIsInvalid();
    if (param.ClassId() == PA_CLASSID_COMBOBOX_PARAMTER) {
        // Without its list (no control) the value cannot be judged.
        const auto &c = static_cast<const cParamComboBox &>(param);
        return c.ComboBoxControl() && !c.CurrentValueIsInComboList();
    }
    return false;
}

QString invalidValueReason(const cParamBase &param)
{
    if (param.ClassId() == PA_CLASSID_TEXTBOX_PARAMETER)
        return rangeReason(static_cast<const cParamTextBox &>(param));
    if (param.ClassId() == PA_CLASSID_COMBOBOX_PARAMTER)
        return listReason(static_cast<const cParamComboBox &>(param));
    return QString();
}

QString FileValueVerdict::text() const
{
    switch (fate) {
    case FileValueFate::Refused:
        return judgeText(kRefusedValue, {key, fileValue, reason});
    case FileValueFate::Replaced:
        return judgeText(kReplacedValue, {key, fileValue, writtenValue, reason});
    case FileValueFate::NotWritten:
        return judgeText(kNotWrittenValue, {key, fileValue, reason});
    case FileValueFate::Taken:
        break;
    }
    return QString();
}

QVector<FileValueVerdict> FileApplyReport::refusals(bool strict) const
{
    QVector<FileValueVerdict> out;
    for (const FileValueVerdict &v : verdicts)
        if (v.fate == FileValueFate::Refused || (strict && v.fate != FileValueFate::Taken))
            out << v;
    return out;
}

QVector<FileValueVerdict> FileApplyReport::notes() const
{
    QVector<FileValueVerdict> out;
    for (const FileValueVerdict &v : verdicts)
        if (v.fate == FileValueFate::Replaced || v.fate == FileValueFate::NotWritten)
            out << v;
    return out;
}

QString FileApplyReport::refusalLine(bool strict) const
{
    QStringList parts;
    for (const FileValueVerdict &v : refusals(strict))
        parts << v.text();
    return parts.join(QStringLiteral("; "));
}

ApplyTarget applyTargetFor(int ctrlType, int appNumber, const platform::IniFile &ini)
{
    ApplyTarget t;
    t.ctrlType = ctrlType;
    t.appNumber = appNumber;
    for (const QString &key : ini.keys(lns::kCpSection))
        if (ini.indexes(lns::kCpSection, key).index > 0)
            t.pluginKeys << key.toLower();
    return t;
}

ApplyTarget applyTargetOf(const cConfiguration &config)
{
    return applyTargetFor(config.ctrlType(), config.appNumber(), host::state().ini);
}

FileApplyReport judgeFileValues(const ParamFileOutline &file, const LoadReport &load, const cParams &params,
                                const ApplyTarget &target)
{
    FileApplyReport report;
    QHash<QString, std::shared_ptr<cParamBase>> byName;
    for (const auto &p : params.AllParameters())
        if (p)
            byName.insert(p->Name().toLower(), p);
    QHash<int, FileNote> valueNotes;
    for (const FileNote &n : load.notes)
        if (isValueNote(n))
            valueNotes.insert(n.line, n);
    const bool noHeat = coolingOnly(target.ctrlType, target.appNumber);
    const bool noCool = heatingOnly(target.ctrlType, target.appNumber);

    QSet<QString> seen;
    for (const ParamFileEntry &e : file.settings) {
        const QString key = e.key.toLower();
        // A key repeated with the same value is one entry (the loader refuses
        // a file that repeats one with another value).
        if (seen.contains(key))
            continue;
        seen.insert(key);
        const std::shared_ptr<cParamBase> param = byName.value(key);
        FileValueVerdict v;
        v.key = e.key;
        v.line = e.line;
        v.fileValue = param ? shown(*param, e.value) : e.value.trimmed();

        if (!param) {
            v.fate = FileValueFate::NotWritten;
            v.reason = target.pluginKeys.contains(key) ? judgeText(kNoSuchCp, {e.key}) : judgeText(kNoParameter);
            report.verdicts << v;
            continue;
        }
        const auto note = valueNotes.constFind(e.line);
        if (note != valueNotes.constEnd()) {
            v.fate = FileValueFate::Refused;
            v.fileValue = e.value.trimmed().isEmpty() ? QStringLiteral("\"\"") : e.value.trimmed();
            v.reason = noteReason(*note, param.get(), e.value);
            report.verdicts << v;
            continue;
        }
        const bool written = param->Available() && !param->DontWriteToLns() && !param->DontWriteToFile();
        if (!written) {
            // Nothing is lost where the target holds the file's value already.
            const auto held = target.heldValues.constFind(key);
            if (held != target.heldValues.constEnd() && comparable(*param, *held) == comparable(*param, e.value)) {
                ++report.taken;
                continue;
            }
            v.fate = FileValueFate::NotWritten;
            if (!param->Available())
                v.reason = judgeText(kNoSuchCp, {param->CpIniName().isEmpty() ? e.key : param->CpIniName()});
            else if (isHeatingPair(key) && noHeat)
                v.reason = judgeText(kCoolingOnly);
            else if (isCoolingPair(key) && noCool)
                v.reason = judgeText(kHeatingOnly);
            else if (isModeParameter(key))
                v.reason = judgeText(kSetByApplication);
            else
                v.reason = judgeText(kNotWrittenHere);
            report.verdicts << v;
            continue;
        }
        const QString now = fileValueText(*param);
        if (comparable(*param, now) == comparable(*param, e.value)) {
            if (valueIsRefusedByChecks(*param)) {
                // The file's own text: its display form may round to the limit.
                v.fate = FileValueFate::Refused;
                v.fileValue = e.value.trimmed();
                v.reason = invalidValueReason(*param);
                report.verdicts << v;
                continue;
            }
            ++report.taken;
            continue;
        }
        if (noHeat && coolingOnlyChain().contains(key)) {
            v.fate = FileValueFate::Replaced;
            v.writtenValue = shown(*param, now);
            v.reason = judgeText(kCoolingOnly);
        } else {
            // No deliberate step of the page logic explains the difference.
            v.fate = FileValueFate::Refused;
            v.fileValue = e.value.trimmed();
            v.writtenValue = now;
            v.reason = judgeText(kWouldReceive, {now});
        }
        report.verdicts << v;
    }
    std::stable_sort(report.verdicts.begin(), report.verdicts.end(),
                     [](const FileValueVerdict &a, const FileValueVerdict &b) { return a.line < b.line; });
    return report;
}

} // namespace configuration
