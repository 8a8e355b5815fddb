#include "app/HandlerGuard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "runtime/Errors.h"
#include "support/FakeDialogs.h"

namespace hourlink {
namespace {

using ::testing::ElementsAre;

TEST(HandlerGuard, ShowsWhatAHandlerThrowsAndSkipsTheRest) {
    testing::FakeDialogs dialogs;
    HandlerGuard guard(dialogs);
    bool rest = false;
    EXPECT_FALSE(guard.Run([&] {
        throw EInOutError(IoCode::DiskFull);
        rest = true;
    }));
    EXPECT_FALSE(rest);
    EXPECT_TRUE(guard.Run([] {}));
    EXPECT_THAT(dialogs.errors, ElementsAre("Disk full."));
}

// Error boxes run their own event loop, in which ticks can fail again.
class NestingDialogs final : public Dialogs {
public:
    std::function<void()> whileOpen;
    std::vector<std::string> shown;
    void ShowMessage(const std::string&) override {}
    void ShowError(const std::string& text) override {
        shown.push_back(text);
        if (whileOpen) {
            auto inner = std::move(whileOpen);
            inner();
        }
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

TEST(HandlerGuard, TheSameFailureWhileItsBoxIsOpenOpensNoSecondBox) {
    NestingDialogs dialogs;
    HandlerGuard guard(dialogs);
    const auto failing = [] { throw EInOutError(IoCode::AccessDenied); };
    dialogs.whileOpen = [&] {
        EXPECT_FALSE(guard.Run(failing));                                     // same message: swallowed
        EXPECT_FALSE(guard.Run([] { throw EInOutError(IoCode::DiskFull); })); // another one: shown
    };
    guard.Run(failing);
    EXPECT_THAT(dialogs.shown, ElementsAre("File access denied.", "Disk full."));
    guard.Run(failing); // the first box has been closed, so this one shows again
    EXPECT_EQ(dialogs.shown.size(), 3u);
}

} // namespace
} // namespace hourlink
