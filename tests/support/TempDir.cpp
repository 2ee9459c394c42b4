#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace testsupport {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/dudez-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    mPath = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests may leave read-only folders behind; give the owner rights back before removing.
    for (auto it = std::filesystem::recursive_directory_iterator(mPath, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::permissions(mPath, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(mPath, ignored);
}

} // namespace testsupport
