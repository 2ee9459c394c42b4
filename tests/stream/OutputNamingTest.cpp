#include "stream/OutputNaming.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/runtime/Crt.h"
#include "platform/runtime/Kernel.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

using testsupport::FileExists;
using testsupport::TempDir;
using testsupport::WriteFileText;

namespace {

std::string Stripped(const std::string& name) {
    FileSpec spec = MakeFileSpec(name);
    StripAudioExtension(spec);
    return FileSpecPath(spec);
}

std::string Unique(const std::string& name, const char* suffix) {
    FileSpec spec = MakeFileSpec(name);
    MakeUniqueName(spec, LString255(suffix));
    return FileSpecPath(spec);
}

// Makes GetVersion report an old system with short names while it lives.
struct ShortNames {
    const DWORD system = GetVersion();
    ShortNames() { platform::SetReportedVersionForTesting(0x80000003u); }
    ~ShortNames() { platform::SetReportedVersionForTesting(system); }
};

// A folder inside dir whose path, with its trailing '/', is exactly `length` characters.
std::string DirOfLength(const TempDir& dir, std::size_t length) {
    std::string path = dir.Path();
    while (path.size() + 1 < length) {
        const std::size_t remaining = length - 1 - path.size(); // to add, separators included
        std::size_t part = remaining - 1;
        // Components of at most 100 characters; never leave a remainder of a bare '/'.
        if (part > 100) part = remaining - 101 == 1 ? 90 : 100;
        path += "/" + std::string(part, 'd');
        ::mkdir(path.c_str(), 0700);
    }
    path += "/";
    EXPECT_EQ(path.size(), length);
    return path;
}

} // namespace

TEST(OutputNaming, StripLowerCasesAndRemovesTheFirstAudioExtension) {
    EXPECT_EQ(Stripped("C:\\Sounds\\Piano.AIF"), "c:\\sounds\\piano");
    EXPECT_EQ(Stripped("song.aiff"), "song") << ".aiff is looked for before .aif";
    EXPECT_EQ(Stripped("c:\\a.snd\\b.aif"), "c:\\a\\b.aif") << ".snd is looked for first";
    EXPECT_EQ(Stripped("x.snd.sdm"), "x.snd") << ".sdm before .snd";
    EXPECT_EQ(Stripped("Take.WAV"), "take.wav");
    EXPECT_EQ(Stripped("A.aif.aif"), "a.aif") << "only the first occurrence";

    FileSpec spec = MakeFileSpec("Ab.AIF");
    spec.mName[3] = 0; // the name ends at a zero byte whatever its length byte says
    StripAudioExtension(spec);
    EXPECT_EQ(spec.mName[0], 2);
    EXPECT_EQ(FileSpecPath(spec), "ab");
}

TEST(OutputNaming, StripLeavesTheDirectoryPartAlone) {
    EXPECT_EQ(Stripped("/Music/Old.AIF/Take.SND"), "/Music/Old.AIF/take");
    EXPECT_EQ(Stripped("/a.snd/b"), "/a.snd/b");
    EXPECT_EQ(Stripped("/M\xC3\xBCsik/Ab.AIFF"), "/M\xC3\xBCsik/ab");
    EXPECT_EQ(Stripped("/Dir/"), "/Dir/");
}

TEST(OutputNaming, RemoveUnprintableOnlyInTheFilePart) {
    FileSpec spec = MakeFileSpec("/d\t\xC3\xA9/a\tb\x7F" "c\xC3\xA9 d~");
    RemoveUnprintable(spec);
    EXPECT_EQ(FileSpecPath(spec), "/d\t\xC3\xA9/abc d~");

    FileSpec whole = MakeFileSpec("\x01x\xFFy");
    RemoveUnprintable(whole);
    EXPECT_EQ(whole.mName[0], 2);
    EXPECT_EQ(FileSpecPath(whole), "xy");
}

TEST(OutputNaming, CounterSkipsEveryTakenName) {
    TempDir dir;
    const std::string piano = dir.File("piano");
    EXPECT_EQ(Unique(piano, ".wav"), piano + ".wav");

    WriteFileText(piano + ".wav", "");
    WriteFileText(piano + ".1.wav", "");
    EXPECT_EQ(Unique(piano, ".wav"), piano + ".2.wav");

    // Taken whatever it is: a file nobody may read, a directory, a link to nothing.
    WriteFileText(piano + ".2.wav", "");
    ::chmod((piano + ".2.wav").c_str(), 0);
    ::mkdir((piano + ".3.wav").c_str(), 0700);
    ASSERT_EQ(::symlink((dir.Path() + "/nowhere").c_str(), (piano + ".4.wav").c_str()), 0);
    EXPECT_EQ(Unique(piano, ".wav"), piano + ".5.wav");

    // With an empty suffix the name itself is the first candidate.
    EXPECT_EQ(Unique(piano + ".wav", ""), piano + ".wav.1");
    EXPECT_EQ(Unique(dir.File("free"), ""), dir.File("free"));
    // Unprintable characters go before anything is tested.
    EXPECT_EQ(Unique(dir.File("pi\tano"), ".wav"), piano + ".5.wav");
}

TEST(OutputNaming, InAFolderItOpenedTheCounterGoesOnFromTheLastOneGiven) {
    // Ten thousand recordings of one name must not test ten thousand names each: in a folder
    // the program opened, the next name starts from the last counter given there.
    TempDir dir;
    const int folder = crt::OpenFolder(dir.Path().c_str());
    ASSERT_GE(folder, 0);
    const auto next = [&] {
        FileSpec spec = MakeFileSpec(folder, "take");
        MakeUniqueName(spec, LString255(".wav"));
        const std::string name = FileSpecPath(spec);
        WriteFileText(dir.File(name), "");
        return name;
    };
    EXPECT_EQ(next(), "take.wav");
    EXPECT_EQ(next(), "take.1.wav");
    EXPECT_EQ(next(), "take.2.wav");
    // A name freed meanwhile is not looked at again; names taken since still are.
    ASSERT_EQ(::unlink(dir.File("take.1.wav").c_str()), 0);
    WriteFileText(dir.File("take.3.wav"), "");
    EXPECT_EQ(next(), "take.4.wav");
    // Given by path, with no folder of the program's, every name is tested from the first.
    EXPECT_EQ(Unique(dir.File("take"), ".wav"), dir.File("take.1.wav"));
    crt::CloseFolder(folder);
}

TEST(OutputNaming, LongNamesAreCutToFitTheTail) {
    // No '/': the whole name is the file part (in the current folder, where none of these exist).
    EXPECT_EQ(Unique(std::string(250, 'a'), ".wav"), std::string(250, 'a') + ".wav");
    EXPECT_EQ(Unique(std::string(252, 'a'), ".wav"), std::string(249, 'a') + ".wav")
        << "without a dot: one short of the limit";
    // With a dot inside the limit the cut is at that dot, taking the character before it too.
    const std::string dotted = std::string(100, 'a') + "." + std::string(151, 'b');
    EXPECT_EQ(Unique(dotted, ".wav"), std::string(99, 'a') + ".wav");
    // A dot as the first or second character would leave nothing of the name but its tail:
    // such a dot is no place to cut.
    EXPECT_EQ(Unique("x." + std::string(251, 'b'), ".wav"), "x." + std::string(247, 'b') + ".wav");
    EXPECT_EQ(Unique("." + std::string(252, 'b'), ".wav"), "." + std::string(248, 'b') + ".wav");
    EXPECT_EQ(Unique("xy." + std::string(250, 'b'), ".wav"), "x.wav") << "one character is a name";

    // In a folder the same rules count the whole name but look at the file part only.
    TempDir dir;
    const std::string prefix = dir.Path() + "/";
    const std::string file = std::string(252 - prefix.size(), 'f');
    EXPECT_EQ(Unique(prefix + file, ".wav"), prefix + file.substr(0, file.size() - 3) + ".wav");
    ::mkdir((prefix + "a.b").c_str(), 0700);
    const std::string inDotted = prefix + "a.b/" + std::string(252 - prefix.size() - 4, 'g');
    EXPECT_EQ(Unique(inDotted, ".wav"), inDotted.substr(0, 249) + ".wav")
        << "the dot of the directory name is not a place to cut";
}

TEST(OutputNaming, TheCounterAlsoFitsAtTheLimit) {
    TempDir dir;
    const std::string prefix = dir.Path() + "/";
    const std::string name = prefix + std::string(250 - prefix.size(), 'n');
    ASSERT_EQ(name.size(), 250u);
    WriteFileText(name + ".wav", "");
    // ".1.wav" leaves room for 248 characters; without a dot the base keeps 247.
    EXPECT_EQ(Unique(name, ".wav"), name.substr(0, 247) + ".1.wav");
}

TEST(OutputNaming, ALongDirectoryIsNeverCut) {
    TempDir dir;
    // Room for nothing of the file part but the tail: no name at all, rather than the
    // nameless, hidden "<dir>/.wav" or the probe's "<dir>/.1".
    // (A cut without a dot stops one character short of the limit.)
    const std::string d248 = DirOfLength(dir, 248);
    EXPECT_EQ(Unique(d248 + "abc", ".wav"), d248 + "a.wav") << "one character still fits";
    const std::string d249 = DirOfLength(dir, 249);
    EXPECT_EQ(Unique(d249 + "abc", ".wav"), "");
    const std::string d250 = DirOfLength(dir, 250);
    EXPECT_EQ(Unique(d250 + "abc", ".wav"), "");
    EXPECT_EQ(Unique(d250 + "abc", ""), d250 + "abc") << "the probe's name fits unchanged";
    EXPECT_EQ(Unique(d250 + "a.bc", ".wav"), "") << "nor does a dot make room";

    const std::string d252 = DirOfLength(dir, 252);
    EXPECT_EQ(Unique(d252 + "x", ".wav"), "");
    EXPECT_EQ(Unique(d252 + "x", ""), d252 + "x");
    WriteFileText(d252 + "x", "");
    EXPECT_EQ(Unique(d252 + "x", ""), "") << "\".1\" alone is no name for the probe";
}

TEST(OutputNaming, AZeroByteInTheDirectoryGivesNoName) {
    TempDir dir;
    // "<dir>/a\0b/take": the file system would read "<dir>/a", which exists, so a search for a
    // free name there would never end, and a name made from it would point outside the folder.
    WriteFileText(dir.File("a"), "");
    const std::string name = dir.File("a") + std::string("\0b/take", 7);
    FileSpec spec;
    spec.mName[0] = static_cast<std::uint8_t>(name.size());
    std::memcpy(spec.mName + 1, name.data(), name.size());
    MakeUniqueName(spec, LString255(".wav"));
    EXPECT_EQ(spec.mName[0], 0);
}

TEST(OutputNaming, VersionChoosesTheNameStyle) {
    EXPECT_TRUE(HasLongFileNames(0x1DB10106u)); // NT 6.1
    EXPECT_TRUE(HasLongFileNames(0x00000003u)); // NT 3
    EXPECT_TRUE(HasLongFileNames(0xC0000004u)); // old family, major 4
    EXPECT_FALSE(HasLongFileNames(0x80000003u));
    EXPECT_FALSE(HasLongFileNames(0x80000A03u));
    EXPECT_TRUE(HasLongFileNames(GetVersion()));
}

TEST(OutputNaming, ShortNamesKeepEightCharactersAndCountWithoutADot) {
    ShortNames shortNames;
    TempDir dir;
    const std::string prefix = dir.Path() + "/";
    EXPECT_EQ(Unique(prefix + "pianosolo2", ".wav"), prefix + "pianosol.wav");
    WriteFileText(prefix + "pianosol.wav", "");
    EXPECT_EQ(Unique(prefix + "pianosolo2", ".wav"), prefix + "pianosol1.wav");
    // The file part loses its last dot and what follows, then keeps 8 characters.
    EXPECT_EQ(Unique(prefix + "ab.cd.ef", ".wav"), prefix + "ab.cd.wav");
    EXPECT_EQ(Unique(prefix + "longername.x", ".err"), prefix + "longerna.err");
    // A backslash is a character like any other, so this whole name is the file part.
    EXPECT_EQ(Unique("c:\\sounds\\pianosolo2", ".wav"), "c:\\sound.wav");
    const std::string d252 = DirOfLength(dir, 252);
    EXPECT_EQ(Unique(d252 + "abc", ".wav"), "");
}
