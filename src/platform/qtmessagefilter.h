// Qt's own warnings pass through to standard error, except the notes of the
// offscreen platform about window features it does not have (size hints,
// raising a window) and the runtime folder missing from the session: every
// window run offscreen would print them, and they say nothing about the
// program.
#pragma once

#include <QString>

namespace platform {

// True for a message of the platform plug-in that is only noise.
bool isPlatformNoise(const QString &message);

// Installs the filter in front of the handler installed so far.
void installQtMessageFilter();

} // namespace platform
