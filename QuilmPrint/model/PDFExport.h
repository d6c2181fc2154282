// Where an exported sheet lands: a file named after its photo in the folder the user chose, never replacing a
// file that is already there (a number is added instead), and never seen half-written.
#pragma once

#include <filesystem>
#include <string>

namespace QuilmPrint::PDFExport {

// "stem.pdf" for the first number, "stem (2).pdf", "stem (3).pdf"… for the following ones.
std::string fileName(const std::string& stem, int number);

// Moves the finished file `rendered` (in `folder`) to the first free name of the stem and returns it. A file
// that appears under a name meanwhile is never replaced. Throws std::system_error; `rendered` is then left
// for the caller to remove.
std::filesystem::path place(const std::filesystem::path& rendered, const std::filesystem::path& folder,
                            const std::string& stem);

} // namespace QuilmPrint::PDFExport
