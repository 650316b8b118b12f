#include "BankImport.h"

#include "BankService.h"
#include "SvgRender.h"
#include "http/Pages.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <net/TextOps.h>
#include <nlohmann/json.hpp>
#include <set>
#include <sodium.h>
#include <sstream>

namespace kestrova::services {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::optional<std::string> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return bytes.str();
}

std::string hexSha256(std::string_view bytes)
{
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    char hex[sizeof digest * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    return hex;
}

// "<folder>/<name>.svg" of letters, digits, "-" and "_"; the name may hold dots too (sizes like
// "3.5"), which the client's picture test tolerates unless the served address's fourth
// dot-separated piece became "swf", the mark of a flash clip.
bool validPictureName(std::string_view name)
{
    const auto part = [](std::string_view text, bool dots) {
        if (text.empty() || text.front() == '-' || text.front() == '_' || text.front() == '.' ||
            text.find("..") != std::string_view::npos)
            return false;
        return std::all_of(text.begin(), text.end(), [dots](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                   c == '_' || (dots && c == '.');
        });
    };
    if (!name.ends_with(".svg"))
        return false;
    const std::string_view stem = name.substr(0, name.size() - 4);
    const std::size_t slash = stem.find('/');
    if (slash == std::string_view::npos || !part(stem.substr(0, slash), false) ||
        !part(stem.substr(slash + 1), true))
        return false;
    const auto pieces = net::splitText(BankService::pictureUrl(name), ".");
    return pieces.size() < 4 || pieces[3] != "swf";
}

// Why a text cannot go into the bank, or empty. The client splits answers at double quotes and
// stops at a zero byte, and reads GBK only.
std::string textFault(const std::string& text)
{
    if (!isValidUtf8(text))
        return "is not valid UTF-8";
    if (text.find('"') != std::string::npos)
        return "contains a double quote (use 「」 or “” instead)";
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "contains a control character (line break, tab or the like)";
    if (!utf8ToGbk(text))
        return "contains a character that GBK does not have";
    return {};
}

struct Entry
{
    std::string file;
    std::size_t position; // 1-based within the file's list
    std::optional<int> index;

    std::string operator()(std::string_view fault) const
    {
        std::string where = file + ": question " + std::to_string(position);
        if (index)
            where += " (index " + std::to_string(*index) + ")";
        return where + ": " + std::string(fault);
    }
};

std::optional<std::string> stringField(const json& object, const char* key, const Entry& entry,
                                       std::string& out, bool required = true)
{
    const auto found = object.find(key);
    if (found == object.end()) {
        if (!required)
            return std::nullopt;
        return entry(std::string("has no \"") + key + "\"");
    }
    if (!found->is_string())
        return entry(std::string("\"") + key + "\" is not a text");
    out = found->get<std::string>();
    if (const std::string fault = textFault(out); !fault.empty())
        return entry(std::string("\"") + key + "\" " + fault);
    return std::nullopt;
}

// Checks one question; its fields go into out. An error message or nullopt.
std::optional<std::string> readQuestion(const json& item, const SubjectRange& range, const Entry& entryIn,
                                        Question& out)
{
    Entry entry = entryIn;
    if (!item.is_object())
        return entry("is not an object");
    const auto index = item.find("index");
    if (index == item.end() || !index->is_number_integer())
        return entry("has no whole-number \"index\"");
    out.index = index->get<int>();
    entry.index = out.index;
    if (out.index < range.first || out.index > range.last)
        return entry("index is outside " + std::string(range.subject) + "'s range " +
                     std::to_string(range.first) + " to " + std::to_string(range.last));
    out.subject = std::string(range.subject);

    if (auto error = stringField(item, "question", entry, out.text))
        return error;
    if (out.text.empty())
        return entry("\"question\" is empty");

    const auto options = item.find("options");
    if (options == item.end() || !options->is_array() || options->size() != 4)
        return entry("\"options\" is not a list of four texts");
    for (std::size_t i = 0; i < 4; ++i) {
        if (!(*options)[i].is_string())
            return entry("option " + std::to_string(i + 1) + " is not a text");
        out.options[i] = (*options)[i].get<std::string>();
        if (const std::string fault = textFault(out.options[i]); !fault.empty())
            return entry("option " + std::to_string(i + 1) + " " + fault);
    }

    if (auto error = stringField(item, "answer", entry, out.answer))
        return error;
    if (out.answer.empty() || out.answer.size() > 4 ||
        !std::all_of(out.answer.begin(), out.answer.end(), [](char c) { return c >= '1' && c <= '4'; }))
        return entry("answer \"" + out.answer + "\" is not made of the digits 1 to 4");
    if (!std::is_sorted(out.answer.begin(), out.answer.end()) ||
        std::adjacent_find(out.answer.begin(), out.answer.end()) != out.answer.end())
        return entry("answer \"" + out.answer + "\" does not list its digits once each in ascending order");

    const auto emptyOptions =
        std::count_if(out.options.begin(), out.options.end(), [](const auto& o) { return o.empty(); });
    if (emptyOptions == 4) {
        if (out.answer != "1" && out.answer != "2")
            return entry("a true/false question (four empty options) must have the answer 1 or 2, not \"" +
                         out.answer + "\"");
    } else if (emptyOptions != 0) {
        return entry("options must be all four filled (a choice question) or all four empty (true/false)");
    }

    if (auto error = stringField(item, "picture", entry, out.picture))
        return error;
    if (!out.picture.empty() && !validPictureName(out.picture))
        return entry("picture \"" + out.picture +
                     "\" is not of the form <folder>/<name>.svg (letters, digits, - and _)");

    if (auto error = stringField(item, "explanation", entry, out.explanation))
        return error;
    if (out.explanation.empty())
        return entry("\"explanation\" is empty");
    if (auto error = stringField(item, "topic", entry, out.topic, false))
        return error;
    return std::nullopt;
}

} // namespace

const std::vector<SubjectRange>& subjectRanges()
{
    static const std::vector<SubjectRange> ranges = {
        {"科目一", "subject1.json", 1, 974},
        {"科目四", "subject4.json", 1536, 1773},
    };
    return ranges;
}

std::variant<BankReplacement, std::string> prepareBank(const std::vector<fs::path>& files,
                                                       const fs::path& picturesDir)
{
    if (sodium_init() < 0)
        return std::string("cannot start libsodium");
    if (files.empty())
        return std::string("no bank file given");
    BankReplacement replacement;
    std::map<std::string, Picture> pictures; // by name
    std::set<std::string> subjectsSeen;

    for (const fs::path& path : files) {
        const std::string file = path.filename().string();
        const auto bytes = readFile(path);
        if (!bytes)
            return path.string() + ": cannot read the file";
        json document;
        try {
            document = json::parse(*bytes);
        } catch (const json::parse_error& error) {
            return file + ": not valid JSON (" + error.what() + ")";
        }
        if (!document.is_object())
            return file + ": the file must hold one object with \"subject\" and \"questions\"";
        const auto subject = document.find("subject");
        if (subject == document.end() || !subject->is_string())
            return file + ": has no \"subject\" text";
        const std::string subjectText = subject->get<std::string>();
        const auto range = std::find_if(subjectRanges().begin(), subjectRanges().end(),
                                        [&](const SubjectRange& r) { return r.subject == subjectText; });
        if (range == subjectRanges().end())
            return file + ": subject \"" + subjectText + "\" is neither 科目一 nor 科目四";
        if (!subjectsSeen.insert(subjectText).second)
            return file + ": subject " + subjectText + " is given by two files";
        const auto list = document.find("questions");
        if (list == document.end() || !list->is_array())
            return file + ": has no \"questions\" list";

        std::set<int> indexes;
        std::string digestInput = *bytes;
        std::set<std::string> filePictures;
        for (std::size_t i = 0; i < list->size(); ++i) {
            Question question;
            const Entry entry{file, i + 1, std::nullopt};
            if (auto error = readQuestion((*list)[i], *range, entry, question))
                return *error;
            if (!indexes.insert(question.index).second)
                return Entry{file, i + 1, question.index}("index is used by an earlier question too");
            if (!question.picture.empty() && !pictures.contains(question.picture)) {
                const auto svg = readFile(picturesDir / question.picture);
                if (!svg)
                    return Entry{file, i + 1, question.index}(
                        "picture file " + (picturesDir / question.picture).string() + " cannot be read");
                std::string renderError;
                auto png = renderSvgToPng(*svg, kPictureWidth, kPictureHeight, renderError);
                if (!png)
                    return Entry{file, i + 1, question.index}("picture " + question.picture +
                                                              " does not render: " + renderError);
                pictures.emplace(question.picture, Picture{question.picture, *svg, std::move(*png)});
            }
            if (!question.picture.empty())
                filePictures.insert(question.picture);
            replacement.questions.push_back(std::move(question));
        }
        // The digest covers the pictures too, so a redrawn picture counts as a changed bank.
        for (const std::string& name : filePictures)
            digestInput += "\n" + name + "\n" + pictures.at(name).svg;
        replacement.sources.push_back({subjectText, hexSha256(digestInput)});
    }
    for (auto& [name, picture] : pictures)
        replacement.pictures.push_back(std::move(picture));
    return replacement;
}

std::string importBank(Store& store, const std::vector<fs::path>& files, const fs::path& picturesDir,
                       BankSummary* summary)
{
    auto prepared = prepareBank(files, picturesDir);
    if (auto* error = std::get_if<std::string>(&prepared))
        return *error;
    auto& replacement = std::get<BankReplacement>(prepared);
    try {
        store.replaceBank(replacement, nowMillis());
    } catch (const StoreError& error) {
        return std::string("the database refused the bank, nothing was changed: ") + error.what();
    }
    if (summary) {
        summary->questions = static_cast<int>(replacement.questions.size());
        summary->pictures = static_cast<int>(replacement.pictures.size());
        for (const auto& source : replacement.sources)
            summary->subjects.push_back(source.subject);
    }
    return {};
}

std::string syncBank(Store& store, const fs::path& bankDir)
{
    std::vector<fs::path> files;
    for (const auto& range : subjectRanges()) {
        std::error_code ec;
        if (fs::is_regular_file(bankDir / range.fileName, ec))
            files.push_back(bankDir / range.fileName);
    }
    if (files.empty())
        return "no bank files in " + bankDir.string() + "; the bank in the database stays as it is";
    auto prepared = prepareBank(files, bankDir / "pictures");
    if (auto* error = std::get_if<std::string>(&prepared))
        return "the bank files were not imported, the bank in the database stays as it is: " + *error;
    auto& replacement = std::get<BankReplacement>(prepared);
    const bool unchanged =
        std::all_of(replacement.sources.begin(), replacement.sources.end(),
                    [&](const auto& source) { return store.bankDigest(source.subject) == source.digest; });
    if (unchanged)
        return "the bank in the database matches " + bankDir.string();
    store.replaceBank(replacement, nowMillis());
    return "imported " + std::to_string(replacement.questions.size()) + " questions and " +
           std::to_string(replacement.pictures.size()) + " pictures from " + bankDir.string();
}

std::string exportBank(Store& store, const fs::path& outDir, BankSummary* summary)
{
    std::error_code ec;
    fs::create_directories(outDir / "pictures", ec);
    if (ec)
        return "cannot create " + (outDir / "pictures").string() + ": " + ec.message();
    std::set<std::string> pictureNames;
    for (const auto& range : subjectRanges()) {
        const auto questions = store.questions(range.subject);
        if (questions.empty())
            continue;
        json list = json::array();
        for (const Question& q : questions) {
            json item = {{"index", q.index},
                         {"question", q.text},
                         {"options", {q.options[0], q.options[1], q.options[2], q.options[3]}},
                         {"answer", q.answer},
                         {"picture", q.picture},
                         {"explanation", q.explanation},
                         {"topic", q.topic}};
            list.push_back(std::move(item));
            if (!q.picture.empty())
                pictureNames.insert(q.picture);
        }
        const json document = {{"subject", std::string(range.subject)}, {"questions", std::move(list)}};
        std::ofstream out(outDir / range.fileName, std::ios::binary | std::ios::trunc);
        out << document.dump(2, ' ', false) << "\n";
        if (!out)
            return "cannot write " + (outDir / range.fileName).string();
        if (summary) {
            summary->questions += static_cast<int>(questions.size());
            summary->subjects.emplace_back(range.subject);
        }
    }
    for (const std::string& name : pictureNames) {
        const auto picture = store.picture(name);
        if (!picture)
            return "picture " + name + " is missing from the database";
        const fs::path target = outDir / "pictures" / name;
        fs::create_directories(target.parent_path(), ec);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out << picture->svg;
        if (!out)
            return "cannot write " + target.string();
        if (summary)
            ++summary->pictures;
    }
    return {};
}

} // namespace kestrova::services
