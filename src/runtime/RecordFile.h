#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>

#include "runtime/DateTime.h"
#include "runtime/PosixFile.h"

namespace hourlink {

// One recorded connection as it stands in the log: start and end, each a little-endian binary64.
struct ConnectionRecord {
    DateTime start = 0.0;
    DateTime end = 0.0;
    bool operator==(const ConnectionRecord&) const = default;
};

inline constexpr std::int64_t kRecordSize = 16;

// A file of 16-byte records with every operation checked: a failing open, read, write, seek, flush or
// close throws EInOutError with the code for what went wrong. The file is closed when the object
// goes, also while an error propagates.
class RecordFile {
public:
    enum class Mode {
        OpenExisting,     // read-write; the file must exist
        CreateOrTruncate, // read-write; created empty, or emptied
        ReadOnly,         // for readers beside the running program: the file must exist, and nothing is written
    };

    RecordFile(const std::string& name, Mode mode);
    // The same, but nothing where the open fails and no file of that name exists: one call where asking
    // first whether the file exists would cost a second look-up of its name.
    [[nodiscard]] static std::unique_ptr<RecordFile> OpenIfPresent(const std::string& name, Mode mode);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Whole records in the file; a trailing piece shorter than a record is not counted.
    [[nodiscard]] std::int64_t RecordCount() const;
    [[nodiscard]] std::int64_t ByteSize() const;
    // Whether the read position is at or after the end of the file, compared in bytes.
    [[nodiscard]] bool AtEnd() const;

    void Seek(std::int64_t recordIndex);
    // Reads the record at the read position; fewer than 16 bytes left is "Read beyond end of file".
    [[nodiscard]] ConnectionRecord Read();
    // Reads from the read position to the end of the file in large blocks, handing each record to
    // visit in order. A trailing piece shorter than a record fails as Read does, after the whole
    // records before it have been visited.
    void ReadAll(const std::function<void(const ConnectionRecord&)>& visit);
    // The same, handing over a block of records at a time.
    void ReadAllBlocks(const std::function<void(std::span<const ConnectionRecord>)>& visit);
    // Writes at the write position; fewer than 16 bytes written is "Disk full".
    void Write(const ConnectionRecord& record);
    // Writes several records at the write position in one go, with the same checks.
    void Write(std::span<const ConnectionRecord> records);
    // Reads `count` records starting at record index `first` without moving the read position; fewer
    // bytes than asked is "Read beyond end of file".
    void ReadBlock(std::int64_t first, std::span<ConnectionRecord> out) const;
    // Cuts the file after its first `recordCount` records.
    void Truncate(std::int64_t recordCount);
    // Flushes the file's data to the disk.
    void Sync();
    // Closes the file, reporting a failing close; the destructor closes without reporting.
    void Close();
    // The open descriptor, for identity checks (fstat); -1 once closed.
    [[nodiscard]] int Descriptor() const { return m_file.Get(); }

private:
    explicit RecordFile(FileDescriptor file) : m_file(std::move(file)) {}
    [[nodiscard]] static int OpenFlags(Mode mode);
    [[noreturn]] static void FailToOpen(Mode mode, int err);

    FileDescriptor m_file;
    std::int64_t m_position = 0;
};

// Whether a file (or anything else) of that name exists.
[[nodiscard]] bool FileExists(const std::string& name);

} // namespace hourlink
