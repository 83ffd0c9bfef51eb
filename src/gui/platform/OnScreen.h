// Keeping every window of the program within the part of the screen it may use.
#pragma once

class QWidget;

namespace platform
{
// From now on, each time `window` is shown it is made small enough for the available area of its screen (the
// screen less its panels and docks), frame included, and moved into that area. Its own size is kept
// wherever it fits: a 1024x600 netbook must still reach the buttons at the bottom.
void keepOnScreen(QWidget* window);
} // namespace platform
