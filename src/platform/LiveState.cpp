#include "platform/LiveState.h"

#include <charconv>

namespace hourlink {
namespace {

constexpr const char* kRecording = "recording";
constexpr const char* kConnectionStart = "connection-start";
constexpr const char* kCheckpointEnd = "checkpoint-end";
constexpr const char* kNow = "now";
constexpr const char* kTodayTotal = "today-total";
constexpr const char* kHours = "hours";
constexpr const char* kAverages = "averages";
constexpr const char* kTimeLimit = "time-limit";
constexpr const char* kLimitText = "limit-text";
constexpr const char* kAlert = "alert";

// Shortest text that reads back to the same double.
std::string NumberText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::optional<double> ReadNumber(const std::string& text) {
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string SevenText(const std::array<double, 7>& values) {
    std::string text;
    for (double v : values) {
        text += (text.empty() ? "" : " ") + NumberText(v);
    }
    return text;
}

std::optional<std::array<double, 7>> ReadSeven(const std::string& text) {
    std::array<double, 7> values{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::size_t blank = text.find(' ', pos);
        const bool last = i + 1 == values.size();
        if (last != (blank == std::string::npos)) {
            return std::nullopt;
        }
        const auto value = ReadNumber(text.substr(pos, last ? std::string::npos : blank - pos));
        if (!value) {
            return std::nullopt;
        }
        values[i] = *value;
        pos = blank + 1;
    }
    return values;
}

const std::string* Find(const InstanceMessage& message, const char* key) {
    const auto found = message.fields.find(key);
    return found == message.fields.end() ? nullptr : &found->second;
}

} // namespace

InstanceMessage StateReply(const LiveState& state) {
    InstanceMessage reply;
    reply.word = "ok";
    auto& f = reply.fields;
    f[kRecording] = state.recording ? "yes" : "no";
    if (state.connectionStart) {
        f[kConnectionStart] = NumberText(*state.connectionStart);
    }
    if (state.checkpointEnd) {
        f[kCheckpointEnd] = NumberText(*state.checkpointEnd);
    }
    f[kNow] = NumberText(state.now);
    f[kTodayTotal] = NumberText(state.todayTotal);
    if (state.hours) {
        f[kHours] = SevenText(*state.hours);
    }
    if (state.averages) {
        f[kAverages] = SevenText(*state.averages);
    }
    f[kTimeLimit] = NumberText(state.timeLimit);
    f[kLimitText] = state.limitText;
    f[kAlert] = state.alertOn ? "yes" : "no";
    return reply;
}

std::optional<LiveState> ReadStateReply(const InstanceMessage& reply) {
    if (reply.word != "ok") {
        return std::nullopt;
    }
    LiveState state;
    const std::string* recording = Find(reply, kRecording);
    const std::string* alert = Find(reply, kAlert);
    if (recording == nullptr || alert == nullptr) {
        return std::nullopt;
    }
    state.recording = *recording == "yes";
    state.alertOn = *alert == "yes";
    // Required numbers first, then the ones that may be absent.
    for (const auto& [key, target] : {std::pair{kNow, &state.now}, std::pair{kTodayTotal, &state.todayTotal},
                                      std::pair{kTimeLimit, &state.timeLimit}}) {
        const std::string* text = Find(reply, key);
        const auto value = text == nullptr ? std::nullopt : ReadNumber(*text);
        if (!value) {
            return std::nullopt;
        }
        *target = *value;
    }
    for (const auto& [key, target] :
         {std::pair{kConnectionStart, &state.connectionStart}, std::pair{kCheckpointEnd, &state.checkpointEnd}}) {
        if (const std::string* text = Find(reply, key)) {
            *target = ReadNumber(*text);
            if (!*target) {
                return std::nullopt;
            }
        }
    }
    for (const auto& [key, target] : {std::pair{kHours, &state.hours}, std::pair{kAverages, &state.averages}}) {
        if (const std::string* text = Find(reply, key)) {
            *target = ReadSeven(*text);
            if (!*target) {
                return std::nullopt;
            }
        }
    }
    if (const std::string* text = Find(reply, kLimitText)) {
        state.limitText = *text;
    }
    if (state.recording && !state.connectionStart) {
        return std::nullopt;
    }
    return state;
}

} // namespace hourlink
