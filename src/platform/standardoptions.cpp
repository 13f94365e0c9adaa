#include "standardoptions.h"

#include "version.h"

namespace platform {

StandardOption standardOption(const QString &argument)
{
    if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
        return StandardOption::Help;
    if (argument == QLatin1String("--version"))
        return StandardOption::Version;
    return StandardOption::None;
}

StandardOption firstStandardOption(const QStringList &arguments)
{
    for (const QString &a : arguments) {
        const StandardOption o = standardOption(a);
        if (o != StandardOption::None)
            return o;
    }
    return StandardOption::None;
}

QString versionLine(const QString &program)
{
    return program + QLatin1Char(' ') + fullVersionText();
}

QStringList rawArguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace platform
