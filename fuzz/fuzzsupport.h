// Shared by the fuzz targets: the Qt application object some code needs, and
// a check that stops the run (and so reports the input) when a property the
// code promises does not hold.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Aborts with a message: libFuzzer records the input as a crash.
inline void require(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), int(size));
}

// A QCoreApplication for the whole run (argc/argv must outlive it). Never
// destroyed: libFuzzer ends the process with exit(), and Qt's clean-up
// routines must not run after the objects of a target are gone.
template <class App = QCoreApplication>
App &application()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static App *app = new App(argc, argv);
    return *app;
}

} // namespace fuzz
