#include "protocol/identity.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kvt;

TEST(Identity, FirmwareVersionText)
{
    EXPECT_EQ(FirmwareVersionText(1200160822), "1.200/160822");
    EXPECT_EQ(FirmwareVersionText(1100000000), "1.100/000000");
    EXPECT_EQ(FirmwareVersionText(0), "0");
    EXPECT_EQ(FirmwareVersionText(7), "7");
    EXPECT_EQ(FirmwareVersionText(12), "1.2");
    EXPECT_EQ(FirmwareVersionText(1234), "1.234");
    EXPECT_EQ(FirmwareVersionText(12345), "1.234/5");
    // 2147483648 and above arrive as negative numbers.
    EXPECT_EQ(FirmwareVersionText(-1200160822), "-1.200/160822");
    EXPECT_EQ(FirmwareVersionText(-5), "-5");
    EXPECT_EQ(FirmwareVersionText(std::numeric_limits<int32_t>::min()), "-2.147/483648");
}

TEST(Identity, Temperature)
{
    EXPECT_EQ(TemperatureCelsius(8388608), -273);
    // About 5827 counts per degree.
    EXPECT_EQ(TemperatureCelsius(8388608 + 5827), -272);
    EXPECT_EQ(TemperatureCelsius(8388608 + 2913), -273);  // -272.5001
    EXPECT_EQ(TemperatureCelsius(8388608 + 2914), -272);  // -272.4999
    EXPECT_EQ(TemperatureCelsius(TemperatureRaw(25)), 25);
    EXPECT_EQ(TemperatureCelsius(TemperatureRaw(-40)), -40);
    // Extreme raw values stay finite integers.
    EXPECT_GT(TemperatureCelsius(std::numeric_limits<int32_t>::max()), 300000);
    EXPECT_LT(TemperatureCelsius(std::numeric_limits<int32_t>::min()), -300000);
}

TEST(Identity, ModelName)
{
    EXPECT_EQ(ModelName(10), "KVT27");
    EXPECT_EQ(ModelName(12), "KVT27L");
    EXPECT_EQ(ModelName(11), "");
}
