#include "platform/Windows.h"

#include <gtest/gtest.h>

#include <iterator>

namespace {

const unsigned char kGerman[] = {'d', 'e'};
const unsigned char kEnglish[] = {'e', 'n', '!'};
const unsigned char kNamed[] = {'n'};
// An icon directory: reserved 0, type 1, one 14-byte entry (32 x 32, 16 colours, image 1).
const unsigned char kGroup[] = {0, 0, 1, 0, 1, 0, 32, 32, 16, 0, 1, 0, 4, 0, 0xE8, 2, 0, 0, 1, 0};
const unsigned char kNotAGroup[] = {0, 0, 2, 0, 1, 0};

void RegisterTestResources() {
    static const platform::ResourceEntry entries[] = {
        {RT_BITMAP, nullptr, 8116, 1031, kGerman, sizeof kGerman},
        {RT_BITMAP, nullptr, 8116, 1033, kEnglish, sizeof kEnglish},
        {RT_DIALOG, "TestNamed", 0, 1033, kNamed, sizeof kNamed},
        {RT_GROUP_ICON, "TestIcon", 0, 1031, kGroup, sizeof kGroup},
        {RT_GROUP_ICON, "TestBroken", 0, 1031, kNotAGroup, sizeof kNotAGroup},
    };
    static const bool once = (platform::RegisterResources(entries, std::size(entries)), true);
    (void)once;
}

std::size_t Size(HRSRC resource) {
    return SizeofResource(nullptr, resource);
}

} // namespace

TEST(Resources, FoundByTypeAndNameOrNumber) {
    RegisterTestResources();
    HMODULE module = GetModuleHandleA(nullptr);
    ASSERT_TRUE(module);
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);

    // Names compare without regard to case; "#8116" names the number.
    HRSRC named = FindResourceA(module, "testNAMED", RT_DIALOG);
    ASSERT_TRUE(named);
    EXPECT_EQ(LockResource(LoadResource(module, named)), kNamed);
    EXPECT_EQ(Size(named), 1u);
    EXPECT_EQ(FindResourceA(module, "TestNamed", RT_BITMAP), nullptr);       // another type
    EXPECT_EQ(FindResourceA(module, "TestNam", RT_DIALOG), nullptr);         // a prefix is not it
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCE(8116), RT_DIALOG), nullptr);
    EXPECT_TRUE(FindResourceA(module, "#8116", RT_BITMAP));
    EXPECT_EQ(FindResourceA(module, "#81x6", RT_BITMAP), nullptr);

    // A number in two languages: the one asked for, else the first registered.
    EXPECT_EQ(Size(FindResourceExA(module, RT_BITMAP, MAKEINTRESOURCE(8116), 1033)), 3u);
    EXPECT_EQ(Size(FindResourceExA(module, RT_BITMAP, MAKEINTRESOURCE(8116), 1031)), 2u);
    EXPECT_EQ(Size(FindResourceExA(module, RT_BITMAP, MAKEINTRESOURCE(8116), 1036)), 2u);
    EXPECT_EQ(Size(FindResourceA(module, MAKEINTRESOURCE(8116), RT_BITMAP)), 2u);
    // A dialog of language 1033 is found whatever language is asked for.
    EXPECT_TRUE(FindResourceExA(module, RT_DIALOG, "TestNamed", 1031));

    EXPECT_EQ(FindResourceA(module, nullptr, RT_BITMAP), nullptr);
    EXPECT_EQ(LoadResource(module, nullptr), nullptr);
    EXPECT_EQ(LockResource(nullptr), nullptr);
    EXPECT_EQ(Size(nullptr), 0u);
}

TEST(Resources, IconsAndCursors) {
    RegisterTestResources();
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), "testicon");
    ASSERT_TRUE(icon);
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), "TestIcon"), icon); // loaded once
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    ASSERT_TRUE(platform::IconGroupData(icon, &data, &size));
    EXPECT_EQ(data, kGroup);
    EXPECT_EQ(size, sizeof kGroup);
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), "TestBroken"), nullptr);
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), "NoSuchIcon"), nullptr);

    HICON system = LoadIconA(nullptr, IDI_APPLICATION);
    EXPECT_TRUE(system);
    EXPECT_NE(system, icon);
    EXPECT_FALSE(platform::IconGroupData(system, nullptr, nullptr));

    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    EXPECT_TRUE(arrow);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);
    EXPECT_NE(LoadCursorA(nullptr, IDC_WAIT), arrow);
    EXPECT_EQ(LoadCursorA(GetModuleHandleA(nullptr), IDC_ARROW), nullptr); // no cursors of its own
}

TEST(Startup, CommandLineTextJoinsTheArgumentsWithSpaces) {
    const char* none[] = {"dudez"};
    EXPECT_EQ(platform::MakeCommandLine(1, none).text, "");
    EXPECT_EQ(platform::MakeCommandLine(0, nullptr).text, "");
    const char* names[] = {"dudez", "/tmp/a.kob", "b.kob", "", "c d.kob"};
    // Taken as they are: an empty argument still adds its space, a space inside stays.
    EXPECT_EQ(platform::MakeCommandLine(5, names).text, "/tmp/a.kob b.kob  c d.kob");
}
