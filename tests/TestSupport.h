// Small helpers shared by the test programs.
#pragma once

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
// The names in a folder, sorted: a failed write must leave no temporary file behind.
std::vector<std::string> filesIn(const std::filesystem::path& folder);
void writeFile(const std::filesystem::path& path, std::string_view bytes);

// An environment variable set (or, for no value, removed) for the life of the object, then restored.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// Runs a shell command (test set-up only); returns its exit status and, if asked, its standard output.
int run(const std::string& command, std::string* output = nullptr);
bool haveProgram(const std::string& name);

// The exception of one type that a call throws, if it throws one.
template <typename Error, typename Call> std::optional<Error> thrown(Call&& call) {
    try {
        call();
    } catch (const Error& error) {
        return error;
    }
    return std::nullopt;
}

// Fails unless the call throws an Error of this case with exactly this message.
template <typename Error, typename Call, typename Code>
void expectFailure(Call&& call, Code code, const std::string& message) {
    auto error = thrown<Error>(call);
    ASSERT_TRUE(error) << "nothing thrown; expected: " << message;
    EXPECT_EQ(error->code(), code);
    EXPECT_EQ(error->message(), message);
}

} // namespace TestSupport
