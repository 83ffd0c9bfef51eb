// One line per event on standard error, which a service manager's journal takes as it is.
#pragma once

#include <QString>

// "tivor-server: TEXT" and a line end, written at once (each line in one write, whichever thread writes it).
void journal(const QString& text);
