// What the start-up code hands the program (its instance and its command-line text), and the
// version the system reports.
#include "platform/runtime/Kernel.h"
#include "platform/runtime/NeverDestroyed.h"
#include "platform/runtime/Startup.h"

#include <link.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <deque>

namespace {

std::atomic<platform::CommandLine*> gCommandLine{nullptr};

// NT 6.1, build 7601: build in the high word (top bit clear: the NT family), minor 1, major 6.
constexpr DWORD kSystemVersion = (7601u << 16) | (1u << 8) | 6u;

std::atomic<DWORD> gReported{kSystemVersion};

} // namespace

namespace platform {

CommandLine& MakeCommandLine(int argc, const char* const* argv) {
    // Every line made stays for the life of the process (the program makes one, tests a few).
    static NeverDestroyed<std::deque<CommandLine>> made;
    CommandLine* line = &made.get().emplace_back();
    for (int i = 1; i < argc && argv && argv[i]; ++i) {
        if (i > 1) line->text += ' ';
        line->text += argv[i];
        line->argumentLengths.push_back(std::strlen(argv[i]));
    }
    gCommandLine.store(line);
    return *line;
}

const std::vector<std::size_t>* ArgumentLengths(const char* text) {
    const CommandLine* line = gCommandLine.load();
    return line && text == line->text.data() ? &line->argumentLengths : nullptr;
}

void SetReportedVersionForTesting(DWORD version) {
    gReported.store(version);
}

} // namespace platform

HMODULE GetModuleHandleA(LPCSTR name) {
    // The program's one module: the usual base address of a program on the platform.
    return name ? nullptr : reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x00400000));
}

DWORD GetVersion() {
    return gReported.load();
}

namespace platform {

void OneHeapForAllThreads() {
    mallopt(M_ARENA_MAX, 1);
}

void MapProgramAtOnce() {
#if defined(MADV_POPULATE_READ)
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void*) {
            const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& segment = info->dlpi_phdr[i];
                if (segment.p_type != PT_LOAD || (segment.p_flags & PF_W)) continue;
                const std::uintptr_t start = (info->dlpi_addr + segment.p_vaddr) & ~(page - 1);
                const std::uintptr_t end = (info->dlpi_addr + segment.p_vaddr + segment.p_memsz + page - 1) & ~(page - 1);
                madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_READ);
            }
            return 1;   // the program is the first object; the libraries are left as they are
        },
        nullptr);
#endif
}

} // namespace platform
