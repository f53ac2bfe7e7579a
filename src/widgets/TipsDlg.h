// CTipsDlg: the modal "Tips Information" question asked before a zero calibration.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TipsDlg;
}

class CTipsDlg : public QDialog {
    Q_OBJECT

public:
    // The button ids the dialog ends with, as its callers compare them.
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;

    explicit CTipsDlg(QWidget* parent = nullptr);
    ~CTipsDlg() override;

    // Shows the dialog modally: kIdOk for OK, kIdCancel for Cancel, Esc or the close box.
    int DoModal();

private:
    std::unique_ptr<Ui::TipsDlg> m_ui;
};
