#include "parameterfiles.h"

#include "configurationbinding.h"
#include "frmmain.h"
#include "widgetservices.h"

#include <host/hoststate.h>
#include <params/paramfile.h>
#include <platform/filedialogs.h>
#include <platform/messages.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>
#include <platform/tracelog.h>

#include <QApplication>
#include <QCoreApplication>

namespace ui {

namespace {

// Notes beyond this many are summed up in one line: a damaged file must not
// flood the logger.
constexpr int kMaxNoteLines = 20;

// The refusal of a file of another device template without a device.
constexpr int kTextOtherTemplate = 1815;

QString programFolder()
{
    const QString folder = host::state().env.applicationFolder;
    return folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
}

QString deviceProgramId()
{
    try {
        if (const auto device = host::state().conn.device)
            return device->programId();
    } catch (const lns::LnsError &e) {
        platform::TraceLog::instance().logError(QStringLiteral("frmMain"), QStringLiteral("deviceProgramId"), e.number(),
                                                e.description());
    }
    return QString();
}

platform::FileDialogRequest request(platform::FileDialogKind kind)
{
    platform::FileDialogRequest r;
    r.kind = kind;
    r.title = gLoadResString(1600, kind == platform::FileDialogKind::Open ? 1 : 2);
    r.filter = gLoadResString(1601);
    r.initialFolder = programFolder();
    r.flags = kind == platform::FileDialogKind::Open ? platform::kOpenFileFlags : platform::kSaveFileFlags;
    return r;
}

void showResult(frmMain &w, const params::LoadReport &report)
{
    QString text;
    switch (report.result) {
    case params::LE_NO_ERROR:
        break;
    case params::LE_WRONG_PLUGIN:
        text = gLoadResString(1520, 1);
        break;
    case params::LE_WRONG_DEVICE:
        text = gLoadResString(1520, 2);
        break;
    case params::LE_WRONG_PLUGIN_VERSION:
    case params::LE_WRONG_DATAFILE_VERSION:
        text = gLoadResString(1521);
        break;
    default:
        text = params::refusalText(report);
        break;
    }
    if (!text.isEmpty())
        platform::messages().show(platform::MsgIcon::Exclamation, w.caption(), text);
    // Lines of an accepted file that were not taken are listed in the logger.
    const int n = report.notes.size();
    for (int i = 0; i < n && i < kMaxNoteLines; ++i)
        w.LogLine(params::fileNoteText(report.notes.at(i)), frmMain::kMagenta);
    if (n > kMaxNoteLines)
        w.LogLine(platform::fillPlaceholders(gLoadResString(1525, 6), {QString::number(n - kMaxNoteLines)}),
                  frmMain::kMagenta);
}

// The device template a file was saved for, by the program id of its
// header; the id itself when no template of the INI file has it.
QString fileTemplate(const QString &fileName)
{
    const std::optional<params::ParamFileOutline> outline = params::readParamFileOutline(fileName);
    if (!outline || outline->programId.isEmpty())
        return QString();
    for (const platform::TemplateEntry &t : host::state().ini.templates())
        if (t.programId == outline->programId)
            return t.name;
    return outline->programId;
}

// A file of another controller, refused without a device: one line naming
// the file's template and the one the pages show.
void showOfflineRefusal(frmMain &w, const QString &fileName, const params::LoadReport &report)
{
    const QString chosen = host::state().conn.deviceTemplate ? host::state().conn.deviceTemplate->name() : QString();
    const QString saved = fileTemplate(fileName);
    if (report.result == params::LE_WRONG_DEVICE && !saved.isEmpty()) {
        platform::messages().show(platform::MsgIcon::Exclamation, w.caption(),
                                  platform::fillPlaceholders(gLoadResString(kTextOtherTemplate), {saved, chosen}));
        return;
    }
    showResult(w, report);
}

} // namespace

void LoadParameters(frmMain &w)
{
    platform::traceEntry(QStringLiteral("[frmMain] Private Sub LoadParameters()"));
    configuration::cConfiguration *config = configurationOf(w);
    if (!config)
        return;
    if (w.parametersChanged()) {
        const int answer = platform::messages().show(platform::MsgIcon::Question, w.caption(), gLoadResString(1428, 2),
                                                     platform::MB_YesNo, platform::ANS_Yes);
        if (answer == platform::ANS_No)
            return;
    }
    const platform::FileDialogAnswer file = platform::fileDialogs().show(request(platform::FileDialogKind::Open));
    if (file.cancelled || file.fileName.isEmpty())
        return;

    const bool offline = host::state().commandIndex == host::kCmdStandAlone;
    w.setEnabled(false);
    const bool wasLoading = w.valueLoading();
    w.setValueLoading(true);
    params::cParams &p = config->Parameters();
    p.LoadFromFile(file.fileName, &host::state().ini, params::kDataFilePlugInName, deviceProgramId(),
                   params::kDataFileVersion);
    w.setValueLoading(wasLoading);
    const params::LoadReport &report = p.lastLoadReport();
    if (offline && report.result != params::LE_NO_ERROR) {
        // Without a device a refused file leaves the set as it was: the pages
        // keep their values and nothing counts as changed.
        showOfflineRefusal(w, file.fileName, report);
        w.setEnabled(true);
        w.setStatusText(gLoadResString(1517));
        return;
    }
    showResult(w, report);
    // Whatever the outcome: the pages follow the values, and they count as
    // changed until written.
    config->SetControls();
    w.setParametersChanged(true);
    w.setApplyEnabled(true);
    w.setEnabled(true);
    w.setStatusText(gLoadResString(1517));
}

void SaveParameters(frmMain &w)
{
    platform::traceEntry(QStringLiteral("[frmMain] Private Sub SaveParameters()"));
    configuration::cConfiguration *config = configurationOf(w);
    if (!config || !config->checkValues())
        return;
    const platform::FileDialogAnswer file = platform::fileDialogs().show(request(platform::FileDialogKind::Save));
    if (file.cancelled || file.fileName.isEmpty())
        return;
    w.setEnabled(false);
    const bool ok = config->Parameters().WriteToFile(file.fileName, params::kDataFilePlugInName, deviceProgramId(),
                                                     params::kDataFileVersion);
    if (!ok)
        platform::messages().show(platform::MsgIcon::Critical, w.caption(), gLoadResString(1523));
    w.setEnabled(true);
}

void bindParameterFiles(frmMain &window)
{
    // The window's dialogs, unless a program or test chose other ones (the
    // widget service itself prints and cancels under AEROLIS_UNATTENDED=1).
    if (dynamic_cast<platform::UnattendedFileDialogs *>(&platform::fileDialogs()))
        platform::setFileDialogService(std::make_shared<WidgetFileDialogs>());
    frmMain::CommandHooks &hooks = window.commandHooks();
    hooks.openFile = [](frmMain &w) { LoadParameters(w); };
    hooks.saveFile = [](frmMain &w) { SaveParameters(w); };
}

} // namespace ui
