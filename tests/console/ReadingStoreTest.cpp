#include "console/ReadingStore.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QScrollBar>

#include "console/ReadingListView.h"

namespace {

QStringList RowTexts(const QAbstractItemModel& model, int row) {
    QStringList texts;
    for (int column = 0; column < model.columnCount(); ++column)
        texts << model.data(model.index(row, column)).toString();
    return texts;
}

TEST(ReadingStoreTest, RowsFollowTheRecordsTheyList) {
    ReadingStore store(10);
    EXPECT_TRUE(store.AppendLive(1.5f, 5.5, 1234.5f));
    EXPECT_TRUE(store.AppendUnlisted(7.0f));  // a bus pass: a record, no row
    EXPECT_TRUE(store.AppendLive(2.0f, 123456.78, 0.5f));

    EXPECT_EQ(store.Count(), 3u);
    EXPECT_EQ(store[1].number, 2);
    EXPECT_FLOAT_EQ(store[1].power, 7.0f);
    EXPECT_EQ(store[1].energy, 0.0);
    const ReadingListModel& model = store.Model();
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(RowTexts(model, 0), QStringList({"1", "1.5000", "5.5000", "1234.5"}));
    // The second row lists the third record, numbered as the buffer numbers it.
    EXPECT_EQ(RowTexts(model, 1), QStringList({"3", "2", "123456.8", "0.5"}));
    EXPECT_EQ(model.data(model.index(1, 2), Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
}

TEST(ReadingStoreTest, ClearStartsTheNumberingAgainAndAnImportListsZeros) {
    ReadingStore store(10);
    store.AppendLive(1.0f, 1.0, 1.0f);
    store.AppendLive(2.0f, 2.0, 2.0f);
    store.Clear();
    EXPECT_TRUE(store.Empty());
    EXPECT_EQ(store.Model().rowCount(), 0);

    store.AppendImported(12.5f);
    ASSERT_EQ(store.Model().rowCount(), 1);
    EXPECT_EQ(RowTexts(store.Model(), 0), QStringList({"1", "12.500", "0", "0"}));
}

TEST(ReadingStoreTest, AFullStoreRefusesWithoutAddingARow) {
    ReadingStore store(2);
    EXPECT_TRUE(store.AppendLive(1.0f, 0.0, 0.0f));
    EXPECT_TRUE(store.AppendImported(2.0f));
    EXPECT_FALSE(store.AppendLive(3.0f, 0.0, 0.0f));
    EXPECT_FALSE(store.AppendUnlisted(3.0f));
    EXPECT_FALSE(store.AppendImported(3.0f));
    EXPECT_EQ(store.Count(), 2u);
    EXPECT_EQ(store.Model().rowCount(), 2);
}

TEST(ReadingStoreTest, HeadersFollowTheModelAndTheViewFollowsTheNewestRow) {
    ReadingStore store(1000);
    ReadingListView view;
    view.resize(300, 120);
    store.AttachView(&view);
    const QAbstractItemModel* model = view.model();
    ASSERT_EQ(model, &store.Model());
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Lux(lx)"));
    store.SetModelName(QStringLiteral("qtx-210uva"));
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("UV(uW/cm²)"));
    EXPECT_EQ(view.columnWidth(0), 60);
    EXPECT_EQ(view.columnWidth(2), 150);

    view.show();
    for (int i = 0; i < 200; ++i)
        store.AppendLive(static_cast<float>(i), 0.0, 0.0f);
    QScrollBar* bar = view.rowScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
}

}  // namespace
