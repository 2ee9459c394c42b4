// End-to-end conversion: a long stereo KOB file of music-like audio, converted through the batch
// driver on its worker thread against a headless main window, as the program does it. The same
// run times `flac -d` on the same audio encoded by flac, and `cp` of the restored WAVE file, and
// reports the conversion's peak memory for a short and a long file.
//
//     bench_convert [minutes]        (default 10; needs flac on the PATH for the comparison)
#include "convert/ConvertBatch.h"
#include "platform/Windows.h"
#include "tools/kobenc/KobEncoder.h"
#include "tools/kobenc/KobSerialiser.h"
#include "tools/kobenc/SyntheticMusic.h"
#include "tools/kobenc/Wave.h"
#include "ui/Globals.h"
#include "ui/HeadlessMainWindow.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
std::atomic<bool> gDone{false};

LRESULT CALLBACK BenchMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == UM_BATCHDONE) gDone = true;
    return DefWindowProcA(window, message, wParam, lParam);
}

// Converts one file as the program would and returns the seconds it took.
double ConvertInProcess(const std::string& kob) {
    MakeHeadlessMainWindow(BenchMainProc);
    std::vector<char> text(kob.begin(), kob.end());
    text.push_back('\0');
    const auto start = Clock::now();
    _beginthread(ConvertBatch, 0, text.data());
    MSG msg;
    while (!gDone && GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct ChildResult {
    double seconds = 0;
    long peakKiB = 0;
    int status = -1;
};

// Runs a command in a child process and reports its time and peak resident memory.
ChildResult RunChild(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    return {std::chrono::duration<double>(Clock::now() - start).count(), usage.ru_maxrss, status};
}

std::string MakeKob(const std::string& dir, const std::string& name, double minutes, kobenc::WaveAudio* audioOut) {
    const auto frames = static_cast<std::uint32_t>(minutes * 60 * 44100);
    kobenc::Recording recording;
    recording.storedName = name + ".aif";
    recording.channelCount = 2;
    recording.samples = kobenc::SyntheticMusic(frames, 2, 44100, 11);
    const std::string path = dir + "/" + name + ".kob";
    kobenc::WriteBytes(path, kobenc::EncodeToImage({recording}).bytes);
    if (audioOut) *audioOut = {44100, 2, std::move(recording.samples)};
    return path;
}

} // namespace

// Writes the long and the short KOB file and the source WAVE file into dir.
void Prepare(const std::string& dir, double minutes) {
    kobenc::WaveAudio audio;
    MakeKob(dir, "long", minutes, &audio);
    MakeKob(dir, "short", minutes / 10, nullptr);
    kobenc::WriteWave(dir + "/source.wav", audio);
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--convert") {
        ConvertInProcess(argv[2]);
        return 0;
    }
    if (argc == 4 && std::string(argv[1]) == "--prepare") {
        Prepare(argv[2], std::atof(argv[3]));
        return 0;
    }
    const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
    char pattern[] = "/tmp/dudez-bench-convert-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string self = std::filesystem::canonical("/proc/self/exe");

    // Every measured run is a process of its own, started from this small one, so that its peak
    // memory is its own and not the memory that preparing the audio took.
    std::fprintf(stderr, "preparing %.1f minutes of stereo audio in %s ...\n", minutes, dir.c_str());
    if (RunChild({self, "--prepare", dir, std::to_string(minutes)}).status != 0) return 1;
    const std::string longKob = dir + "/long.kob";
    const std::string shortKob = dir + "/short.kob";
    const std::string sourceWave = dir + "/source.wav";
    const ChildResult shortRun = RunChild({self, "--convert", shortKob});
    const ChildResult longRun = RunChild({self, "--convert", longKob});
    const std::string restored = dir + "/long.wav";
    const double waveMB = static_cast<double>(std::filesystem::file_size(restored)) / 1e6;
    const ChildResult copy = RunChild({"cp", restored, dir + "/copy.wav"});

    std::printf("KOB file:            %.1f MB for %.1f MB of WAVE (%.1f minutes stereo 44.1 kHz)\n",
                static_cast<double>(std::filesystem::file_size(longKob)) / 1e6, waveMB, minutes);
    std::printf("dudez conversion:    %.3f s  (%.0f MB/s of WAVE output), peak memory %ld KiB\n",
                longRun.seconds, waveMB / longRun.seconds, longRun.peakKiB);
    std::printf("  a tenth as long:   %.3f s, peak memory %ld KiB\n", shortRun.seconds, shortRun.peakKiB);
    std::printf("cp of the WAVE file: %.3f s  (dudez / cp = %.2f)\n", copy.seconds, longRun.seconds / copy.seconds);

    const ChildResult flacEncode = RunChild({"flac", "-s", "-f", "-o", dir + "/source.flac", sourceWave});
    if (flacEncode.status == 0) {
        const ChildResult flacDecode = RunChild({"flac", "-s", "-d", "-f", "-o", dir + "/flac.wav", dir + "/source.flac"});
        std::printf("flac -d:             %.3f s  (dudez / flac -d = %.2f), peak memory %ld KiB\n",
                    flacDecode.seconds, longRun.seconds / flacDecode.seconds, flacDecode.peakKiB);
    } else {
        std::printf("flac -d:             not measured (flac is not installed)\n");
    }
    std::filesystem::remove_all(dir);
    return 0;
}
