// Text-to-time under fuzzed texts and fuzzed locale separators and designators: the answer is a time of
// day in whole milliseconds or the conversion error with its exact message, nothing else; and a time
// written out with the locale's own separators reads back exactly.
#include <cmath>
#include <cstdint>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzSupport.h"
#include "runtime/DateTime.h"
#include "runtime/Errors.h"
#include "runtime/FormatSettings.h"
#include "runtime/TextToTime.h"

namespace hourlink::fuzz {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A separator that cannot be mistaken for a digit, a blank or the start of a designator.
bool PlainSeparator(const std::string& s) {
    if (s.empty()) {
        return false;
    }
    for (const char c : s) {
        if (IsDigit(c) || IsLetter(c) || c == ' ') {
            return false;
        }
    }
    return true;
}

// Designators that a reader cannot confuse with each other or with "AM"/"PM": letters only, and first
// letters that differ from each other and from the other's "a"/"p".
bool PlainDesignators(const FormatSettings& f) {
    for (const std::string* d : {&f.amDesignator, &f.pmDesignator}) {
        if (d->empty()) {
            return false;
        }
        for (const char c : *d) {
            if (!IsLetter(c)) {
                return false;
            }
        }
    }
    const char am = Lower(f.amDesignator.front());
    const char pm = Lower(f.pmDesignator.front());
    return am != pm && am != 'p' && pm != 'a';
}

std::string Number(int value, int width) {
    std::string digits = std::to_string(value);
    while (static_cast<int>(digits.size()) < width) {
        digits.insert(digits.begin(), '0');
    }
    return digits;
}

void CheckAnyText(const std::string& text, const FormatSettings& format) {
    CaseDescription() += "text " + Escaped(text);
    try {
        const DateTime t = StrToTime(text, format);
        Check(std::isfinite(t) && t >= 0.0 && t < 1.0, "a time of day lies in [0, 1)");
        const std::int64_t ms = RoundToMilliseconds(t);
        Check(ms >= 0 && ms < kMSecsPerDay && t == static_cast<double>(ms) / static_cast<double>(kMSecsPerDay),
              "a time of day is a whole number of milliseconds");
    } catch (const EConvertError& e) {
        // The message is read as a C string, so it ends at a NUL byte of the text.
        const std::string message = "'" + text + "' is not a valid time";
        Check(e.what() == message.substr(0, message.find('\0')), "the conversion error quotes the whole text");
    }
    // Any other exception escapes and is reported as a crash.
}

// Writes a valid time with the locale's separators, leading zeros and blanks, and reads it back.
void CheckWrittenTime(FuzzedDataProvider& input, const FormatSettings& format) {
    // A designator that starts with a digit would take the hour's first digit for itself.
    const auto startsWithDigit = [](const std::string& s) { return !s.empty() && IsDigit(s.front()); };
    if (!PlainSeparator(format.timeSeparator) || !PlainSeparator(format.decimalSeparator) ||
        startsWithDigit(format.amDesignator) || startsWithDigit(format.pmDesignator)) {
        return;
    }
    const bool twelveHour = input.ConsumeBool() && PlainDesignators(format);
    const int parts = input.ConsumeIntegralInRange<int>(1, 4);
    const int hour = input.ConsumeIntegralInRange<int>(0, 23);
    const int minute = parts >= 2 ? input.ConsumeIntegralInRange<int>(0, 59) : 0;
    const int second = parts >= 3 ? input.ConsumeIntegralInRange<int>(0, 59) : 0;
    const int millisecond = parts >= 4 ? input.ConsumeIntegralInRange<int>(0, 999) : 0;
    const bool designatorFirst = input.ConsumeBool();
    // The reader also takes "AM"/"PM" in any case, unless the locale's own designator is a shorter start
    // of it ("a" would take the "a" of "am" and leave the "m").
    const std::string& own = hour < 12 ? format.amDesignator : format.pmDesignator;
    const bool literal = input.ConsumeBool() && own.size() != 1;
    const std::string designator = !twelveHour ? std::string() : literal ? (hour < 12 ? "am" : "Pm") : own;

    // Taken one after the other, so that a seed can lay the blanks and widths out in this order.
    std::string text;
    const auto blanks = [&] { text.append(input.ConsumeIntegralInRange<std::size_t>(0, 2), ' '); };
    const auto field = [&](int value) { text += Number(value, input.ConsumeIntegralInRange<int>(1, 3)); };
    const auto part = [&](const std::string& separator, int value) {
        blanks();
        text += separator;
        blanks();
        field(value);
    };
    blanks();
    if (twelveHour && designatorFirst) {
        text += designator;
        blanks();
    }
    field(twelveHour ? (hour % 12 == 0 ? 12 : hour % 12) : hour);
    if (parts >= 2) {
        part(format.timeSeparator, minute);
    }
    if (parts >= 3) {
        part(format.timeSeparator, second);
    }
    if (parts >= 4) {
        part(format.decimalSeparator, millisecond);
    }
    if (twelveHour && !designatorFirst) {
        blanks();
        text += designator;
    }
    blanks();

    CaseDescription() += "text " + Escaped(text);
    DateTime read = -1.0;
    try {
        read = StrToTime(text, format);
    } catch (const EConvertError&) {
        Fail("a well-formed time does not convert");
    }
    Check(read == EncodeTime(hour, minute, second, millisecond), "a well-formed time reads back as another time");
}

void Run(FuzzedDataProvider& input) {
    FormatSettings format;
    format.timeSeparator = input.ConsumeRandomLengthString(3);
    format.decimalSeparator = input.ConsumeRandomLengthString(3);
    format.amDesignator = input.ConsumeRandomLengthString(6);
    format.pmDesignator = input.ConsumeRandomLengthString(6);
    CaseDescription() = "time separator " + Escaped(format.timeSeparator) + ", decimal separator " +
                        Escaped(format.decimalSeparator) + ", designators " + Escaped(format.amDesignator) + " " +
                        Escaped(format.pmDesignator) + ", ";
    if (input.ConsumeBool()) {
        CheckWrittenTime(input, format);
        return;
    }
    CheckAnyText(input.ConsumeRemainingBytesAsString(), format);
}

} // namespace
} // namespace hourlink::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    hourlink::fuzz::Run(input);
    return 0;
}
