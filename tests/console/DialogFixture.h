// Builds a main window for a test: recording prompts, only the ports the test names (the
// machine's own serial ports are never probed) and, when asked, a simulated meter.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/QTM200DebugDlg.h"
#include "console/ReadingListView.h"
#include "console/RecordingPrompts.h"
#include "service/CsvLog.h"
#include "sim/SimMeter.h"

inline qtmsim::MeterConfig SimConfig(const std::string& model,
                                     qtmsim::Family family = qtmsim::Family::Qtx200,
                                     bool rs485 = false) {
    qtmsim::MeterConfig config;
    config.model = model;
    config.family = family;
    config.rs485 = rs485;
    return config;
}

// A QTX200 meter on the RS-485 bus.
inline qtmsim::MeterConfig BusMeter() {
    return SimConfig("QTX-200P", qtmsim::Family::Qtx200, true);
}

class DialogFixture {
public:
    // Starts a simulated meter (when config is given) and builds the window on its port,
    // listed after the ports given.
    explicit DialogFixture(std::optional<qtmsim::MeterConfig> config = std::nullopt,
                           std::vector<std::string> extraPorts = {}) {
        PortListSetup ports;
        ports.systemPorts = false;
        ports.extraPorts = std::move(extraPorts);
        if (config) {
            sim = std::make_unique<qtmsim::SimMeter>(*config);
            std::string error;
            started = sim->Start(&error);
            startError = error;
            ports.extraPorts.push_back(sim->PortPath());
        }
        auto recorder = std::make_unique<RecordingPrompts>();
        prompts = recorder.get();
        dlg = std::make_unique<CQTM200DebugDlg>(std::move(recorder), ports);
    }

    ~DialogFixture() {
        dlg.reset();  // closes the ports before the simulated meter goes
        if (sim) sim->Stop();
        // A window that goes without being closed keeps the journal of readings no one
        // saved, as at the end of a session; the next test must not be offered it.
        std::error_code ec;
        std::filesystem::remove_all(qtm::JournalFolder(), ec);
    }

    template <typename T>
    T* Find(const char* name) const {
        return dlg->findChild<T*>(QString::fromLatin1(name));
    }
    QString Text(const char* name) const {
        if (auto* edit = Find<QLineEdit>(name)) return edit->text();
        if (auto* label = Find<QLabel>(name)) return label->text();
        if (auto* button = Find<QPushButton>(name)) return button->text();
        if (auto* box = Find<QGroupBox>(name)) return box->title();
        if (auto* combo = Find<QComboBox>(name)) return combo->currentText();
        return QStringLiteral("<no control %1>").arg(QString::fromLatin1(name));
    }
    QStringList Headers() const {
        const QAbstractItemModel* list = Find<ReadingListView>("lstReadings_1052")->model();
        QStringList headers;
        for (int i = 0; i < list->columnCount(); ++i)
            headers << list->headerData(i, Qt::Horizontal).toString();
        return headers;
    }
    // Picks an entry of a drop-down list as the operator does.
    void Choose(const char* combo, int index) {
        QComboBox* box = Find<QComboBox>(combo);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    // Switches the window to RS-485 and opens the simulator's port as the operator would.
    void OpenBus() {
        Choose("cmbComm_1020", 1);
        Find<QComboBox>("cmbPort_1016")->setEditText(QString::fromStdString(sim->PortPath()));
        Find<QPushButton>("btnOpen_1021")->click();
    }

    std::unique_ptr<qtmsim::SimMeter> sim;
    bool started = true;
    std::string startError;
    RecordingPrompts* prompts = nullptr;
    std::unique_ptr<CQTM200DebugDlg> dlg;
};
