// The display check: environment variables on X11 and Wayland systems.
#include "core/platform/Display.h"

#include <QtGlobal>

namespace platform
{
bool hasDisplay()
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return true;
#else
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
#endif
}
} // namespace platform
