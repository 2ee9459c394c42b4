#include "stream/LString255.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Text(const LString255& s) {
    return std::string(reinterpret_cast<const char*>(s.Chars()), s.Length());
}

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

} // namespace

TEST(LString255, ConstructionCutsAtTheFirstZeroOrAt255) {
    EXPECT_EQ(LString255().Length(), 0);

    const std::string long300 = Repeat('a', 300);
    LString255 full(long300.c_str());
    EXPECT_EQ(full.Length(), 255);
    EXPECT_EQ(Text(full), Repeat('a', 255));
    full.AppendChar('b');
    EXPECT_EQ(Text(full), Repeat('a', 255)) << "a full string takes no more characters";

    const char withZero[] = "ab\0cd";
    EXPECT_EQ(Text(LString255(withZero)), "ab");
    EXPECT_EQ(Text(LString255("")), "");
}

TEST(LString255, NumbersAreSignedDecimal) {
    EXPECT_EQ(Text(LString255(std::int32_t{-12})), "-12");
    EXPECT_EQ(Text(LString255(std::int32_t{0})), "0");
    EXPECT_EQ(Text(LString255(std::int32_t{2147483647})), "2147483647");
    LString255 s("old text");
    EXPECT_EQ(Text(s.AssignNumber(-2147483647 - 1)), "-2147483648");
}

TEST(LString255, AppendKeepsWhatFits) {
    LString255 s(Repeat('x', 250).c_str());
    s.Append("0123456789", 10);
    EXPECT_EQ(s.Length(), 255);
    EXPECT_EQ(Text(s), Repeat('x', 250) + "01234");

    LString255 t("ab");
    t.AppendChar('c').AppendChar('d');
    t.Append("ef", 2);
    EXPECT_EQ(Text(t), "abcdef");
    t.Append(t.Chars(), t.Length()); // appending itself must read the characters before they grow
    EXPECT_EQ(Text(t), "abcdefabcdef");
}

TEST(LString255, AssignCutsAtTheCapacity) {
    const std::string text = Repeat('q', 255);
    LString255 s("short");
    s.Assign(text.data(), 255);
    EXPECT_EQ(Text(s), text);
    s.Assign("xyz", 2);
    EXPECT_EQ(Text(s), "xy");
}

TEST(LString255, RemoveBoundsItsRun) {
    LString255 s("abcdef");
    s.Remove(3, 2);
    EXPECT_EQ(Text(s), "abef") << "the tail moves down to close the gap";

    s.Assign("abcdef", 6);
    s.Remove(0, 1);
    EXPECT_EQ(Text(s), "bcdef") << "position 0 counts as 1";

    s.Assign("abcdef", 6);
    s.Remove(6, 255);
    EXPECT_EQ(Text(s), "abcde") << "a run past the end stops at the last character";

    s.Assign("abcdef", 6);
    s.Remove(7, 1);
    EXPECT_EQ(Text(s), "abcdef") << "a position behind the last character removes nothing";

    LString255 empty;
    empty.Remove(0, 5);
    EXPECT_EQ(empty.Length(), 0);

    LString255 full(Repeat('z', 255).c_str());
    full.Remove(255, 255);
    EXPECT_EQ(full.Length(), 254);
    full.Remove(1, 255);
    EXPECT_EQ(full.Length(), 0);
}

TEST(LString255, CopiesHaveTheirOwnBuffer) {
    LString255 original("suffix");
    LString255 copy(original);
    EXPECT_NE(copy.Data(), original.Data());
    copy.AppendChar('!');
    EXPECT_EQ(Text(original), "suffix");
    EXPECT_EQ(Text(copy), "suffix!");

    LString255 assigned;
    assigned = copy;
    EXPECT_NE(assigned.Data(), copy.Data());
    EXPECT_EQ(Text(assigned), "suffix!");
    assigned = assigned;
    EXPECT_EQ(Text(assigned), "suffix!");
}

TEST(LString255, StrLen255NeverLooksPast255Bytes) {
    EXPECT_EQ(StrLen255(""), 0);
    EXPECT_EQ(StrLen255("abc"), 3);
    // Exactly 255 readable bytes and no zero among them: reading a 256th byte would be caught
    // by the sanitizers and can be seen here as a wrong count.
    char exact[255];
    std::memset(exact, 'n', sizeof exact);
    EXPECT_EQ(StrLen255(exact), 255);
}

TEST(LString255, CopyString255KeepsWhatFitsInItsSize) {
    LString255 full(Repeat('k', 255).c_str());
    std::uint8_t out[256];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(CopyString255(full, out, 255), out);
    EXPECT_EQ(out[0], 254) << "the last character is dropped";
    EXPECT_EQ(out[254], 'k');
    EXPECT_EQ(out[255], 0xEE) << "nothing is written behind the size";

    LString255 small("abc");
    CopyString255(small, out, 255);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(std::memcmp(out + 1, "abc", 3), 0);

    std::uint8_t one = 0x55;
    CopyString255(small, &one, 1);
    EXPECT_EQ(one, 0) << "room for the length byte only: an empty string";
    std::uint8_t none = 0x55;
    CopyString255(small, &none, 0);
    EXPECT_EQ(none, 0x55) << "no room at all: nothing is written";
}

TEST(LString255, CompareOrdersByBytesThenLength) {
    LString255 abc("abc"), abd("abd"), ab("ab"), high("\xF0");
    auto cmp = [](const LString255& a, const LString255& b) {
        return CompareString255(a.Data(), b.Data(), a.Length(), b.Length());
    };
    EXPECT_EQ(cmp(abc, abd), -1);
    EXPECT_EQ(cmp(abd, abc), 1);
    EXPECT_EQ(cmp(ab, abc), -1) << "the shorter string orders first";
    EXPECT_EQ(cmp(abc, ab), 1);
    EXPECT_EQ(cmp(abc, abc), 0);
    EXPECT_EQ(cmp(high, abc), 1) << "bytes compare as unsigned values";
}
