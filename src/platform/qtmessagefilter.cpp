#include "qtmessagefilter.h"

#include <QtGlobal>

#include <cstdio>

namespace platform {

namespace {

QtMessageHandler previousHandler = nullptr;

void filterMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && isPlatformNoise(message))
        return;
    if (previousHandler) {
        previousHandler(type, context, message);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

bool isPlatformNoise(const QString &message)
{
    // The offscreen (and minimal) platform plug-in: "This plugin does not
    // support propagateSizeHints()", "... raise()", "... grabbing the
    // keyboard" and the like. And Qt's note that a session without a runtime
    // folder (a container, a CI machine, an ssh login) gets one in /tmp: the
    // program keeps nothing there.
    return message.startsWith(QLatin1String("This plugin does not support "))
        || message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"));
}

void installQtMessageFilter()
{
    previousHandler = qInstallMessageHandler(filterMessage);
}

} // namespace platform
