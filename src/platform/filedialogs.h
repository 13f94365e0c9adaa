// Open and save dialogs, seen from below the window.
//
// Like the message boxes, every file dialog goes through one service: the
// widget implementation lives in the user-interface library; the unattended
// one (AEROLIS_UNATTENDED=1) prints one line and answers "cancel" unless a
// path was given in AEROLIS_OPEN_FILE / AEROLIS_SAVE_FILE; the scripted one
// answers from a queue and records what was asked.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace platform {

// Flags of the common file dialog the product passes (kept for the record
// and honoured where this platform has the same behaviour).
enum FileDialogFlags : int {
    OFN_OVERWRITEPROMPT = 0x2,
    OFN_HIDEREADONLY = 0x4,
    OFN_PATHMUSTEXIST = 0x800,
    OFN_FILEMUSTEXIST = 0x1000,
    OFN_NOREADONLYRETURN = 0x8000,
    OFN_LONGNAMES = 0x200000,
};
constexpr int kOpenFileFlags = 0x201004;
constexpr int kSaveFileFlags = 0x208806;

enum class FileDialogKind { Open, Save };

struct FileDialogRequest
{
    FileDialogKind kind = FileDialogKind::Open;
    QString title;
    // "Description|pattern|Description|pattern", as the string table holds it.
    QString filter;
    QString initialFolder;
    int flags = 0;
};

struct FileDialogAnswer
{
    // True when the user cancelled (the common dialog's error 32755).
    bool cancelled = true;
    QString fileName;
    static FileDialogAnswer cancel() { return FileDialogAnswer(); }
    static FileDialogAnswer file(const QString &name) { return FileDialogAnswer{false, name}; }
};

// "Data (*.dat)|*.dat|All (*.*)|*.*" -> {"Data (*.dat)", "All (*.*)"}: Qt's
// name filters. A description without its patterns in brackets gets them.
QStringList nameFilters(const QString &filter);
// "FILEDIALOG open <title>: <folder> [<filters>] -> <answer>".
QString fileDialogLine(const FileDialogRequest &r, const FileDialogAnswer &a);

class FileDialogService
{
public:
    virtual ~FileDialogService() = default;
    virtual FileDialogAnswer show(const FileDialogRequest &r) = 0;
};

// Prints fileDialogLine() to standard error. The answer is the path in
// AEROLIS_OPEN_FILE (open) or AEROLIS_SAVE_FILE (save), relative paths taken
// from the initial folder; "cancel" when the variable is unset or empty, or
// when the flags forbid the path (a file that must exist and does not, a
// folder that must exist and does not).
class UnattendedFileDialogs : public FileDialogService
{
public:
    FileDialogAnswer show(const FileDialogRequest &r) override;
    static QString openVariable() { return QStringLiteral("AEROLIS_OPEN_FILE"); }
    static QString saveVariable() { return QStringLiteral("AEROLIS_SAVE_FILE"); }
};

// Records every request and answers from a queue ("cancel" when empty).
class ScriptedFileDialogs : public FileDialogService
{
public:
    FileDialogAnswer show(const FileDialogRequest &r) override;
    void queueAnswer(const FileDialogAnswer &a) { m_answers << a; }
    void queueFile(const QString &name) { m_answers << FileDialogAnswer::file(name); }
    void queueCancel() { m_answers << FileDialogAnswer::cancel(); }
    QList<FileDialogRequest> shown;

private:
    QList<FileDialogAnswer> m_answers;
};

// The process-wide service; unattended until the program sets another.
FileDialogService &fileDialogs();
void setFileDialogService(std::shared_ptr<FileDialogService> service);

} // namespace platform
