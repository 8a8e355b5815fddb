#include "runtime/Errors.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace hourlink {
namespace {

TEST(EInOutError, EachCodeShowsItsMessage) {
    EXPECT_STREQ(EInOutError(2).what(), "File not found");
    EXPECT_STREQ(EInOutError(3).what(), "Invalid filename");
    EXPECT_STREQ(EInOutError(4).what(), "Too many open files");
    EXPECT_STREQ(EInOutError(5).what(), "File access denied");
    EXPECT_STREQ(EInOutError(100).what(), "Read beyond end of file");
    EXPECT_STREQ(EInOutError(101).what(), "Disk full");
    EXPECT_STREQ(EInOutError(32).what(), "I/O error 32");
    EXPECT_EQ(EInOutError(101).ErrorCode(), 101);
}

TEST(EInOutError, SystemErrorsMapOntoTheProgramsCodes) {
    EXPECT_EQ(IoCodeFromErrno(ENOENT, IoOperation::OpenExisting), IoCode::FileNotFound);
    EXPECT_EQ(IoCodeFromErrno(ENOENT, IoOperation::Create), IoCode::InvalidFilename);
    EXPECT_EQ(IoCodeFromErrno(EMFILE, IoOperation::OpenExisting), IoCode::TooManyOpenFiles);
    EXPECT_EQ(IoCodeFromErrno(EROFS, IoOperation::OpenExisting), IoCode::AccessDenied);
    EXPECT_EQ(IoCodeFromErrno(EACCES, IoOperation::Create), IoCode::AccessDenied);
    EXPECT_EQ(IoCodeFromErrno(ENOSPC, IoOperation::Write), IoCode::DiskFull);
    EXPECT_EQ(IoCodeFromErrno(EDQUOT, IoOperation::Flush), IoCode::DiskFull);
    EXPECT_EQ(IoCodeFromErrno(EIO, IoOperation::Read), IoCode::ReadFault);
    // Anything else keeps clear of the codes that carry messages of their own.
    const int other = IoCodeFromErrno(EINTR, IoOperation::Read);
    EXPECT_EQ(EInOutError::MessageFor(other).rfind("I/O error ", 0), 0u);
}

TEST(ErrorBoxText, AddsAFullStopOnlyAfterCharactersThatSortAboveIt) {
    EXPECT_EQ(ErrorBoxText("Disk full"), "Disk full.");
    EXPECT_EQ(ErrorBoxText("I/O error 32"), "I/O error 32.");
    EXPECT_EQ(ErrorBoxText("' 25' is not a valid time"), "' 25' is not a valid time.");
    EXPECT_EQ(ErrorBoxText("List index out of bounds (7)"), "List index out of bounds (7)");
    EXPECT_EQ(ErrorBoxText("Done."), "Done.");
    EXPECT_EQ(ErrorBoxText("Stop!"), "Stop!");
    EXPECT_EQ(ErrorBoxText("trailing "), "trailing ");
    EXPECT_EQ(ErrorBoxText("path/"), "path/.");
    EXPECT_EQ(ErrorBoxText(""), "");
}

TEST(EListError, NamesTheIndex) {
    EXPECT_STREQ(EListError(7).what(), "List index out of bounds (7)");
    EXPECT_STREQ(EListError(-1).what(), "List index out of bounds (-1)");
}

} // namespace
} // namespace hourlink
