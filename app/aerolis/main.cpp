// aerolis: the plug-in's jobs from a command line (docs/cli.md). The commands
// run the program's own code on the headless main window, a Qt Core program;
// only a PDF report starts Qt Gui, through the PDF module (on the offscreen
// platform unless the caller chose another one), to lay out its pages.
#include <cli/commands.h>
#include <cli/session.h>
#include <host/hoststate.h>
#include <lnssim/serverenvironment.h>
#include <platform/standardoptions.h>
#include <report/pdfmodule.h>

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

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
    // No message box may wait for an answer nobody can give.
    qputenv("AEROLIS_UNATTENDED", "1");
    const QStringList arguments = platform::rawArguments(argc, argv);
    std::unique_ptr<QCoreApplication> app;
    if (cli::rendersPages(arguments)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // Without the module the report command says why it cannot write
        // the PDF.
        if (const report::GuiApplicationFunction newGuiApplication = report::guiApplicationFactory())
            app.reset(newGuiApplication(argc, argv));
    }
    if (!app)
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("aerolis"));
    QCoreApplication::setOrganizationName(QStringLiteral("norda"));
    // The tool works with the simulated object server.
    host::state().env.server = lnssim::simServerEnvironment(cli::templateFilePath());
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int status = cli::run(QCoreApplication::arguments().mid(1), out, err);
    out.flush();
    err.flush();
    return status;
}
