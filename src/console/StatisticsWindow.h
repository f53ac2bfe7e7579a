// StatisticsWindow: a small window beside the main one with the statistics of the run and of
// what the live chart shows. While open it asks for them again a few times a second, no more
// often than a person can read them. Cells can be selected; Copy (and Ctrl+C) puts the whole
// table on the clipboard as tab-separated lines, ready for a spreadsheet.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <functional>

class QTableWidget;

class StatisticsWindow : public QDialog {
    Q_OBJECT

public:
    // Tab-separated lines, a heading line first (StatisticsReport).
    using Report = std::function<QString()>;
    static constexpr int kRefreshMs = 250;

    explicit StatisticsWindow(Report report, QWidget* parent = nullptr);

    // Asks for the report now and shows it where it changed.
    void Refresh();
    QString Text() const { return m_text; }
    QTableWidget* Table() const { return m_table; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Show(const QString& text);
    // Makes the window as large as its table, so every cell shows whole.
    void FitTable();

    Report m_report;
    QTableWidget* m_table = nullptr;
    QTimer m_timer;
    QString m_text;
};
