#pragma once

#include "Platform/Keystrokes.h"

// One synthetic shortcut keystroke: the key with the shortcut modifier alone, whatever the user
// holds.
namespace Keystroke {

using VirtualKey = Platform::Keystrokes::Key;

// False when the keystroke could not be posted.
bool post(Platform::Keystrokes& keystrokes, VirtualKey key);

} // namespace Keystroke
