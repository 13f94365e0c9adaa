// The multi-device selection, seen from below the window.
//
// Copying a parameter set to several devices starts with a search of the
// network database for the LonMark objects that can take the set, and a
// choice among them. The search is a MultiDeviceSearch (the object-server
// one lives with the parameter model); the choice goes through one
// MultiDeviceSelector: the widget window in the user-interface library, the
// unattended one (AEROLIS_UNATTENDED=1: prints one line; the selection
// comes from AEROLIS_MULTIDEVICE_SELECT, none when unset) and a scripted one
// for tests. Every selector runs the search, so its progress and
// search-completed signals are raised in all three.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

namespace platform {

struct MultiDeviceCandidate
{
    // The full object name "<network>.<subsystem path>.<device>.<object>":
    // unique in the network and the same in every search.
    QString key;
    QString subsystemPath;
    QString deviceName;
    QString objectName;
    QString templateName;
    QString programId;
    bool commissioned = true;
};

// Modelled channel cost of writing the set to some objects.
struct MultiDeviceCost
{
    int objects = 0;
    qint64 transactions = 0;
    qint64 micros = 0;
};

// The stable order of candidates and selections: subsystem path, device
// name (digits compared as numbers, so Room9 comes before Room10), object
// name, key.
bool candidateLess(const MultiDeviceCandidate &a, const MultiDeviceCandidate &b);
void sortCandidates(QVector<MultiDeviceCandidate> &candidates);
// Whether the filter text (blank-separated words, all of them, without
// regard to case) occurs in the device, subsystem, object, template or
// state text.
bool candidateMatches(const MultiDeviceCandidate &c, const QString &filter, const QString &stateText);
// "12.3 s", "4 min 10 s", "1 h 02 min" in the current language (text 1608).
QString durationText(qint64 micros);

class MultiDeviceSearch : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // Searches and returns the candidates in the stable order; raises
    // progress() while it searches and searchCompleted() at the end.
    virtual QVector<MultiDeviceCandidate> run() = 0;
    // The modelled cost of writing the set to these candidates.
    virtual MultiDeviceCost cost(const QVector<MultiDeviceCandidate> &selection) const
    {
        MultiDeviceCost c;
        c.objects = selection.size();
        return c;
    }

Q_SIGNALS:
    void progress(int done, int total);
    void searchCompleted(int found);
};

struct MultiDeviceRequest
{
    QString title;
    MultiDeviceSearch *search = nullptr;
    // Keys of the objects that failed in the previous run (offered as a
    // selection of their own).
    QStringList failedLastRun;
};

class MultiDeviceSelector
{
public:
    virtual ~MultiDeviceSelector() = default;
    // The keys of the chosen objects in the stable order; empty when
    // nothing was chosen or the window was cancelled.
    virtual QStringList select(const MultiDeviceRequest &request) = 0;
    // The candidates of the last search.
    QVector<MultiDeviceCandidate> lastCandidates;
};

// A selection rule of the unattended and scripted selectors: "all",
// "failed", "none", or comma-separated keys or device names ("Room101",
// "Building.Floor1.Room101", or a full key). The chosen keys, in the stable
// order of the candidates.
QStringList applySelectionRule(const QString &rule, const QVector<MultiDeviceCandidate> &candidates,
                               const QStringList &failedLastRun);

// Prints "MULTIDEVICE <title>: <n> found, selected: <keys>" to standard error.
class UnattendedMultiDevice : public MultiDeviceSelector
{
public:
    QStringList select(const MultiDeviceRequest &request) override;
    static QString variable() { return QStringLiteral("AEROLIS_MULTIDEVICE_SELECT"); }
};

// Answers from a queue of selection rules ("none" when empty) and records
// the requests.
class ScriptedMultiDevice : public MultiDeviceSelector
{
public:
    QStringList select(const MultiDeviceRequest &request) override;
    void queueRule(const QString &rule) { m_rules << rule; }
    QList<MultiDeviceRequest> requests;

private:
    QStringList m_rules;
};

MultiDeviceSelector &multiDeviceSelector();
void setMultiDeviceSelector(std::shared_ptr<MultiDeviceSelector> selector);

} // namespace platform
