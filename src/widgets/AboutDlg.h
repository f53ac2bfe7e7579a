// CAboutDlg: the About box, reached from the main window's context menu and F1.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class AboutDlg;
}

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    int DoModal() { return exec(); }

private:
    std::unique_ptr<Ui::AboutDlg> m_ui;
};
