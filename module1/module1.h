// The one answer of every "Konec" button: the program cannot be ended.
#pragma once

#include <QString>

namespace vp {

class MessageBoxes;

namespace Module1 {

// Shows the refusal (OK, exclamation icon, the application title) and returns.
void ExitRefusal(MessageBoxes& boxes);

} // namespace Module1
} // namespace vp
