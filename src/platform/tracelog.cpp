#include "tracelog.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

namespace platform {

TraceLog &TraceLog::instance()
{
    static TraceLog log;
    return log;
}

QString TraceLog::start(const QString &fileName, const QString &fallbackFolder, const QString &programVersion,
                        int textBase, const QString &productName)
{
    stop();
    m_file.setFileName(fileName);
    if (!m_file.open(QIODevice::Append | QIODevice::Text)) {
        QDir().mkpath(fallbackFolder);
        m_file.setFileName(QDir(fallbackFolder).filePath(QFileInfo(fileName).fileName()));
        if (!m_file.open(QIODevice::Append | QIODevice::Text))
            return QString();
    }
    const QStringList pending = m_pending;
    m_pending.clear();
    write(QStringLiteral("==== %1 %2 started %3 (text base %4) ====")
              .arg(productName, programVersion, QDateTime::currentDateTime().toString(Qt::ISODate))
              .arg(textBase));
    // Lines traced before the log was started (the entry line of the
    // program's entry point) are kept, not lost.
    for (const QString &line : pending) {
        m_recent.removeOne(line);
        write(line);
    }
    return m_file.fileName();
}

void TraceLog::stop()
{
    if (m_file.isOpen())
        m_file.close();
}

void TraceLog::write(const QString &line)
{
    m_recent << line;
    if (m_recent.size() > 5000)
        m_recent.erase(m_recent.begin(), m_recent.begin() + 1000);
    if (!m_file.isOpen()) {
        if (m_pending.size() < 100)
            m_pending << line;
        return;
    }
    const QByteArray out = QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")).toUtf8() + ' '
        + line.toUtf8() + '\n';
    m_file.write(out);
    m_file.flush();
}

int TraceLog::logError(const QString &module, const QString &procedure, int number, const QString &description)
{
    write(QStringLiteral("ERROR in [%1] %2: %3 %4").arg(module, procedure).arg(number).arg(description));
    if (m_policy)
        return m_policy(module, procedure, number);
    return EA_Leave;
}

QVector<TracedError> tracedErrorsSince(int from)
{
    static const QRegularExpression re(QStringLiteral("ERROR in \\[[^\\]]*\\] [^:]*: (-?\\d+) (.*)$"));
    QVector<TracedError> errors;
    const QStringList &lines = TraceLog::instance().recent();
    for (int i = qMax(0, from); i < lines.size(); ++i) {
        const QRegularExpressionMatch m = re.match(lines.at(i));
        if (m.hasMatch())
            errors << TracedError{m.captured(1).toInt(), m.captured(2).remove(QStringLiteral("CommitTransaction: "))};
    }
    return errors;
}

void traceCaughtError(const QString &where, int number, const QString &description)
{
    TraceLog::instance().write(QStringLiteral("%1: caught error %2: %3").arg(where).arg(number).arg(description));
}

void traceCaughtError(const QString &where, const std::exception &error)
{
    traceCaughtError(where, 0, QString::fromUtf8(error.what()));
}

void checkFailed(const char *condition, const char *file, int line)
{
    TraceLog::instance().logError(QStringLiteral("check"), QString::fromUtf8(file) + QLatin1Char(':') + QString::number(line),
                                  0, QStringLiteral("CHECK FAILED: ") + QString::fromUtf8(condition));
}

} // namespace platform
