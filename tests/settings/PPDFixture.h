// The model the synthetic printer description in tests/fixtures/ppd parses to, written out by hand, and
// small builders for tests that make their own files.
#pragma once

#include "PrintKit/settings/PPDFile.h"

#include <string>

namespace PPDFixture {

// The fixture file and its bytes.
std::string path();
std::string bytes();

// What the fixture reads as with the translation languages {"ko"}; withJapanese adds the "ja" lines.
PrintKit::PPDFile expectedModel(bool withJapanese = false);

// Compares whole models; on a difference the JSON forms are shown side by side to find it.
void expectSameModel(const PrintKit::PPDFile& actual, const PrintKit::PPDFile& expected);

// The fixture's text with `from` replaced by `to` (exactly one occurrence, or the test set-up fails).
std::string replacing(const std::string& from, const std::string& to);

} // namespace PPDFixture
