// The exception of one type that a call throws, if it throws one, so a test can look at its case, detail
// and message (and fail plainly when nothing was thrown).
#pragma once

#include <gtest/gtest.h>
#include <optional>
#include <string>

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
