#pragma once

#include "Platform/Permissions.h"
#include "System/Permission.h"

#include <QString>

class PermissionMonitor;

// Granting a permission the way this system allows: where Ambrel can switch it on itself it does,
// otherwise the user gets the exact steps. The system settings addresses of the other platform
// lead nowhere here and are never opened.
namespace PermissionAccess {

Platform::Permissions::Consent consent(Permission permission);

// Asks for the permission and looks again. Returns the steps to show the user; empty when the
// permission is now granted or nothing is left to do.
QString request(Permission permission, PermissionMonitor& monitor, Platform::Permissions& platform);

// The localised steps of the guidance ("permission.<raw>.steps.<steps>", filled with the
// argument); empty when it names none.
QString steps(Permission permission, const Platform::Permissions::Guidance& guidance);

} // namespace PermissionAccess
