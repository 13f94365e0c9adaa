#include "writehistory.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutex>
#include <QSysInfo>
#include <QUuid>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

#include <array>
#include <utility>

namespace lns {

namespace {

constexpr std::array<std::pair<WriteKind, const char *>, 5> kKindWords{{
    {WriteKind::Cp, "cp"},
    {WriteKind::Nv, "nv"},
    {WriteKind::ExtensionData, "extension"},
    {WriteKind::Application, "application"},
    {WriteKind::NvType, "nv-type"},
}};

constexpr std::array<std::pair<WriteOutcome, const char *>, 2> kOutcomeWords{{
    {WriteOutcome::DeviceAndDatabase, "written"},
    {WriteOutcome::DatabaseOnly, "database only"},
}};

template <class E, std::size_t N>
QString wordOf(const std::array<std::pair<E, const char *>, N> &words, E value)
{
    for (const auto &w : words) {
        if (w.first == value)
            return QString::fromLatin1(w.second);
    }
    return QString();
}

template <class E, std::size_t N>
bool valueOf(const std::array<std::pair<E, const char *>, N> &words, const QString &text, E *value)
{
    for (const auto &w : words) {
        if (text == QLatin1String(w.second)) {
            *value = w.first;
            return true;
        }
    }
    return false;
}

QMutex originLock;
QString commandOverride;

QString loginName()
{
    for (const char *name : {"USER", "LOGNAME", "USERNAME"}) {
        const QString v = qEnvironmentVariable(name).trimmed();
        if (!v.isEmpty())
            return v;
    }
#ifdef Q_OS_UNIX
    // A service or a container often runs without those set.
    if (const passwd *entry = getpwuid(getuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
#endif
    return QStringLiteral("unknown");
}

} // namespace

QString writeKindText(WriteKind kind) { return wordOf(kKindWords, kind); }
bool writeKindFromText(const QString &text, WriteKind *kind) { return valueOf(kKindWords, text, kind); }
QString writeOutcomeText(WriteOutcome outcome) { return wordOf(kOutcomeWords, outcome); }
bool writeOutcomeFromText(const QString &text, WriteOutcome *outcome) { return valueOf(kOutcomeWords, text, outcome); }

WriteOrigin currentWriteOrigin()
{
    WriteOrigin o;
    o.user = loginName();
    o.host = QSysInfo::machineHostName();
    static const QString run = QUuid::createUuid().toString(QUuid::WithoutBraces);
    o.run = run;
    if (QCoreApplication *app = QCoreApplication::instance()) {
        o.tool = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        o.command = app->arguments().mid(1).join(QLatin1Char(' '));
    }
    QMutexLocker lock(&originLock);
    if (!commandOverride.isEmpty())
        o.command = commandOverride;
    return o;
}

void setWriteCommand(const QString &command)
{
    QMutexLocker lock(&originLock);
    commandOverride = command;
}

} // namespace lns
