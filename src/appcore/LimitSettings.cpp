#include "appcore/LimitSettings.h"

#include <filesystem>
#include <system_error>

#include "runtime/Errors.h"
#include "runtime/PrivateProfile.h"
#include "runtime/TextToTime.h"
#include "runtime/Windows1252.h"

namespace hourlink {
namespace {

// The label "AUP" that precedes the hours.
constexpr std::size_t kLabelCharacters = 3;

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
}

} // namespace

std::string IniFileNameFor(const std::string& executablePath) {
    const std::size_t slash = executablePath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : executablePath.substr(0, slash + 1);
    return folder + kIniBaseName;
}

std::string ReadTimeLimitText(const std::string& iniFileName) {
    return Windows1252ToUtf8(GetPrivateProfileString(kSettingsSection, kTimeLimitKey, kDefaultTimeLimitText,
                                                     iniFileName, kSettingsBufferSize));
}

void WriteTimeLimitText(const std::string& iniFileName, const std::string& text) {
    // The user's configuration folder may not be there yet. A folder that cannot be made shows as the
    // failed write below, with its usual message.
    const std::filesystem::path folder = std::filesystem::path(iniFileName).parent_path();
    if (!folder.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
    }
    if (!WritePrivateProfileString(kSettingsSection, kTimeLimitKey, Utf8ToWindows1252(text), iniFileName)) {
        throw EIniFileException("Unable to write to " + iniFileName);
    }
}

std::string TimeLimitPart(const std::string& comboText) {
    std::size_t pos = 0;
    for (std::size_t skipped = 0; skipped < kLabelCharacters && pos < comboText.size(); ++skipped) {
        ++pos;
        while (pos < comboText.size() && IsContinuationByte(comboText[pos])) {
            ++pos;
        }
    }
    return comboText.substr(pos);
}

DateTime ParseTimeLimit(const std::string& comboText, const FormatSettings& format) {
    return StrToTime(TimeLimitPart(comboText), format);
}

} // namespace hourlink
