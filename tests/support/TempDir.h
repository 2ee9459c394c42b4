// A private folder under the system's temporary directory, removed with everything in it when
// the object goes away. Tests write their real files here.
#pragma once

#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return mPath; }
    // Path of a file inside the folder.
    std::string File(const std::string& name) const { return mPath + "/" + name; }

private:
    std::string mPath;
};

} // namespace testsupport
