// Loading the question bank from its UTF-8 JSON files (format: services/bank/README.md) and
// writing it back out. Import checks everything first and changes the database in one
// transaction, so a bad file is refused whole and nothing is half-imported.
#pragma once

#include "store/Store.h"

#include <filesystem>
#include <string>
#include <variant>
#include <vector>

namespace kestrova::services {

struct SubjectRange
{
    std::string_view subject;
    std::string_view fileName;
    int first;
    int last;
};
// 科目一: indexes 1 to 974 in subject1.json; 科目四: 1536 to 1773 in subject4.json.
const std::vector<SubjectRange>& subjectRanges();

// The largest size pictures are rendered at (the client's picture box).
inline constexpr int kPictureWidth = 216;
inline constexpr int kPictureHeight = 198;

// Reads and checks the files; pictures ("<folder>/<name>.svg") are looked up under picturesDir
// and rendered. Either the whole replacement or a message naming the file, the entry and the fault.
std::variant<BankReplacement, std::string> prepareBank(const std::vector<std::filesystem::path>& files,
                                                       const std::filesystem::path& picturesDir);

struct BankSummary
{
    int questions = 0;
    int pictures = 0;
    std::vector<std::string> subjects;
};

// prepareBank, then one replaceBank. Returns an error text, empty on success.
std::string importBank(Store& store, const std::vector<std::filesystem::path>& files,
                       const std::filesystem::path& picturesDir, BankSummary* summary = nullptr);

// At start: imports the bank files found in bankDir (subject1.json, subject4.json, pictures/)
// when they differ from what the database holds. Returns a message for the log: what happened,
// or why the old bank stays.
std::string syncBank(Store& store, const std::filesystem::path& bankDir);

// Writes subject1.json / subject4.json and pictures/ into outDir in the import format, so an
// export imports back unchanged. Returns an error text, empty on success.
std::string exportBank(Store& store, const std::filesystem::path& outDir, BankSummary* summary = nullptr);

} // namespace kestrova::services
