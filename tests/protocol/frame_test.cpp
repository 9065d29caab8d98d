#include "protocol/commands.h"
#include "protocol/crc16.h"
#include "protocol/frame.h"
#include "protocol/frame_text.h"
#include "protocol/word_names.h"

#include <gtest/gtest.h>

#include <string>

using namespace kvt;

namespace {

TFrame Hex(std::initializer_list<int> b)
{
    TFrame f{};
    int i = 0;
    for (int v : b)
        f[static_cast<std::size_t>(i++)] = static_cast<uint8_t>(v);
    return f;
}

uint16_t CrcOfText(const std::string& s)
{
    TCrc16 acc;
    for (char c : s)
        acc.Crc16(static_cast<uint8_t>(c));
    return acc.Value();
}

} // namespace

TEST(Crc16, PublishedCheckValues)
{
    EXPECT_EQ(CrcOfText("123456789"), 0xBB3D);
    EXPECT_EQ(static_cast<uint16_t>(~CrcOfText("123456789")), 0x44C2);
    EXPECT_EQ(CrcOfText("abc"), 0x9738);
    // Sent inverted, low byte first.
    const TFrame f = BuildFrame('a', 'b', 'c', 0, 0);
    TCrc16 acc;
    for (uint8_t b : std::initializer_list<uint8_t>{'a', 'b', 'c', 0, 0})
        acc.Crc16(b);
    EXPECT_EQ(f[5], static_cast<uint8_t>(~acc.Value()));
    const uint16_t abc = CrcOfText("abc");
    EXPECT_EQ(static_cast<uint8_t>(~abc & 0xFF), 0xC7);
    EXPECT_EQ(static_cast<uint8_t>(~abc >> 8), 0x68);
}

TEST(Crc16, MatchesBitwiseReflectedPolynomial)
{
    // The nibble-parity step against the textbook bit loop, for every byte and a spread of states.
    for (unsigned r = 0; r < 0x10000; r += 251) {
        for (unsigned b = 0; b < 256; ++b) {
            unsigned ref = (r ^ b) & 0xFFFF;
            for (int i = 0; i < 8; ++i)
                ref = (ref & 1) ? (ref >> 1) ^ 0xA001 : ref >> 1;
            ASSERT_EQ(Crc16Step(static_cast<uint16_t>(r), static_cast<uint8_t>(b)), ref) << r << " " << b;
        }
    }
}

TEST(Frame, WorkedFramesForStation17)
{
    EXPECT_EQ(BuildSendFrame(CmdIdentify, 17, 0), Hex({0xFF, 0x11, 0x00, 0x00, 0x00, 0xEE, 0xD7}));
    EXPECT_EQ(BuildSendFrame(CmdReadWord, 17, 4), Hex({0x19, 0x11, 0x00, 0x00, 0x04, 0xE6, 0xC2}));
    EXPECT_EQ(BuildSendEEFrame(CmdWriteWord, 17, 14, 8191), Hex({0x34, 0x11, 0x0E, 0x1F, 0xFF, 0x62, 0xB4}));
    EXPECT_EQ(BuildSendFrame(CmdOutputDrive, 17, 8191), Hex({0x2A, 0x11, 0x00, 0x1F, 0xFF, 0xAB, 0x75}));
    EXPECT_EQ(BuildSendFrame(CmdOutputRelease, 17, 0), Hex({0x29, 0x11, 0x00, 0x00, 0x00, 0xA7, 0x05}));
    EXPECT_EQ(BuildSendFrame(CmdMeasure, 17, MeasureOnly), Hex({0xE8, 0x11, 0x00, 0x00, 0x02, 0x1B, 0x15}));
    EXPECT_EQ(BuildFrame(CmdIdentify, 0, 0, 17, 10), Hex({0xFF, 0x00, 0x00, 0x11, 0x0A, 0x67, 0xBC}));
}

TEST(Frame, ParameterBytesAndEdges)
{
    // Five zero bytes leave the CRC at 0: both CRC bytes FF.
    const TFrame zero = BuildFrame(0, 0, 0, 0, 0);
    EXPECT_EQ(zero[5], 0xFF);
    EXPECT_EQ(zero[6], 0xFF);
    // 24-bit parameter, high byte first; bits above 23 are not sent.
    const TFrame big = BuildSendFrame(CmdReadWord, 1, 0x12345678);
    EXPECT_EQ(big[2], 0x34);
    EXPECT_EQ(big[3], 0x56);
    EXPECT_EQ(big[4], 0x78);
    EXPECT_EQ(FrameParameter(big), 0x345678u);
    EXPECT_EQ(BuildSendFrame(CmdReadWord, 1, 65536)[2], 0x01);
    EXPECT_TRUE(FrameCrcOk(big));
    // SendEE: address in byte 3, value in bytes 4-5.
    const TFrame ee = BuildSendEEFrame(CmdWriteWord, 9, 0xAB, 0xCDEF);
    EXPECT_EQ(ee[2], 0xAB);
    EXPECT_EQ(ee[3], 0xCD);
    EXPECT_EQ(ee[4], 0xEF);
    // The accumulator given to the build ends at the CRC of bytes 1-5.
    TCrc16 acc;
    const TFrame f = BuildFrame(acc, CmdIdentify, 17, 0, 0, 0);
    EXPECT_EQ(acc.Value(), Crc16Of(f.data(), 5));
}

TEST(Frame, ReplyCheck)
{
    const std::string good = FrameToString(Hex({0xFF, 0x00, 0x00, 0x11, 0x0A, 0x67, 0xBC}));
    EXPECT_TRUE(ReplyValid(good, CmdIdentify));
    // Byte 2 is data, never compared with the station address.
    EXPECT_TRUE(ReplyValid(FrameToString(BuildFrame(CmdIdentify, 0x55, 0, 17, 10)), CmdIdentify));

    std::string swapped = good;
    std::swap(swapped[5], swapped[6]);
    EXPECT_FALSE(ReplyValid(swapped, CmdIdentify));
    std::string flipped = good;
    flipped[4] = 0x0C;
    EXPECT_FALSE(ReplyValid(flipped, CmdIdentify));
    // A valid frame of another command, such as a late reply to an earlier request.
    EXPECT_FALSE(ReplyValid(FrameToString(BuildFrame(CmdReadVersion, 0, 0, 17, 10)), CmdIdentify));
    EXPECT_FALSE(ReplyValid(std::string(7, '\0'), 0));
    EXPECT_FALSE(ReplyValid("", CmdIdentify));
    EXPECT_FALSE(ReplyValid("\xFF", CmdIdentify));

    TCrc16 acc;
    ASSERT_TRUE(ReplyValid(acc, good, CmdIdentify));
    EXPECT_EQ(acc.Value(), 0x4398);  // ~BC67
}

TEST(Frame, ReplyFields)
{
    const TFrame v = BuildFrame(CmdReadVersion, 0x47, 0x88, 0x6C, 0x36);
    EXPECT_EQ(ReplyLong(v), 0x47886C36u);
    EXPECT_EQ(ReplyLong(FrameToString(v)), 0x47886C36u);
    EXPECT_EQ(ReplyWord(v), 0x6C36);
    EXPECT_EQ(ReplyWord(FrameToString(v)), 0x6C36);
    // Short input reads as zeros instead of running off the end.
    EXPECT_EQ(ReplyWord(std::string("\x19\x00", 2)), 0);
    EXPECT_EQ(FrameFromString("\x01\x02"), Hex({1, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(HexBytes(Hex({0xFF, 0x11, 0, 0, 0, 0xEE, 0xD7})), "FF 11 00 00 00 EE D7");
}

TEST(Frame, NamesAndDescriptions)
{
    EXPECT_EQ(CommandByName(CommandName(CmdReadWord)), CmdReadWord);
    EXPECT_EQ(WordAddressByName("calin20ma"), 132);
    EXPECT_EQ(WordAddressByName("CalIn20"), -1);

    EXPECT_EQ(DescribeRequest(BuildSendEEFrame(CmdWriteWord, 17, 14, 8191)),
        "write word 14 (OutZero) = 8191, station 17, crc ok");
    TFrame bad = BuildSendFrame(CmdReadWord, 17, 4);
    bad[6] ^= 1;
    EXPECT_EQ(DescribeRequest(bad), "read word 4 (InputMode), station 17, crc BAD");
    EXPECT_EQ(DescribeReply(BuildFrame(CmdIdentify, 0, 0, 17, 12), CmdIdentify),
        "identify reply: station echo 17, model 12 (KVT27L), crc ok");
    EXPECT_NE(DescribeReply(BuildFrame(CmdReadWord, 0, 0, 0, 3), CmdMeasure).find("WRONG"), std::string::npos);
}
