#include "widgets/AboutDlg.h"

#include <QApplication>
#include <QIcon>

#include "ui_AboutDlg.h"
#include "widgets/DialogTemplate.h"
#include "widgets/TemplateLayout.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::AboutDlg>()) {
    m_ui->setupUi(this);
    setFont(qtmui::NamedFont(QStringLiteral("宋体"), 9));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    qtmui::ApplyTemplateLayout(this, 235, 55,
                               {{m_ui->icoApp_131, QRect(11, 17, 20, 20)},
                                {m_ui->lblVersion, QRect(40, 10, 119, 8)},
                                {m_ui->lblNote, QRect(40, 25, 119, 8)},
                                {m_ui->btnOK_1, QRect(178, 7, 50, 16)}});
    // The program's own icon, the one the application sets for all its windows.
    const QIcon icon = QApplication::windowIcon();
    const QSize size = m_ui->icoApp_131->size();
    if (!icon.isNull()) m_ui->icoApp_131->setPixmap(icon.pixmap(size));
}

CAboutDlg::~CAboutDlg() = default;
