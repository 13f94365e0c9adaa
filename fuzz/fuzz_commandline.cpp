// The plug-in's command line ("/KEY:VALUE" tokens) through the real start-up
// on a fresh process state each time: an application folder of its own with
// the device template, a recording main window, scripted messages, no object
// server (a command that needs the network ends with its message). The
// sanitizers judge: no crash, no invalid memory access, no undefined
// behaviour, whatever the tokens.
#include "fuzzsupport.h"
#include "hostfixture.h"

#include <QDir>

#include <cstdlib>

namespace {
HostFixture *fixture = nullptr;
host::Environment environment;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::application();
    qputenv("AEROLIS_UNATTENDED", "1");
    // Kept to the end of the process, like the application object; its
    // temporary folder is removed when the process ends.
    fixture = new HostFixture;
    std::atexit([] { QDir(fixture->env.path()).removeRecursively(); });
    environment = host::state().env;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    host::resetState();
    host::state().env = environment;
    fixture->messages->shown.clear();
    fixture->abouts.clear();
    fixture->started.clear();
    platform::TraceLog::instance().clearRecent();

    // Arguments as the platform hands them over: split at blanks.
    const QString line = QString::fromUtf8(fuzz::bytes(data, size));
    host::Main(line.split(QLatin1Char(' ')));

    host::EndApp();
    platform::TraceLog::instance().stop();
    return 0;
}
