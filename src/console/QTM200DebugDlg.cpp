#include "console/QTM200DebugDlg.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>

#include "chart/ChartCtrl.h"
#include "console/ChartImageExport.h"
#include "console/QtOperatorPrompts.h"
#include "console/ReadingFieldStyle.h"
#include "service/ModelCatalog.h"
#include "ui_QTM200DebugDlg.h"
#include "widgets/AboutDlg.h"
#include "widgets/DialogTemplate.h"

namespace {

// The text of the About entry in the window's context menu.
const QString kAboutText = QStringLiteral("关于 QTM200Debug(&A)...");

QString CssColour(qtm::ColorRef c) {
    return QStringLiteral("color: rgb(%1, %2, %3);")
        .arg(c & 0xFF)
        .arg((c >> 8) & 0xFF)
        .arg((c >> 16) & 0xFF);
}

// The control id carried at the end of an object name ("lblPower_1002" → 1002), or
// kPlainLabel for a label without one.
int ControlIdOf(const QObject* object) {
    static const QRegularExpression idPattern(QStringLiteral("_(\\d+)$"));
    const QRegularExpressionMatch match = idPattern.match(object->objectName());
    return match.hasMatch() ? match.captured(1).toInt() : qtm::kPlainLabel;
}

}  // namespace

CQTM200DebugDlg::CQTM200DebugDlg(std::unique_ptr<OperatorPrompts> prompts, PortListSetup ports,
                                 QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::QTM200DebugDlg>()), m_prompts(std::move(prompts)) {
    m_ui->setupUi(this);
    if (!m_prompts) m_prompts = std::make_unique<QtOperatorPrompts>(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    m_hIcon = QApplication::windowIcon();

    for (const std::string& port : ports.extraPorts)
        m_link.AddExtraPort(port);
    m_link.SetSimulatorPort(ports.simulatorPort);
    m_link.SetSystemPortsEnabled(ports.systemPorts);
    // "Open the ... port failed!" and the watch thread's complaints reach the operator.
    m_link.SetMessageSink([this](const std::string& text) { ShowMeterMessage(text); });

    m_timer1.setInterval(100);
    m_timer3.setInterval(3000);
    PlaceTemplateControls();
    WireHandlers();
}

CQTM200DebugDlg::~CQTM200DebugDlg() {
    Shutdown();
    // The link may still call its sink while it closes; nothing may reach a dead window.
    m_link.SetMessageSink(nullptr);
}

int CQTM200DebugDlg::DoModal() {
    OnInitDialog();
    return exec();
}

CChartCtrl* CQTM200DebugDlg::LiveChart() const {
    return m_ui->chartLive_1027;
}
CChartCtrl* CQTM200DebugDlg::FitChart() const {
    return m_ui->chartFit_1029;
}

void CQTM200DebugDlg::PlaceTemplateControls() {
    setFont(qtmui::DialogFont());
    const qtmui::DialogBaseUnits base = qtmui::BaseUnitsOf(font());
    auto place = [&](QWidget* w, int x, int y, int cx, int cy) {
        w->setGeometry(qtmui::DluToPixels(QRect(x, y, cx, cy), base));
    };
    // Each group box and, above it, the panel that holds its controls: the controls stay
    // usable although the box itself is disabled, and sit below the caption.
    auto group = [&](QWidget* box, QWidget* panel, int x, int y, int cx, int cy) {
        place(box, x, y, cx, cy);
        place(panel, x + 3, y + 9, cx - 6, cy - 12);
        panel->raise();
    };
    group(m_ui->grpSerial_1042, m_ui->pnlSerial_1042, 6, 7, 151, 64);
    group(m_ui->grpFactory_1046, m_ui->pnlFactory_1046, 6, 74, 151, 78);
    group(m_ui->grpMeasure_1044, m_ui->pnlMeasure_1044, 161, 7, 192, 142);
    group(m_ui->grpControl_1050, m_ui->pnlControl_1050, 162, 150, 89, 50);
    group(m_ui->grpStorge_1054, m_ui->pnlStorge_1054, 257, 150, 95, 50);
    group(m_ui->grpParam_1049, m_ui->pnlParam_1049, 7, 153, 150, 86);
    group(m_ui->grpWave_1047, m_ui->pnlWave_1047, 161, 200, 191, 39);
    group(m_ui->grpFitData_1053, m_ui->pnlFitData_1053, 7, 251, 294, 139);
    group(m_ui->grpFitGraph_1051, m_ui->pnlFitGraph_1051, 304, 251, 237, 139);
    place(m_ui->chartLive_1027, 357, 7, 184, 140);
    place(m_ui->lstReadings_1052, 357, 150, 184, 89);
    place(m_ui->btnExpand_1063, 252, 240, 40, 9);
    setFixedSize(qtmui::DluToPixels(QRect(0, 0, 544, 392), base).size());
    for (QWidget* panel : findChildren<QWidget*>(QRegularExpression(QStringLiteral("^pnl")))) {
        if (panel->layout()) panel->layout()->activate();
    }
}

void CQTM200DebugDlg::WireHandlers() {
    connect(m_ui->btnScan_1001, &QPushButton::clicked, this, [this] { OnScan(); });
    connect(m_ui->btnOpen_1021, &QPushButton::clicked, this, [this] { OnOpen(); });
    connect(m_ui->cmbComm_1020, &QComboBox::activated, this, [this] { OnCommChange(); });
    connect(m_ui->cmbPType_1019, &QComboBox::activated, this, [this] { OnPTypeChange(); });
    connect(m_ui->btnSetAddr_1151, &QPushButton::clicked, this, [this] { OnSetAddress(); });
    connect(m_ui->btnExpand_1063, &QPushButton::clicked, this, [this] { ToggleExpand(); });
    connect(&m_timer1, &QTimer::timeout, this, [this] { OnChartTick(); });
    WireLiveHandlers();
    WireDataHandlers();

    m_aboutAction = new QAction(kAboutText, this);
    m_aboutAction->setShortcut(QKeySequence(Qt::Key_F1));
    m_aboutAction->setShortcutContext(Qt::WindowShortcut);
    connect(m_aboutAction, &QAction::triggered, this, [this] { ShowAbout(); });
    addAction(m_aboutAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    WireParamHandlers();
    WireStatistics();
    WireDetailedSave();
    WireChartImages();
}

bool CQTM200DebugDlg::OnInitDialog() {
    // 1. The controls exist; the bound fields go into them.
    UpdateData(false);
    // 2, 3. The About entry was added with the handlers; the window's icon.
    setWindowIcon(m_hIcon);
    // 4. The full window and the expand button, for the layouts to come.
    m_rcWindow = QRect(pos(), size());
    m_rcExpand = m_ui->btnExpand_1063->geometry();
    // 5. Meter family.
    m_nPType = m_ui->cmbPType_1019->currentIndex();
    m_link.SetDeviceType(m_nPType == 1 ? qtm::DeviceType::Qtm300 : qtm::DeviceType::Qtx200);
    if (m_nPType == 0) {
        m_ui->edtAddr_1112->setEnabled(true);
        m_ui->btnOpen_1021->setEnabled(true);
        m_ui->edtInfo_1079->hide();
        m_ui->btnUDisk_1150->hide();
        ToggleExpand();
    }
    // 6. Fitting progress.
    m_ui->prgFit_1068->setRange(0, 100);
    m_ui->prgFit_1068->setValue(0);
    // 7. Start ready; nothing to clear or save yet; limits follow Auto(Y).
    m_ui->btnStart_1004->setEnabled(true);
    m_ui->btnClear_1005->setEnabled(false);
    m_ui->btnSave_1028->setEnabled(false);
    for (QLineEdit* edit : {m_ui->edtYMax_1032, m_ui->edtYMin_1033, m_ui->edtXMax_1034,
                            m_ui->edtYUpper_1035, m_ui->edtYLow_1036, m_ui->edtXUpper_1037}) {
        edit->setEnabled(false);
    }
    // 8. Both Y axes automatic.
    m_ui->chkAutoY_1039->setChecked(true);
    m_ui->chkAutoYFit_1040->setChecked(true);
    // 9. The parameter fields become editable.
    for (QLineEdit* edit :
         {m_ui->edtModel_1110, m_ui->edtSN_1137, m_ui->edtBand_1111, m_ui->edtRange_1138,
          m_ui->edtCal_1142, m_ui->edtZeroData_1055, m_ui->edtCalK_1058}) {
        edit->setReadOnly(false);
    }
    // 10. The reading fonts.
    m_fontReading = qtmui::NarrowDigitsFont(54);
    m_fontUnit = qtmui::NamedFont(QStringLiteral("宋体"), 16);
    m_fontLabel = qtmui::NamedFont(QStringLiteral("宋体"), 9);
    m_fontSmall = qtmui::NamedFont(QStringLiteral("宋体"), 10);
    ApplyFieldStyles();
    // 11. Energy accumulation state.
    m_nEnergyState = m_ui->cmbEnergy_1017->currentIndex();
    // 12. Centre on the screen.
    if (const QScreen* screen = QApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    // 13, 14. Find and identify the meter.
    ConnectAtStartup();
    // 15. Chart buffers.
    for (std::size_t i = 0; i < ChartBuffers::kLiveSize; ++i) {
        m_chart.LiveX[i] = static_cast<double>(i);
        m_chart.LiveY[i] = 0;
    }
    for (std::size_t i = 0; i < ChartBuffers::kFitSize; ++i) {
        m_chart.FitX[i] = static_cast<double>(i);
        m_chart.FitY[i] = 0;
    }
    m_chart.FitPairs = {};
    // 16. Charts.
    SetUpCharts();
    // 17. Reading list.
    SetUpReadingList();
    // 18. Captions of the model.
    ApplyModelCaptions();
    // 19. A clean power reading.
    m_fPower = 0;
    m_ui->lblPower_1002->setText(QString::asprintf("%.4f", static_cast<double>(m_fPower)));
    RefreshControl(m_ui->lblPower_1002);
    RefreshControl(m_ui->lblVol_1007);
    RefreshControl(m_ui->lblAD_1008);
    // Once the window is up: a run that a crash ended is offered for saving.
    QTimer::singleShot(0, this, [this] { OfferJournalRecovery(); });
    // 20. The dialog gives the focus to its first control.
    return true;
}

void CQTM200DebugDlg::UpdateData(bool saveAndValidate) {
    struct Binding {
        QString* field;
        QWidget* control;
    };
    const Binding bindings[] = {
        {&m_strPort, m_ui->cmbPort_1016},
        {&m_strPType, m_ui->cmbPType_1019},
        {&m_strComm, m_ui->cmbComm_1020},
        {&m_strAddr, m_ui->edtAddr_1112},
        {&m_strNewAddr, m_ui->edtNewAddr_1145},
        {&m_strModel, m_ui->edtModel_1110},
        {&m_strSN, m_ui->edtSN_1137},
        {&m_strBand, m_ui->edtBand_1111},
        {&m_strRange, m_ui->edtRange_1138},
        {&m_strK, m_ui->edtK_1141},
        {&m_strCal, m_ui->edtCal_1142},
        {&m_strSaveGap, m_ui->edtSaveTime_1143},
        {&m_strEnergyState, m_ui->cmbEnergy_1017},
        {&m_strStorage, m_ui->lblStorage_1075},
        {&m_strYMax, m_ui->edtYMax_1032},
        {&m_strYMin, m_ui->edtYMin_1033},
        {&m_strXMax, m_ui->edtXMax_1034},
        {&m_strYUpperLimit, m_ui->edtYUpper_1035},
        {&m_strYLowLimit, m_ui->edtYLow_1036},
        {&m_strXUpperLimit, m_ui->edtXUpper_1037},
        {&m_strFit, m_ui->edtFitLog_1065},
        {&m_strZeroData, m_ui->edtZeroData_1055},
        {&m_strCalK, m_ui->edtCalK_1058},
        {&m_strFormula[0], m_ui->edtCoef_1069},
        {&m_strFormula[1], m_ui->edtCoef_1070},
        {&m_strFormula[2], m_ui->edtCoef_1071},
        {&m_strFormula[3], m_ui->edtCoef_1072},
        {&m_strFormula[4], m_ui->edtCoef_1073},
        {&m_strR, m_ui->edtR_1056},
    };
    for (const Binding& b : bindings) {
        if (auto* edit = qobject_cast<QLineEdit*>(b.control)) {
            if (saveAndValidate) {
                *b.field = edit->text();
            } else {
                edit->setText(*b.field);
            }
        } else if (auto* combo = qobject_cast<QComboBox*>(b.control)) {
            if (saveAndValidate) {
                *b.field = combo->currentText();
            } else if (combo->isEditable()) {
                combo->setEditText(*b.field);
            } else {
                const int index = combo->findText(*b.field);
                if (index >= 0) combo->setCurrentIndex(index);
            }
        } else if (auto* label = qobject_cast<QLabel*>(b.control)) {
            if (saveAndValidate) {
                *b.field = label->text();
            } else {
                label->setText(*b.field);
            }
        } else if (auto* text = qobject_cast<QPlainTextEdit*>(b.control)) {
            if (saveAndValidate) {
                *b.field = text->toPlainText();
            } else {
                text->setPlainText(*b.field);
            }
        }
    }
}

void CQTM200DebugDlg::RefreshControl(QWidget* control) {
    if (!control) return;
    // Painted when this turn of the event loop ends, together with every other control the
    // same pass changed: one paint and one flush to the screen for all of them, where a
    // repaint each would paint the window under the reading fields nine times a pass.
    const QRect area(control->mapTo(this, QPoint(0, 0)), control->size());
    update(area);
}

void CQTM200DebugDlg::ApplyFieldStyles() {
    const bool blink = m_bBlink.load();
    auto fontOf = [this](int points) -> const QFont& {
        switch (points) {
            case 54:
                return m_fontReading;
            case 16:
                return m_fontUnit;
            case 10:
                return m_fontSmall;
            default:
                return m_fontLabel;
        }
    };
    QList<QWidget*> styled;
    for (QLabel* label : findChildren<QLabel*>())
        styled << label;
    styled << m_ui->chkAutoY_1039 << m_ui->chkAutoYFit_1040;
    for (QWidget* w : styled) {
        const std::optional<qtm::FieldStyle> style = qtm::StyleOfField(ControlIdOf(w), blink);
        if (!style) continue;
        w->setFont(fontOf(style->points));
        w->setStyleSheet(style->textColour ? CssColour(*style->textColour) : QString());
    }
}

void CQTM200DebugDlg::RefreshUnitColours() {
    const bool blink = m_bBlink.load();
    for (QLabel* unit : {m_ui->lblPowerUnit_1010, m_ui->lblEnergyUnit_1011}) {
        const std::optional<qtm::FieldStyle> style = qtm::StyleOfField(ControlIdOf(unit), blink);
        if (style && style->textColour) unit->setStyleSheet(CssColour(*style->textColour));
        RefreshControl(unit);
    }
}

void CQTM200DebugDlg::SetUpReadingList() {
    m_records.SetModelName(m_strModel);
    m_records.AttachView(m_ui->lstReadings_1052);
}

void CQTM200DebugDlg::ApplyModelCaptions() {
    const qtm::ModelTexts& texts = qtm::TextsOfModel(m_strModel.toStdString());
    m_ui->grpMeasure_1044->setTitle(QString::fromUtf8(texts.groupCaption));
    m_ui->grpWave_1047->setTitle(QString::fromUtf8(texts.paramCaption));
    m_ui->lblPowerUnit_1010->setText(QString::fromUtf8(texts.powerUnit));
    m_ui->lblEnergyUnit_1011->setText(QString::fromUtf8(texts.energyUnit));
}

void CQTM200DebugDlg::ShowAbout() {
    CAboutDlg about(this);
    about.DoModal();
}

void CQTM200DebugDlg::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier)) {
        QDialog::keyPressEvent(event);
        return;
    }
    QWidget* focus = focusWidget();
    // Enter in a limit field confirms the chart limit there and never ends the dialog.
    if (OnLimitEnter(focus)) {
        event->accept();
        return;
    }
    // Enter on a button presses it; anywhere else it is the dialog's default action.
    if (auto* button = qobject_cast<QPushButton*>(focus)) {
        if (button->isEnabled()) button->click();
        event->accept();
        return;
    }
    event->accept();
    accept();
}
