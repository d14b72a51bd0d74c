#pragma once

#include <QDialog>

// The "About" box: the program's logo, its name "Orvel Application" and the
// line "Version 1.5.0 (Build 1030)", closed with OK.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};
