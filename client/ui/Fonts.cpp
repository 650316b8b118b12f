#include "Fonts.h"

#include "Boundary.h"

#include <QApplication>
#include <QFont>
#include <cstdlib>
#include <filesystem>

namespace kestrova::ui {

std::string fontConfigFile()
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    std::vector<fs::path> candidates;
    if (!error)
        candidates.push_back(exe.parent_path().parent_path() / "share/kestrova/fonts/kestrova-fonts.conf");
#ifdef KESTROVA_ASSET_DIR
    candidates.push_back(fs::path(KESTROVA_ASSET_DIR) / "fonts/kestrova-fonts.conf");
#endif
    for (const fs::path& candidate : candidates) {
        if (fs::is_regular_file(candidate, error))
            return candidate.string();
    }
    return {};
}

void prepareFontConfig()
{
    if (const char* set = std::getenv("FONTCONFIG_FILE"); set && *set)
        return;
    const std::string file = fontConfigFile();
    if (!file.empty())
        ::setenv("FONTCONFIG_FILE", file.c_str(), 1);
}

void installFontFallbacks()
{
    const QStringList kai{QStringLiteral("AR PL UKai CN"), QStringLiteral("AR PL UKai TW")};
    const QStringList ming{QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW")};
    for (const char* family : {"楷体", "KaiTi", "楷体_GB2312", "SimKai"})
        QFont::insertSubstitutions(QString::fromUtf8(family), kai);
    for (const char* family : {"宋体", "SimSun", "新宋体", "NSimSun"})
        QFont::insertSubstitutions(QString::fromUtf8(family), ming);
    QFont base(QString::fromUtf8("宋体"));
    base.setPixelSize(12);
    QApplication::setFont(base);
}

} // namespace kestrova::ui
