// What a parameter file asks of one controller compared with what that
// controller will really receive. A value of the file may arrive as written,
// be replaced on purpose by the page logic of the target's kind (the heating
// setpoints of a cooling-only controller), not be written at all (a
// parameter the target's kind or application does not use, a CP its template
// lacks), or be unusable (not a whole number, outside the allowed range, not
// in the list). The write and copy commands judge every target with the same
// rules, so a value is never dropped without a word.
//
// Use: load the file into the collection of a session on the target
// (cParams::LoadFromFile), run the target's page logic, checks and write
// filter (cConfiguration::SetControls, checkValues, prepareWriteSet), then
// judge the file's entries against the collection: its values and write
// flags are then exactly what the target's write sends.
#pragma once

#include <params/paramfile.h>

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace params {
class cParamBase;
class cParams;
}
namespace platform {
class IniFile;
}

namespace configuration {

class cConfiguration;

// The controller a file is applied to, as far as its kind decides what it
// takes.
struct ApplyTarget
{
    int ctrlType = 0;   // CtrlType of the target's template, 1..5
    int appNumber = -1; // the application the target runs after the write
    // Parameter keys of the plug-in (lower case) that some controller kind
    // has: the CP keys of the template's CP section. A file key among them
    // that the target has no parameter for belongs to another kind.
    QStringList pluginKeys;
    // What the target holds before the write, lower-case parameter name ->
    // value in the file's form (params::fileValues of its collection as read
    // from it); may be empty. A value the target does not write but already
    // holds is not lost.
    QHash<QString, QString> heldValues;
};

// The target of an open configuration session.
ApplyTarget applyTargetOf(const cConfiguration &config);
// A target given by its kind and application; the plug-in's keys from `ini`.
ApplyTarget applyTargetFor(int ctrlType, int appNumber, const platform::IniFile &ini);

enum class FileValueFate {
    Taken,      // the target receives the file's value (or holds it already)
    Replaced,   // the page logic of the target's kind writes another value on purpose
    NotWritten, // the target does not take this parameter (other kind or application, no such CP, no parameter)
    Refused,    // unusable as the file holds it: not a whole number, outside the range, not in the list
};

struct FileValueVerdict
{
    QString key;  // as the file spells it
    int line = 0; // 1-based line in the file
    FileValueFate fate = FileValueFate::Taken;
    QString fileValue;    // the file's value as the window shows it ("16.0"), or the file's text
    QString writtenValue; // what the target receives, shown the same way (Replaced)
    QString reason;       // one clause: "cooling-only controller", "allowed 50 to 1000 (0.5 to 10.0 K)"
    // The one-line statement, e.g. "HeatSetpointEconomy: 16.0 in the file,
    // 15.0 written: cooling-only controller".
    QString text() const;
};

struct FileApplyReport
{
    // Every entry that is not taken as written, in file order.
    QVector<FileValueVerdict> verdicts;
    int taken = 0; // entries the target receives as written

    // Refused entries; with `strict` every entry that is not taken.
    QVector<FileValueVerdict> refusals(bool strict) const;
    bool refused(bool strict) const { return !refusals(strict).isEmpty(); }
    // Replaced and not written entries (the notes of a write that goes on).
    QVector<FileValueVerdict> notes() const;
    // The refusal as one line: every refused entry, separated by "; ".
    QString refusalLine(bool strict) const;
};

// Why a parameter's current value cannot be written: its allowed range
// (text box) or list (combo box); empty for other kinds.
QString invalidValueReason(const params::cParamBase &param);

// Judges every [Settings] entry of `file` (readParamFileOutline) against
// `params` after `load` (its LoadFromFile report) and the target's page
// logic, checks and write filter: what the collection now holds and writes
// is what the target receives.
FileApplyReport judgeFileValues(const params::ParamFileOutline &file, const params::LoadReport &load,
                                const params::cParams &params, const ApplyTarget &target);

} // namespace configuration
