// The main window.
#pragma once

#include <QMainWindow>

class FrmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit FrmMain(QWidget* parent = nullptr);
};
