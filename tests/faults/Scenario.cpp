#include "tests/faults/Scenario.h"

#include "platform/runtime/Crt.h"
#include "tests/harness/KobFiles.h"
#include "tools/kobenc/Damage.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <set>

namespace faults {

void ScenarioTest::TearDown() { crt::testing::Disable(); }

namespace {

kobenc::KobFile SmallFile(const std::vector<kobenc::Recording>& recordings) {
    kobenc::EncodeOptions options;
    options.blockFrames = 1000;   // several blocks per entry: many points to fail at
    return kobenc::Encode(recordings, options);
}

std::string MessageFor(const std::string& input) {
    return "Error: " + input + " is not a KOB file or corrupted\n";
}

bool StartsWith(const Bytes& whole, const Bytes& part) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

// The user's files, written before every run.
std::map<std::string, Bytes> UserFiles() {
    return {{"keep.wav", Bytes{'m', 'i', 'n', 'e'}}, {"notes.txt", Bytes(5000, 'n')}};
}

void WriteAll(const std::string& dir, const std::map<std::string, Bytes>& files) {
    for (const auto& [name, bytes] : files) testsupport::WriteFileBytes(dir + "/" + name, bytes);
}

// Runs f with the current directory changed to dir.
template <typename F>
auto InDirectory(const std::string& dir, F f) {
    char previous[PATH_MAX];
    if (!getcwd(previous, sizeof previous)) throw std::runtime_error("no current directory");
    if (chdir(dir.c_str()) != 0) throw std::runtime_error("cannot enter " + dir);
    struct Back {
        const char* to;
        ~Back() { (void)chdir(to); }
    } back{previous};
    return f();
}

} // namespace

const char* Name(State state) {
    switch (state) {
    case State::Complete: return "complete";
    case State::Silenced: return "silenced";
    case State::Absent: return "absent";
    case State::Fallback: return "fallback";
    case State::Broken: return "broken";
    }
    return "?";
}

Scenario::Scenario(BatchWindow& window) {
    kobenc::Recording second = kobtest::Music("Second.snd", 1, 2500, 2);
    second.trailer.assign(300, 0x7A);   // trailing data, which the writer takes and ignores
    kobenc::KobFile a = SmallFile({kobtest::Music("Keep.aif", 2, 3000, 1), second});
    kobenc::Damage(a.entries[0].blocks[3], kobenc::BlockDamage::DataChecksum);
    kobenc::KobFile b = SmallFile({kobtest::Music("Third.AIF", 2, 2000, 3)});
    inputs["a.kob"] = kobenc::Serialise(a).bytes;
    inputs["b.kob"] = kobenc::Serialise(b).bytes;
    userFiles = UserFiles();
    entries = {{"a.kob", "keep.1.wav", "keep.1.wav.err", "Keep.aif", "keep.wav"},
               {"a.kob", "second.wav", "", "Second.snd", "second.wav"},
               {"b.kob", "third.wav", "", "Third.AIF", "third.wav"}};

    testsupport::TempDir clean;
    WriteAll(clean.Path(), inputs);
    WriteAll(clean.Path(), userFiles);
    const BatchRun run = window.Run(clean.File("a.kob") + " " + clean.File("b.kob"));
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.stderrText, "") << "the clean run failed";
    for (const Entry& entry : entries) {
        reference[entry.wave] = testsupport::ReadFileBytes(clean.File(entry.wave));
        if (!entry.listing.empty())
            reference[entry.listing] = testsupport::ReadFileBytes(clean.File(entry.listing));
    }
    EXPECT_EQ(testsupport::ListDir(clean.Path()),
              (std::vector<std::string>{"a.kob", "b.kob", "keep.1.wav", "keep.1.wav.err", "keep.wav",
                                        "notes.txt", "second.wav", "third.wav"}));
}

Workspace::Workspace(const Scenario& scenario, const std::function<void(const std::string&)>& beforeFiles)
    : mScenario(scenario) {
    if (beforeFiles) beforeFiles(mDir.Path());
    WriteAll(mDir.Path(), scenario.inputs);
    WriteAll(mDir.Path(), scenario.userFiles);
}

BatchRun Workspace::Run(BatchWindow& window) {
    return InDirectory(mCwd.Path(), [&] { return window.Run(Input("a.kob") + " " + Input("b.kob")); });
}

std::vector<std::string> Workspace::ReportedInputs(const BatchRun& run) const {
    std::vector<std::string> reported;
    for (const auto& [name, bytes] : mScenario.inputs)
        if (run.stderrText.find(MessageFor(Input(name))) != std::string::npos) reported.push_back(name);
    return reported;
}

std::vector<Stretch> ParseListing(const std::string& text) {
    std::vector<Stretch> stretches;
    const std::string head = "128/10\r";
    if (text.compare(0, head.size(), head) != 0) return stretches;
    std::size_t at = head.size();
    auto take = [&](const char* item) {
        const std::size_t n = std::char_traits<char>::length(item);
        if (text.compare(at, n, item) != 0) return false;
        at += n;
        return true;
    };
    // Items stand bare, one after another: a number ends where the next item begins ("128/1",
    // or the line end), not at its last digit, as the next item starts with digits too.
    auto number = [&](long& value) {
        const std::size_t start = at;
        const std::size_t end = std::min({text.find("128/1", start + 1), text.find('\r', start), text.size()});
        while (at < end && (std::isdigit(static_cast<unsigned char>(text[at])) || text[at] == '-')) ++at;
        if (at == start || at != end) return false;
        value = std::stol(text.substr(start, at - start));
        return true;
    };
    while (at < text.size()) {
        Stretch s{0, 0, 0};
        if (!take("128/11") || !number(s.first) || !take("128/12") || !number(s.end)) break;
        long channel = 0;
        if (take("128/13")) channel = 1;
        else if (take("128/14")) channel = 2;
        else if (take("128/15") && (!number(channel) || !take("128/16"))) break;
        if (!take("\r")) break;
        s.channel = static_cast<int>(channel);
        stretches.push_back(s);
    }
    return stretches;
}

namespace {

// Whether got differs from want only in samples that are zero and covered by a stretch.
bool OnlyListedSilence(const Bytes& got, const Bytes& want, const std::vector<Stretch>& stretches) {
    if (got.size() != want.size() || got.size() < 44) return false;
    if (!std::equal(want.begin(), want.begin() + 44, got.begin())) return false;
    const int channels = want[22] | want[23] << 8;
    if (channels <= 0) return false;
    for (std::size_t i = 44; i + 1 < got.size(); i += 2) {
        if (got[i] == want[i] && got[i + 1] == want[i + 1]) continue;
        if (got[i] != 0 || got[i + 1] != 0) return false;
        const long sample = static_cast<long>((i - 44) / 2);
        const long frame = sample / channels;
        const int channel = static_cast<int>(sample % channels) + 1;
        const bool listed = std::any_of(stretches.begin(), stretches.end(), [&](const Stretch& s) {
            return s.first <= frame && frame < s.end && (s.channel == 0 || s.channel == channel);
        });
        if (!listed) return false;
    }
    return true;
}

} // namespace

State Workspace::EntryState(const Entry& entry) const {
    using testsupport::FileExists;
    using testsupport::ReadFileBytes;
    const Bytes& want = mScenario.reference.at(entry.wave);
    const std::string wave = mDir.File(entry.wave);
    const std::string listing = entry.listing.empty() ? mDir.File(entry.wave + ".err") : mDir.File(entry.listing);
    const bool hasListing = FileExists(listing);
    const Bytes listed = hasListing ? ReadFileBytes(listing) : Bytes{};
    const Bytes wantListed = entry.listing.empty() ? Bytes{} : mScenario.reference.at(entry.listing);

    if (!FileExists(wave)) {
        const std::string fallback = mCwd.File(entry.fallback);
        if (FileExists(fallback)) {
            const bool listingRight = entry.listing.empty()
                ? !FileExists(fallback + ".err")
                : FileExists(fallback + ".err") && ReadFileBytes(fallback + ".err") == wantListed;
            if (ReadFileBytes(fallback) == want && listingRight && !hasListing) return State::Fallback;
            ADD_FAILURE() << entry.wave << ": the fallback output is not the complete output";
            return State::Broken;
        }
        // A listing started for a failed entry stays with the whole lines it got, and only
        // then: one that got none (a full disk) tells nothing and must not stay.
        if (hasListing && ParseListing(std::string(listed.begin(), listed.end())).empty()) {
            ADD_FAILURE() << entry.wave << " is gone, and its listing stayed without a single line: \""
                          << std::string(listed.begin(), listed.end()) << "\"";
            return State::Broken;
        }
        if (hasListing && !StartsWith(wantListed, listed)) {
            ADD_FAILURE() << entry.wave << " is gone, but its listing is no part of its listing";
            return State::Broken;
        }
        return State::Absent;
    }
    const Bytes got = ReadFileBytes(wave);
    if (got == want && listed == wantListed && hasListing == !entry.listing.empty()) return State::Complete;
    const std::string text(listed.begin(), listed.end());
    if (hasListing && OnlyListedSilence(got, want, ParseListing(text))) {
        // The damage of the clean run is still listed.
        const std::string wantText(wantListed.begin(), wantListed.end());
        bool keepsOld = true;
        for (const Stretch& s : ParseListing(wantText)) {
            const auto now = ParseListing(text);
            keepsOld = keepsOld && std::any_of(now.begin(), now.end(), [&](const Stretch& t) {
                           return t.first == s.first && t.end == s.end && t.channel == s.channel;
                       });
        }
        if (keepsOld) return State::Silenced;
    }
    ADD_FAILURE() << entry.wave << " is present but neither complete nor silenced where listed ("
                  << got.size() << " bytes, " << want.size() << " expected)";
    return State::Broken;
}

std::vector<State> Workspace::Judge(const std::vector<std::string>& allowed) const {
    std::set<std::string> known;
    for (const auto& [name, bytes] : mScenario.inputs) known.insert(name);
    for (const auto& [name, bytes] : mScenario.userFiles) known.insert(name);
    for (const auto& [name, bytes] : mScenario.reference) known.insert(name);
    for (const Entry& entry : mScenario.entries) known.insert(entry.wave + ".err");
    for (const std::string& name : allowed) known.insert(name);
    for (const std::string& name : testsupport::ListDir(mDir.Path()))
        EXPECT_TRUE(known.count(name)) << "a file that should not be there: " << name;
    std::set<std::string> fallbacks;
    for (const Entry& entry : mScenario.entries) {
        fallbacks.insert(entry.fallback);
        fallbacks.insert(entry.fallback + ".err");
    }
    for (const std::string& name : testsupport::ListDir(mCwd.Path()))
        EXPECT_TRUE(fallbacks.count(name)) << "a file that should not be there: " << name << " in the current directory";
    for (const auto& [name, bytes] : mScenario.userFiles)
        EXPECT_EQ(testsupport::ReadFileBytes(mDir.File(name)), bytes) << "the user's " << name << " changed";
    for (const auto& [name, bytes] : mScenario.inputs)
        EXPECT_EQ(testsupport::ReadFileBytes(mDir.File(name)), bytes) << "the input " << name << " changed";

    std::vector<State> states;
    for (const Entry& entry : mScenario.entries) states.push_back(EntryState(entry));
    return states;
}

void CheckBatchShape(const Scenario& scenario, const Workspace& work, const BatchRun& run,
                     const std::vector<State>& states) {
    EXPECT_TRUE(run.finished) << "the batch did not end";
    const std::vector<std::string> reported = work.ReportedInputs(run);
    const bool stopped = run.stderrText.find("Caught Error: ") != std::string::npos;
    bool stoppedBefore = false;
    for (const auto& [input, bytes] : scenario.inputs) {
        std::vector<State> mine;
        for (std::size_t i = 0; i < scenario.entries.size(); ++i)
            if (scenario.entries[i].input == input) mine.push_back(states[i]);
        const auto firstAbsent = std::find(mine.begin(), mine.end(), State::Absent);
        EXPECT_TRUE(std::all_of(firstAbsent, mine.end(), [](State s) { return s == State::Absent; }))
            << input << ": an entry was converted after one that failed";
        const bool isReported = std::count(reported.begin(), reported.end(), input) != 0;
        const bool allAbsent = firstAbsent == mine.begin();
        if (stoppedBefore) {
            EXPECT_TRUE(allAbsent && !isReported) << input << " was converted after the batch had stopped";
            continue;
        }
        if (allAbsent && !isReported) {
            EXPECT_TRUE(stopped) << input << " was neither converted nor reported";
            stoppedBefore = true;
            continue;
        }
        EXPECT_EQ(isReported, firstAbsent != mine.end())
            << input << (isReported ? " was reported but is complete" : " lost an entry without a report");
    }
}

} // namespace faults
