// The main function's work of a benchmark program that shows widgets.
#pragma once

#include "benchmain.h"

#include <platform/resstrings.h>

#include <QApplication>

namespace benchsupport {

// For benchmarks with the real window: offscreen, the product's application
// and organisation names (registry and data folders), English texts.
inline int runWidgetBenchmarks(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("aerolis"));
    QApplication::setOrganizationName(QStringLiteral("norda"));
    platform::setLanguageOffset(0);
    return runBenchmarks(argc, argv);
}

} // namespace benchsupport
