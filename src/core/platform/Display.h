// Whether a window can be shown at all.
#pragma once

namespace platform
{
// False only where windows need a display server and none is named (no DISPLAY, no WAYLAND_DISPLAY) and no
// Qt platform was chosen (QT_QPA_PLATFORM=offscreen): Qt would abort with a message about plugins instead.
// Windows and macOS always have their desktop.
bool hasDisplay();
} // namespace platform
