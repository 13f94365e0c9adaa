#include "filedialogs.h"

#include "tracelog.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace platform {

QStringList nameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        QString patterns = parts.at(i + 1).trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (description.contains(QLatin1Char('(')) && description.endsWith(QLatin1Char(')')))
            out << description;
        else
            out << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out;
}

QString fileDialogLine(const FileDialogRequest &r, const FileDialogAnswer &a)
{
    return QStringLiteral("FILEDIALOG %1 %2: %3 [%4] -> %5")
        .arg(r.kind == FileDialogKind::Open ? QStringLiteral("open") : QStringLiteral("save"), r.title,
             QDir::toNativeSeparators(r.initialFolder), nameFilters(r.filter).join(QStringLiteral(";;")),
             a.cancelled ? QStringLiteral("cancel") : a.fileName);
}

FileDialogAnswer UnattendedFileDialogs::show(const FileDialogRequest &r)
{
    const QString variable = r.kind == FileDialogKind::Open ? openVariable() : saveVariable();
    const QString scripted = qEnvironmentVariable(variable.toLatin1().constData());
    FileDialogAnswer a;
    if (!scripted.isEmpty()) {
        const QString path = QFileInfo(scripted).isAbsolute() ? scripted : QDir(r.initialFolder).filePath(scripted);
        const QFileInfo info(path);
        const bool missingFile = (r.flags & OFN_FILEMUSTEXIST) && !info.isFile();
        const bool missingFolder = (r.flags & OFN_PATHMUSTEXIST) && !info.dir().exists();
        if (!missingFile && !missingFolder)
            a = FileDialogAnswer::file(QDir::cleanPath(path));
    }
    const QByteArray line = fileDialogLine(r, a).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
    TraceLog::instance().write(fileDialogLine(r, a));
    return a;
}

FileDialogAnswer ScriptedFileDialogs::show(const FileDialogRequest &r)
{
    shown << r;
    return m_answers.isEmpty() ? FileDialogAnswer::cancel() : m_answers.takeFirst();
}

namespace {
std::shared_ptr<FileDialogService> &serviceRef()
{
    static std::shared_ptr<FileDialogService> s = std::make_shared<UnattendedFileDialogs>();
    return s;
}
} // namespace

FileDialogService &fileDialogs()
{
    return *serviceRef();
}

void setFileDialogService(std::shared_ptr<FileDialogService> service)
{
    serviceRef() = service ? std::move(service) : std::make_shared<UnattendedFileDialogs>();
}

} // namespace platform
