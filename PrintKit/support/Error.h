// The one error shape of the engine: every service has an enum class of cases and a function that turns a
// case (and its detail, where the case carries one) into the Korean message the user reads. The exception
// carries the case, the detail and the message, so callers can branch on the case and show the text as is.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace PrintKit {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// Code is a service's enum class; errorMessage(Code, const std::string&) must be declared in the code's
// namespace (found by argument-dependent lookup).
template <typename Code>
class ServiceError : public Error {
public:
    explicit ServiceError(Code code, std::string detail = {})
        : Error(errorMessage(code, detail)), code_(code), detail_(std::move(detail)) {}

    Code code() const noexcept { return code_; }
    const std::string& detail() const noexcept { return detail_; }
    std::string message() const { return what(); }

private:
    Code code_;
    std::string detail_;
};

} // namespace PrintKit
