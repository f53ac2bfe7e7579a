#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "widgets/AboutDlg.h"
#include "widgets/TGroupBox.h"
#include "widgets/TipsDlg.h"

namespace {

// A palette whose three frame colours can be told apart pixel by pixel.
QPalette TestPalette() {
    QPalette pal;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Window, Qt::white);
        pal.setColor(group, QPalette::WindowText, QColor(0, 200, 0));
        pal.setColor(group, QPalette::Dark, QColor(200, 0, 0));
        pal.setColor(group, QPalette::Light, QColor(0, 0, 200));
    }
    return pal;
}

QImage Render(CTGroupBox& box) {
    QImage image(box.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    box.render(&image);
    return image;
}

int CountColour(const QImage& image, QRect area, QColor colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixelColor(x, y) == colour) ++n;
        }
    }
    return n;
}

std::unique_ptr<CTGroupBox> MakeBox(const QString& title, bool enabled) {
    auto box = std::make_unique<CTGroupBox>(title);
    box->setAlignment(Qt::AlignHCenter);
    box->setPalette(TestPalette());
    QFont font(QStringLiteral("DejaVu Sans"), 12);
    font.setStyleStrategy(QFont::NoAntialias);  // exact colours, so pixels can be counted
    box->setFont(font);
    box->resize(240, 120);
    box->setEnabled(enabled);
    return box;
}

// Ends the next modal dialog with a key press once it is shown.
void PressInNextModal(int key) {
    QTimer::singleShot(0, [key] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) QTest::keyClick(modal, static_cast<Qt::Key>(key));
    });
}

}  // namespace

TEST(TGroupBox, EmptyTitleLeavesAGapOfTwoSpaces) {
    auto box = MakeBox(QString(), true);
    const QImage image = Render(*box);
    const int frameY = box->fontMetrics().height() / 2;
    const int gap = box->fontMetrics().horizontalAdvance(QStringLiteral("  "));
    const int gapLeft = (240 - gap) / 2;
    EXPECT_EQ(image.pixelColor(5, frameY), QColor(200, 0, 0));  // frame line left of the gap
    EXPECT_EQ(image.pixelColor(235, frameY), QColor(200, 0, 0));
    for (int x = gapLeft + 1; x < gapLeft + gap - 1; ++x) {
        EXPECT_EQ(image.pixelColor(x, frameY), QColor(Qt::white)) << x;
    }
    EXPECT_EQ(image.pixelColor(0, 60), QColor(200, 0, 0));     // left edge
    EXPECT_EQ(image.pixelColor(1, 60), QColor(0, 0, 200));     // its highlight
    EXPECT_EQ(image.pixelColor(120, 119), QColor(200, 0, 0));  // bottom edge
}

TEST(TGroupBox, DisabledCaptionIsEmbossedEnabledCaptionUsesTextColour) {
    auto enabled = MakeBox(QStringLiteral("Control"), true);
    auto disabled = MakeBox(QStringLiteral("Control"), false);
    const QRect captionArea(60, 0, 120, enabled->fontMetrics().height());

    const QImage on = Render(*enabled);
    EXPECT_GT(CountColour(on, captionArea, QColor(0, 200, 0)), 20);

    const QImage off = Render(*disabled);
    EXPECT_EQ(CountColour(off, captionArea, QColor(0, 200, 0)), 0);
    EXPECT_GT(CountColour(off, captionArea, QColor(200, 0, 0)), 20);  // shadow copy
    EXPECT_GT(CountColour(off, captionArea, QColor(0, 0, 200)), 5);   // light copy peeking out
}

TEST(TipsDlg, ShowsTheZeroCalibrationQuestion) {
    CTipsDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Tips Information"));
    const auto labels = dlg.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.front()->text(),
              QStringLiteral("    -->You are performing a zero calibration operation. Are you sure "
                             "you want to perform this operation?<--"));
    auto* ok = dlg.findChild<QPushButton*>(QStringLiteral("btnOK_1"));
    auto* cancel = dlg.findChild<QPushButton*>(QStringLiteral("btnCancel_2"));
    ASSERT_TRUE(ok && cancel);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(ok->isDefault());
    // OK sits left of Cancel on one row, as in the template.
    EXPECT_LT(ok->geometry().right(), cancel->geometry().left());
    EXPECT_EQ(ok->y(), cancel->y());
}

TEST(TipsDlg, EnterConfirmsAndEscapeCancels) {
    CTipsDlg dlg;
    PressInNextModal(Qt::Key_Return);
    EXPECT_EQ(dlg.DoModal(), CTipsDlg::kIdOk);
    PressInNextModal(Qt::Key_Escape);
    EXPECT_EQ(dlg.DoModal(), CTipsDlg::kIdCancel);
}

TEST(AboutDlg, ShowsNameVersionAndOkButton) {
    CAboutDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("关于 QTM200Debug"));
    auto* version = dlg.findChild<QLabel*>(QStringLiteral("lblVersion"));
    ASSERT_TRUE(version);
    EXPECT_EQ(version->text(), QStringLiteral("QTM200Debug 1.0 版"));
    auto* ok = dlg.findChild<QPushButton*>(QStringLiteral("btnOK_1"));
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->text(), QStringLiteral("确定"));
    EXPECT_TRUE(ok->isDefault());
    PressInNextModal(Qt::Key_Return);
    EXPECT_EQ(dlg.DoModal(), QDialog::Accepted);
}
