#include "stream/ErrorCode.h"
#include "stream/LStream.h"

#include <gtest/gtest.h>

#include <string>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const std::string kEnter = "Enter LStream::SetMarker\n";
const std::string kLeave = "Leave LStream::SetMarker\n";
const std::string kLength10 = "Enter/Leave LStream::GetLength; mLength=10\n";

// A base stream of length 10 with its marker at `marker`, made without printing.
struct Stream10 : LStream {
    explicit Stream10(std::int32_t marker = 0) {
        mLength = 10;
        mMarker = marker;
    }
};

std::string SetMarkerTrace(LStream& stream, std::int32_t offset, std::int32_t origin) {
    CaptureStdout();
    stream.SetMarker(offset, origin);
    return GetCapturedStdout();
}

} // namespace

TEST(LStream, SetMarkerClampsAndTracesEveryLengthQuery) {
    Stream10 s;
    EXPECT_EQ(SetMarkerTrace(s, -5, 0), kEnter + kLength10 + "newMarker=-5, GetLength()=10\n" + kLeave)
        << "a negative marker needs no bound test";
    EXPECT_EQ(s.GetMarker(), 0);

    EXPECT_EQ(SetMarkerTrace(s, 12, 0),
              kEnter + kLength10 + "newMarker=12, GetLength()=10\n" + kLength10 + kLength10 + kLeave);
    EXPECT_EQ(s.GetMarker(), 10);

    EXPECT_EQ(SetMarkerTrace(s, 3, 2),
              kEnter + kLength10 + kLength10 + "newMarker=7, GetLength()=10\n" + kLength10 + kLeave)
        << "origin 2 counts backwards from the end";
    EXPECT_EQ(s.GetMarker(), 7);

    SetMarkerTrace(s, 4, 1);
    EXPECT_EQ(s.GetMarker(), 10);
    EXPECT_EQ(SetMarkerTrace(s, 4, 9), kEnter + kLength10 + "newMarker=10, GetLength()=10\n" +
                                           kLength10 + kLeave)
        << "an unknown origin keeps the marker";
    EXPECT_EQ(s.GetMarker(), 10);
}

TEST(LStream, SetMarkerDoesNotWrapAroundOnHugeOffsets) {
    Stream10 s(8);
    SetMarkerTrace(s, 2147483647, 1);
    EXPECT_EQ(s.GetMarker(), 10);
    SetMarkerTrace(s, -2147483647 - 1, 2);
    EXPECT_EQ(s.GetMarker(), 10);
}

TEST(LStream, SetMarkerUsesTheDerivedLength) {
    struct Long : LStream {
        std::int32_t GetLength() const override { return 30; }
    } s;
    EXPECT_EQ(SetMarkerTrace(s, 5, 2), kEnter + "newMarker=25, GetLength()=30\n" + kLeave);
    EXPECT_EQ(s.GetMarker(), 25);
}

TEST(LStream, SetLengthPullsTheMarkerBackOnlyWhenItShrinks) {
    Stream10 s(8);
    CaptureStdout();
    s.SetLength(20);
    const std::string grow = GetCapturedStdout();
    EXPECT_EQ(grow, kLength10) << "growing asks for the old length and moves nothing";
    EXPECT_EQ(s.GetMarker(), 8);

    CaptureStdout();
    s.SetLength(5);
    GetCapturedStdout();
    EXPECT_EQ(s.GetMarker(), 5);
    CaptureStdout();
    EXPECT_EQ(s.GetLength(), 5);
    EXPECT_EQ(GetCapturedStdout(), "Enter/Leave LStream::GetLength; mLength=5\n");
}

TEST(LStream, BaseTransfersFailWithTheirCodes) {
    Stream10 s;
    unsigned char bytes[4] = {};
    std::int32_t count = 4;
    EXPECT_EQ(s.PutBytes(bytes, count), 5);
    EXPECT_EQ(count, 0);
    count = 4;
    EXPECT_EQ(s.GetBytes(bytes, count), 4);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(s.GetBytesUpTo(bytes, 4), 0);

    try {
        s.PutBlock(bytes, 4);
        FAIL() << "PutBlock must throw";
    } catch (ErrorCode code) {
        EXPECT_EQ(code, 5);
    }
    try {
        s.GetBlock(bytes, 4);
        FAIL() << "GetBlock must throw";
    } catch (ErrorCode code) {
        EXPECT_EQ(code, 4);
    }
}
