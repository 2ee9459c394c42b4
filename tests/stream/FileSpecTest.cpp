#include "stream/FileSpec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(FileSpec, PathTextFollowsTheLengthByte) {
    const std::string name(255, 'p');
    FileSpec spec = MakeFileSpec(name);
    EXPECT_EQ(spec.mReserved16, 0);
    EXPECT_EQ(spec.mReserved32, 0);
    EXPECT_EQ(spec.mName[0], 255);
    char scratch[kPathTextSize];
    std::memset(scratch, 'X', sizeof scratch);
    EXPECT_EQ(std::string(FileSpecPathText(spec, scratch)), name);
    EXPECT_EQ(scratch[255], '\0');

    EXPECT_EQ(FileSpecPath(MakeFileSpec(std::string(300, 'q'))), std::string(255, 'q'));
    EXPECT_EQ(FileSpecPath(MakeFileSpec("")), "");
}

TEST(FileSpec, PathTextStopsAtAZeroByteInTheName) {
    FileSpec spec;
    spec.mName[0] = 6;
    std::memcpy(spec.mName + 1, "ab\0def", 6);
    char scratch[kPathTextSize];
    std::memset(scratch, 'X', sizeof scratch);
    FileSpecPathText(spec, scratch);
    EXPECT_STREQ(scratch, "ab");
    EXPECT_EQ(std::memcmp(scratch, "ab\0\0\0\0\0", 7), 0) << "no stale scratch bytes up to the length";
}

TEST(FileSpec, CharactersBehindTheLengthAreIgnored) {
    FileSpec spec = MakeFileSpec("/tmp/abcdef");
    spec.mName[0] = 8;
    EXPECT_EQ(FileSpecPath(spec), "/tmp/abc");
}
