// Loads the shipped bank files and checks what a learner walking the whole bank relies on.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <librsvg/rsvg.h>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kBankDir = KESTROVA_BANK_DIR;

struct SubjectFile
{
    const char* file;
    const char* subject;
    int first;
    int last;
    bool severalAnswers; // several-answer questions allowed
};

const SubjectFile kSubjects[] = {
    {"subject1.json", "科目一", 1, 974, false},
    {"subject4.json", "科目四", 1536, 1773, true},
};

void PrintTo(const SubjectFile& subject, std::ostream* out)
{
    *out << subject.file;
}

// The ways an explanation may write a whole number: 90, 九十; 2 also as 两.
std::vector<std::string> spellings(const std::string& digits)
{
    std::vector<std::string> forms = {digits};
    if (digits.find('.') != std::string::npos || digits.size() > 4)
        return forms;
    static const char* const kDigit[] = {"零", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
    static const char* const kUnit[] = {"", "十", "百", "千"};
    const int n = std::stoi(digits);
    std::string chinese;
    bool pendingZero = false;
    const std::string text = std::to_string(n);
    for (size_t i = 0; i < text.size(); ++i) {
        const int d = text[i] - '0';
        const size_t unit = text.size() - 1 - i;
        if (d == 0) {
            pendingZero = !chinese.empty();
            continue;
        }
        if (pendingZero)
            chinese += kDigit[0];
        pendingZero = false;
        if (!(d == 1 && unit == 1 && i == 0)) // 十, not 一十
            chinese += kDigit[d];
        chinese += kUnit[unit];
    }
    forms.push_back(n == 0 ? kDigit[0] : chinese);
    if (n == 2)
        forms.emplace_back("两");
    return forms;
}

json load(const SubjectFile& subject)
{
    std::ifstream in(kBankDir / subject.file);
    if (!in)
        return json();
    return json::parse(in, nullptr, false);
}

bool isDigitAnswer(const std::string& answer, bool several)
{
    if (answer.empty() || answer.size() > (several ? 4u : 1u))
        return false;
    for (size_t i = 0; i < answer.size(); ++i) {
        if (answer[i] < '1' || answer[i] > '4')
            return false;
        if (i > 0 && answer[i] <= answer[i - 1])
            return false; // digits ascending, none twice
    }
    return true;
}

class BankContent : public testing::TestWithParam<SubjectFile>
{
};

TEST_P(BankContent, EveryIndexHoldsOneValidQuestion)
{
    const SubjectFile& subject = GetParam();
    const json bank = load(subject);
    ASSERT_TRUE(bank.is_object()) << subject.file << " is missing or not valid JSON";
    EXPECT_EQ(bank.value("subject", ""), subject.subject);
    ASSERT_TRUE(bank["questions"].is_array());

    std::map<int, int> seen;
    std::set<std::string> texts;
    int motorcycle = 0;
    for (const json& q : bank["questions"]) {
        const int index = q.value("index", -1);
        const std::string where = std::string(subject.file) + " index " + std::to_string(index);
        ++seen[index];
        const std::string text = q.value("question", "");
        const std::string answer = q.value("answer", "");
        const std::string explanation = q.value("explanation", "");
        const std::string picture = q.value("picture", "");
        EXPECT_FALSE(text.empty()) << where;
        EXPECT_TRUE(texts.insert(text).second) << where << ": the same question text stands twice";
        EXPECT_FALSE(explanation.empty()) << where;
        ASSERT_TRUE(q["options"].is_array() && q["options"].size() == 4) << where;

        int emptyOptions = 0;
        std::vector<std::string> values = {text, answer, explanation, picture, q.value("topic", "")};
        for (const json& option : q["options"]) {
            values.push_back(option.get<std::string>());
            emptyOptions += option.get<std::string>().empty() ? 1 : 0;
        }
        // The client cuts answers at double quotes; none may stand inside a value.
        for (const std::string& value : values)
            EXPECT_EQ(value.find('"'), std::string::npos) << where << ": " << value;

        const bool trueFalse = emptyOptions == 4;
        EXPECT_TRUE(emptyOptions == 0 || trueFalse)
            << where << ": options empty only for true/false questions";
        if (trueFalse) {
            EXPECT_TRUE(answer == "1" || answer == "2") << where << ": true/false answer " << answer;
        } else {
            EXPECT_TRUE(isDigitAnswer(answer, subject.severalAnswers)) << where << ": answer " << answer;
        }
        if (!picture.empty()) {
            EXPECT_TRUE(fs::is_regular_file(kBankDir / "pictures" / picture))
                << where << ": no picture " << picture;
        }
        if (text.find("摩托车") != std::string::npos)
            ++motorcycle;
    }
    for (int index = subject.first; index <= subject.last; ++index)
        EXPECT_EQ(seen[index], 1) << subject.file << ": index " << index << " must hold exactly one question";
    EXPECT_EQ(seen.size(), static_cast<size_t>(subject.last - subject.first + 1))
        << "indexes outside the range";
    // Motorcycle questions stay rare: practice skips them.
    EXPECT_LT(motorcycle * 50, static_cast<int>(bank["questions"].size()))
        << motorcycle << " motorcycle questions";
}

// Where every option is a number with its unit (speeds, distances, points, days), the explanation
// must state the number of the answer it explains.
TEST_P(BankContent, NumericAnswersAgreeWithTheirExplanations)
{
    const json bank = load(GetParam());
    ASSERT_TRUE(bank.is_object());
    const std::regex leadingNumber(R"(^\D{0,6}?(\d+(?:\.\d+)?))");
    int checked = 0;
    for (const json& q : bank["questions"]) {
        const std::string answer = q.value("answer", "");
        if (answer.size() != 1 || q["options"][0].get<std::string>().empty())
            continue;
        std::vector<std::string> numbers;
        for (const json& option : q["options"]) {
            std::smatch m;
            const std::string text = option.get<std::string>();
            if (std::regex_search(text, m, leadingNumber))
                numbers.push_back(m[1]);
        }
        if (numbers.size() != 4)
            continue;
        const std::string& right = numbers[static_cast<size_t>(answer[0] - '1')];
        const std::string explanation = q.value("explanation", "");
        bool stated = false;
        for (const std::string& form : spellings(right)) {
            const std::regex asNumber("(^|[^0-9.])" + std::regex_replace(form, std::regex(R"(\.)"), R"(\.)") +
                                      "($|[^0-9])");
            stated = stated || std::regex_search(explanation, asNumber);
        }
        EXPECT_TRUE(stated) << "index " << q.value("index", -1) << ": answer " << right
                            << " not in: " << explanation;
        ++checked;
    }
    EXPECT_GT(checked, 0) << "no numeric question found to check";
}

INSTANTIATE_TEST_SUITE_P(Subjects, BankContent, testing::ValuesIn(kSubjects),
                         [](const testing::TestParamInfo<SubjectFile>& info) {
                             return std::string(info.param.first == 1 ? "Subject1" : "Subject4");
                         });

TEST(BankPictures, EveryPictureRenders)
{
    int pictures = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kBankDir / "pictures")) {
        if (entry.path().extension() != ".svg")
            continue;
        ++pictures;
        GError* error = nullptr;
        RsvgHandle* handle = rsvg_handle_new_from_file(entry.path().c_str(), &error);
        ASSERT_NE(handle, nullptr) << entry.path() << ": " << (error ? error->message : "unreadable");
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 200);
        cairo_t* cr = cairo_create(surface);
        const RsvgRectangle viewport{0, 0, 200, 200};
        EXPECT_TRUE(rsvg_handle_render_document(handle, cr, &viewport, &error))
            << entry.path() << ": " << (error ? error->message : "does not render");
        // Something was drawn: not every pixel is transparent.
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        bool drawn = false;
        for (int y = 0; y < 200 && !drawn; ++y) {
            for (int x = 0; x < 200 && !drawn; ++x)
                drawn = data[y * stride + x * 4 + 3] != 0;
        }
        EXPECT_TRUE(drawn) << entry.path() << " draws nothing";
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        g_object_unref(handle);
        if (error)
            g_error_free(error);
    }
    EXPECT_GT(pictures, 0);
}

} // namespace
