#include "console/StatisticsWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

StatisticsWindow::StatisticsWindow(Report report, QWidget* parent)
    : QDialog(parent), m_report(std::move(report)) {
    setObjectName(QStringLiteral("dlgStatistics"));
    setWindowTitle(QStringLiteral("Statistics"));
    // A tool window stays above the main window, beside the chart it describes.
    setWindowFlag(Qt::Tool);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    m_table = new QTableWidget(this);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setVisible(false);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(m_table);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton(QStringLiteral("Copy"), QDialogButtonBox::ActionRole);
    const auto toClipboard = [this] { QApplication::clipboard()->setText(m_text); };
    connect(copy, &QPushButton::clicked, this, toClipboard);
    connect(new QShortcut(QKeySequence::Copy, this), &QShortcut::activated, this, toClipboard);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    layout->addWidget(buttons);

    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { Refresh(); });
}

void StatisticsWindow::FitTable() {
    const int frame = 2 * m_table->frameWidth();
    int width = frame;
    for (int column = 0; column < m_table->columnCount(); ++column)
        width += m_table->horizontalHeader()->sectionSize(column);
    const int height =
        frame + m_table->rowCount() * m_table->verticalHeader()->defaultSectionSize();
    // Only ever larger: a window that shrank and grew with each figure would jump about.
    if (width <= m_table->width() && height <= m_table->height()) return;
    m_table->setMinimumSize(std::max(width, m_table->minimumWidth()),
                            std::max(height, m_table->minimumHeight()));
    adjustSize();
}

void StatisticsWindow::Refresh() {
    if (m_report) Show(m_report());
}

void StatisticsWindow::Show(const QString& text) {
    if (text == m_text) return;
    m_text = text;
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
    int columns = 0;
    for (const QString& line : lines)
        columns = std::max(columns, static_cast<int>(line.count(QLatin1Char('\t'))) + 1);
    m_table->setRowCount(static_cast<int>(lines.size()));
    m_table->setColumnCount(columns);
    for (int row = 0; row < lines.size(); ++row) {
        const QStringList cells = lines[row].split(QLatin1Char('\t'));
        for (int column = 0; column < columns; ++column) {
            const QString cell = column < cells.size() ? cells[column] : QString();
            QTableWidgetItem* item = m_table->item(row, column);
            if (!item) {
                item = new QTableWidgetItem(cell);
                if (row == 0) {
                    QFont bold = item->font();
                    bold.setBold(true);
                    item->setFont(bold);
                }
                m_table->setItem(row, column, item);
            } else if (item->text() != cell) {
                // Only the cells that changed are painted again.
                item->setText(cell);
            }
        }
    }
    FitTable();
}

void StatisticsWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Refresh();
    m_timer.start();
}

void StatisticsWindow::hideEvent(QHideEvent* event) {
    m_timer.stop();
    QDialog::hideEvent(event);
}
