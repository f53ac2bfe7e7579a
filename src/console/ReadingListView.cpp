#include "console/ReadingListView.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOption>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>

namespace {

// A scroll bar that repaints only when it would look different. Each new reading moves
// the list's range by one row; with thousands of rows the slider stays on the same pixels,
// and painting the bar again would cost more than listing the reading.
class QuietScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    // A new row changes the range and then the value; the bar is compared with what it last
    // painted once both are done.
    void sliderChange(SliderChange change) override {
        if (change != SliderRangeChange && change != SliderValueChange) {
            QScrollBar::sliderChange(change);
            return;
        }
        if (m_checkPending) return;
        m_checkPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_checkPending = false;
                if (!(CurrentLook() == m_painted)) update();
            },
            Qt::QueuedConnection);
    }
    void paintEvent(QPaintEvent* event) override {
        m_painted = CurrentLook();
        QScrollBar::paintEvent(event);
    }

private:
    struct Look {
        QRect slider;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look&) const = default;
    };
    Look CurrentLook() const {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        this),
                value() == minimum(), value() == maximum()};
    }
    Look m_painted;
    bool m_checkPending = false;
};

}  // namespace

ReadingListView::ReadingListView(QWidget* parent)
    : QAbstractScrollArea(parent), m_header(new QHeaderView(Qt::Horizontal, this)) {
    // The rows' scroll bar is the view's own: the scroll area would lay out its children
    // again, and repaint both bars, whenever the range of its own bar grows by a row.
    m_rows = new QuietScrollBar(Qt::Vertical, this);
    m_rows->hide();
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(m_rows, &QScrollBar::valueChanged, this, [this](int first) {
        const int moved = m_firstRow - first;
        m_firstRow = first;
        // What stays on screen is moved, not painted again.
        viewport()->scroll(0, moved * m_rowHeight);
    });
    m_header->setSectionsClickable(false);
    m_header->setHighlightSections(false);
    m_header->setStretchLastSection(false);
    m_header->setMinimumSectionSize(1);
    connect(m_header, &QHeaderView::sectionResized, this, [this] {
        UpdateScrollRanges();
        viewport()->update();
    });
    connect(m_header, &QHeaderView::sectionMoved, viewport(), qOverload<>(&QWidget::update));
    viewport()->setMouseTracking(true);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    // One screen row per scroll step: the list moves by whole readings.
    m_rows->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(20);
    m_rowHeight = fontMetrics().height() + 4;
    UpdateHeaderGeometry();
}

void ReadingListView::setModel(QAbstractItemModel* model) {
    if (m_model == model) return;
    if (m_model) disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    m_header->setModel(model);
    if (model) {
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex& parent, int first, int last) {
                    if (!parent.isValid()) OnRowsInserted(first, last);
                });
        connect(model, &QAbstractItemModel::rowsRemoved, this, &ReadingListView::OnReset);
        connect(model, &QAbstractItemModel::modelReset, this, &ReadingListView::OnReset);
        connect(model, &QAbstractItemModel::layoutChanged, this, &ReadingListView::OnReset);
        connect(model, &QAbstractItemModel::dataChanged, viewport(), qOverload<>(&QWidget::update));
    }
    OnReset();
}

void ReadingListView::setColumnWidth(int column, int width) {
    m_header->resizeSection(column, width);
}

int ReadingListView::columnWidth(int column) const {
    return m_header->sectionSize(column);
}

int ReadingListView::RowCount() const {
    return m_model ? m_model->rowCount() : 0;
}

int ReadingListView::FullRows() const {
    return std::max(1, viewport()->height() / m_rowHeight);
}

int ReadingListView::firstVisibleRow() const {
    return m_firstRow;
}

int ReadingListView::rowAt(int y) const {
    if (y < 0) return -1;
    const int row = firstVisibleRow() + y / m_rowHeight;
    return row < RowCount() ? row : -1;
}

void ReadingListView::scrollToBottom() {
    m_rows->setValue(m_rows->maximum());
}

void ReadingListView::selectRow(int row) {
    if (row == m_selected) return;
    const int old = m_selected;
    m_selected = row;
    UpdateRow(old);
    UpdateRow(row);
}

void ReadingListView::UpdateRow(int row) {
    if (row < 0) return;
    const int top = (row - firstVisibleRow()) * m_rowHeight;
    if (top + m_rowHeight <= 0 || top >= viewport()->height()) return;
    viewport()->update(0, top, viewport()->width(), m_rowHeight);
}

void ReadingListView::SetHover(int row) {
    if (row == m_hover) return;
    const int old = m_hover;
    m_hover = row;
    UpdateRow(old);
    UpdateRow(row);
}

void ReadingListView::OnRowsInserted(int first, int last) {
    if (m_selected >= first) m_selected += last - first + 1;
    UpdateScrollRanges();
    for (int row = first; row <= last && row < firstVisibleRow() + FullRows() + 1; ++row)
        UpdateRow(row);
}

void ReadingListView::OnReset() {
    m_selected = -1;
    m_hover = -1;
    UpdateScrollRanges();
    viewport()->update();
}

void ReadingListView::UpdateScrollRanges() {
    // A scroll bar repaints whenever a step is set, even to the value it has.
    auto apply = [](QScrollBar* bar, int maximum, int page) {
        if (bar->maximum() != maximum || bar->minimum() != 0) bar->setRange(0, maximum);
        if (bar->pageStep() != page) bar->setPageStep(page);
    };
    const int fullRows = FullRows();
    const int lastFirst = std::max(0, RowCount() - fullRows);
    apply(m_rows, lastFirst, fullRows);
    const bool needed = lastFirst > 0;
    if (needed != m_rows->isVisibleTo(this)) {
        m_rows->setVisible(needed);
        UpdateHeaderGeometry();
    }
    apply(horizontalScrollBar(), std::max(0, m_header->length() - viewport()->width()),
          viewport()->width());
}

void ReadingListView::UpdateHeaderGeometry() {
    const int height = m_header->sizeHint().height();
    const int barWidth = m_rows->isVisibleTo(this) ? m_rows->sizeHint().width() : 0;
    setViewportMargins(0, height, barWidth, 0);
    const QRect area = viewport()->geometry();
    m_header->setGeometry(area.left(), area.top() - height, area.width(), height);
    m_rows->setGeometry(area.right() + 1, area.top(), barWidth, area.height());
}

void ReadingListView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateHeaderGeometry();
    UpdateScrollRanges();
}

void ReadingListView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_rowHeight = fontMetrics().height() + 4;
        UpdateHeaderGeometry();
        UpdateScrollRanges();
    }
    QAbstractScrollArea::changeEvent(event);
}

void ReadingListView::scrollContentsBy(int dx, int /*dy: the rows have their own bar*/) {
    m_header->setOffset(horizontalScrollBar()->value());
    viewport()->scroll(dx, 0);
}

void ReadingListView::wheelEvent(QWheelEvent* event) {
    if (event->angleDelta().y() != 0) {
        QCoreApplication::sendEvent(m_rows, event);
    } else {
        QAbstractScrollArea::wheelEvent(event);
    }
}

void ReadingListView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up:
            m_rows->triggerAction(QAbstractSlider::SliderSingleStepSub);
            break;
        case Qt::Key_Down:
            m_rows->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            break;
        case Qt::Key_PageUp:
            m_rows->triggerAction(QAbstractSlider::SliderPageStepSub);
            break;
        case Qt::Key_PageDown:
            m_rows->triggerAction(QAbstractSlider::SliderPageStepAdd);
            break;
        case Qt::Key_Home:
            m_rows->triggerAction(QAbstractSlider::SliderToMinimum);
            break;
        case Qt::Key_End:
            m_rows->triggerAction(QAbstractSlider::SliderToMaximum);
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    event->accept();
}

void ReadingListView::mousePressEvent(QMouseEvent* event) {
    const int row = rowAt(event->position().toPoint().y());
    if (row >= 0) selectRow(row);
    QAbstractScrollArea::mousePressEvent(event);
}

void ReadingListView::mouseMoveEvent(QMouseEvent* event) {
    SetHover(rowAt(event->position().toPoint().y()));
    QAbstractScrollArea::mouseMoveEvent(event);
}

bool ReadingListView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave) SetHover(-1);
    if (event->type() == QEvent::ToolTip) {
        ShowToolTip(static_cast<QHelpEvent*>(event));
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void ReadingListView::ShowToolTip(QHelpEvent* event) {
    const int row = rowAt(event->pos().y());
    const int column = m_header->logicalIndexAt(event->pos().x());
    const QString tip = m_model && row >= 0 && column >= 0
                            ? m_model->data(m_model->index(row, column), Qt::ToolTipRole).toString()
                            : QString();
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return;
    }
    QToolTip::showText(
        event->globalPos(), tip, viewport(),
        QRect(0, (row - firstVisibleRow()) * m_rowHeight, viewport()->width(), m_rowHeight));
}

void ReadingListView::paintEvent(QPaintEvent* event) {
    if (!m_model) return;
    QPainter painter(viewport());
    const QRect area = event->rect();
    const int first = firstVisibleRow() + std::max(0, area.top()) / m_rowHeight;
    const int last =
        std::min(RowCount() - 1, firstVisibleRow() + std::max(0, area.bottom()) / m_rowHeight);
    const int columns = m_header->count();
    QStyleOptionViewItem option;
    option.initFrom(this);
    const QColor grid = QColor::fromRgba(
        static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
    const QPalette& colours = palette();
    const int right = m_header->length() - m_header->offset();

    for (int row = first; row <= last; ++row) {
        const int top = (row - firstVisibleRow()) * m_rowHeight;
        const QRect line(0, top, right, m_rowHeight);
        const bool marked = row == m_selected || row == m_hover;
        if (marked) painter.fillRect(line, colours.brush(QPalette::Highlight));
        painter.setPen(colours.color(marked ? QPalette::HighlightedText : QPalette::Text));
        for (int visual = 0; visual < columns; ++visual) {
            const int column = m_header->logicalIndex(visual);
            if (m_header->isSectionHidden(column)) continue;
            const QRect cell(m_header->sectionViewportPosition(column), top,
                             m_header->sectionSize(column), m_rowHeight);
            if (!cell.intersects(area)) continue;
            const QModelIndex index = m_model->index(row, column);
            const QVariant align = m_model->data(index, Qt::TextAlignmentRole);
            const int flags = align.isValid() ? align.toInt() : int(Qt::AlignCenter);
            painter.drawText(cell.adjusted(2, 0, -2, 0), flags | Qt::TextSingleLine,
                             m_model->data(index, Qt::DisplayRole).toString());
        }
    }
    // The grid: a line under each row and after each column, as far as there are rows.
    if (last >= first) {
        painter.setPen(grid);
        const int bottom = (last + 1 - firstVisibleRow()) * m_rowHeight - 1;
        for (int row = first; row <= last; ++row) {
            const int y = (row + 1 - firstVisibleRow()) * m_rowHeight - 1;
            painter.drawLine(0, y, right - 1, y);
        }
        for (int visual = 0; visual < columns; ++visual) {
            const int column = m_header->logicalIndex(visual);
            if (m_header->isSectionHidden(column)) continue;
            const int x =
                m_header->sectionViewportPosition(column) + m_header->sectionSize(column) - 1;
            painter.drawLine(x, std::max(0, area.top()), x, bottom);
        }
    }
}
