// The parameter data file: a parameter set saved as 8-bit INI-style text and
// loaded again into the same or a compatible device.
//
// Layout (CR+LF after every line, Latin-1):
//   [General]
//   PlugInName = <plug-in name>
//   ProgramId = <program id>
//   DataFileVersion = <version>
//   <empty>
//   [Settings]
//   seven groups: 1-byte, 2-byte, ASCII, check box, combo box, option
//   button, text box; each is its header line (only when that registry holds
//   a parameter), one "Name = Value" line per saved parameter, one empty line.
//
// Reading: a line "[x]" opens section x, a line starting with ";" or "#" is
// a comment, any other line is split at its first "="; the key is the text
// before it without surrounding blanks and is compared without regard to
// case (as the registries compare names); one blank after the "=" belongs to
// the separator. A key that names a parameter twice with different values
// makes the file ambiguous and nothing is loaded.
#pragma once

#include <QHash>
#include <QIODevice>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace platform {
class IniFile;
}

namespace params {

class cParams;

// Results of LoadFromFile. 0..4 are the product's; 5 and 6 are this
// program's own for files that cannot be taken as a parameter set at all.
enum eLoadFromFileErrors {
    LE_NO_ERROR = 0,
    LE_WRONG_PLUGIN = 1,
    LE_WRONG_PLUGIN_VERSION = 2,
    LE_WRONG_DEVICE = 3,
    LE_WRONG_DATAFILE_VERSION = 4,
    LE_FILE_UNREADABLE = 5, // cannot be opened, too large, not 8-bit text, or not a regular file
    LE_FILE_AMBIGUOUS = 6,  // a parameter's key appears twice with different values
};

inline const QString kPlugInNameKey = QStringLiteral("PlugInName");
inline const QString kProgramIdKey = QStringLiteral("ProgramId");
inline const QString kDataFileVersionKey = QStringLiteral("DataFileVersion");
inline const QString kGeneralSection = QStringLiteral("General");
inline const QString kSettingsSection = QStringLiteral("Settings");
// What the configuration passes.
inline const QString kDataFilePlugInName = QStringLiteral("nordaQRT");
inline const QString kDataFileVersion = QStringLiteral("1");

// Larger files are not parameter sets (a full set is about 1 KB).
constexpr qint64 kMaxParamFileBytes = 8 * 1024 * 1024;

// Something the loader noticed in a file it loaded: a line it did not take.
// A numeric value is taken only as the file's own form writes it, a whole
// decimal number of ASCII digits with an optional sign: a hand-edited
// "21.5" read by its leading number would put 0.22 °C into the device.
struct FileNote
{
    enum Kind {
        UnknownKey,   // the key belongs to no parameter; ignored
        NotANumber,   // the value holds no number; the parameter keeps its value
        OutOfRange,   // the number does not fit 32 bits; the parameter keeps its value
        BadLine,      // neither section, comment nor "key = value"; ignored
        SameValueTwice, // a key repeated with the same value
        NotWholeNumber, // a number, but not a whole one ("21.5", "250abc"); the parameter keeps its value
        NoValue,        // nothing after the "="; the parameter keeps its value
    };
    Kind kind = UnknownKey;
    int line = 0;   // 1-based line number in the file
    QString key;
    QString value;    // the file's value text (trimmed) for the value notes
    QString expected; // the form the file should hold, for the value notes
};
// True for the notes of a value the loader did not take.
bool isValueNote(const FileNote &note);

struct LoadReport
{
    int result = LE_NO_ERROR;
    // For LE_FILE_UNREADABLE: 1 cannot be opened, 2 too large, 3 not 8-bit
    // text, 5 not a regular file; for LE_FILE_AMBIGUOUS: 4. Item of text 1524.
    int reason = 0;
    QString key;        // the ambiguous key
    int loaded = 0;     // parameters that took a value from the file
    QVector<FileNote> notes;
};

// The user-visible text of a note (text 1525) and of a refusal of this
// program's own (text 1524); empty for the product's results.
QString fileNoteText(const FileNote &note);
QString refusalText(const LoadReport &report);

// Writes the set to `out` line by line; false as soon as a line cannot be
// written (the rest is not attempted).
bool writeParamFile(const cParams &params, QIODevice &out, const QString &plugInName, const QString &programId,
                    const QString &dataFileVersion);

// What a parameter file holds before it is loaded, read by the loader's own
// rules: the program id of its header (empty when missing or given twice
// with different values) and the keys of its [Settings] section, lower case.
struct ParamFileEntry
{
    int line = 0;  // 1-based line in the file
    QString key;   // as written, trimmed
    QString value; // after the "=" and its one blank
};
struct ParamFileOutline
{
    QString programId;
    QSet<QString> settingKeys;
    QVector<ParamFileEntry> settings; // the [Settings] entries in file order
};
// nullopt when the loader could not read the file at all (LE_FILE_UNREADABLE);
// `reason` then tells why (the reasons of LoadReport).
std::optional<ParamFileOutline> readParamFileOutline(const QString &fileName, int *reason = nullptr);

class cParamTextBox;
// The form a text-box parameter's value takes in the file, for messages:
// "the scaled integer, e.g. 2150 for 21.5 °C; allowed 500 to 5000 (5.0 to
// 50.0 °C)". The example scales the number at the start of `fileText` when
// it has one, else the parameter's value.
QString expectedFileForm(const cParamTextBox &param, const QString &fileText);
// The range a text-box value may take now: the narrower of the CP's range
// and the text box's, as scaled integers and as shown.
struct AllowedRange
{
    qint64 min = 0;
    qint64 max = 0;
    QString shownMin;
    QString shownMax;
};
AllowedRange allowedRange(const cParamTextBox &param);
// The value as the window shows it (Value / Factor in the resolution's
// format) for a scaled integer `value`.
QString shownValue(const cParamTextBox &param, qint64 value);

class cParamBase;
// A parameter's value as its entry line writes it ("2100", "0,1", ...).
QString fileValueText(const cParamBase &param);
// The value of every parameter whose value is known, lower-case name ->
// fileValueText: what a controller holds, to compare a file with.
QHash<QString, QString> fileValues(const cParams &params);

// The whole file as bytes, for tests and tools.
QByteArray paramFileBytes(const cParams &params, const QString &plugInName, const QString &programId,
                          const QString &dataFileVersion);

} // namespace params
