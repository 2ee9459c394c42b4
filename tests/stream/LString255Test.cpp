#include "stream/LString255.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Text(const LString255& s) {
    return std::string(reinterpret_cast<const char*>(s.Chars()), s.Length());
}

} // namespace

TEST(LString255, TextIsCutAtTheFirstZeroOrAtTheCapacity) {
    LString255 full(std::string(300, 'a').c_str());
    EXPECT_EQ(Text(full), std::string(255, 'a'));
    full.AppendChar('b');
    EXPECT_EQ(full.Length(), 255) << "a full string takes no more characters";
    EXPECT_EQ(Text(LString255("ab\0cd")), "ab");

    LString255 s(std::string(250, 'x').c_str());
    s.Append("0123456789", 10);
    EXPECT_EQ(Text(s), std::string(250, 'x') + "01234");

    LString255 t("ab");
    t.AppendChar('c').Append(t.Chars(), t.Length()); // appending itself
    EXPECT_EQ(Text(t), "abcabc");
}

TEST(LString255, NumbersAreSignedDecimal) {
    EXPECT_EQ(Text(LString255(std::int32_t{-12})), "-12");
    EXPECT_EQ(Text(LString255(std::int32_t{0})), "0");
    LString255 s("old text");
    EXPECT_EQ(Text(s.AssignNumber(-2147483647 - 1)), "-2147483648");
}

TEST(LString255, RemoveBoundsItsRun) {
    auto removed = [](std::uint8_t position, std::uint8_t count) {
        LString255 s("abcdef");
        s.Remove(position, count);
        return Text(s);
    };
    EXPECT_EQ(removed(3, 2), "abef") << "the tail moves down to close the gap";
    EXPECT_EQ(removed(0, 1), "bcdef") << "position 0 counts as 1";
    EXPECT_EQ(removed(6, 255), "abcde") << "a run past the end stops at the last character";
    EXPECT_EQ(removed(7, 1), "abcdef") << "behind the last character nothing is removed";
    LString255 empty;
    empty.Remove(0, 5);
    EXPECT_EQ(empty.Length(), 0);
}

TEST(LString255, CopiesHaveTheirOwnBuffer) {
    LString255 original("suffix");
    LString255 copy(original);
    EXPECT_NE(copy.Data(), original.Data());
    copy.AppendChar('!');
    EXPECT_EQ(Text(original), "suffix");
    LString255 assigned;
    assigned = copy;
    EXPECT_NE(assigned.Data(), copy.Data());
    EXPECT_EQ(Text(assigned), "suffix!");
}

TEST(LString255, FreeFunctionsStayInsideTheirBounds) {
    EXPECT_EQ(StrLen255(""), 0);
    char exact[255]; // no zero among exactly 255 readable bytes
    std::memset(exact, 'n', sizeof exact);
    EXPECT_EQ(StrLen255(exact), 255);

    LString255 full(std::string(255, 'k').c_str());
    std::uint8_t out[256];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(CopyString255(full, out, 255), out);
    EXPECT_EQ(out[0], 254) << "the last character is dropped";
    EXPECT_EQ(out[254], 'k');
    EXPECT_EQ(out[255], 0xEE) << "nothing is written behind the size";
    std::uint8_t none = 0x55;
    CopyString255(full, &none, 0);
    EXPECT_EQ(none, 0x55) << "no room even for the length byte: nothing is written";

    LString255 abc("abc"), abd("abd"), ab("ab"), high("\xF0");
    auto cmp = [](const LString255& a, const LString255& b) {
        return CompareString255(a.Data(), b.Data(), a.Length(), b.Length());
    };
    EXPECT_EQ(cmp(abc, abd), -1);
    EXPECT_EQ(cmp(ab, abc), -1) << "the shorter string orders first";
    EXPECT_EQ(cmp(high, abc), 1) << "bytes compare as unsigned values";
}
