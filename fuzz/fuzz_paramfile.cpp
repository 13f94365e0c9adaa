// The parameter-file loader on any bytes, with the controller's whole
// parameter map read from a demo controller (standalone controls, scripted
// messages): a file it refuses changes no parameter, the outline of a file
// is there exactly when the loader could read it, and a set it accepted
// saves to a file that loads again.
#include "fuzzsupport.h"

#include "cpmap.h"
#include "paramsfixture.h"

#include <params/paramfile.h>

#include <QApplication>
#include <QDir>
#include <QFile>

#include <cstdlib>

namespace {

const QString kPlugIn = params::kDataFilePlugInName;
const QString kVersion = params::kDataFileVersion;
ParamsFixture *fixture = nullptr;
QString programId;
QString inputPath;
QByteArray startSet;

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

int load(const QString &path)
{
    return fixture->params->LoadFromFile(path, &fixture->ini, kPlugIn, programId, kVersion);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("AEROLIS_UNATTENDED", "1");
    fuzz::application<QApplication>();
    // Kept to the end of the process, like the application object; its
    // temporary folder is removed when the process ends.
    fixture = new ParamsFixture;
    std::atexit([] { QDir(fixture->env.path()).removeRecursively(); });
    ParamsFixture &f = *fixture;
    platform::TraceLog::instance().start(f.env.file(QStringLiteral("trace.log")), f.env.path(), QString(), 1000,
                                         QStringLiteral("fuzz"));
    cpmap::build(*f.params);
    f.params->ReadFromLns();
    programId = f.device->programId();
    inputPath = f.env.file(QStringLiteral("input.dat"));
    startSet = params::paramFileBytes(*f.params, kPlugIn, programId, kVersion);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fixture->messages->shown.clear();
    platform::TraceLog::instance().clearRecent();
    if (!writeFile(inputPath, fuzz::bytes(data, size)))
        return 0;

    const int result = load(inputPath);
    const QByteArray after = params::paramFileBytes(*fixture->params, kPlugIn, programId, kVersion);
    const std::optional<params::ParamFileOutline> outline = params::readParamFileOutline(inputPath);
    fuzz::require(outline.has_value() == (result != params::LE_FILE_UNREADABLE),
                  "the outline and the loader disagree on whether the file can be read");
    if (result != params::LE_NO_ERROR) {
        fuzz::require(after == startSet, "a refused file changed parameters");
        return 0;
    }
    // What was accepted saves and loads again, and the start set comes back.
    const QString saved = fixture->env.file(QStringLiteral("saved.dat"));
    fuzz::require(writeFile(saved, after) && load(saved) == params::LE_NO_ERROR, "a saved set does not load");
    fuzz::require(writeFile(saved, startSet) && load(saved) == params::LE_NO_ERROR, "the start set does not load");
    fuzz::require(params::paramFileBytes(*fixture->params, kPlugIn, programId, kVersion) == startSet,
                  "loading the start set does not give it back");
    return 0;
}
