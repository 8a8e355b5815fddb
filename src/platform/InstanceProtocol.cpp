#include "platform/InstanceProtocol.h"

#include <charconv>
#include <cstdio>

namespace hourlink {
namespace {

constexpr std::string_view kMagic = "hourlink/";

bool IsKeyCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

bool IsKey(std::string_view key) {
    if (key.empty()) {
        return false;
    }
    for (const char c : key) {
        if (!IsKeyCharacter(c)) {
            return false;
        }
    }
    return true;
}

bool IsValue(std::string_view value) {
    return value.find_first_of("\r\n") == std::string_view::npos;
}

ReadResult Malformed() {
    ReadResult result;
    result.state = ReadState::Malformed;
    result.message.word = "error";
    result.message.reason = kMalformedError;
    return result;
}

// "hourlink/1 raise" or "hourlink/1 error unknown-request".
bool ReadFirstLine(std::string_view line, InstanceMessage& message) {
    if (line.substr(0, kMagic.size()) != kMagic) {
        return false;
    }
    line.remove_prefix(kMagic.size());
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos) {
        return false;
    }
    const std::string_view version = line.substr(0, blank);
    const auto [end, error] = std::from_chars(version.data(), version.data() + version.size(), message.version);
    if (error != std::errc() || end != version.data() + version.size() || message.version < 0) {
        return false;
    }
    std::string_view rest = line.substr(blank + 1);
    const std::size_t second = rest.find(' ');
    message.word = std::string(rest.substr(0, second));
    if (second != std::string_view::npos) {
        message.reason = std::string(rest.substr(second + 1));
    }
    return IsKey(message.word) && IsValue(message.reason);
}

} // namespace

std::string FormatInstanceMessage(const InstanceMessage& message) {
    std::string text = std::string(kMagic) + std::to_string(message.version) + " " + message.word;
    if (!message.reason.empty() && IsValue(message.reason)) {
        text += " " + message.reason;
    }
    text += "\n";
    for (const auto& [key, value] : message.fields) {
        if (IsKey(key) && IsValue(value)) {
            text += key + ": " + value + "\n";
        }
    }
    return text + "\n";
}

ReadResult ReadInstanceMessage(std::string_view bytes) {
    const std::size_t end = bytes.find("\n\n");
    if (end == std::string_view::npos) {
        return bytes.size() >= kInstanceMessageLimit ? Malformed() : ReadResult{};
    }
    if (end + 2 > kInstanceMessageLimit || end + 2 != bytes.size()) {
        // Larger than a message may be, or more than one message on a one-request connection.
        return Malformed();
    }
    std::string_view text = bytes.substr(0, end + 1);
    ReadResult result;
    const std::size_t firstEnd = text.find('\n');
    if (!ReadFirstLine(text.substr(0, firstEnd), result.message)) {
        return Malformed();
    }
    text.remove_prefix(firstEnd + 1);
    while (!text.empty()) {
        const std::size_t lineEnd = text.find('\n');
        const std::string_view line = text.substr(0, lineEnd);
        text.remove_prefix(lineEnd + 1);
        const std::size_t colon = line.find(": ");
        if (colon == std::string_view::npos || !IsKey(line.substr(0, colon)) || line.find('\r') != line.npos) {
            return Malformed();
        }
        result.message.fields[std::string(line.substr(0, colon))] = std::string(line.substr(colon + 2));
    }
    result.state = ReadState::Complete;
    return result;
}

std::string InstanceName(std::uint32_t uid, const std::string& canonicalFolder) {
    // FNV-1a, 64 bits, over the user id, a separator and the folder: short, stable between versions of
    // the program, and different for every user and folder in practice.
    std::uint64_t hash = 14695981039346656037ULL;
    const auto add = [&hash](unsigned char byte) {
        hash ^= byte;
        hash *= 1099511628211ULL;
    };
    for (const char c : std::to_string(uid)) {
        add(static_cast<unsigned char>(c));
    }
    add(0);
    for (const char c : canonicalFolder) {
        add(static_cast<unsigned char>(c));
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("hourlink-") + hex;
}

} // namespace hourlink
