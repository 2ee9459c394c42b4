// Whole-file reads and writes for tests, and a listing of a folder's entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

// Throws std::runtime_error when the file cannot be read.
Bytes ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);
void WriteFileText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path); // lstat: dangling links count
// Names of the entries of a folder, sorted.
std::vector<std::string> ListDir(const std::string& path);

} // namespace testsupport
