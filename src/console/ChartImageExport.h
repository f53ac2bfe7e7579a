// ChartImageExport: saves the live or the fit chart as a picture the operator names, PNG at
// twice the chart's size on screen (drawn at that resolution, not enlarged) or SVG. It puts
// its entries and their shortcuts in the window's context menu. The picture is taken on the
// window's thread; encoding and writing run on a thread of their own, and the outcome is told
// through the operator prompts.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <optional>
#include <thread>

class CChartCtrl;
class OperatorPrompts;
class QAction;
class QKeySequence;
class QWidget;

class ChartImageExport : public QObject {
    Q_OBJECT

public:
    // A PNG holds this many pixels for each pixel of the chart on screen, each way.
    static constexpr qreal kPngScale = 2.0;

    enum class Format { Png, Svg };

    ChartImageExport(QWidget* window, OperatorPrompts& prompts);
    // Waits for a file being written: it is finished, never cut.
    ~ChartImageExport() override;
    ChartImageExport(const ChartImageExport&) = delete;
    ChartImageExport& operator=(const ChartImageExport&) = delete;

    // An entry of the window's context menu, with its shortcut, that saves chart.
    QAction* AddChart(CChartCtrl* chart, const QString& menuText, const QKeySequence& shortcut,
                      const QString& suggestedName);
    // Asks where, then saves chart there.
    void Save(CChartCtrl* chart, const QString& suggestedName);
    bool Busy() const { return m_busy.load(); }

    // The format path's suffix asks for (.png or .svg, in any case); a path without a suffix
    // gets ".png". None for any other suffix.
    static std::optional<Format> FormatOf(QString& path);

private:
    QWidget* m_window;
    OperatorPrompts& m_prompts;
    std::thread m_thread;
    std::atomic<bool> m_busy{false};
};
