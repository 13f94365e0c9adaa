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
    // The application was loaded, then the set's transaction failed and was
    // taken back: the object runs the new application with its old values.
    AppLoadedNotWritten,
    Failed, // nothing reached the object
};

struct CopyObjectResult
{
    QString key;
    int ctrlType = 0;
    CopyOutcome outcome = CopyOutcome::Failed;
    QString reason; // for Failed and AppLoadedNotWritten: why, as the object server or the run tells it
};

struct CopyRunReport
{
    bool started = false; // false: values invalid or nothing selected
    QVector<CopyObjectResult> results;
    // Objects the set did not reach (Failed, AppLoadedNotWritten).
    QStringList failedKeys() const;
    // Objects a second run has to finish: those and the ones whose
    // application check failed.
    QStringList unfinishedKeys() const;
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

    // The LonMark object of a chosen key; nullptr when it is gone.
    using ObjectLookup = std::function<lns::LonMarkObjectPtr(const QString &key)>;

    // The run alone for objects already chosen (keys of the search): used by
    // WriteParametersEx inside the bracket, and by benchmarks.
    CopyRunReport writeTo(const params::LnsMultiDeviceSearch &search, const QStringList &keys);
    CopyRunReport writeTo(const ObjectLookup &lookup, const QStringList &keys);

    // The run for objects already chosen as the menu entry runs it: inside
    // the system bracket, the window busy, its state afterwards. Used by
    // WriteParametersEx and by the headless tool.
    CopyRunReport runChosen(const params::LnsMultiDeviceSearch &search, const QStringList &keys);
    CopyRunReport runChosen(const ObjectLookup &lookup, const QStringList &keys);

    // The mode CPs as the run writes them into an object of kind `ctrlType`:
    // kinds 3 and 4 take HvacAppMode and NumValves from the application
    // number, the others leave them to their application. Called by the run
    // before each object; the tool calls it before it compares the set with
    // the file.
    void applyKindRules(int ctrlType);


    // Prices the selection window's cost estimate (the simulator's channel
    // model where it is linked); none by default.
    static void setChannelPrice(params::ChannelPrice price);

private:
    CopyObjectResult writeOne(const lns::LonMarkObjectPtr &object, const QString &key, const QString &progress);
    void logSummary(const CopyRunReport &report);
    void log(const QString &text, int color = 0, bool bold = false);
    void status(const QString &text);

    cConfiguration &m_config;
};

} // namespace configuration
