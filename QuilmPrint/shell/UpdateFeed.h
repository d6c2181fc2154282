// The update feed of a build that is set up for updates, without Qt: fetching it over HTTP or HTTPS with
// bounded waits, checking its Ed25519 signature against the build's public key, reading it, and comparing its
// version with the program's.
//
// The feed is one JSON document, a signed envelope:
//     {"feed": "<the feed's JSON text>", "signature": "<base64 of the 64-byte Ed25519 signature>"}
// The signature covers the UTF-8 bytes of the "feed" string as the string decodes, so the signed text is
// exactly the one that is read, whatever spacing the envelope has. The feed's JSON text:
//     {"schemaVersion": 1, "version": "1.2.0", "notes": "plain text", "downloadPage": "https://…"}
// `version` is whole numbers joined by dots; `notes` is plain text, possibly empty; `downloadPage` is an http
// or https address. The build's public key is the base64 of the raw 32-byte Ed25519 public key.
#pragma once

#include "PrintKit/support/Error.h"

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace QuilmPrint {

enum class UpdateFeedErrorCode {
    unreachable,  // detail: the server's host
    timedOut,     // the server did not answer within the bounds
    serverError,  // detail: "HTTP" and the status
    tooLarge,     // larger than any feed
    badKey,       // the build's public key is not an Ed25519 key
    badSignature, // the feed was not signed with the build's key, or was changed since
    unreadable,   // not a feed of this kind
    cancelled,    // the program is ending
};
std::string errorMessage(UpdateFeedErrorCode code, const std::string& detail);
using UpdateFeedError = PrintKit::ServiceError<UpdateFeedErrorCode>;

// What a feed offers.
struct UpdateFeedEntry {
    std::string version;
    std::string notes;
    std::string downloadPage;
    bool operator==(const UpdateFeedEntry&) const = default;
};

// A read feed and how it stands to the installed version.
struct UpdateFeedAnswer {
    UpdateFeedEntry entry;
    bool newer = false;
};

namespace UpdateFeed {

struct FetchLimits {
    long connectSeconds = 10;
    long totalSeconds = 30;
    std::size_t maxBytes = 256 * 1024;
};

// The body of `url`; throws UpdateFeedError. Ends early, as cancelled, once *stop is set.
std::string fetch(const std::string& url, const FetchLimits& limits = {},
                  const std::atomic<bool>* stop = nullptr);

// Checks the envelope's signature with `publicKey` (base64), then reads the feed it carries; throws
// UpdateFeedError (badKey, badSignature, unreadable).
UpdateFeedEntry read(std::string_view envelope, std::string_view publicKey);

// Negative, zero or positive as `a` is older than, the same as or newer than `b`, comparing the dotted
// numbers one by one, a missing one counting as 0 (1.2 is 1.2.0); nothing when either is not dotted numbers.
std::optional<int> compareVersions(std::string_view a, std::string_view b);

// Fetch, verify, read, compare against `installedVersion`; throws UpdateFeedError.
UpdateFeedAnswer check(const std::string& url, std::string_view publicKey, std::string_view installedVersion,
                       const FetchLimits& limits = {}, const std::atomic<bool>* stop = nullptr);

// Strict standard base64 with padding (surrounding blanks allowed); nothing when the text is not.
std::optional<std::vector<unsigned char>> decodeBase64(std::string_view text);

} // namespace UpdateFeed

} // namespace QuilmPrint
