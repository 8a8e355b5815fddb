#include "runtime/TextToTime.h"

#include <optional>

#include "runtime/Errors.h"

namespace hourlink {
namespace {

// Every field of a time is below 1000; a longer number is wrong however many digits it has, and is
// never allowed to wrap round into a valid one.
constexpr int kFieldLimit = 1000;

class TimeScanner {
public:
    TimeScanner(const std::string& text, const FormatSettings& format) : m_text(text), m_format(format) {}

    void SkipBlanks() {
        while (m_pos < m_text.size() && m_text[m_pos] == ' ') {
            ++m_pos;
        }
    }

    // Takes `token` at the next non-blank position, comparing ASCII letters without regard to case.
    bool Take(const std::string& token) {
        SkipBlanks();
        if (token.empty() || m_text.size() - m_pos < token.size()) {
            return false;
        }
        for (std::size_t i = 0; i < token.size(); ++i) {
            if (Lower(m_text[m_pos + i]) != Lower(token[i])) {
                return false;
            }
        }
        m_pos += token.size();
        return true;
    }

    // 0 for a morning designator, 12 for an afternoon one.
    std::optional<int> TakeDesignator() {
        if (Take(m_format.amDesignator) || Take("AM")) {
            return 0;
        }
        if (Take(m_format.pmDesignator) || Take("PM")) {
            return 12;
        }
        return std::nullopt;
    }

    // A run of decimal digits at the next non-blank position; nothing when there is no digit or the
    // number reaches kFieldLimit.
    std::optional<int> TakeNumber() {
        SkipBlanks();
        const std::size_t start = m_pos;
        int value = 0;
        bool tooLarge = false;
        while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9') {
            if (!tooLarge) {
                value = value * 10 + (m_text[m_pos] - '0');
                tooLarge = value >= kFieldLimit;
            }
            ++m_pos;
        }
        if (m_pos == start || tooLarge) {
            return std::nullopt;
        }
        return value;
    }

    [[nodiscard]] bool AtEnd() const { return m_pos == m_text.size(); }

private:
    static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

    const std::string& m_text;
    const FormatSettings& m_format;
    std::size_t m_pos = 0;
};

std::optional<DateTime> ScanTime(const std::string& text, const FormatSettings& format) {
    TimeScanner scan(text, format);
    std::optional<int> base = scan.TakeDesignator();
    const std::optional<int> hour = scan.TakeNumber();
    if (!hour) {
        return std::nullopt;
    }
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    if (scan.Take(format.timeSeparator)) {
        const std::optional<int> m = scan.TakeNumber();
        if (!m) {
            return std::nullopt;
        }
        minute = *m;
        if (scan.Take(format.timeSeparator)) {
            const std::optional<int> s = scan.TakeNumber();
            if (!s) {
                return std::nullopt;
            }
            second = *s;
            if (scan.Take(format.decimalSeparator)) {
                const std::optional<int> ms = scan.TakeNumber();
                if (!ms) {
                    return std::nullopt;
                }
                millisecond = *ms;
            }
        }
    }
    if (!base) {
        base = scan.TakeDesignator();
    }
    int h = *hour;
    if (base) {
        if (h < 1 || h > 12) {
            return std::nullopt;
        }
        h = h % 12 + *base;
    }
    scan.SkipBlanks();
    if (!scan.AtEnd() || h >= 24 || minute >= 60 || second >= 60) {
        return std::nullopt;
    }
    return EncodeTime(h, minute, second, millisecond);
}

} // namespace

DateTime StrToTime(const std::string& text, const FormatSettings& format) {
    if (const std::optional<DateTime> value = ScanTime(text, format)) {
        return *value;
    }
    throw EConvertError("'" + text + "' is not a valid time");
}

} // namespace hourlink
