#pragma once

#include <array>
#include <optional>
#include <string>

#include "platform/InstanceProtocol.h"

namespace hourlink {

// The running program's answer to the "state" request: what it knows that the log does not hold yet,
// and the figures it shows at this moment. Times are DateTime values (days since 1899-12-30, local).
inline constexpr const char* kStateRequest = "state";

struct LiveState {
    bool recording = false;
    // The running connection's start, and the end written for it in the log by its last checkpoint.
    std::optional<double> connectionStart;
    std::optional<double> checkpointEnd;
    double now = 0.0;
    double todayTotal = 0.0;
    // The chart's bars and running averages, in hours, oldest first; empty before the first build.
    std::optional<std::array<double, 7>> hours;
    std::optional<std::array<double, 7>> averages;
    // The chosen limit as a fraction of a day, the list text it came from, and whether the alert box is checked.
    double timeLimit = 0.0;
    std::string limitText;
    bool alertOn = false;
};

// The reply "ok" carrying the state; numbers are written so that they read back to the same bits.
[[nodiscard]] InstanceMessage StateReply(const LiveState& state);

// The state in a reply, or nullopt when the reply is an error or lacks a field the state needs.
[[nodiscard]] std::optional<LiveState> ReadStateReply(const InstanceMessage& reply);

} // namespace hourlink
