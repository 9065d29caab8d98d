#include <gtest/gtest.h>

#include "datalog/log_table.h"
#include "datalog/sample_text.h"

using namespace kvt;

TEST(LogTable, RowCountNeverBelowOneAndRowZeroSurvivesStart)
{
    TLogTable t;
    EXPECT_EQ(t.RowCount(), 1u);
    EXPECT_EQ(t.Cell(0), "");
    t.SetCell(0, "5 sec");
    t.Append("4012");
    t.Append("4015");
    t.SetCurrentRow(2);
    EXPECT_EQ(t.RowCount(), 3u);
    EXPECT_EQ(t.SampleCount(), 2u);
    EXPECT_EQ(t.Cell(2), "4015");
    EXPECT_EQ(t.Cell(3), "");

    // Start: period text first, then current row 0 and row count 0, which leaves row 0.
    t.SetCell(0, "1 min");
    t.SetCurrentRow(0);
    t.SetRowCount(0);
    EXPECT_EQ(t.RowCount(), 1u);
    EXPECT_EQ(t.CurrentRow(), 0u);
    EXPECT_EQ(t.Cell(0), "1 min");
    EXPECT_EQ(t.Cell(1), "");
    t.Append("7");
    EXPECT_EQ(t.Cell(1), "7"); // no trace of the old samples
}

TEST(LogTable, GrowShrinkAndRewrite)
{
    TLogTable t;
    for (int i = 1; i <= 5; ++i)
        t.Append(std::to_string(i * 11));
    t.SetRowCount(8);
    EXPECT_EQ(t.RowCount(), 8u);
    EXPECT_EQ(t.Cell(5), "55");
    EXPECT_EQ(t.Cell(6), "");
    t.SetCell(7, "last");
    t.Append("after");
    EXPECT_EQ(t.Cell(7), "last");
    EXPECT_EQ(t.Cell(8), "after");

    t.SetCell(2, "a much longer text"); // a middle row moves the ones after it
    EXPECT_EQ(t.Cell(1), "11");
    EXPECT_EQ(t.Cell(2), "a much longer text");
    EXPECT_EQ(t.Cell(3), "33");
    EXPECT_EQ(t.Cell(8), "after");
    t.SetCell(2, "");
    EXPECT_EQ(t.Cell(2), "");
    EXPECT_EQ(t.Cell(3), "33");

    t.SetCurrentRow(8);
    t.SetRowCount(3);
    EXPECT_EQ(t.CurrentRow(), 2u);
    EXPECT_EQ(t.Cell(3), "");
    t.SetCell(12, "far"); // beyond the table: grows, nothing lost
    EXPECT_EQ(t.RowCount(), 13u);
    EXPECT_EQ(t.Cell(12), "far");
    EXPECT_EQ(t.Cell(2), "");
    t.SetCurrentRow(100);
    EXPECT_EQ(t.CurrentRow(), 12u);
}

TEST(LogTable, MillionRowsStayCompact)
{
    TLogTable t;
    t.SetCell(0, "1 sec");
    for (int i = 0; i < 1000000; ++i)
        t.Append(std::to_string(i % 20001));
    EXPECT_EQ(t.RowCount(), 1000001u);
    EXPECT_EQ(t.Cell(1000000), std::to_string(999999 % 20001));
    // A few bytes of text plus one offset per row (with growth slack), not a string object each.
    EXPECT_LT(t.MemoryBytes(), 40u * 1000000u);
}

TEST(SampleDisplay, MillivoltTextAndChartValue)
{
    auto s = SampleDisplay(15, 5, 350, ",");
    EXPECT_EQ(s.Text, "3,5");
    EXPECT_EQ(s.ChartValue, 3);
    s = SampleDisplay(15, 5, -350, ",");
    EXPECT_EQ(s.Text, "-3,5");
    EXPECT_EQ(s.ChartValue, -3);
    s = SampleDisplay(15, 5, 300, ",");
    EXPECT_EQ(s.Text, "3");
    EXPECT_EQ(s.ChartValue, 3);
    EXPECT_EQ(SampleDisplay(15, 5, -58500, ".").Text, "-585");
    EXPECT_EQ(SampleDisplay(15, 5, 12345, ".").Text, "123.5");
    // Other kinds: the whole number, plotted as it is.
    s = SampleDisplay(0, 5, 12345, ",");
    EXPECT_EQ(s.Text, "12345");
    EXPECT_EQ(s.ChartValue, 12345);
    s = SampleDisplay(15, 4, -250, ",");
    EXPECT_EQ(s.Text, "-250");
    EXPECT_EQ(s.ChartValue, -250);
}
