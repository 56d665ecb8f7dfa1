#pragma once

#include "System/ProductSite.h"

#include <QUrl>

// The online action library that the AI action settings link to, beside the manual's links
// (ManualLink): "<site root>/<segment>/library".
namespace LibraryLink {

// Worked out at each call, so that a change of the interface language applies at once.
QUrl url(const QString& segment = ProductSite::currentLanguageSegment());

} // namespace LibraryLink
