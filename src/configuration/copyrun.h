// Writing the current parameter set into several LonMark objects of the
// project in one run (menu entry "SpreadParameters"): the choice of the
// objects through the multi-device selector, then per object the
// application check its controller kind asks for, the copy of the set
// (cParams::WriteToLnsLmo, one transaction per object, all or nothing), the
// application record, and at the end a summary of every object's outcome.
//
// UI-free: it talks to the window through ConfigWindow (status text,
// logger, busy state) and works without one, so the headless tool can run
// the same copy.
#pragma once

#include <params/multidevicesearch.h>
#include <platform/multidevice.h>

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace configuration {

class cConfiguration;

enum class CopyOutcome {
    Written,           // the set reached the object; no application was due or checked
    AppLoaded,         // an application was loaded, then the set written
    WrittenAppMissing, // the set was written, the application check failed
    Failed,            // the set did not reach the object (nothing of it did)
};

struct CopyObjectResult
{
    QString key;
    int ctrlType = 0;
    CopyOutcome outcome = CopyOutcome::Failed;
    QString reason; // for Failed: why, as the object server or the run tells it
};

struct CopyRunReport
{
    bool started = false; // false: values invalid or nothing selected
    QVector<CopyObjectResult> results;
    QStringList failedKeys() const;
    int count(CopyOutcome outcome) const;
};

class CopyRun
{
public:
    explicit CopyRun(cConfiguration &config);

    // The whole menu entry: checkValues, the search and the choice (the
    // failed objects of the previous run are offered to the selector), the
    // run in the system bracket, the window state afterwards.
    CopyRunReport WriteParametersEx(platform::MultiDeviceSelector &selector, const QStringList &failedLastRun = {});

    // The run alone for objects already chosen (keys of the search): used by
    // WriteParametersEx inside the bracket, and by benchmarks.
    CopyRunReport writeTo(const params::LnsMultiDeviceSearch &search, const QStringList &keys);

    // The run for objects already chosen as the menu entry runs it: inside
    // the system bracket, the window busy, its state afterwards. Used by
    // WriteParametersEx and by the headless tool.
    CopyRunReport runChosen(const params::LnsMultiDeviceSearch &search, const QStringList &keys);

    // Called before each object of a run: its position (1-based), the
    // number of objects and its key (the tool's progress display).
    using Progress = std::function<void(int position, int total, const QString &key)>;
    void setProgress(Progress progress) { m_progress = std::move(progress); }

    // Prices the selection window's cost estimate (the simulator's channel
    // model where it is linked); none by default.
    static void setChannelPrice(params::ChannelPrice price);

private:
    CopyObjectResult writeOne(const lns::LonMarkObjectPtr &object, const QString &key, const QString &progress);
    void logSummary(const CopyRunReport &report);
    void log(const QString &text, int color = 0, bool bold = false);
    void status(const QString &text);

    cConfiguration &m_config;
    Progress m_progress;
};

} // namespace configuration
