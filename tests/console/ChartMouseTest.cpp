// The charts in the real window own their right button: a right drag pans a chart even though
// the window has a context menu, and a pan or zoom ends when the chart loses the mouse.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <utility>

#include "chart/ChartAxis.h"
#include "chart/ChartCtrl.h"
#include "tests/console/DialogFixture.h"

namespace {

std::pair<double, double> Range(const CChartAxis* axis) {
    return {axis->GetMin(), axis->GetMax()};
}

// Closes any pop-up menu that opens while a test runs (a menu would hold the mouse and wait),
// and remembers that one opened.
class PopupWatch {
public:
    PopupWatch() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                m_seen = true;
                popup->close();
            }
        });
        m_timer.start(20);
    }
    bool Seen() const { return m_seen; }

private:
    QTimer m_timer;
    bool m_seen = false;
};

// A shown window without a meter, its live chart laid out and drawn.
struct ShownWindow {
    DialogFixture f;
    CChartCtrl* chart = nullptr;

    ShownWindow() {
        f.dlg->OnInitDialog();
        f.dlg->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(f.dlg.get()));
        chart = f.dlg->LiveChart();
        chart->RefreshCtrl();
    }

    // Presses, moves and releases reach the window as the system's do, so the window's
    // context menu gets its chance at a right press. Points are in chart coordinates.
    QPoint InWindow(QWidget* widget, QPoint p) const { return widget->mapTo(f.dlg.get(), p); }
    void Press(Qt::MouseButton button, QPoint at, QWidget* widget = nullptr) {
        QTest::mousePress(f.dlg->windowHandle(), button, Qt::NoModifier,
                          InWindow(widget ? widget : chart, at));
    }
    void Release(Qt::MouseButton button, QPoint at, QWidget* widget = nullptr) {
        QTest::mouseRelease(f.dlg->windowHandle(), button, Qt::NoModifier,
                            InWindow(widget ? widget : chart, at));
    }
    void Drag(QPoint to) { QTest::mouseMove(f.dlg->windowHandle(), InWindow(chart, to)); }

    // A move as the chart sees it, with the buttons it reports held.
    void Move(QPoint to, Qt::MouseButtons held) {
        QMouseEvent move(QEvent::MouseMove, to, chart->mapToGlobal(to), Qt::NoButton, held,
                         Qt::NoModifier);
        QApplication::sendEvent(chart, &move);
    }
};

}  // namespace

TEST(ChartMouse, RightDragPansTheChartAndALaterLeftDragOnlyZooms) {
    ShownWindow w;
    PopupWatch popups;
    CChartAxis* bottom = w.chart->GetBottomAxis();
    const auto before = Range(bottom);
    const QPoint middle = w.chart->rect().center();

    w.Press(Qt::RightButton, middle);
    w.Drag(middle - QPoint(40, 0));
    w.Release(Qt::RightButton, middle - QPoint(40, 0));
    EXPECT_FALSE(popups.Seen());
    const auto panned = Range(bottom);
    EXPECT_GT(panned.first, before.first);  // dragged left: later values come into view
    EXPECT_DOUBLE_EQ(panned.second - panned.first, before.second - before.first);

    // A left drag now selects exactly the values under its ends.
    const QPoint from = middle - QPoint(30, 20);
    const QPoint to = middle + QPoint(30, 20);
    const double low = bottom->ScreenToValue(from.x());
    const double high = bottom->ScreenToValue(to.x());
    w.Press(Qt::LeftButton, from);
    w.Drag(middle);
    w.Drag(to);
    w.Release(Qt::LeftButton, to);
    EXPECT_DOUBLE_EQ(bottom->GetMin(), low);
    EXPECT_DOUBLE_EQ(bottom->GetMax(), high);
}

TEST(ChartMouse, TheAboutMenuStaysAvailableOutsideTheCharts) {
    ShownWindow w;
    PopupWatch popups;
    QWidget* group = w.f.Find<QWidget>("grpSerial_1042");
    ASSERT_NE(group, nullptr);
    w.Press(Qt::RightButton, QPoint(5, 5), group);
    w.Release(Qt::RightButton, QPoint(5, 5), group);
    EXPECT_TRUE(popups.Seen());
}

TEST(ChartMouse, ADragEndsWhenTheChartLosesTheMouse) {
    // Each way a chart can lose the mouse in the middle of a drag; the drag must not go on
    // with the next moves, whatever buttons they report.
    struct Case {
        const char* how;
        void (*lose)(CChartCtrl*);
    };
    const Case cases[] = {
        {"mouse grab lost",
         [](CChartCtrl* c) {
             QEvent e(QEvent::UngrabMouse);
             QApplication::sendEvent(c, &e);
         }},
        {"window deactivated",
         [](CChartCtrl* c) {
             QEvent e(QEvent::WindowDeactivate);
             QApplication::sendEvent(c, &e);
         }},
        {"focus lost",
         [](CChartCtrl* c) {
             QFocusEvent e(QEvent::FocusOut, Qt::PopupFocusReason);
             QApplication::sendEvent(c, &e);
         }},
        {"hidden",
         [](CChartCtrl* c) {
             c->hide();
             c->show();
         }},
    };
    ShownWindow w;
    PopupWatch popups;
    CChartAxis* bottom = w.chart->GetBottomAxis();
    const QPoint middle = w.chart->rect().center();
    for (const Case& c : cases) {
        for (Qt::MouseButton button : {Qt::RightButton, Qt::LeftButton}) {
            bottom->SetMinMax(0, 100);
            w.Press(button, middle);
            c.lose(w.chart);
            w.Move(middle - QPoint(40, 10), button);
            w.Release(button, middle + QPoint(40, 30));
            EXPECT_EQ(Range(bottom), std::make_pair(0.0, 100.0)) << c.how << ", button " << button;
        }
    }
}

TEST(ChartMouse, AMoveWithoutTheButtonEndsThePan) {
    // The release went elsewhere (to a menu, another window): the next move shows no button.
    ShownWindow w;
    PopupWatch popups;
    CChartAxis* bottom = w.chart->GetBottomAxis();
    const QPoint middle = w.chart->rect().center();
    w.Press(Qt::RightButton, middle);
    w.Move(middle - QPoint(10, 0), Qt::NoButton);
    const auto before = Range(bottom);
    w.Move(middle - QPoint(50, 0), Qt::NoButton);
    EXPECT_EQ(Range(bottom), before);
}
