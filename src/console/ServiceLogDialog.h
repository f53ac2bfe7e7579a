// ServiceLogDialog: the service log as a table, newest write first, for a technician who
// needs to know what was put into a meter and when. Rows can be selected and copied.
#pragma once

#include <QDialog>
#include <filesystem>

class QTableWidget;

class ServiceLogDialog : public QDialog {
    Q_OBJECT
public:
    ServiceLogDialog(const std::filesystem::path& path, QWidget* parent = nullptr);

    QTableWidget* Table() const { return m_table; }
    // The selected rows as tab-separated lines (all rows when none is selected).
    QString SelectedText() const;

private:
    QTableWidget* m_table = nullptr;
};
