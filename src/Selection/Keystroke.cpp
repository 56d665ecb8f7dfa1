#include "Selection/Keystroke.h"

namespace Keystroke {

bool post(Platform::Keystrokes& keystrokes, VirtualKey key)
{
    return keystrokes.post(key, Platform::ModifierFlags{Platform::ModifierFlags::command});
}

} // namespace Keystroke
