#include "stream/FileSpec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(FileSpec, PathTextFollowsTheLengthByte) {
    const std::string name(255, 'p');
    char scratch[kPathTextSize];
    std::memset(scratch, 'X', sizeof scratch);
    EXPECT_EQ(std::string(FileSpecPathText(MakeFileSpec(name), scratch)), name);
    EXPECT_EQ(FileSpecPath(MakeFileSpec(std::string(300, 'q'))), std::string(255, 'q'));

    FileSpec spec;
    spec.mName[0] = 6;
    std::memcpy(spec.mName + 1, "ab\0def", 6);
    std::memset(scratch, 'X', sizeof scratch);
    FileSpecPathText(spec, scratch);
    EXPECT_EQ(std::memcmp(scratch, "ab\0\0\0\0\0", 7), 0) << "stops at the zero, no stale bytes";
}
