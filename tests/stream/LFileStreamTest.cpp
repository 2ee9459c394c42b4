#include "stream/ErrorCode.h"
#include "stream/LFileStream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/runtime/Crt.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;
using testsupport::ReadFileText;
using testsupport::TempDir;
using testsupport::WriteFileText;

namespace {

template <typename F>
std::int32_t ThrownCode(F f) {
    try {
        f();
    } catch (ErrorCode code) {
        return code;
    }
    ADD_FAILURE() << "expected a thrown code";
    return 0;
}

std::string Read(LStream& s, std::int32_t n) {
    std::string out(static_cast<std::size_t>(n), '\0');
    std::int32_t count = n;
    EXPECT_EQ(s.GetBytes(out.data(), count), 0);
    return out;
}

} // namespace

TEST(LFileStream, MarkersMoveTheRuntimeStream) {
    TempDir dir;
    LFileStream s(MakeFileSpec(dir.File("f")));
    s.OpenDataFork(2);
    std::int32_t count = 10;
    CaptureStdout();
    EXPECT_EQ(s.PutBytes("0123456789", count), 0);
    EXPECT_EQ(count, 10);
    EXPECT_EQ(s.GetMarker(), 10);
    s.SetMarker(0, 0); // the seek also writes the runtime's buffer out
    EXPECT_EQ(s.GetLength(), 10);
    s.SetMarker(3, 2);
    EXPECT_EQ(s.GetMarker(), 7) << "origin 2 counts backwards from the end";
    EXPECT_EQ(Read(s, 3), "789");
    s.SetMarker(-6, 1);
    EXPECT_EQ(s.GetMarker(), 4);
    EXPECT_EQ(Read(s, 2), "45");
    s.SetMarker(0, 2);
    EXPECT_EQ(s.GetMarker(), 10);
    EXPECT_EQ(GetCapturedStdout(), "") << "the file streams print no marker traces";
}

TEST(LFileStream, AShortReadAtTheEndIsSuccessWithCountUnchanged) {
    TempDir dir;
    WriteFileText(dir.File("f"), "0123456789abcd");
    LFileStream s(MakeFileSpec(dir.File("f")));
    s.OpenDataFork(0);
    s.SetMarker(10, 0);
    char out[10] = {};
    std::int32_t count = 10;
    EXPECT_EQ(s.GetBytes(out, count), 0);
    EXPECT_EQ(count, 10);
    EXPECT_EQ(std::memcmp(out, "abcd", 4), 0);
    count = 10;
    EXPECT_EQ(s.GetBytes(out, count), 0) << "at the end as well";
    EXPECT_NO_THROW(s.GetBlock(out, 10));
}

TEST(LFileStream, TransferFailuresAreReturnedQuietly) {
    TempDir dir;
    WriteFileText(dir.File("ro"), "abc");
    LFileStream s(MakeFileSpec(dir.File("ro")));
    s.OpenDataFork(0);
    CaptureStderr();
    std::int32_t count = 3;
    errno = 0;
    EXPECT_EQ(s.PutBytes("xyz", count), EBADF);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(ThrownCode([&] { s.PutBlock("xyz", 3); }), EBADF);
    count = -1;
    EXPECT_EQ(s.PutBytes("xyz", count), EINVAL) << "a negative count moves nothing";
    EXPECT_EQ(s.GetBytes(nullptr, count), EINVAL);
    EXPECT_EQ(GetCapturedStderr(), "");
    s.CloseDataFork();
    EXPECT_EQ(ReadFileText(dir.File("ro")), "abc");

    ::mkdir(dir.File("sub").c_str(), 0700);
    LFileStream folder(MakeFileSpec(dir.File("sub")));
    folder.OpenDataFork(0);
    char out[4];
    count = 4;
    EXPECT_EQ(folder.GetBytes(out, count), EISDIR) << "a read error is not the end of the file";
}

TEST(LFileStream, SeekAndLengthFailuresThrow) {
    TempDir dir;
    WriteFileText(dir.File("f"), "abc");
    LFileStream s(MakeFileSpec(dir.File("f")));
    EXPECT_EQ(ThrownCode([&] { s.SetMarker(0, 0); }), -1) << "not open";
    EXPECT_EQ(ThrownCode([&] { s.GetLength(); }), -1);
    EXPECT_EQ(ThrownCode([&] { s.GetMarker(); }), EBADF);
    std::int32_t count = 1;
    char c;
    EXPECT_EQ(s.GetBytes(&c, count), EBADF);
    EXPECT_EQ(s.PutBytes(&c, count), EBADF);

    s.OpenDataFork(0);
    EXPECT_EQ(ThrownCode([&] { s.SetMarker(-1, 0); }), -1);
    EXPECT_EQ(ThrownCode([&] { s.SetMarker(4, 2); }), -1) << "before the start, from the end";
    EXPECT_EQ(ThrownCode([&] { s.SetMarker(0, 3); }), -1) << "no such origin";
    EXPECT_EQ(s.GetMarker(), 0);
}

TEST(LFileStream, DeletingThroughTheStreamBaseClosesTheFile) {
    TempDir dir;
    const int before = crt::OpenStreamCount();
    auto* asFile = new LFileStream(MakeFileSpec(dir.File("a")));
    asFile->OpenDataFork(2);
    LStream* asStream = asFile;
    asStream->PutBlock("via stream", 10);
    delete asStream;
    EXPECT_EQ(crt::OpenStreamCount(), before);
    EXPECT_EQ(ReadFileText(dir.File("a")), "via stream");
}
