#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "chart/ChartCtrl.h"
#include "chart/ChartSerie.h"
#include "console/QtOperatorPrompts.h"
#include "console/WaitCursor.h"
#include "sim/SimMeter.h"
#include "tests/console/DialogFixture.h"

TEST(WindowBehaviour, ToggleExpandTwiceReturnsToTheCollapsedSize) {
    DialogFixture f;
    f.dlg->OnInitDialog();
    const QSize collapsed = f.dlg->size();
    QPushButton* expand = f.Find<QPushButton>("btnExpand_1063");

    expand->click();
    EXPECT_TRUE(f.dlg->m_bExpanded);
    EXPECT_EQ(expand->text(), QStringLiteral("︽"));
    EXPECT_GT(f.dlg->height(), collapsed.height());
    const QWidget* fitGraph = f.Find<QWidget>("grpFitGraph_1051");
    EXPECT_GE(f.dlg->height(), fitGraph->y() + fitGraph->height());

    expand->click();
    EXPECT_FALSE(f.dlg->m_bExpanded);
    EXPECT_EQ(expand->text(), QStringLiteral("︾"));
    EXPECT_EQ(f.dlg->size(), collapsed);
}

TEST(WindowBehaviour, EnterAndEscapeCloseTheWindowOutsideTheLimitFields) {
    struct Case {
        const char* field;
        Qt::Key key;
        bool closes;
        int result;
    };
    const Case cases[] = {
        // Enter in these four confirms a chart limit instead.
        {"edtYMax_1032", Qt::Key_Return, false, 0},
        {"edtYMin_1033", Qt::Key_Return, false, 0},
        {"edtYUpper_1035", Qt::Key_Return, false, 0},
        {"edtYLow_1036", Qt::Key_Return, false, 0},
        {"edtSN_1137", Qt::Key_Return, true, QDialog::Accepted},
        {"edtXMax_1034", Qt::Key_Return, true, QDialog::Accepted},
        {"edtSN_1137", Qt::Key_Escape, true, QDialog::Rejected},
    };
    // A window is opened afresh only after one has closed (each opening costs a port scan).
    std::unique_ptr<DialogFixture> f;
    for (const Case& c : cases) {
        if (!f || !f->dlg->isVisible()) {
            f = std::make_unique<DialogFixture>();
            f->dlg->OnInitDialog();
            f->dlg->show();
        }
        QLineEdit* field = f->Find<QLineEdit>(c.field);
        field->setEnabled(true);  // the limit fields as unchecking Auto(Y) leaves them
        field->setFocus();
        QTest::keyClick(field, c.key);
        EXPECT_EQ(f->dlg->isVisible(), !c.closes) << c.field;
        if (c.closes) {
            EXPECT_EQ(f->dlg->result(), c.result) << c.field;
        }
    }
}

TEST(WindowBehaviour, ClosingShutsTheBusPortAndItsThread) {
    DialogFixture f(BusMeter());
    ASSERT_TRUE(f.started) << f.startError;
    f.dlg->OnInitDialog();
    f.OpenBus();
    ASSERT_TRUE(f.dlg->Link().Bus().WatchThreadRunning());
    f.dlg->show();

    f.dlg->reject();
    EXPECT_FALSE(f.dlg->Link().BusPortOpen());
    EXPECT_FALSE(f.dlg->Link().Bus().WatchThreadRunning());
}

TEST(WindowBehaviour, F1ShowsTheAboutBox) {
    DialogFixture f;
    f.dlg->OnInitDialog();
    const QList<QAction*> actions = f.dlg->actions();
    ASSERT_FALSE(actions.isEmpty());
    EXPECT_EQ(actions.front()->text(), QStringLiteral("关于 QTM200Debug(&A)..."));
    EXPECT_EQ(actions.front()->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(f.dlg->contextMenuPolicy(), Qt::ActionsContextMenu);

    QString title;
    QTimer::singleShot(0, [&title] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            title = modal->windowTitle();
            QTest::keyClick(modal, Qt::Key_Return);
        }
    });
    actions.front()->trigger();
    EXPECT_EQ(title, QStringLiteral("关于 QTM200Debug"));
}

TEST(WindowBehaviour, ChartTickRollsThePowerInAndNeverBelowZero) {
    DialogFixture f;
    f.dlg->OnInitDialog();
    std::vector<double>& y = f.dlg->m_chart.LiveY;
    struct Case {
        float power;
        double charted;
    };
    const Case cases[] = {{12.5f, 12.5}, {-3.0f, 0.0}, {std::nanf(""), 0.0}, {7.0f, 7.0}};
    for (const Case& c : cases) {
        const double before = y[99];
        f.dlg->m_fPower = c.power;
        f.dlg->OnChartTick();
        EXPECT_EQ(y[98], before);
        EXPECT_EQ(y[99], c.charted) << c.power;
        EXPECT_GE(f.dlg->m_fPower, 0.0f);
    }
    // The chart holds one line of the 100 rolling points.
    ASSERT_EQ(f.dlg->LiveChart()->GetSeriesCount(), 1u);
    EXPECT_EQ(f.dlg->LiveChart()->GetSeries().begin()->second->GetPointsCount(), 100u);
}

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

}  // namespace

TEST(WindowBehaviour, ChartTickRepaintsTheChartAlone) {
    DialogFixture f;
    f.dlg->OnInitDialog();
    f.dlg->show();
    QApplication::processEvents();
    PaintCounter chart;
    PaintCounter reading;
    f.dlg->LiveChart()->installEventFilter(&chart);
    f.Find<QLabel>("lblPower_1002")->installEventFilter(&reading);

    for (int tick = 0; tick < 3; ++tick) {
        f.dlg->OnChartTick();
        QApplication::processEvents();
    }
    EXPECT_GE(chart.paints, 3);
    EXPECT_EQ(reading.paints, 0);
}

TEST(WindowBehaviour, ReadingFieldsTakeTheirFontsAndColours) {
    DialogFixture f;
    f.dlg->OnInitDialog();
    const char* kBlue = "rgb(0, 0, 255)";  // 0xFF0000 as the window writes colours
    const char* kRed = "rgb(255, 0, 0)";   // 0x0000FF
    struct Case {
        const char* control;
        int points;
        const char* colour;  // null: the default text colour
    };
    const Case cases[] = {
        {"lblPower_1002", 54, kBlue},     {"lblEnergy_1003", 54, kBlue},
        {"lblT_1012", 10, kBlue},         {"lblVol_1007", 10, kBlue},
        {"lblAD_1008", 10, kBlue},        {"lblP_1013", 16, kBlue},
        {"lblE_1014", 16, kBlue},         {"lblPowerUnit_1010", 16, kRed},
        {"lblEnergyUnit_1011", 16, kRed}, {"lblPTypes", 9, nullptr},
        {"lblFormula", 9, nullptr},       {"chkAutoY_1039", 9, nullptr},
        {"chkAutoYFit_1040", 9, nullptr},
    };
    for (const Case& c : cases) {
        const QWidget* w = f.Find<QWidget>(c.control);
        ASSERT_TRUE(w) << c.control;
        EXPECT_EQ(w->font().pointSize(), c.points) << c.control;
        if (c.colour) {
            EXPECT_TRUE(w->styleSheet().contains(QString::fromLatin1(c.colour))) << c.control;
        } else {
            EXPECT_TRUE(w->styleSheet().isEmpty()) << c.control;
        }
    }
    // The field labels and the storage counter keep the window's own font.
    for (const char* label :
         {"lblModel_1080", "lblSN_1081", "lblBand_1076", "lblRange_1077", "lblCal_1078",
          "lblAddr_1082", "lblSetAddr_1083", "lblStorage_1075"}) {
        EXPECT_EQ(f.Find<QLabel>(label)->font(), f.dlg->font()) << label;
    }
    // The live loop's blink turns the unit labels blue.
    f.dlg->m_bBlink = true;
    f.dlg->RefreshUnitColours();
    for (const char* unit : {"lblPowerUnit_1010", "lblEnergyUnit_1011"}) {
        EXPECT_TRUE(f.Find<QLabel>(unit)->styleSheet().contains(QString::fromLatin1(kBlue)))
            << unit;
    }
}

TEST(WindowBehaviour, MessageBoxesShowThePointerOverBusyWork) {
    QtOperatorPrompts prompts(nullptr);
    prompts.SetAutoDismiss(50);
    Qt::CursorShape shownWith = Qt::BlankCursor;
    QTimer::singleShot(0, [&shownWith] {
        const QCursor* cursor = QApplication::overrideCursor();
        shownWith = cursor ? cursor->shape() : Qt::ArrowCursor;
    });
    {
        WaitCursor busy;  // a failed port open reports from inside the busy work
        prompts.ShowMessage(QStringLiteral("Open the /dev/ttyUSB9 port failed!"));
        EXPECT_EQ(shownWith, Qt::ArrowCursor);
        ASSERT_TRUE(QApplication::overrideCursor());
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);  // back after OK
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(WindowBehaviour, PickingTheFamilyAlreadyChosenChangesNothing) {
    DialogFixture f;
    f.dlg->OnInitDialog();
    const QSize collapsed = f.dlg->size();
    f.Choose("cmbPType_1019", 0);
    EXPECT_FALSE(f.dlg->m_bExpanded);
    EXPECT_EQ(f.dlg->size(), collapsed);

    f.Choose("cmbPType_1019", 1);
    const QSize compact = f.dlg->size();
    f.Choose("cmbPType_1019", 1);
    EXPECT_EQ(f.dlg->size(), compact);
    EXPECT_FALSE(f.Find<QWidget>("edtInfo_1079")->isHidden());
}

namespace {

// The room a control needs to show its text whole: the size hint, except for push buttons,
// whose hint carries the style's 80-pixel minimum width rather than the text's.
QSize NeededForText(const QWidget* w) {
    if (const auto* button = qobject_cast<const QPushButton*>(w)) {
        const QStyle* style = button->style();
        const int frame = style->pixelMetric(QStyle::PM_ButtonMargin) +
                          2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth);
        return QSize(button->fontMetrics().horizontalAdvance(button->text()) + frame,
                     button->fontMetrics().height());
    }
    if (qobject_cast<const QLabel*>(w) || qobject_cast<const QCheckBox*>(w)) return w->sizeHint();
    if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
        if (!combo->isEditable()) return combo->sizeHint();  // its longest entry
    }
    return QSize();
}

// Checks every text control the window shows now; returns how many it checked.
int ExpectTextsWhole(const QDialog& dlg, const char* view) {
    QApplication::processEvents();  // the layouts settle
    int checked = 0;
    for (const QWidget* w : dlg.findChildren<QWidget*>()) {
        const QSize needed = NeededForText(w);
        if (!needed.isValid() || !w->isVisibleTo(&dlg)) continue;
        ++checked;
        EXPECT_GE(w->width(), needed.width()) << view << ": " << w->objectName().toStdString();
        // The large readings show digits only; their room is checked glyph by glyph below.
        if (w->objectName() == "lblPower_1002" || w->objectName() == "lblEnergy_1003") continue;
        EXPECT_GE(w->height(), needed.height()) << view << ": " << w->objectName().toStdString();
    }
    return checked;
}

}  // namespace

TEST(WindowBehaviour, EveryTextOfTheWindowShowsWhole) {
    DialogFixture f;
    f.dlg->OnInitDialog();
    f.dlg->ToggleExpand();
    f.dlg->show();
    EXPECT_GT(ExpectTextsWhole(*f.dlg, "full"), 70);
    f.Choose("cmbPType_1019", 1);  // "QTM300", the family's longest name
    EXPECT_GT(ExpectTextsWhole(*f.dlg, "compact"), 60);
}

TEST(WindowBehaviour, LongestReadingsAndUnitsShowWhole) {
    DialogFixture f;
    f.dlg->OnInitDialog();
    f.dlg->show();
    // About five significant digits with a sign, and the longest unit texts a meter can
    // bring (a PPFD power, a luminance energy).
    f.Find<QLabel>("lblPower_1002")->setText("-9999.99");
    f.Find<QLabel>("lblEnergy_1003")->setText("-9999.99");
    f.Find<QLabel>("lblPowerUnit_1010")->setText("umol/cm2/s");
    f.Find<QLabel>("lblEnergyUnit_1011")->setText("Mcd/m2.s");
    QApplication::processEvents();
    for (const char* name :
         {"lblPower_1002", "lblEnergy_1003", "lblPowerUnit_1010", "lblEnergyUnit_1011"}) {
        const QLabel* label = f.Find<QLabel>(name);
        const QFontMetrics metrics = label->fontMetrics();
        const QRect room = label->contentsRect();
        EXPECT_GE(room.width(), metrics.horizontalAdvance(label->text())) << name;
        // The text line is centred in the label; the glyphs themselves must lie inside it
        // (the large fields are shorter than a whole line with leading and descent).
        const int baseline = room.top() + (room.height() - metrics.height()) / 2 + metrics.ascent();
        const QRect ink = metrics.tightBoundingRect(label->text()).translated(0, baseline);
        EXPECT_GE(ink.top(), room.top()) << name;
        EXPECT_LE(ink.bottom(), room.bottom()) << name;
    }
}
