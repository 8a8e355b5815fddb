#include "platform/InstanceProtocol.h"

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

} // namespace
} // namespace hourlink
