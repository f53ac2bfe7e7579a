// CQTM200DebugDlg: the main window. It owns the meter link, the reading buffer, both charts
// and the state every handler shares; it finds and identifies the meter when it opens and
// adapts its captions to the connected model.
#pragma once

#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QTimer>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/CsvSaveRun.h"
#include "console/ImportRun.h"
#include "console/MeasurementRun.h"
#include "console/MeterFacts.h"
#include "console/OperatorPrompts.h"
#include "console/ParameterBackupSession.h"
#include "console/ReadingAnalysis.h"
#include "console/ReadingStore.h"
#include "console/StoragePoll.h"
#include "console/UnsavedReadings.h"
#include "device/MeterLink.h"
#include "service/BackupOps.h"
#include "service/CsvLog.h"
#include "service/JsonText.h"
#include "service/MeterIdentity.h"
#include "service/ServiceLog.h"

namespace Ui {
class QTM200DebugDlg;
}
class CChartCtrl;
class ChartImageExport;
class QAction;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QWidget;
class StatisticsWindow;

// Which ports the window lists besides the system's own.
struct PortListSetup {
    std::vector<std::string> extraPorts;  // --port
    std::string simulatorPort;            // the built-in simulator's, empty for none
    bool systemPorts = true;              // false: --no-system-ports
};

// The chart buffers: the live chart's rolling window and the fitting data.
struct ChartBuffers {
    static constexpr std::size_t kLiveSize = 7500;
    static constexpr std::size_t kFitSize = 1000;
    static constexpr std::size_t kFitPairCount = 50;
    static constexpr int kRollingPoints = 100;

    std::vector<double> LiveX = std::vector<double>(kLiveSize);
    std::vector<double> LiveY = std::vector<double>(kLiveSize);
    std::vector<double> FitX = std::vector<double>(kFitSize);
    std::vector<double> FitY = std::vector<double>(kFitSize);
    // Temperature and A/D value of each fitting point.
    std::array<std::array<float, 2>, kFitPairCount> FitPairs{};
};

class CQTM200DebugDlg : public QDialog {
    Q_OBJECT

public:
    // prompts: where messages go (null: modal message boxes of this window).
    explicit CQTM200DebugDlg(std::unique_ptr<OperatorPrompts> prompts = nullptr,
                             PortListSetup ports = PortListSetup(), QWidget* parent = nullptr);
    ~CQTM200DebugDlg() override;

    // Initialises the window (finding the meter on the way) and runs it modally.
    int DoModal();
    // The session ends (a logout, Ctrl+C): no one can be asked, so the run stops and
    // readings no one saved keep their journal for the next start.
    void EndSession();
    // The opening sequence: layout, connection, identification, charts, list and captions.
    bool OnInitDialog();

    // Copies the bound fields into the controls (false) or the controls into the fields (true).
    void UpdateData(bool saveAndValidate);
    // Repaints the part of the window under a control (its background is the window's) as
    // soon as the window's thread is back in its event loop.
    void RefreshControl(QWidget* control);

    // Connection and identification (also run by Scan and the selection handlers).
    void ConnectAtStartup();
    void OnScan();
    void OnOpen();
    void OnCommChange();
    void OnPTypeChange();
    void OnSetAddress();

    // Charts and layout.
    void SetUpCharts();
    void RefreshLiveChart(int count);
    void RefreshFitChart();
    void ToggleExpand();
    // The work of the 100 ms chart timer: the newest power enters the rolling window.
    void OnChartTick();

    void ShowAbout();
    // Saving either chart as a picture (context menu and shortcuts).
    ChartImageExport& ChartImages() { return *m_chartImages; }
    // Gives the unit labels the colour of the current blink parity.
    void RefreshUnitColours();

    OperatorPrompts& Prompts() { return *m_prompts; }
    qtm::MeterLink& Link() { return m_link; }
    QTimer& ChartTimer() { return m_timer1; }
    QTimer& StorageTimer() { return m_timer3; }
    CChartCtrl* LiveChart() const;
    CChartCtrl* FitChart() const;

    // ---- The window's state, shared by all handlers ----
    // Texts bound to controls.
    QString m_strPort;
    QString m_strPType = QStringLiteral("QTX200");
    QString m_strComm = QStringLiteral("USB");
    QString m_strAddr = QStringLiteral("1");
    QString m_strNewAddr = QStringLiteral("1");
    QString m_strModel = QStringLiteral("QTM-200");
    QString m_strSN = QStringLiteral("201901001");
    QString m_strBand = QStringLiteral("200-300");
    QString m_strRange = QStringLiteral("300-500");
    QString m_strK = QStringLiteral("1.0000");
    QString m_strCal = QStringLiteral("1000");
    QString m_strSaveGap = QStringLiteral("1");
    QString m_strEnergyState = QStringLiteral("->Stop");
    QString m_strStorage = QStringLiteral("0/7500");
    QString m_strYMax = QStringLiteral("2000");
    QString m_strYMin = QStringLiteral("0");
    QString m_strXMax = QStringLiteral("100");
    QString m_strYUpperLimit = QStringLiteral("200");
    QString m_strYLowLimit = QStringLiteral("0");
    QString m_strXUpperLimit = QStringLiteral("50");
    QString m_strFit = QStringLiteral("y=()x*x*x*x+()x*x*x+()x*x+()x+()");
    QString m_strZeroData = QStringLiteral("0");
    QString m_strCalK = QStringLiteral("1");
    // Formula edits 1069 to 1073, then the R edit.
    std::array<QString, 5> m_strFormula{QStringLiteral("0.000"), QStringLiteral("0.000"),
                                        QStringLiteral("0.000"), QStringLiteral("0.000"),
                                        QStringLiteral("0.000")};
    QString m_strR = QStringLiteral("0.000");
    QString m_strInfo;  // the "QTM300" information text

    bool m_bConnected = false;
    // Read by the measurement worker while the window's thread writes it.
    std::atomic<bool> m_bRunning{false};
    std::atomic<bool> m_bBlink{false};
    bool m_bImportedView = false;
    bool m_bExpanded = true;
    bool m_bFitShowData = false;
    int m_nPType = 0;
    int m_nComm = 0;
    int m_nEnergyState = 0;

    float m_fPower = 0;
    double m_dEnergy = 0;
    std::int32_t m_nEnergyTime = 0;  // tenths of a second
    float m_fTemperature = 0;
    float m_fVoltage = 0;
    float m_fAD = 0;
    float m_fK = 0;
    float m_fCal = 0;
    float m_fZero = 0;
    float m_fCalK = 1.0f;
    std::int32_t m_nSaveGap = 0;
    int m_nStorageUsed = 0;
    float m_fStoragePercent = 0;

    // The reading buffer and the reading list over it; its count is the reading number of
    // the newest record.
    ReadingStore m_records;
    ChartBuffers m_chart;

    // Taken when the window opens (window coordinates): the full window and the expand button.
    QRect m_rcWindow;
    QRect m_rcExpand;

    QFont m_fontReading;  // 54 point: power and energy
    QFont m_fontUnit;     // 16 point: unit labels, "P:" and "E:"
    QFont m_fontLabel;    // 9 point: plain labels, Auto(Y) boxes
    QFont m_fontSmall;    // 10 point: T, Vol, AD
    QIcon m_hIcon;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    void PlaceTemplateControls();
    void WireHandlers();
    void WireChartImages();
    void ApplyFieldStyles();
    void ApplyModelCaptions();
    void SetUpReadingList();
    // Fills the PORT combo with the port list, keeping what is typed in it.
    void ShowPortList();
    // The live chart's one title line, the chart title of the model's group.
    void SetLiveChartTitle();
    // A limit edit's text as the charts take it: a decimal number narrowed to single precision.
    static float LimitValue(const QString& text);
    void SelectPort(int index);
    // Lists the ports and looks for a meter under the wait cursor. When none answers, puts
    // the saved PORT selection back, shows notFoundMessage and returns false.
    bool FindMeterOnListedPorts(std::string& model, const QString& notFoundMessage);
    // The identity read after a USB identification, into the fields and controls.
    void ReadIdentityIntoFields();
    qtm::IdentityRead ReadIdentityOffThread();
    void ShowIdentity(const qtm::IdentityRead& read);
    void StartStorageTimer();
    // Tells the operator how to get access when the last open failed for lack of permission.
    void ExplainPermissionProblem();
    void ShowMeterMessage(const std::string& text);
    // Handlers that need a meter ask this first: it tells the operator when none is connected.
    bool CheckConnected();
    void Shutdown();
    void SetFactoryFieldsVisible(bool visible);

    std::unique_ptr<Ui::QTM200DebugDlg> m_ui;
    std::unique_ptr<OperatorPrompts> m_prompts;
    qtm::MeterLink m_link;
    QTimer m_timer1;  // 100 ms chart tick while the live loop runs
    QTimer m_timer3;  // 3000 ms storage counter while it is stopped
    QAction* m_aboutAction = nullptr;
    std::unique_ptr<ChartImageExport> m_chartImages;
    bool m_bShutDown = false;

    // ---- Live measurement: Start/Stop, the worker's passes, timers 1 and 3, the list's
    // buttons, Auto(Y), the limit edits and the fit chart's T/Data switch ----
public:
    // Consecutive passes without a reading after which the window says the meter is lost.
    static constexpr int kLostAfterFailedPasses = 3;

    void OnStartStop();
    void OnClear();
    void OnLiveAutoY();
    void OnFitAutoY();
    void OnClearFitLog();
    void OnFitShowToggle();
    // Timer 3: the storage counter, read off the window's thread.
    void OnStorageTimer();
    // Enter in one of the four Y-limit edits; false when focus is on none of them.
    bool OnLimitEnter(QWidget* focus);
    MeasurementRun& Run() { return *m_run; }
    // What the window tells the operator about a lost meter; empty while readings arrive.
    QString LinkNotice() const;

private:
    void WireLiveHandlers();
    void StopMeasurement();
    void OnPassDone(const PassResult& pass);
    void ApplyUsbPass(const PassResult& pass);
    void ApplyBusPass(const PassResult& pass);
    void ApplyStoragePages(std::uint16_t pages, bool fromTimer);
    // Temperature, voltage, A/D and power of the latest pass into their fields.
    void ShowSensorReadings();
    void SwitchAutoY(CChartCtrl* chart, bool automatic, QLineEdit* upperEdit, QLineEdit* lowerEdit,
                     float upper, float lower);
    void ShowReading(QLabel* text, QLabel* unit, int kind, float value);
    void ShowLinkNotice(const QString& text);
    void ResetImportedView();

    std::unique_ptr<MeasurementRun> m_run;
    std::unique_ptr<StoragePoll> m_storagePoll;
    QLabel* m_lblLinkNotice = nullptr;

    // ---- Parameters, zero calibration, fitting and parameter backups (…DlgParams.cpp) ----
public:
    void OnSettingIdentity();    // Setting 1147: model, SN, band, range
    void OnReadParam();          // ReadParam 1149
    void OnSetCal();             // SetCal 1148
    void OnSetSaveTime();        // Setting 1146
    void OnSetK();               // Setting 1144
    void OnEnergyStateChange();  // combo 1017
    void OnErase();              // Erase 1038
    void OnUDisk();              // U disk Mode 1150
    void OnZeroCal();            // ZeroCal 1030
    void OnReadZero();           // Read 1066
    void OnWriteCalK();          // Write 1006
    void OnFitStart();           // Start/Stop 1009
    void OnReadFit();            // Read 1000
    void OnWriteFormula();       // Write 1018
    void OnRestoreParameters();  // "Restore parameters…" in the context menu
    // Fills the fit chart from FitPairs: T, or the A/D value while m_bFitShowData is set.
    void LoadFitChart();
    ParameterBackupSession& Backups() { return *m_backups; }

    float m_fCalEntered = 0;             // the calibration value entered and written
    std::array<float, 5> m_fFitCoef{};   // coefficients c4..c0 as last read
    std::array<double, 5> m_dFormula{};  // coefficients c4..c0 as last written

private:
    void WireParamHandlers();
    qtm::MeterTarget ParamTarget() const;
    // The target of a meter exchange; over RS-485 the Addr field must name one meter (1 to
    // 247), otherwise the operator is told and nothing is sent.
    std::optional<qtm::MeterTarget> CheckedTarget();
    // Tells why a typed value was refused (nothing is sent).
    void RefuseValue(const std::string& sentence);
    // Appends the service-log line of a write the window made (the log of service-log.jsonl).
    void LogWrite(const char* parameter, std::optional<std::string> oldValue, std::string newValue,
                  bool ok, const QString& failure);
    // A value of the meter as read just before the present write, as a JSON number.
    template <typename T>
    std::optional<std::string> ReadBefore(std::optional<T> qtm::MeterParameters::*field) const {
        const std::optional<qtm::MeterParameters>& before = m_backups->Before();
        return before ? qtm::JsonNumberOf((*before).*field) : std::nullopt;
    }
    void WireServiceLog();
    void ShowServiceLog();
    // Takes the backup a write needs first; false when the operator chose not to write
    // without one.
    bool BackupBeforeWrite(bool calibration);
    void ShowParameters(const qtm::MeterParameters& values,
                        const std::vector<qtm::RestoreStep>& steps);
    // The four edits as the meter's bytes, each cut to its field; nothing after telling the
    // operator why one cannot go out (the edits then show the texts the window held).
    std::optional<qtm::IdentityTexts> IdentityTextsFromEdits();
    // Where the service log records a write to the meter last read (BackupBeforeWrite).
    qtm::ServiceLogTarget WriteLogTarget(const qtm::MeterTarget& target,
                                         const std::optional<qtm::MeterParameters>& meter) const;
    // Says so when a write could not be recorded in the service log.
    void ShowLogProblem(const std::string& error);

    std::unique_ptr<ParameterBackupSession> m_backups;
    QAction* m_restoreAction = nullptr;

    // ---- Stored-record import, Save, the live run's journal and its recovery ----
public:
    void OnImport();
    void OnSave();
    // Offers to save, one by one, the journals of runs that did not end normally.
    void OfferJournalRecovery();
    ImportRun& Import() { return *m_import; }
    CsvSaveRun& SaveRun() { return *m_save; }
    // Where Import reads each page (tests put a meter model here); unset: the meter.
    void SetPageReader(qtm::PageReader reader) { m_pageReader = std::move(reader); }

private:
    void WireDataHandlers();
    void OnImportPage(const qtm::PageResult& page);
    void OnImportFinished(const qtm::ImportOutcome& outcome);
    void OnRecordAdded(const qtm::MeasurementRecord& record, qtm::RowOrigin origin);
    void ShowSaveOutcome(const qtm::FileResult& result);
    // Save: asks for the file and writes the buffer off the window's thread; after (when
    // given) hears whether the file was written. False when no file was chosen.
    bool SaveReadings(std::function<void(bool saved)> after);
    // Once a run: the journal could not be started or written.
    void TellJournalFailure(const qtm::FileResult& why);
    // Closing: the import stops and the journal of a run that ends here is removed, unless
    // its readings are unsaved and no one was asked (it stays for the next start).
    void FinishDataWork();

    std::unique_ptr<ImportRun> m_import;
    std::unique_ptr<CsvSaveRun> m_save;
    QProgressDialog* m_importProgress = nullptr;
    qtm::PageReader m_pageReader;
    // The imported readings by their place in the meter's memory (page × 15 + reading).
    std::vector<float> m_importedValues;
    qtm::Journal m_journal;
    bool m_bJournalFailed = false;  // told once per run that the journal cannot be written

    // ---- Closing: the question about unsaved readings (…DlgClose.cpp) ----
private:
    void CloseNow(int result);

    UnsavedReadings m_unsaved;
    bool m_bClosing = false;  // the close question, or the Save it asked for, is under way

    // ---- Statistics of the run and of the live chart's x range (…DlgStatistics.cpp) ----
public:
    // Opens the statistics window beside the live chart (context menu, Ctrl+I).
    void ShowStatistics();
    StatisticsWindow* Statistics() const { return m_statistics; }
    const ReadingAnalysis& Analysis() const { return *m_analysis; }
    // What the live chart shows along x now.
    ChartXRange LiveChartXRange() const;

private:
    void WireStatistics();
    QString StatisticsText() const;
    // Where a statistics window of size first goes: near the live chart, off the window.
    QPoint StatisticsPlace(QSize size) const;

    std::unique_ptr<ReadingAnalysis> m_analysis;
    StatisticsWindow* m_statistics = nullptr;

    // ---- "Save with details…" and what is known of the meter for it (…DlgDetailedSave.cpp) ----
public:
    // Asks for a file and writes the readings with their times and the meter's details
    // (context menu, Ctrl+Shift+S).
    void OnSaveWithDetails();
    MeterFacts& Meter() { return m_meter; }
    CsvSaveRun* DetailedSaveRun() const { return m_detailedSave.get(); }

private:
    void WireDetailedSave();
    void ShowDetailedSaveOutcome(const qtm::FileResult& result, std::size_t count,
                                 const QString& path);
    // Closing: a detailed file being written is finished first.
    void FinishDetailedSave();

    MeterFacts m_meter;
    std::unique_ptr<CsvSaveRun> m_detailedSave;
    QProgressDialog* m_detailedWait = nullptr;
};
