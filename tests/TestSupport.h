// Small helpers shared by the test programs.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace TestSupport {

// A fresh folder under the system's temporary folder, removed with everything in it at the end of scope.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::filesystem::path fixture(const std::string& relative); // a file below tests/fixtures
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, std::string_view bytes);

// Runs a shell command (test set-up only); returns its exit status and, if asked, its standard output.
int run(const std::string& command, std::string* output = nullptr);
bool haveProgram(const std::string& name);

} // namespace TestSupport
