#pragma once

#include <QDialog>

// The About box: the program's icon and name.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
