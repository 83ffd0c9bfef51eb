// The main window.
#include "editor/FrmMain.h"

FrmMain::FrmMain(QWidget* parent) : QMainWindow(parent) {}
