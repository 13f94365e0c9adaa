// Editing the text of a parameter file the way a technician would in an
// editor: tests and benches change one value and hand the file to the tool.
#pragma once

#include <QByteArray>
#include <QList>

// The file with the value of every `key = ...` line set to `value`. The line's
// CR of a CR+LF file is kept; a file without the key comes back unchanged.
inline QByteArray withValue(const QByteArray &file, const QByteArray &key, const QByteArray &value)
{
    QList<QByteArray> lines = file.split('\n');
    for (QByteArray &l : lines) {
        const int eq = l.indexOf('=');
        if (eq > 0 && l.left(eq).trimmed() == key)
            l = key + " = " + value + (l.endsWith('\r') ? "\r" : "");
    }
    return lines.join('\n');
}
