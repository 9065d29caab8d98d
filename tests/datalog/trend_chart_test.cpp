#include <gtest/gtest.h>

#include <QGuiApplication>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "datalog/trend_chart.h"

using namespace kvt;

namespace {

// Labels need the font database, which needs an application object. Its runtime folder is a
// private one, removed at the end, not one Qt would leave in /tmp.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        char runtime[] = "/tmp/kvt-chart-XXXXXX";
        if (::mkdtemp(runtime) != nullptr) {
            FRuntime = runtime;
            qputenv("XDG_RUNTIME_DIR", runtime);
        }
        static int argc = 1;
        static char name[] = "trend_chart_tests";
        static char* argv[] = {name, nullptr};
        FApp = new QGuiApplication(argc, argv);
    }
    void TearDown() override
    {
        delete FApp;
        if (!FRuntime.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(FRuntime, ec);
        }
    }

private:
    QGuiApplication* FApp = nullptr;
    std::string FRuntime;
};
[[maybe_unused]] auto* const Env = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

constexpr QRgb White = 0xFFFFFFFFu;
constexpr QRgb Black = 0xFF000000u;
const QRgb Gray = qRgb(128, 128, 128);
constexpr int W = 633;

QRgb At(const TTrendChart& c, int x, int y) { return c.Image().pixel(x, y); }

bool GridRow(int y) { return y == 4 || y == 34 || y == 64 || y == 94 || y == 124 || y == 154; }

bool AnyInk(const QImage& img, int x0, int x1, int y0, int y1)
{
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (img.pixel(x, y) != White)
                return true;
    return false;
}

} // namespace

TEST(TrendChart, DrawGraphAxisGridLabelsAndScale)
{
    TTrendChart c;
    EXPECT_EQ(c.Image().size(), QSize(633, 155));
    EXPECT_EQ(c.FullScale(), 0);
    ASSERT_TRUE(c.DrawGraph(0, 0));
    EXPECT_EQ(c.FullScale(), 22000);
    EXPECT_EQ(c.UnitLabel(), "uA");

    for (int y = 4; y <= 154; ++y)
        EXPECT_EQ(At(c, 50, y), Gray) << y;
    EXPECT_EQ(At(c, 50, 3), White);
    for (int y : {4, 34, 64, 94, 124, 154}) {
        EXPECT_EQ(At(c, 47, y), White) << y;
        EXPECT_EQ(At(c, 48, y), Gray) << y;
        EXPECT_EQ(At(c, W - 1, y), Gray) << y;
    }
    EXPECT_EQ(At(c, 300, 79), White);
    EXPECT_EQ(At(c, W - 1, 0), White);
    // Six labels at the left, top to bottom, each with ink in its own band.
    for (int y : {0, 30, 60, 90, 120, 142})
        EXPECT_TRUE(AnyInk(c.Image(), 0, 48, y, y + 8)) << y;
    EXPECT_FALSE(AnyInk(c.Image(), 51, W, 5, 34)); // plot area is blank between grid lines

    EXPECT_TRUE(c.DrawGraph(5, 0));
    EXPECT_EQ(c.FullScale(), 11000);
    EXPECT_EQ(c.UnitLabel(), "mV");
    EXPECT_TRUE(c.DrawGraph(15, 5));
    EXPECT_EQ(c.FullScale(), 600);
    EXPECT_EQ(c.UnitLabel(), "mV");
    EXPECT_TRUE(c.DrawGraph(8, 0));
    EXPECT_EQ(c.FullScale(), 100);
    EXPECT_EQ(c.UnitLabel(), "%");
}

TEST(TrendChart, KindNoneDrawsAxisAndGridOnlyAndKeepsScale)
{
    TTrendChart c;
    c.SetGrayText(QColor(10, 20, 30));
    ASSERT_TRUE(c.DrawGraph(TSignalKind::Percent));
    EXPECT_FALSE(c.DrawGraph(15, 9));
    EXPECT_EQ(c.FullScale(), 100);
    EXPECT_EQ(c.UnitLabel(), "%");
    EXPECT_EQ(At(c, 50, 100), qRgb(10, 20, 30));
    EXPECT_EQ(At(c, 48, 154), qRgb(10, 20, 30));
    EXPECT_FALSE(AnyInk(c.Image(), 0, 48, 0, 155));
}

TEST(TrendChart, NothingIsPlottedWhileFullScaleIsZero)
{
    TTrendChart c;
    EXPECT_FALSE(c.DrawGraph(TSignalKind::None));
    const QImage before = c.Image().copy();
    c.PlaceStart(50);
    for (int i = 0; i < 3; ++i)
        c.PlotStep(50);
    EXPECT_EQ(c.Image(), before);
}

TEST(TrendChart, ValueToRow)
{
    TTrendChart c;
    c.DrawGraph(TSignalKind::Current);
    EXPECT_EQ(c.YOf(0), 154);
    EXPECT_EQ(c.YOf(22000), 4);
    EXPECT_EQ(c.YOf(11000), 79);
    EXPECT_EQ(c.YOf(22000.0 * 154 / 150), 0);
    EXPECT_EQ(c.YOf(-22000), 304);
    // 154 - 110 / 22000 * 150 = 153.25; 154 - 220 * 150 / 22000 = 152.5 -> 152 (to even)
    EXPECT_EQ(c.YOf(110), 153);
    EXPECT_EQ(c.YOf(220), 152);
}

TEST(TrendChart, PlotRowsForZeroHalfAndFullScale)
{
    for (auto [value, row] : {std::pair{0, 154}, std::pair{50, 79}, std::pair{100, 4}}) {
        TTrendChart c;
        c.DrawGraph(TSignalKind::Percent);
        c.PlaceStart(value);
        EXPECT_EQ(c.PenX(), W - 5);
        EXPECT_EQ(c.PenY(), row);
        c.PlotStep(value);
        // The 4 px first segment (W-5 .. W-2) is now 5 px further left.
        for (int x = W - 10; x <= W - 7; ++x)
            EXPECT_EQ(At(c, x, row), Black) << value << " x " << x;
        EXPECT_NE(At(c, W - 11, row), Black);
        EXPECT_NE(At(c, W - 6, row), Black);
        EXPECT_EQ(c.PenX(), W - 6);
        EXPECT_EQ(c.PenY(), row);
    }
}

TEST(TrendChart, SegmentsChainAndThePlotAreaScrollsFivePixels)
{
    TTrendChart c;
    c.DrawGraph(TSignalKind::Percent);
    c.PlaceStart(50);
    c.PlotStep(50);
    c.PlotStep(50); // the second segment runs W-6 .. W-2: 5 px
    for (int x = W - 15; x <= W - 7; ++x)
        EXPECT_EQ(At(c, x, 79), Black) << x;
    EXPECT_NE(At(c, W - 16, 79), Black);
    EXPECT_NE(At(c, W - 6, 79), Black);

    // A sloped run, then one step compared with the picture before it.
    for (int i = 0; i < 40; ++i)
        c.PlotStep((i * 37) % 120 - 10);
    const QImage before = c.Image().copy();
    c.PlotStep(75);
    const QImage& after = c.Image();
    for (int y = 0; y < 155; ++y) {
        for (int x = 0; x < 55; ++x)
            ASSERT_EQ(after.pixel(x, y), before.pixel(x, y)) << x << "," << y;
        // Left of where the new segment lands, everything moved by exactly 5 px.
        for (int x = 55; x < W - 11; ++x)
            ASSERT_EQ(after.pixel(x, y), before.pixel(x + 5, y)) << x << "," << y;
        for (int x = W - 5; x < W; ++x)
            ASSERT_EQ(after.pixel(x, y), GridRow(y) ? Gray : White) << x << "," << y;
    }
    // The pen is where the new segment ended (y(75) = 41.5 -> 42); the next one starts there.
    EXPECT_EQ(c.PenX(), W - 6);
    EXPECT_EQ(c.PenY(), 42);
    c.PlotStep(75);
    for (int x = W - 11; x <= W - 7; ++x)
        EXPECT_EQ(At(c, x, 42), Black) << x;
}

TEST(TrendChart, ValuesFarOutsideTheScaleAreClipped)
{
    TTrendChart c;
    c.DrawGraph(TSignalKind::Percent);
    c.PlaceStart(50);
    c.PlotStep(INT_MAX); // a steep line up through the top edge
    for (int y = 0; y <= 79; ++y)
        EXPECT_EQ(At(c, W - 10, y), Black) << y;
    c.PlotStep(INT_MIN); // and down through the whole height, crossing it mid-segment
    for (int y = 0; y < 155; ++y) {
        bool ink = false;
        for (int x = W - 11; x < W - 6; ++x)
            ink = ink || At(c, x, y) == Black;
        EXPECT_TRUE(ink) << y;
    }
    const QImage before = c.Image().copy();
    c.PlotStep(-50); // from far below to below the bottom line: nothing inside the image
    EXPECT_EQ(c.PenY(), 229);
    for (int y = 0; y < 155; ++y)
        for (int x = W - 11; x < W - 6; ++x)
            ASSERT_NE(At(c, x, y), Black) << x << "," << y;
    EXPECT_EQ(c.Image().copy(0, 0, 55, 155), before.copy(0, 0, 55, 155));
}
