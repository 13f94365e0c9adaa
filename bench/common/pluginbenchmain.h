// The main function's work of a benchmark of the plug-in's own process: an
// isolated registry, network root and application folder (with the device
// templates), offscreen widgets, messages answered without a user, and the
// host started as the program starts it, serving `commandIndex`.
#pragma once

#include <host/hoststate.h>
#include <host/startup.h>
#include <platform/messages.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace benchsupport {

// `networkRoot` hears the folder the object server keeps its networks in
// (made already) before the benchmarks run.
inline int runPlugInBenchmarks(int argc, char **argv, int commandIndex,
                               std::shared_ptr<platform::MessageService> messages,
                               const std::function<void(const QString &)> &networkRoot = {})
{
    QTemporaryDir dir;
    const QString root = QDir(dir.path()).filePath(QStringLiteral("lns"));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("AEROLIS_UNATTENDED", "1");
    qputenv("AEROLIS_REGISTRY_ROOT", QDir(dir.path()).filePath(QStringLiteral("registry")).toUtf8());
    qputenv("AEROLIS_LNS_ROOT", root.toUtf8());
    QApplication app(argc, argv);
    const QString appFolder = QDir(dir.path()).filePath(QStringLiteral("app"));
    QDir().mkpath(appFolder);
    QDir().mkpath(root);
    QFile::copy(QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini"), appFolder + QStringLiteral("/AerolisCtrl.ini"));
    if (networkRoot)
        networkRoot(root);
    platform::setMessageService(std::move(messages));
    host::Environment &env = host::state().env;
    env.applicationFolder = appFolder;
    env.executableName = QStringLiteral("AerolisCtrl");
    host::InitApp();
    host::state().commandIndex = commandIndex;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    host::resetState();
    return 0;
}

} // namespace benchsupport
