#include "protocol/commands.h"
#include "protocol/device_settings.h"
#include "tools/sim/assembler.h"
#include "tools/sim/converter.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kvt;
using namespace kvt::sim;

namespace {

std::optional<TFrame> Ask(TConverter& c, uint8_t Command, uint32_t Parameter, double Seconds = 0)
{
    return c.Handle(BuildSendFrame(Command, 17, Parameter), Seconds);
}

} // namespace

TEST(SimConverter, IdentificationReplies)
{
    TConverterConfig cfg;
    cfg.Model = ModelKVT27L;
    cfg.FirmwareVersion = -5;
    cfg.TemperatureRaw = 10125155;
    cfg.ConfigType = 3;
    TConverter c(cfg);

    auto r = c.Handle(BuildSendFrame(CmdIdentify, 99, 0), 0);
    ASSERT_TRUE(r);
    EXPECT_TRUE(FrameCrcOk(*r));
    EXPECT_EQ((*r)[0], CmdIdentify);
    EXPECT_EQ((*r)[3], 99);
    EXPECT_EQ((*r)[4], ModelKVT27L);
    r = Ask(c, CmdReadVersion, 0);
    ASSERT_TRUE(r);
    EXPECT_EQ(static_cast<int32_t>(ReplyLong(*r)), -5);
    r = Ask(c, CmdReadTemperature, 0);
    EXPECT_EQ(ReplyLong(*r), 10125155u);
    r = Ask(c, CmdReadConfig, 0);
    EXPECT_EQ(ReplyWord(*r), 3);
    // The worked reply: echo 17, model 10.
    TConverter k27;
    EXPECT_EQ(HexBytes(*Ask(k27, CmdIdentify, 0)), "FF 00 00 11 0A 67 BC");
}

TEST(SimConverter, WordsAndOutput)
{
    TConverter c;
    const TWords d = DefaultWords(ModelKVT27);
    EXPECT_EQ(ReplyWord(*Ask(c, CmdReadWord, WordCalIn0mA)), 32000);
    EXPECT_EQ(ReplyWord(*Ask(c, CmdReadWord, WordCalOut20mA)), 16100);
    EXPECT_EQ(ReplyWord(*Ask(c, CmdReadWord, WordInZero)), d[WordInZero]);
    EXPECT_EQ(ReplyWord(*Ask(c, CmdReadWord, 77)), 0);

    auto w = c.Handle(BuildSendEEFrame(CmdWriteWord, 17, 77, 0xFFFF), 0);
    ASSERT_TRUE(w);
    EXPECT_EQ((*w)[0], CmdWriteWord);
    EXPECT_EQ(c.Word(77), 0xFFFF);
    EXPECT_EQ(ReplyWord(*Ask(c, CmdReadWord, 77)), 0xFFFF);

    EXPECT_FALSE(Ask(c, CmdOutputDrive, 16383));
    EXPECT_EQ(c.Output().Code, 16383u);
    EXPECT_FALSE(c.Output().Released);
    EXPECT_FALSE(Ask(c, CmdOutputRelease, 0));
    EXPECT_TRUE(c.Output().Released);
    EXPECT_EQ(c.Output().Code, 16383u);
    EXPECT_EQ(c.Output().Drives, 1u);
    EXPECT_FALSE(Ask(c, 0x77, 0));  // unknown command: no reply

    // KVT27L calibration fits 13 bits.
    const TWords l = DefaultWords(ModelKVT27L);
    EXPECT_LE(l[WordCalOut20mA], 8191);
    EXPECT_LE(l[WordOutEnd], 8191);
}

TEST(SimConverter, MeasuringAndSignals)
{
    TConverter c;
    // 12 mA with CalIn0mA 32000 and CalIn20mA 62000.
    EXPECT_EQ(ReplyWord(*Ask(c, CmdMeasure, MeasureOnly)), 50000);
    EXPECT_EQ(c.Word(WordInZero), DefaultWords(ModelKVT27)[WordInZero]);

    c.Config().Signal = {.Shape = TSignalShape::Constant, .Unit = TSignalUnit::MilliAmpere, .Value = 4};
    EXPECT_EQ(ReplyWord(*Ask(c, CmdMeasure, MeasureStoreZero)), 38000);
    EXPECT_EQ(c.Word(WordInZero), 38000);
    c.Config().Signal.Value = 20;
    Ask(c, CmdMeasure, MeasureStoreEnd);
    EXPECT_EQ(c.Word(WordInEnd), 62000);

    c.Config().Signal = {.Unit = TSignalUnit::Volt, .Value = 5};
    EXPECT_EQ(c.Reading(0), 46000);
    c.Config().Signal = {.Unit = TSignalUnit::MilliVolt, .Value = 0};
    EXPECT_EQ(c.Reading(0), 32768);  // 32767.5, half to even
    c.Config().Signal = {.Unit = TSignalUnit::Percent, .Value = 25.5};
    EXPECT_EQ(c.Reading(0), 2550);
    // Clamped to the 16-bit range.
    c.Config().Signal = {.Unit = TSignalUnit::MilliAmpere, .Value = 30};
    EXPECT_EQ(c.Reading(0), 65535);
    c.Config().Signal = {.Unit = TSignalUnit::Raw, .Value = -3};
    EXPECT_EQ(c.Reading(0), 0);

    c.Config().Signal = {.Shape = TSignalShape::Ramp, .Unit = TSignalUnit::Raw, .Low = 1000, .High = 2000, .PeriodS = 10};
    EXPECT_EQ(c.Reading(0), 1000);
    EXPECT_EQ(c.Reading(5), 1500);
    EXPECT_EQ(c.Reading(12.5), 1250);

    c.Config().Signal = {.Shape = TSignalShape::Noise, .Unit = TSignalUnit::Raw, .Value = 30000, .Amplitude = 100};
    bool varied = false;
    const uint16_t first = c.Reading(0);
    for (int i = 0; i < 200; ++i) {
        const uint16_t v = c.Reading(i);
        EXPECT_GE(v, 29900);
        EXPECT_LE(v, 30100);
        varied = varied || v != first;
    }
    EXPECT_TRUE(varied);

    c.Config().Signal = {.Shape = TSignalShape::Sine, .Unit = TSignalUnit::Raw, .Value = 30000, .Amplitude = 1000, .PeriodS = 4};
    EXPECT_EQ(c.Reading(1), 31000);
    EXPECT_EQ(c.Reading(3), 29000);
}

TEST(SimAssembler, PiecesGarbageAndBadFrames)
{
    TFrameAssembler a;
    TFrame f;
    const TFrame one = BuildSendFrame(CmdIdentify, 17, 0);
    const TFrame two = BuildSendFrame(CmdReadWord, 17, 4);

    a.Feed(one.data(), 3);
    EXPECT_FALSE(a.Next(f));
    a.Feed(one.data() + 3, 4);
    ASSERT_TRUE(a.Next(f));
    EXPECT_EQ(f, one);
    EXPECT_TRUE(a.TakeSkipped().empty());

    // Garbage in front of two frames fed at once.
    std::vector<uint8_t> stream = {0x00, 0x0A, 0xFF, 0x11};
    stream.insert(stream.end(), one.begin(), one.end());
    stream.insert(stream.end(), two.begin(), two.end());
    a.Feed(stream.data(), stream.size());
    ASSERT_TRUE(a.Next(f));
    EXPECT_EQ(f, one);
    ASSERT_TRUE(a.Next(f));
    EXPECT_EQ(f, two);
    EXPECT_FALSE(a.Next(f));
    EXPECT_EQ(a.TakeSkipped(), (std::vector<uint8_t>{0x00, 0x0A, 0xFF, 0x11}));

    EXPECT_TRUE(a.TakeBadFrames().empty());

    // A request with a wrong CRC is dropped, reported whole; the good one behind it is found,
    // also when it comes later.
    TFrame bad = two;
    bad[6] ^= 0x40;
    a.Feed(bad.data(), bad.size());
    EXPECT_FALSE(a.Next(f));
    a.Feed(one.data(), one.size());
    ASSERT_TRUE(a.Next(f));
    EXPECT_EQ(f, one);
    EXPECT_TRUE(a.TakeSkipped().empty());
    EXPECT_EQ(a.TakeBadFrames(), std::vector<TFrame>{bad});
    EXPECT_EQ(a.Dropped(), 11u);
    EXPECT_EQ(a.Pending(), 0u);
}
