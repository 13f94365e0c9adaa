// Program version 1.03.1210: major 1, minor 3, revision 1210.
#pragma once

#include <QString>

namespace platform {

constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 3;
constexpr int kVersionRevision = 1210;

// "1.3": major and minor, each without leading zeros, joined by ".".
inline QString versionText()
{
    return QString::number(kVersionMajor) + QLatin1Char('.') + QString::number(kVersionMinor);
}

// "1.3.1210": major, minor and revision joined by ".".
inline QString fullVersionText()
{
    return versionText() + QLatin1Char('.') + QString::number(kVersionRevision);
}

inline const QString kProductName = QStringLiteral("Aerolis Controller");

} // namespace platform
