#include "console/ServiceLogDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

#include "service/ServiceLog.h"

namespace {

// The keys shown, in this order; the header texts are the keys themselves, as in the file.
const char* const kColumns[] = {"time",   "program", "parameter", "old",  "new",
                                "result", "serial",  "port",      "link", "address"};

}  // namespace

ServiceLogDialog::ServiceLogDialog(const std::filesystem::path& path, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Service log"));
    auto* layout = new QVBoxLayout(this);
    const std::vector<qtm::ServiceLogLine> lines = qtm::ReadServiceLog(path);
    layout->addWidget(new QLabel(QStringLiteral("%1 (%2 writes, newest first)")
                                     .arg(QString::fromStdString(path.string()))
                                     .arg(lines.size()),
                                 this));

    m_table = new QTableWidget(static_cast<int>(lines.size()), std::size(kColumns), this);
    QStringList headers;
    for (const char* key : kColumns)
        headers << QString::fromLatin1(key);
    m_table->setHorizontalHeaderLabels(headers);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->setVisible(false);
    for (int row = 0; row < static_cast<int>(lines.size()); ++row) {
        const qtm::ServiceLogLine& line = lines[static_cast<std::size_t>(row)];
        for (int column = 0; column < static_cast<int>(std::size(kColumns)); ++column) {
            // A line that is not a log object (a hand edit, a cut write) is shown whole
            // rather than hidden.
            const std::string text =
                line.parsed ? line.Field(kColumns[column]) : (column == 0 ? line.raw : "");
            m_table->setItem(row, column, new QTableWidgetItem(QString::fromStdString(text)));
        }
    }
    m_table->resizeColumnsToContents();
    layout->addWidget(m_table);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton(QStringLiteral("Copy"), QDialogButtonBox::ActionRole);
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(SelectedText()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* shortcut = new QShortcut(QKeySequence::Copy, m_table);
    connect(shortcut, &QShortcut::activated, this,
            [this] { QApplication::clipboard()->setText(SelectedText()); });
    layout->addWidget(buttons);
    resize(900, 420);
}

QString ServiceLogDialog::SelectedText() const {
    QStringList rows;
    const bool any = !m_table->selectionModel()->selectedRows().isEmpty();
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (any && !m_table->selectionModel()->isRowSelected(row, QModelIndex())) continue;
        QStringList cells;
        for (int column = 0; column < m_table->columnCount(); ++column)
            cells << m_table->item(row, column)->text();
        rows << cells.join(QLatin1Char('\t'));
    }
    return rows.join(QLatin1Char('\n'));
}
