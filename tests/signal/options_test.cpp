#include <gtest/gtest.h>

#include <climits>

#include "signal/model_options.h"
#include "signal/output_code.h"

using namespace kvt;

TEST(OutputCode, ClampTextAndBar)
{
    EXPECT_EQ(ClampCode(CodeFromFieldText("20000"), 16383), 16383);
    EXPECT_EQ(ClampCode(CodeFromFieldText("20000"), 8191), 8191);
    EXPECT_EQ(ClampCode(-5, 16383), 0);
    EXPECT_EQ(ClampCode(4100, 16383), 4100);
    EXPECT_EQ(BarPosition(16383, 82), 199);
    EXPECT_EQ(BarPosition(8191, 41), 199);
    EXPECT_EQ(BarPosition(8190, 82), 99);
    EXPECT_EQ(BarPosition(81, 82), 0);
    EXPECT_EQ(BarPosition(100, 0), 0);

    EXPECT_EQ(CodeFromFieldText(" 4100 "), 4100);
    EXPECT_EQ(CodeFromFieldText("-3"), -3);
    for (const char* notWhole : {"", " ", "12a", "1.5", "1,5", "-", "+", "1 2"})
        EXPECT_EQ(CodeFromFieldText(notWhole), 0) << notWhole;
    EXPECT_EQ(CodeFromFieldText("99999999999999999999"), INT_MAX);
    EXPECT_EQ(CodeFromFieldText("-99999999999999999999"), INT_MIN);
    EXPECT_EQ(ClampCode(CodeFromFieldText("99999999999999999999"), 8191), 8191);
}

TEST(ModelOptions, LimitsAndDivisorsPutTheHighestCodeAtTheLastBarPosition)
{
    for (int model : {10, 12}) {
        const TModelOptions* o = ModelOptions(model);
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(BarPosition(o->OutCodeMax, o->BarDivisor), 199) << model;
    }
    EXPECT_EQ(ModelOptions(10)->OutCodeMax, 16383);
    EXPECT_EQ(ModelOptions(12)->OutCodeMax, 8191);
    EXPECT_FALSE(ModelOptions(12)->FilterVisible);
    EXPECT_FALSE(ModelOptions(12)->MillivoltInputVisible || ModelOptions(12)->NumMillivoltVisible);
    EXPECT_EQ(ModelOptions(0), nullptr);
    EXPECT_EQ(ModelOptions(11), nullptr);
}

TEST(ModelOptions, SignalLimitGroupAndReactionButtons)
{
    EXPECT_FALSE(SignalLimitVisible(10, 1100000000));
    EXPECT_TRUE(SignalLimitVisible(10, 1100000001));
    EXPECT_TRUE(SignalLimitVisible(12, 0));
    EXPECT_FALSE(SignalLimitVisible(0, 2000000000));

    auto all = ReactionEnabled(0);
    EXPECT_TRUE(all.NoReaction && all.ZeroDrop && all.MaxRise && all.Drop35mA);
    for (int config : {3, 4}) {
        auto e = ReactionEnabled(config);
        EXPECT_TRUE(e.NoReaction && e.ZeroDrop && e.MaxRise);
        EXPECT_FALSE(e.Drop35mA);
    }
    for (int config : {1, 2, 5, 10, 15}) {
        auto e = ReactionEnabled(config);
        EXPECT_TRUE(e.NoReaction);
        EXPECT_FALSE(e.ZeroDrop || e.MaxRise || e.Drop35mA);
    }
    EXPECT_TRUE(Drop35mAAllowed(0));
    EXPECT_FALSE(Drop35mAAllowed(3));
}
