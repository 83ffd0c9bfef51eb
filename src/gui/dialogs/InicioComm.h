// Inicio_COMM: the sign's port opened from the settings at start-up and after the options, with its box.
#pragma once

#include <QString>
#include <functional>

class MSComm;
struct LineSettings;
class Prompter;
class QWidget;

// openComPort with `line`, then the port in status panel 1; on failure the "Error #03" box, asked of `prompter` over
// `parent`, and the panel untouched.
void Inicio_COMM(MSComm& MSComm1, const LineSettings& line, Prompter& prompter, QWidget* parent,
                 const std::function<void(const QString&)>& setPanel1);
