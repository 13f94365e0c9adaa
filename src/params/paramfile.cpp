#include "paramfile.h"

#include "decimal.h"
#include "numberrules.h"
#include "paramcollection.h"

#include <platform/inifile.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <functional>
#include <limits>

namespace params {

namespace {

const QString kModule = QStringLiteral("[cParams] ");
// The form a value takes in the file: item 1 a text box's scaled integer,
// item 2 any other number.
constexpr int kExpectedFormText = 1780;
const QString kSep = QStringLiteral(" = ");
const QByteArray kEol = QByteArrayLiteral("\r\n");

// Saved when forced, or when it may be saved, has its CP and a value that
// came from the device or was set: an unread 0 must not travel to other
// devices as if it were a setting.
bool isSaved(const cParamBase &p)
{
    if (p.ForceWriteToFile())
        return true;
    return !p.DontWriteToFile() && p.Available() && p.valueKnown();
}

// ASCII text on one line: a line break inside it would end the entry.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

class LineWriter
{
public:
    explicit LineWriter(QIODevice &out) : m_out(out) {}
    bool line(const QString &text)
    {
        if (!m_ok)
            return false;
        const QByteArray bytes = text.toLatin1() + kEol;
        m_ok = m_out.write(bytes) == bytes.size();
        return m_ok;
    }
    bool entry(const QString &key, const QString &value) { return line(key + kSep + value); }
    bool ok() const { return m_ok; }

private:
    QIODevice &m_out;
    bool m_ok = true;
};

template <class P, class Get>
bool writeGroup(LineWriter &w, const cParams &params, int count, const char *header, Get get,
                std::function<QString(const P &)> valueText)
{
    if (count > 0 && !w.line(QString::fromLatin1(header)))
        return false;
    for (int i = 1; i <= count; ++i) {
        const std::shared_ptr<P> p = get(i);
        if (p && isSaved(*p) && !w.entry(p->Name(), valueText(*p)))
            return false;
    }
    return w.line(QString());
}

// ---------------- reading ----------------

struct Entry
{
    int line = 0;
    QString key;   // as written, trimmed
    QString value; // after the "=" and its one blank
};

struct Section
{
    QVector<Entry> entries;
    QHash<QString, QVector<int>> byKey; // lower-case key -> entries
};

struct ParsedFile
{
    QHash<QString, Section> sections;
    QVector<FileNote> notes;
};

// 0 when the bytes are 8-bit text, else the reason (3). A UTF-8 mark is
// accepted and dropped; UTF-16/32 text (marks or NUL bytes) is refused.
int decode(QByteArray data, QString *text)
{
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF") || data.contains('\0'))
        return 3;
    if (data.startsWith("\xEF\xBB\xBF")) {
        data.remove(0, 3);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString t = utf8.decode(data);
        if (!utf8.hasError()) {
            *text = t;
            return 0;
        }
    }
    *text = QString::fromLatin1(data);
    return 0;
}

// The file as text: 0, or why it cannot be a parameter file (1 cannot be
// opened, 2 too large, 3 not 8-bit text, 5 not a regular file).
int readText(const QString &fileName, QString *text)
{
    // A named pipe, a device or a folder is no parameter file: opening a pipe
    // would wait for a writer for ever, a device may never end.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile())
        return 5;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return 1;
    if (f.size() > kMaxParamFileBytes)
        return 2;
    const QByteArray data = f.read(kMaxParamFileBytes + 1);
    if (data.size() > kMaxParamFileBytes)
        return 2;
    return decode(data, text);
}

ParsedFile parse(const QString &text)
{
    ParsedFile f;
    QString current;
    bool inSection = false;
    int lineNo = 0;
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos <= n) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), pos);
        if (end < 0)
            end = n;
        QStringView line = QStringView(text).mid(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QStringView t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
            continue;
        if (t.startsWith(QLatin1Char('['))) {
            const qsizetype close = t.lastIndexOf(QLatin1Char(']'));
            if (close > 0) {
                current = t.mid(1, close - 1).toString();
                inSection = true;
                continue;
            }
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QStringView key = eq > 0 ? line.left(eq).trimmed() : QStringView();
        if (!inSection || key.isEmpty()) {
            f.notes << FileNote{FileNote::BadLine, lineNo, QString(), QString(), QString()};
            continue;
        }
        QStringView value = line.mid(eq + 1);
        if (value.startsWith(QLatin1Char(' ')))
            value = value.mid(1);
        Section &s = f.sections[current];
        s.byKey[key.toString().toLower()] << s.entries.size();
        s.entries << Entry{lineNo, key.toString(), value.toString()};
    }
    return f;
}

// Blanks and tabs at the end are not part of a number or raw text.
QString trimmedValue(const QString &v)
{
    return v.trimmed();
}

enum class Lookup { Missing, Found, Ambiguous };

// The entry of a key; repeated keys with the same (trimmed) value count as
// one, with different values as ambiguous.
Lookup lookup(const Section &s, const QString &key, const Entry **entry, QVector<FileNote> *notes = nullptr)
{
    const auto it = s.byKey.constFind(key.toLower());
    if (it == s.byKey.constEnd())
        return Lookup::Missing;
    const Entry &first = s.entries.at(it->first());
    for (int i = 1; i < it->size(); ++i) {
        const Entry &other = s.entries.at(it->at(i));
        if (trimmedValue(other.value) != trimmedValue(first.value))
            return Lookup::Ambiguous;
        if (notes)
            *notes << FileNote{FileNote::SameValueTwice, other.line, other.key, QString(), QString()};
    }
    *entry = &first;
    return Lookup::Found;
}

enum class Num { Ok, NotANumber, OutOfRange, NotWhole, Empty };

// The file's own form of a number: a whole decimal number of ASCII digits
// with an optional sign and blanks around it, within 32 bits.
Num number(const QString &text, qint32 *out)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return Num::Empty;
    int i = 0;
    if (t.at(0) == QLatin1Char('+') || t.at(0) == QLatin1Char('-'))
        i = 1;
    bool whole = i < t.size();
    for (int k = i; whole && k < t.size(); ++k)
        whole = t.at(k) >= QLatin1Char('0') && t.at(k) <= QLatin1Char('9');
    Dec::ParseInfo info;
    const Dec d = Dec::parseLeading(t, &info);
    if (!info.hasNumber)
        return Num::NotANumber;
    if (!whole)
        return Num::NotWhole;
    bool saturated = false;
    const qint64 v = d.toIntHalfEven(std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(),
                                     &saturated);
    if (saturated || info.saturated)
        return Num::OutOfRange;
    *out = static_cast<qint32>(v);
    return Num::Ok;
}

} // namespace

bool isValueNote(const FileNote &note)
{
    switch (note.kind) {
    case FileNote::NotANumber:
    case FileNote::OutOfRange:
    case FileNote::NotWholeNumber:
    case FileNote::NoValue:
        return true;
    default:
        return false;
    }
}

QString fileNoteText(const FileNote &note)
{
    int item = 0;
    switch (note.kind) {
    case FileNote::UnknownKey:
        item = 1;
        break;
    case FileNote::NotANumber:
        item = 2;
        break;
    case FileNote::OutOfRange:
        item = 3;
        break;
    case FileNote::BadLine:
        item = 4;
        break;
    case FileNote::SameValueTwice:
        item = 5;
        break;
    case FileNote::NotWholeNumber:
        item = 7;
        break;
    case FileNote::NoValue:
        item = 8;
        break;
    }
    const QString expected = note.expected.isEmpty() ? gLoadResString(kExpectedFormText, 2) : note.expected;
    return platform::fillPlaceholders(gLoadResString(1525, item),
                                      {QString::number(note.line), note.key, note.value, expected});
}

AllowedRange allowedRange(const cParamTextBox &param)
{
    const TextValue &v = param.numbers();
    const Dec lo = std::max(v.rangeMin(), v.textBoxRangeMin());
    const Dec hi = std::min(v.rangeMax(), v.textBoxRangeMax());
    const qint64 big = std::numeric_limits<qint64>::max();
    AllowedRange r;
    // The scaled limits inward: a limit between two integers allows the
    // integers inside it only.
    const Dec loScaled = lo.mulInt(v.effectiveFactor());
    const Dec hiScaled = hi.mulInt(v.effectiveFactor());
    r.min = loScaled.toIntHalfEven(-big, big);
    if (Dec::fromInt(r.min) < loScaled)
        ++r.min;
    r.max = hiScaled.toIntHalfEven(-big, big);
    if (Dec::fromInt(r.max) > hiScaled)
        --r.max;
    r.shownMin = formatForResolution(lo, v.resolution());
    r.shownMax = formatForResolution(hi, v.resolution());
    return r;
}

QString shownValue(const cParamTextBox &param, qint64 value)
{
    const TextValue &v = param.numbers();
    return formatForResolution(Dec::fromRatio(value, v.effectiveFactor()), v.resolution());
}

QString expectedFileForm(const cParamTextBox &param, const QString &fileText)
{
    const TextValue &v = param.numbers();
    // A file value written as the window shows it ("21.5") is scaled as the
    // example; for anything else the parameter's own value is.
    Dec::ParseInfo info;
    Dec shown = Dec::parseLeading(fileText.trimmed(), &info);
    if (!info.hasNumber || !info.wholeText || info.saturated || !fileText.contains(QLatin1Char('.')))
        shown = v.displayNumber();
    const qint64 big = std::numeric_limits<qint64>::max();
    const qint64 example = shown.mulInt(v.effectiveFactor()).toIntHalfEven(-big, big);
    const AllowedRange r = allowedRange(param);
    const QString unit = param.UnitMnemonic().isEmpty() ? QString() : QLatin1Char(' ') + param.UnitMnemonic();
    return platform::fillPlaceholders(gLoadResString(kExpectedFormText, 1),
                                      {QString::number(example), shown.toPlain(), unit, QString::number(r.min),
                                       QString::number(r.max), r.shownMin, r.shownMax});
}

QString refusalText(const LoadReport &report)
{
    if (report.result != LE_FILE_UNREADABLE && report.result != LE_FILE_AMBIGUOUS)
        return QString();
    return platform::fillPlaceholders(gLoadResString(1524, report.reason), {report.key});
}

bool writeParamFile(const cParams &params, QIODevice &out, const QString &plugInName, const QString &programId,
                    const QString &dataFileVersion)
{
    LineWriter w(out);
    w.line(QLatin1Char('[') + kGeneralSection + QLatin1Char(']'));
    w.entry(kPlugInNameKey, plugInName);
    w.entry(kProgramIdKey, programId);
    w.entry(kDataFileVersionKey, dataFileVersion);
    w.line(QString());
    w.line(QLatin1Char('[') + kSettingsSection + QLatin1Char(']'));
    if (!w.ok())
        return false;

    const cParams &p = params;
    const auto number = [](qint32 v) { return QString::number(v); };
    return writeGroup<cParam1Byte>(
               w, p, p.Parameter1ByteCount(), ";  *** Generic 1 Byte ***", [&](int i) { return p.Parameter1Byte(i); },
               [&](const cParam1Byte &x) { return number(x.Value()); })
        && writeGroup<cParam2Byte>(
               w, p, p.Parameter2ByteCount(), ";  *** Generic 2 Byte ***", [&](int i) { return p.Parameter2Byte(i); },
               [&](const cParam2Byte &x) { return number(x.Value1()) + QLatin1Char(',') + number(x.Value2()); })
        && writeGroup<cParamASCII>(
               w, p, p.ParameterAsciiCount(), ";  *** Generic ASCII ***", [&](int i) { return p.ParameterAscii(i); },
               [](const cParamASCII &x) { return oneLine(x.Value()) + QLatin1Char(','); })
        && writeGroup<cParamCheckBox>(
               w, p, p.CheckBoxParameterCount(), ";  *** CheckBox ***", [&](int i) { return p.CheckBoxParameter(i); },
               [&](const cParamCheckBox &x) { return number(x.Value()); })
        && writeGroup<cParamComboBox>(
               w, p, p.ComboBoxParameterCount(), ";  *** ComboBox ***", [&](int i) { return p.ComboBoxParameter(i); },
               [&](const cParamComboBox &x) { return number(x.Value()); })
        && writeGroup<cParamOptBtn>(
               w, p, p.OptionButtonParameterCount(), ";  *** OptionButton ***",
               [&](int i) { return p.OptionButtonParameter(i); }, [](const cParamOptBtn &x) { return x.Value(); })
        && writeGroup<cParamTextBox>(
               w, p, p.TextBoxParameterCount(), ";  *** TextBox ***", [&](int i) { return p.TextBoxParameter(i); },
               [&](const cParamTextBox &x) { return number(x.Value()); });
}

QString fileValueText(const cParamBase &param)
{
    switch (param.ClassId()) {
    case PA_CLASSID_TEXTBOX_PARAMETER:
        return QString::number(static_cast<const cParamTextBox &>(param).Value());
    case PA_CLASSID_COMBOBOX_PARAMTER:
        return QString::number(static_cast<const cParamComboBox &>(param).Value());
    case PA_CLASSID_CHECKBOX_PARAMETER:
        return QString::number(static_cast<const cParamCheckBox &>(param).Value());
    case PA_CLASSID_OPTIONBUTTON_PARAMETER:
        return static_cast<const cParamOptBtn &>(param).Value();
    case PA_CLASSID_1BYTE_PARAMETER:
        return QString::number(static_cast<const cParam1Byte &>(param).Value());
    case PA_CLASSID_2BYTE_PARAMETER: {
        const auto &x = static_cast<const cParam2Byte &>(param);
        return QString::number(x.Value1()) + QLatin1Char(',') + QString::number(x.Value2());
    }
    case PA_CLASSID_ASCII_PARAMETER:
        return oneLine(static_cast<const cParamASCII &>(param).Value()) + QLatin1Char(',');
    default:
        return QString();
    }
}

QHash<QString, QString> fileValues(const cParams &params)
{
    QHash<QString, QString> out;
    for (const auto &p : params.AllParameters())
        if (p && p->Available() && p->valueKnown())
            out.insert(p->Name().toLower(), fileValueText(*p));
    return out;
}

QByteArray paramFileBytes(const cParams &params, const QString &plugInName, const QString &programId,
                          const QString &dataFileVersion)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeParamFile(params, buffer, plugInName, programId, dataFileVersion);
    return buffer.data();
}

// ---------------- cParams ----------------

bool cParams::WriteToFile(const QString &fileName, const QString &plugInName, const QString &programId,
                          const QString &dataFileVersion)
{
    platform::traceEntry(kModule + QStringLiteral("Public Function WriteToFile() As Boolean"));
    // The set is written beside the target and moved over it only when
    // complete: a failed save must not leave a file that looks whole.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        platform::TraceLog::instance().logError(QStringLiteral("cParams"), QStringLiteral("WriteToFile"), 75,
                                                fileName + QStringLiteral(": ") + file.errorString());
        return false;
    }
    if (!writeParamFile(*this, file, plugInName, programId, dataFileVersion)) {
        const QString why = file.errorString();
        file.cancelWriting();
        file.commit();
        platform::TraceLog::instance().logError(QStringLiteral("cParams"), QStringLiteral("WriteToFile"), 61,
                                                fileName + QStringLiteral(": ") + why);
        return false;
    }
    if (!file.commit()) {
        platform::TraceLog::instance().logError(QStringLiteral("cParams"), QStringLiteral("WriteToFile"), 61,
                                                fileName + QStringLiteral(": ") + file.errorString());
        return false;
    }
    return true;
}

std::optional<ParamFileOutline> readParamFileOutline(const QString &fileName, int *reason)
{
    QString text;
    const int why = readText(fileName, &text);
    if (reason)
        *reason = why;
    if (why)
        return std::nullopt;
    const ParsedFile file = parse(text);
    ParamFileOutline out;
    const Entry *e = nullptr;
    if (lookup(file.sections.value(kGeneralSection), kProgramIdKey, &e) == Lookup::Found)
        out.programId = e->value.trimmed();
    const Section settings = file.sections.value(kSettingsSection);
    for (auto it = settings.byKey.constBegin(); it != settings.byKey.constEnd(); ++it)
        out.settingKeys.insert(it.key());
    for (const Entry &e : settings.entries)
        out.settings << ParamFileEntry{e.line, e.key, e.value};
    return out;
}

int cParams::LoadFromFile(const QString &fileName, const platform::IniFile *plugInIniFile, const QString &plugInName,
                          const QString &programId, const QString &dataFileVersion)
{
    platform::traceEntry(kModule + QStringLiteral("Public Function LoadFromFile() As Long"));
    m_lastLoad = LoadReport();
    LoadReport &r = m_lastLoad;
    const auto refuse = [&](int result, int reason = 0, const QString &key = QString()) {
        r.result = result;
        r.reason = reason;
        r.key = key;
        platform::TraceLog::instance().write(kModule + QStringLiteral("LoadFromFile: %1 refused (%2%3)")
                                                 .arg(fileName)
                                                 .arg(result)
                                                 .arg(key.isEmpty() ? QString() : QStringLiteral(", ") + key));
        return result;
    };

    QString text;
    if (const int why = readText(fileName, &text))
        return refuse(LE_FILE_UNREADABLE, why);
    ParsedFile file = parse(text);
    r.notes = file.notes;

    // The header: nothing is changed before all of it is accepted.
    const Section general = file.sections.value(kGeneralSection);
    const auto header = [&](const QString &key, QString *value) {
        const Entry *e = nullptr;
        const Lookup l = lookup(general, key, &e);
        if (l == Lookup::Found)
            *value = e->value.trimmed();
        return l != Lookup::Ambiguous;
    };
    QString filePlugIn, fileProgramId, fileVersion;
    if (!header(kPlugInNameKey, &filePlugIn))
        return refuse(LE_FILE_AMBIGUOUS, 4, kPlugInNameKey);
    if (filePlugIn != plugInName.trimmed())
        return refuse(LE_WRONG_PLUGIN);
    if (!header(kProgramIdKey, &fileProgramId))
        return refuse(LE_FILE_AMBIGUOUS, 4, kProgramIdKey);
    if (fileProgramId.isEmpty())
        return refuse(LE_WRONG_DATAFILE_VERSION);
    if (fileProgramId != programId) {
        const QStringList compatible =
            plugInIniFile ? plugInIniFile->compatibleProgramIds(programId) : QStringList{programId};
        if (!compatible.contains(fileProgramId))
            return refuse(LE_WRONG_DEVICE);
    }
    if (!header(kDataFileVersionKey, &fileVersion))
        return refuse(LE_FILE_AMBIGUOUS, 4, kDataFileVersionKey);
    if (fileVersion != dataFileVersion.trimmed())
        return refuse(LE_WRONG_DATAFILE_VERSION);

    // Every parameter's key is looked up before the first value is set, so
    // an ambiguous file changes nothing either.
    const Section settings = file.sections.value(kSettingsSection);
    struct Take
    {
        std::shared_ptr<cParamBase> param;
        const Entry *entry;
    };
    QVector<Take> takes;
    QSet<QString> used;
    const auto collect = [&](const std::shared_ptr<cParamBase> &p) {
        if (!p)
            return true;
        const Entry *e = nullptr;
        const Lookup l = lookup(settings, p->Name(), &e, &r.notes);
        if (l == Lookup::Ambiguous) {
            r.key = p->Name();
            return false;
        }
        if (l == Lookup::Found) {
            used.insert(p->Name().toLower());
            if (!p->DontWriteToFile())
                takes << Take{p, e};
        }
        return true;
    };
    bool clear = true;
    // The product's load order of the registries.
    for (int i = 1; clear && i <= TextBoxParameterCount(); ++i)
        clear = collect(TextBoxParameter(i));
    for (int i = 1; clear && i <= OptionButtonParameterCount(); ++i)
        clear = collect(OptionButtonParameter(i));
    for (int i = 1; clear && i <= ComboBoxParameterCount(); ++i)
        clear = collect(ComboBoxParameter(i));
    for (int i = 1; clear && i <= CheckBoxParameterCount(); ++i)
        clear = collect(CheckBoxParameter(i));
    for (int i = 1; clear && i <= Parameter2ByteCount(); ++i)
        clear = collect(Parameter2Byte(i));
    for (int i = 1; clear && i <= Parameter1ByteCount(); ++i)
        clear = collect(Parameter1Byte(i));
    for (int i = 1; clear && i <= ParameterAsciiCount(); ++i)
        clear = collect(ParameterAscii(i));
    if (!clear) {
        r.notes.clear();
        return refuse(LE_FILE_AMBIGUOUS, 4, r.key);
    }
    for (const Entry &e : settings.entries) {
        if (!used.contains(e.key.toLower()))
            r.notes << FileNote{FileNote::UnknownKey, e.line, e.key, QString(), QString()};
    }

    // Values set now go through each parameter's own setter (a text box
    // shows the value and becomes changed); the control events are paused
    // so that the shown text is not taken back as the value.
    const bool wasSuspended = m_events && m_events->suspended();
    if (m_events)
        m_events->setSuspended(true);
    // A value that is not in the file's own form is noted with the form
    // expected, and the parameter keeps its value.
    const auto numberOf = [&](const Take &t, const QString &text, qint32 *v) {
        const Entry &e = *t.entry;
        FileNote note{FileNote::NotANumber, e.line, e.key, text.trimmed(), QString()};
        switch (number(text, v)) {
        case Num::Ok:
            return true;
        case Num::NotANumber:
            break;
        case Num::OutOfRange:
            note.kind = FileNote::OutOfRange;
            break;
        case Num::NotWhole:
            note.kind = FileNote::NotWholeNumber;
            break;
        case Num::Empty:
            note.kind = FileNote::NoValue;
            break;
        }
        if (t.param->ClassId() == PA_CLASSID_TEXTBOX_PARAMETER)
            note.expected = expectedFileForm(static_cast<const cParamTextBox &>(*t.param), text);
        r.notes << note;
        return false;
    };
    for (const Take &t : takes) {
        const Entry &e = *t.entry;
        const QString value = e.value;
        qint32 v = 0;
        bool took = false;
        // Nothing after the "=" leaves every kind of parameter as it is.
        if (value.trimmed().isEmpty()) {
            r.notes << FileNote{FileNote::NoValue, e.line, e.key, QString(), QString()};
            continue;
        }
        switch (t.param->ClassId()) {
        case PA_CLASSID_TEXTBOX_PARAMETER:
            if ((took = numberOf(t, value, &v)))
                std::static_pointer_cast<cParamTextBox>(t.param)->setValue(v);
            break;
        case PA_CLASSID_COMBOBOX_PARAMTER:
            if ((took = numberOf(t, value, &v)))
                std::static_pointer_cast<cParamComboBox>(t.param)->setValue(v);
            break;
        case PA_CLASSID_CHECKBOX_PARAMETER:
            if ((took = numberOf(t, value, &v)))
                std::static_pointer_cast<cParamCheckBox>(t.param)->setValue(v);
            break;
        case PA_CLASSID_1BYTE_PARAMETER:
            if ((took = numberOf(t, value, &v)))
                std::static_pointer_cast<cParam1Byte>(t.param)->setValue(v);
            break;
        case PA_CLASSID_OPTIONBUTTON_PARAMETER:
            std::static_pointer_cast<cParamOptBtn>(t.param)->setValue(value.trimmed());
            took = true;
            break;
        case PA_CLASSID_2BYTE_PARAMETER: {
            auto p2 = std::static_pointer_cast<cParam2Byte>(t.param);
            const int comma = value.indexOf(QLatin1Char(','));
            const QString first = comma < 0 ? value : value.left(comma);
            const QString second = comma < 0 ? QString() : value.mid(comma + 1);
            qint32 v1 = 0, v2 = 0;
            const bool ok1 = numberOf(t, first, &v1);
            const bool ok2 = numberOf(t, second, &v2);
            // Both halves or neither: one half alone would be a value nobody saved.
            if (ok1 && ok2) {
                p2->setValue1(v1);
                p2->setValue2(v2);
                took = true;
            }
            break;
        }
        case PA_CLASSID_ASCII_PARAMETER: {
            const int comma = value.lastIndexOf(QLatin1Char(','));
            std::static_pointer_cast<cParamASCII>(t.param)->setValue(comma < 0 ? value : value.left(comma));
            took = true;
            break;
        }
        default:
            break;
        }
        if (took)
            ++r.loaded;
    }
    if (m_events)
        m_events->setSuspended(wasSuspended);
    // In file order, as the user reads them.
    std::stable_sort(r.notes.begin(), r.notes.end(),
                     [](const FileNote &a, const FileNote &b) { return a.line < b.line; });
    platform::TraceLog::instance().write(kModule + QStringLiteral("LoadFromFile: %1: %2 values, %3 notes")
                                             .arg(fileName)
                                             .arg(r.loaded)
                                             .arg(r.notes.size()));
    return LE_NO_ERROR;
}

} // namespace params
