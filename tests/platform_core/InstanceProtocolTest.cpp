#include "platform/InstanceProtocol.h"
#include "platform/LiveState.h"

#include <gtest/gtest.h>

namespace hourlink {
namespace {

TEST(InstanceProtocol, ARequestWithItsFieldsComesBackAsSent) {
    InstanceMessage raise;
    raise.word = kRaiseRequest;
    raise.fields[kStartupIdField] = "host-1234-0-launcher_TIME5678";
    raise.fields[kActivationTokenField] = "a token with blanks: and a colon";
    const std::string wire = FormatInstanceMessage(raise);
    EXPECT_EQ(wire, "hourlink/1 raise\nactivation-token: a token with blanks: and a colon\n"
                    "startup-id: host-1234-0-launcher_TIME5678\n\n");
    const ReadResult read = ReadInstanceMessage(wire);
    ASSERT_EQ(read.state, ReadState::Complete);
    EXPECT_EQ(read.message.word, "raise");
    EXPECT_EQ(read.message.version, 1);
    EXPECT_EQ(read.message.fields, raise.fields);
}

TEST(InstanceProtocol, AnErrorReplyCarriesItsReason) {
    InstanceMessage reply;
    reply.word = "error";
    reply.reason = kUnknownRequestError;
    const ReadResult read = ReadInstanceMessage(FormatInstanceMessage(reply));
    ASSERT_EQ(read.state, ReadState::Complete);
    EXPECT_EQ(read.message.word, "error");
    EXPECT_EQ(read.message.reason, "unknown-request");
}

TEST(InstanceProtocol, AValueThatWouldBreakTheLinesIsLeftOut) {
    InstanceMessage raise;
    raise.word = kRaiseRequest;
    raise.fields[kStartupIdField] = "id\n\nhourlink/1 state";
    raise.fields["Bad Key"] = "x";
    EXPECT_EQ(FormatInstanceMessage(raise), "hourlink/1 raise\n\n");
}

TEST(InstanceProtocol, AnotherVersionIsReadSoTheProgramCanSaySo) {
    const ReadResult read = ReadInstanceMessage("hourlink/2 raise\n\n");
    ASSERT_EQ(read.state, ReadState::Complete);
    EXPECT_EQ(read.message.version, 2);
}

struct ReadCase {
    const char* name;
    std::string bytes;
    ReadState expected;
};

class ReadInstanceMessageTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadInstanceMessageTest, TellsAPartFromAWholeAndFromGarbage) {
    const ReadResult read = ReadInstanceMessage(GetParam().bytes);
    EXPECT_EQ(read.state, GetParam().expected);
    if (read.state == ReadState::Malformed) {
        EXPECT_EQ(read.message.word, "error");
        EXPECT_EQ(read.message.reason, kMalformedError);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ReadInstanceMessageTest,
    ::testing::Values(
        ReadCase{"Nothing", "", ReadState::Incomplete},
        ReadCase{"FirstLineOnly", "hourlink/1 raise\n", ReadState::Incomplete},
        ReadCase{"FieldWithoutTheEnd", "hourlink/1 raise\nstartup-id: x\n", ReadState::Incomplete},
        ReadCase{"Whole", "hourlink/1 raise\n\n", ReadState::Complete},
        ReadCase{"EmptyFirstLine", "\n\n", ReadState::Malformed},
        ReadCase{"OtherProgram", "GET / HTTP/1.0\n\n", ReadState::Malformed},
        ReadCase{"NoVersion", "hourlink/ raise\n\n", ReadState::Malformed},
        ReadCase{"VersionNotANumber", "hourlink/one raise\n\n", ReadState::Malformed},
        ReadCase{"NoWord", "hourlink/1\n\n", ReadState::Malformed},
        ReadCase{"WordInCapitals", "hourlink/1 RAISE\n\n", ReadState::Malformed},
        ReadCase{"FieldWithoutColon", "hourlink/1 raise\nstartup-id x\n\n", ReadState::Malformed},
        ReadCase{"CarriageReturnInTheFirstLine", "hourlink/1 raise\r\n\n", ReadState::Malformed},
        ReadCase{"CarriageReturnInAField", "hourlink/1 raise\nstartup-id: a\rb\n\n", ReadState::Malformed},
        ReadCase{"TwoRequestsOnOneConnection", "hourlink/1 raise\n\nhourlink/1 raise\n\n", ReadState::Malformed},
        ReadCase{"EndlessWithoutAnEnd", std::string(kInstanceMessageLimit, 'x'), ReadState::Malformed},
        ReadCase{"TooLongWithAnEnd",
                 "hourlink/1 raise\nstartup-id: " + std::string(kInstanceMessageLimit, 'x') + "\n\n",
                 ReadState::Malformed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InstanceName, IsShortAndDiffersByUserAndFolder) {
    const std::string deep = "/home/u/" + std::string(300, 'd');
    const std::string name = InstanceName(1000, deep);
    EXPECT_EQ(name.size(), 25u);
    EXPECT_EQ(name.rfind("hourlink-", 0), 0u);
    EXPECT_EQ(name, InstanceName(1000, deep)) << "the same for every start";
    EXPECT_NE(name, InstanceName(1001, deep));
    EXPECT_NE(name, InstanceName(1000, deep + "x"));
    EXPECT_NE(InstanceName(1, "0/a"), InstanceName(10, "/a")) << "the user id and the folder do not run together";
}

// The report adds the running connection to the log's sums, so every number must come back to the same bits.
TEST(LiveStateReply, ComesBackThroughTheWireBitForBit) {
    LiveState state;
    state.recording = true;
    state.connectionStart = 45364.41666666666;
    state.checkpointEnd = 45364.999988425923;
    state.now = 45365.000011574077;
    state.todayTotal = 1.0 / 86400.0;
    state.hours = std::array<double, 7>{0.1, 2.0 / 3.0, 0.0, 24.0, 1e-9, 3.3333333333333335, 0.000277};
    state.averages =
        std::array<double, 7>{0.1, 0.38333333333333336, 0.25555555555555554, 6.191666666666666, 4.95, 4.68, 4.01};
    state.timeLimit = 0.5;
    state.limitText = "AUP 12";
    state.alertOn = true;
    const ReadResult wire = ReadInstanceMessage(FormatInstanceMessage(StateReply(state)));
    ASSERT_EQ(wire.state, ReadState::Complete);
    const std::optional<LiveState> back = ReadStateReply(wire.message);
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(back->recording);
    EXPECT_EQ(back->connectionStart, state.connectionStart);
    EXPECT_EQ(back->checkpointEnd, state.checkpointEnd);
    EXPECT_EQ(back->now, state.now);
    EXPECT_EQ(back->todayTotal, state.todayTotal);
    EXPECT_EQ(back->hours, state.hours);
    EXPECT_EQ(back->averages, state.averages);
    EXPECT_EQ(back->timeLimit, 0.5);
    EXPECT_EQ(back->limitText, "AUP 12");
    EXPECT_TRUE(back->alertOn);
}

TEST(LiveStateReply, IdleWithoutChartOrCheckpointLeavesThemAbsent) {
    LiveState state;
    state.now = 45364.5;
    const std::optional<LiveState> back = ReadStateReply(StateReply(state));
    ASSERT_TRUE(back.has_value());
    EXPECT_FALSE(back->recording);
    EXPECT_FALSE(back->connectionStart.has_value());
    EXPECT_FALSE(back->checkpointEnd.has_value());
    EXPECT_FALSE(back->hours.has_value());
    EXPECT_FALSE(back->alertOn);
}

// A reply the report cannot trust counts as no answer, and the log alone is shown.
TEST(LiveStateReply, ErrorsAndDamagedRepliesAreNoState) {
    LiveState recording;
    recording.recording = true;
    recording.connectionStart = 45364.25;
    const InstanceMessage good = StateReply(recording);
    ASSERT_TRUE(ReadStateReply(good).has_value());

    InstanceMessage error;
    error.word = "error";
    error.reason = kNotReadyError;
    EXPECT_FALSE(ReadStateReply(error).has_value());

    for (const char* key : {"now", "today-total", "time-limit", "recording", "alert", "connection-start"}) {
        InstanceMessage damaged = good;
        damaged.fields.erase(key);
        EXPECT_FALSE(ReadStateReply(damaged).has_value()) << "without " << key;
    }
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{{"now", "12,5"},
                                                                                     {"hours", "1 2 3 4 5 6"},
                                                                                     {"hours", "1 2 3 4 5 6 7 8"},
                                                                                     {"averages", "1 2 3 4 5 6 x"},
                                                                                     {"checkpoint-end", ""}}) {
        InstanceMessage damaged = good;
        damaged.fields[key] = value;
        EXPECT_FALSE(ReadStateReply(damaged).has_value()) << key << ": " << value;
    }
}

} // namespace
} // namespace hourlink
