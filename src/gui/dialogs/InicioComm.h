// Inicio_COMM: the sign's port opened from the settings at start-up and after the options, with its box.
#pragma once

#include <QString>
#include <functional>

class MSComm;
class QWidget;

// openComPort, then the port in status panel 1; on failure the "Error #03" box and the panel untouched.
void Inicio_COMM(MSComm& MSComm1, QWidget* parent, const std::function<void(const QString&)>& setPanel1);
