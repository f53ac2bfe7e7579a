// ReadingListView: the reading list's view. Every row is one text line high, so the view
// finds the rows on screen by arithmetic and paints only those: listing the next reading
// costs the same with ten rows as with a million (a table view keeps per-row geometry that
// it recomputes for every new row). Columns come from a movable header; rows are selected
// whole and the row under the pointer is highlighted.
#pragma once

#include <QAbstractScrollArea>

class QAbstractItemModel;
class QHelpEvent;
class QHeaderView;
class QScrollBar;

class ReadingListView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit ReadingListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model);
    QAbstractItemModel* model() const { return m_model; }
    QHeaderView* horizontalHeader() const { return m_header; }
    void setColumnWidth(int column, int width);
    int columnWidth(int column) const;

    void scrollToBottom();
    int rowHeight() const { return m_rowHeight; }
    // The first row at the top of the list.
    int firstVisibleRow() const;
    QScrollBar* rowScrollBar() const { return m_rows; }
    // The row at a viewport position, -1 below the last row.
    int rowAt(int y) const;
    int selectedRow() const { return m_selected; }
    void selectRow(int row);
    int hoveredRow() const { return m_hover; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The tooltip of the cell under the pointer, if it has one.
    void ShowToolTip(QHelpEvent* event);
    void OnRowsInserted(int first, int last);
    void OnReset();
    void UpdateScrollRanges();
    void UpdateHeaderGeometry();
    void UpdateRow(int row);
    void SetHover(int row);
    int RowCount() const;
    // Rows that fit whole in the viewport (at least one).
    int FullRows() const;

    QHeaderView* m_header;
    QScrollBar* m_rows;  // scrolls by whole rows; its value is the first row shown
    int m_firstRow = 0;
    QAbstractItemModel* m_model = nullptr;
    int m_rowHeight = 18;
    int m_selected = -1;
    int m_hover = -1;
};
