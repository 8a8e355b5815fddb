#pragma once

#include <stdexcept>
#include <string>

namespace hourlink {

// Base of every failure the program reports to the user; what() is the exact user-facing message.
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Error codes of the input/output error, and the message each one shows.
namespace IoCode {
inline constexpr int FileNotFound = 2;
inline constexpr int InvalidFilename = 3;
inline constexpr int TooManyOpenFiles = 4;
inline constexpr int AccessDenied = 5;
inline constexpr int WriteFault = 29;
inline constexpr int ReadFault = 30;
inline constexpr int SharingViolation = 32;
inline constexpr int ReadBeyondEnd = 100;
inline constexpr int DiskFull = 101;
} // namespace IoCode

class EInOutError : public Exception {
public:
    explicit EInOutError(int code);
    [[nodiscard]] int ErrorCode() const noexcept { return m_code; }
    [[nodiscard]] static std::string MessageFor(int code);

private:
    int m_code;
};

// "List index out of bounds (%d)".
class EListError : public Exception {
public:
    explicit EListError(long long index);
};

// A text that does not convert, such as "'%s' is not a valid time".
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// "Unable to write to %s".
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

// What the system call was doing when errno was set; a missing file means something else for an
// open of an existing file than for a create.
enum class IoOperation { OpenExisting, Create, Read, Write, Seek, Close, Flush, Rename };

// Maps an errno value onto the input/output error codes above.
[[nodiscard]] int IoCodeFromErrno(int err, IoOperation op) noexcept;

// The text of the error box: the message, with a full stop appended when its last character sorts
// above the full stop (letters and digits do; ".", "!", ")" and a blank do not).
[[nodiscard]] std::string ErrorBoxText(const std::string& message);

} // namespace hourlink
