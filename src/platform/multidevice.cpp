#include "multidevice.h"

#include "resstrings.h"
#include "stringutil.h"
#include "tracelog.h"

#include <QSet>

#include <algorithm>
#include <cstdio>

namespace platform {

namespace {

// Natural comparison without regard to case: runs of digits by value.
int naturalCompare(const QString &a, const QString &b)
{
    int i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const QChar ca = a.at(i), cb = b.at(j);
        if (ca.isDigit() && cb.isDigit() && ca.unicode() < 128 && cb.unicode() < 128) {
            int si = i, sj = j;
            while (si < a.size() && a.at(si) == QLatin1Char('0'))
                ++si;
            while (sj < b.size() && b.at(sj) == QLatin1Char('0'))
                ++sj;
            int ei = si, ej = sj;
            while (ei < a.size() && a.at(ei).isDigit() && a.at(ei).unicode() < 128)
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit() && b.at(ej).unicode() < 128)
                ++ej;
            if (ei - si != ej - sj)
                return (ei - si) < (ej - sj) ? -1 : 1;
            const int c = QStringView(a).mid(si, ei - si).compare(QStringView(b).mid(sj, ej - sj));
            if (c != 0)
                return c;
            i = ei;
            j = ej;
            continue;
        }
        const QChar la = ca.toLower(), lb = cb.toLower();
        if (la != lb)
            return la < lb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

} // namespace

bool candidateLess(const MultiDeviceCandidate &a, const MultiDeviceCandidate &b)
{
    if (int c = naturalCompare(a.subsystemPath, b.subsystemPath))
        return c < 0;
    if (int c = naturalCompare(a.deviceName, b.deviceName))
        return c < 0;
    if (int c = naturalCompare(a.objectName, b.objectName))
        return c < 0;
    return a.key < b.key;
}

void sortCandidates(QVector<MultiDeviceCandidate> &candidates)
{
    std::stable_sort(candidates.begin(), candidates.end(), candidateLess);
}

bool candidateMatches(const MultiDeviceCandidate &c, const QString &filter, const QString &stateText)
{
    const QStringList words = filter.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString hay = QStringList{c.subsystemPath, c.deviceName, c.objectName, c.templateName, stateText}.join(
        QLatin1Char('\n'));
    for (const QString &w : words) {
        if (!hay.contains(w, Qt::CaseInsensitive))
            return false;
    }
    return true;
}

QString durationText(qint64 micros)
{
    const qint64 tenths = (micros + 50000) / 100000;
    if (tenths < 600) {
        return fillPlaceholders(gLoadResString(1608, 1),
                                {QString::number(tenths / 10) + QLatin1Char('.') + QString::number(tenths % 10)});
    }
    const qint64 seconds = (micros + 500000) / 1000000;
    if (seconds < 3600) {
        return fillPlaceholders(gLoadResString(1608, 2),
                                {QString::number(seconds / 60), QStringLiteral("%1").arg(seconds % 60, 2, 10, QLatin1Char('0'))});
    }
    const qint64 minutes = (seconds + 30) / 60;
    return fillPlaceholders(gLoadResString(1608, 3),
                            {QString::number(minutes / 60), QStringLiteral("%1").arg(minutes % 60, 2, 10, QLatin1Char('0'))});
}

QStringList applySelectionRule(const QString &rule, const QVector<MultiDeviceCandidate> &candidates,
                               const QStringList &failedLastRun)
{
    const QString r = rule.trimmed();
    QStringList out;
    if (r.isEmpty() || r.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return out;
    const bool all = r.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0;
    const bool failed = r.compare(QLatin1String("failed"), Qt::CaseInsensitive) == 0;
    QSet<QString> wanted;
    if (!all && !failed) {
        for (const QString &part : r.split(QLatin1Char(','), Qt::SkipEmptyParts))
            wanted.insert(part.trimmed().toLower());
    }
    for (const MultiDeviceCandidate &c : candidates) {
        bool take = all;
        if (failed)
            take = failedLastRun.contains(c.key);
        else if (!all)
            take = wanted.contains(c.key.toLower()) || wanted.contains(c.deviceName.toLower())
                || wanted.contains((c.subsystemPath + QLatin1Char('.') + c.deviceName).toLower());
        if (take)
            out << c.key;
    }
    return out;
}

QStringList UnattendedMultiDevice::select(const MultiDeviceRequest &request)
{
    lastCandidates.clear();
    if (request.search)
        lastCandidates = request.search->run();
    const QString rule = qEnvironmentVariable(variable().toLatin1().constData());
    const QStringList keys = applySelectionRule(rule, lastCandidates, request.failedLastRun);
    const QString line = QStringLiteral("MULTIDEVICE %1: %2 found, selected: %3")
                             .arg(request.title)
                             .arg(lastCandidates.size())
                             .arg(keys.isEmpty() ? QStringLiteral("none") : keys.join(QStringLiteral(", ")));
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
    TraceLog::instance().write(line);
    return keys;
}

QStringList ScriptedMultiDevice::select(const MultiDeviceRequest &request)
{
    requests << request;
    lastCandidates.clear();
    if (request.search)
        lastCandidates = request.search->run();
    const QString rule = m_rules.isEmpty() ? QStringLiteral("none") : m_rules.takeFirst();
    return applySelectionRule(rule, lastCandidates, request.failedLastRun);
}

namespace {
std::shared_ptr<MultiDeviceSelector> &selectorRef()
{
    static std::shared_ptr<MultiDeviceSelector> s = std::make_shared<UnattendedMultiDevice>();
    return s;
}
} // namespace

MultiDeviceSelector &multiDeviceSelector()
{
    return *selectorRef();
}

void setMultiDeviceSelector(std::shared_ptr<MultiDeviceSelector> selector)
{
    selectorRef() = selector ? std::move(selector) : std::make_shared<UnattendedMultiDevice>();
}

} // namespace platform
