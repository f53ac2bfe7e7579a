#include "widgets/TipsDlg.h"

#include "ui_TipsDlg.h"
#include "widgets/DialogTemplate.h"
#include "widgets/TemplateLayout.h"

CTipsDlg::CTipsDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::TipsDlg>()) {
    m_ui->setupUi(this);
    setFont(qtmui::DialogFont());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    qtmui::ApplyTemplateLayout(this, 203, 93,
                               {{m_ui->lblTips, QRect(7, 19, 189, 23)},
                                {m_ui->btnOK_1, QRect(46, 64, 50, 14)},
                                {m_ui->btnCancel_2, QRect(110, 64, 50, 14)}});
}

CTipsDlg::~CTipsDlg() = default;

int CTipsDlg::DoModal() {
    return exec() == QDialog::Accepted ? kIdOk : kIdCancel;
}
