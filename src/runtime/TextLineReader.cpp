#include "runtime/TextLineReader.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>

#include "runtime/Errors.h"
#include "runtime/PosixFile.h"

namespace hourlink {
namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr char kEndOfFile = 26;
// Big enough to scan a long line quickly, small enough that little is read past the lines wanted.
constexpr std::size_t kBlockSize = 16 * 1024;
constexpr int kPipeWaitMs = 2000;

class ReadOnlyFile {
public:
    // Without O_NONBLOCK a pipe of that name with no writer would hang the caller here, and one with an
    // idle writer at the first read; so a pipe either has its data now or fails.
    explicit ReadOnlyFile(const std::string& name) : m_file(OpenFile(name, O_RDONLY | O_NONBLOCK)) {
        if (!m_file.Valid()) {
            throw EInOutError(IoCodeFromErrno(errno, IoOperation::OpenExisting));
        }
    }

    // Bytes read into `buffer`, 0 at the end of the file.
    std::size_t Read(char* buffer, std::size_t size) {
        for (;;) {
            const ssize_t n = ReadSome(m_file.Get(), buffer, size);
            if (n >= 0) {
                return static_cast<std::size_t>(n);
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                throw EInOutError(IoCodeFromErrno(errno, IoOperation::Read));
            }
            // A pipe whose writer is slow: wait a little, then give up rather than hang the window.
            pollfd wait{m_file.Get(), POLLIN, 0};
            if (::poll(&wait, 1, kPipeWaitMs) <= 0) {
                throw EInOutError(IoCode::ReadFault);
            }
        }
    }

private:
    FileDescriptor m_file;
};

// Index of the first CR or Ctrl-Z in block[from, to), or `to`.
std::size_t NextLineEnd(const char* block, std::size_t from, std::size_t to) {
    const void* cr = std::memchr(block + from, kCarriageReturn, to - from);
    const std::size_t crAt = cr == nullptr ? to : static_cast<std::size_t>(static_cast<const char*>(cr) - block);
    const void* eof = std::memchr(block + from, kEndOfFile, crAt - from);
    return eof == nullptr ? crAt : static_cast<std::size_t>(static_cast<const char*>(eof) - block);
}

} // namespace

TextLines ReadTextLines(const std::string& fileName, std::size_t count, std::size_t maxLineBytes,
                        OverlongLine onOverlong) {
    ReadOnlyFile file(fileName);
    TextLines result;
    result.lines.reserve(count);
    std::string line;
    bool afterCarriageReturn = false;
    bool endOfFile = false;
    std::array<char, kBlockSize> block{};

    while (result.lines.size() < count && !endOfFile) {
        const std::size_t got = file.Read(block.data(), block.size());
        if (got == 0) {
            break;
        }
        std::size_t i = 0;
        while (i < got && result.lines.size() < count) {
            const char c = block[i];
            if (afterCarriageReturn) {
                afterCarriageReturn = false;
                if (c == kLineFeed) {
                    ++i;
                    continue;
                }
            }
            if (c == kEndOfFile) {
                endOfFile = true;
                break;
            }
            if (c == kCarriageReturn) {
                result.lines.push_back(std::move(line));
                line.clear();
                afterCarriageReturn = true;
                ++i;
                continue;
            }
            if (line.size() < maxLineBytes) {
                line += c;
                ++i;
                continue;
            }
            result.overlong = true;
            if (onOverlong == OverlongLine::Stop) {
                endOfFile = true;
                break;
            }
            // Jumps to whatever can end the line, so a huge line costs little more than reading it.
            i = NextLineEnd(block.data(), i, got);
        }
    }
    // The end of the file ends the line under way; any lines still wanted are empty.
    if (result.lines.size() < count) {
        result.lines.push_back(std::move(line));
    }
    result.lines.resize(count);
    return result;
}

std::vector<std::string> ReadTextLines(const std::string& fileName, std::size_t count, std::size_t maxLineBytes) {
    return ReadTextLines(fileName, count, maxLineBytes, OverlongLine::Skip).lines;
}

} // namespace hourlink
