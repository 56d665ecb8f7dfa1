#pragma once

#include "Platform/SystemInfo.h"

#include <QList>
#include <QString>

// The order of version strings such as "1.10" and "2.0-beta".
namespace VersionOrder {

// The numbers of a version: one per non-empty dot-separated piece, read from the piece's
// leading run of numeric characters; a run that is empty, holds anything but the digits 0-9 or
// overflows 64 bits counts 0.
QList<qint64> components(const QString& version);

// True when `version` is strictly newer than `other`; missing components count as 0.
bool isNewer(const QString& version, const QString& other);

} // namespace VersionOrder

using OperatingSystemVersion = Platform::OperatingSystemVersion;

// "26.0.1": the three numbers in decimal joined by dots.
QString dotted(const OperatingSystemVersion& version);
