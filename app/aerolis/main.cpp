// aerolis: the plug-in's jobs from a command line (docs/cli.md). The commands
// run the window's own code on a window that is never shown: the offscreen
// platform is chosen unless the caller chose another one.
#include <cli/commands.h>
#include <cli/session.h>
#include <host/hoststate.h>
#include <lnssim/serverenvironment.h>
#include <platform/standardoptions.h>

#include <QApplication>
#include <QTextStream>

#include <cstdio>

namespace {

// Qt's own notes (platform plug-in, runtime folder) are no messages of the
// tool: standard error carries one line per message of ours.
void qtMessages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg || qEnvironmentVariableIsSet("AEROLIS_QT_MESSAGES"))
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

int main(int argc, char *argv[])
{
    if (platform::standardOption(platform::rawArguments(argc, argv).value(0)) == platform::StandardOption::Version) {
        std::printf("%s\n", qPrintable(platform::versionLine(QStringLiteral("aerolis"))));
        return 0;
    }
    qInstallMessageHandler(qtMessages);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // No message box may wait for an answer nobody can give.
    qputenv("AEROLIS_UNATTENDED", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("aerolis"));
    QApplication::setOrganizationName(QStringLiteral("norda"));
    // The tool works with the simulated object server.
    host::state().env.server = lnssim::simServerEnvironment(cli::templateFilePath());
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int status = cli::run(app.arguments().mid(1), out, err);
    out.flush();
    err.flush();
    return status;
}
