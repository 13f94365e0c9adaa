// Names shared by the two sides of the automation interface on the bus.
#pragma once

#include <host/busactivation.h>

#include <QString>

namespace automation {

// The host object's own errors (number, source, description): an error
// reply of this name carries the message text, then the number (int32), the
// source and the description as further arguments.
inline const QString kErrorName = QStringLiteral("nordaQRT.Application.Error");
// A call from a second caller while the object serves its first one.
inline const QString kInUseErrorName = QStringLiteral("nordaQRT.Application.Error.InUse");

inline const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
inline const QString kIntrospectableInterface = QStringLiteral("org.freedesktop.DBus.Introspectable");

// Ends the caller's hold on the object (the counterpart of releasing the
// last reference); the plug-in also counts a caller that leaves the bus as
// having released it.
inline const QString kReleaseMethod = QStringLiteral("Release");

// The property of a network tool's result object the plug-in sets after a
// project registration.
inline const QString kRegResultProperty = QStringLiteral("RegResult");

// A result object handed over as "<bus name><object path>", for example
// ":1.42/nordaQRT/RegResult/1". Returns false when the text is not of that form.
bool splitObjectHandle(const QString &handle, QString *service, QString *path);

} // namespace automation
