#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace hourlink {

// Owns one POSIX file descriptor and closes it when it goes.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) noexcept : m_fd(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    [[nodiscard]] int Get() const { return m_fd; }
    [[nodiscard]] bool Valid() const { return m_fd >= 0; }
    // Closes now and answers 0, or the errno of a failing close, which can mean lost data. An interrupted
    // close counts as done: Linux has let go of the descriptor by then, and closing again could close
    // another file's.
    [[nodiscard]] int Close() noexcept;

private:
    int m_fd = -1;
};

// Opens with O_CLOEXEC added, again when interrupted; an invalid descriptor with errno set when it fails.
[[nodiscard]] FileDescriptor OpenFile(const std::string& path, int flags, mode_t mode = 0);

// How far a whole read or write got: `done` bytes, and when it stopped short, the errno of the call that
// failed, or 0 when a read met the end of the file or a write made no progress (a short write).
struct IoResult {
    std::size_t done = 0;
    int error = 0;
};

// One read into `buffer`, again when interrupted: the bytes read, 0 at the end, or -1 with errno set.
[[nodiscard]] ssize_t ReadSome(int fd, void* buffer, std::size_t size);
// Reads `size` bytes, going on after partial and interrupted reads until the end of the file.
[[nodiscard]] IoResult ReadFully(int fd, void* buffer, std::size_t size);
// The same at `offset`, without moving the file position.
[[nodiscard]] IoResult ReadFullyAt(int fd, void* buffer, std::size_t size, std::int64_t offset);
// Appends everything from the file position to the end of the file to `out`, at most `limit` bytes.
// Answers 0, or the errno of a failing read; what was read before it stays in `out`.
[[nodiscard]] int ReadToEnd(int fd, std::string& out, std::size_t limit = std::string::npos);
// Writes all `size` bytes, going on after partial and interrupted writes.
[[nodiscard]] IoResult WriteFully(int fd, const void* data, std::size_t size);
// The same at `offset`, without moving the file position.
[[nodiscard]] IoResult WriteFullyAt(int fd, const void* data, std::size_t size, std::int64_t offset);

// Flushes the file's data to the disk; 0 or errno.
[[nodiscard]] int SyncFile(int fd);
// Flushes a folder, so that a file created or renamed in it stays after a crash; 0 or errno.
[[nodiscard]] int SyncDirectory(const std::string& path);
// The folder a path names a file in: "." for a bare name.
[[nodiscard]] std::string DirectoryOf(const std::string& path);
// Renames `from` over `to` and flushes the folder of `to`. Answers 0 or the rename's errno; once the rename
// is done the new file is in place, so a failing flush of the folder is not reported.
[[nodiscard]] int RenameDurably(const std::string& from, const std::string& to);

// A new version of `target`, written under the name `temporary` beside it and then put in its place in one
// step that a crash cannot split: the caller creates, writes and flushes the temporary file, and Commit
// renames it over the target and flushes the folder. Until a Commit succeeds, the temporary file is removed
// when the replacement goes, so a failure at any step leaves the target as it was and no half file behind.
class FileReplacement {
public:
    FileReplacement(std::string temporary, std::string target);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    [[nodiscard]] const std::string& Temporary() const { return m_temporary; }
    // 0, or the errno of the failing rename.
    [[nodiscard]] int Commit();

private:
    std::string m_temporary;
    std::string m_target;
    bool m_committed = false;
};

// The whole replacement for content held in memory: a temporary file of a name no other writer uses is
// created beside `target`, given `mode` when there is one, written, flushed, closed and committed. Answers
// false when any step fails; the target is then unchanged.
[[nodiscard]] bool ReplaceFileContent(const std::string& target, std::string_view content, std::optional<mode_t> mode);

} // namespace hourlink
