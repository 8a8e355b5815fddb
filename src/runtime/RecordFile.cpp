#include "runtime/RecordFile.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "runtime/Errors.h"
#include "runtime/PosixFile.h"

namespace hourlink {
namespace {

[[noreturn]] void Fail(IoOperation op, int err) {
    throw EInOutError(IoCodeFromErrno(err, op));
}

// The log stores little-endian doubles; on a little-endian machine that is a plain copy.
void PutLE(unsigned char* out, double value) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &value, sizeof value);
    } else {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        for (int i = 0; i < 8; ++i) {
            out[i] = static_cast<unsigned char>(bits >> (8 * i));
        }
    }
}

double GetLE(const unsigned char* in) {
    double value = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&value, in, sizeof value);
    } else {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits |= static_cast<std::uint64_t>(in[i]) << (8 * i);
        }
        std::memcpy(&value, &bits, sizeof value);
    }
    return value;
}

ConnectionRecord Decode(const unsigned char* in) {
    return ConnectionRecord{GetLE(in), GetLE(in + 8)};
}

// Reads up to `size` bytes at `offset`; returns the bytes read, fewer only at the end of the file.
std::int64_t ReadAt(int fd, unsigned char* buffer, std::int64_t size, std::int64_t offset) {
    const IoResult got = ReadFullyAt(fd, buffer, static_cast<std::size_t>(size), offset);
    if (got.error != 0) {
        Fail(IoOperation::Read, got.error);
    }
    return static_cast<std::int64_t>(got.done);
}

} // namespace

int RecordFile::OpenFlags(Mode mode) {
    switch (mode) {
    case Mode::CreateOrTruncate:
        return O_RDWR | O_CREAT | O_TRUNC;
    case Mode::ReadOnly:
        return O_RDONLY;
    case Mode::OpenExisting:
        break;
    }
    return O_RDWR;
}

RecordFile::RecordFile(const std::string& name, Mode mode) : m_file(OpenFile(name, OpenFlags(mode), 0666)) {
    if (!m_file.Valid()) {
        FailToOpen(mode, errno);
    }
}

void RecordFile::FailToOpen(Mode mode, int err) {
    Fail(mode == Mode::CreateOrTruncate ? IoOperation::Create : IoOperation::OpenExisting, err);
}

std::unique_ptr<RecordFile> RecordFile::OpenIfPresent(const std::string& name, Mode mode) {
    FileDescriptor file = OpenFile(name, OpenFlags(mode), 0666);
    if (!file.Valid()) {
        const int err = errno;
        if (!FileExists(name)) {
            return nullptr;
        }
        FailToOpen(mode, err);
    }
    return std::unique_ptr<RecordFile>(new RecordFile(std::move(file)));
}

RecordFile::~RecordFile() = default;

std::int64_t RecordFile::ByteSize() const {
    struct stat st {};
    if (::fstat(m_file.Get(), &st) != 0) {
        Fail(IoOperation::Seek, errno);
    }
    return st.st_size;
}

std::int64_t RecordFile::RecordCount() const {
    return ByteSize() / kRecordSize;
}

bool RecordFile::AtEnd() const {
    return m_position >= ByteSize();
}

void RecordFile::Seek(std::int64_t recordIndex) {
    if (recordIndex < 0) {
        throw EInOutError(131); // negative seek: the runtime's own code
    }
    m_position = recordIndex * kRecordSize;
}

ConnectionRecord RecordFile::Read() {
    std::array<unsigned char, kRecordSize> buffer{};
    if (ReadAt(m_file.Get(), buffer.data(), kRecordSize, m_position) < kRecordSize) {
        throw EInOutError(IoCode::ReadBeyondEnd);
    }
    m_position += kRecordSize;
    return Decode(buffer.data());
}

void RecordFile::ReadAll(const std::function<void(const ConnectionRecord&)>& visit) {
    ReadAllBlocks([&visit](std::span<const ConnectionRecord> block) {
        for (const ConnectionRecord& record : block) {
            visit(record);
        }
    });
}

void RecordFile::ReadAllBlocks(const std::function<void(std::span<const ConnectionRecord>)>& visit) {
    constexpr std::int64_t kBlockRecords = 4096;
    std::vector<unsigned char> buffer(kBlockRecords * kRecordSize);
    std::vector<ConnectionRecord> records(kBlockRecords);
    for (;;) {
        const std::int64_t got =
            ReadAt(m_file.Get(), buffer.data(), static_cast<std::int64_t>(buffer.size()), m_position);
        const std::int64_t whole = got / kRecordSize;
        for (std::int64_t i = 0; i < whole; ++i) {
            records[static_cast<std::size_t>(i)] = Decode(buffer.data() + i * kRecordSize);
        }
        m_position += whole * kRecordSize;
        visit(std::span<const ConnectionRecord>(records.data(), static_cast<std::size_t>(whole)));
        if (got % kRecordSize != 0) {
            throw EInOutError(IoCode::ReadBeyondEnd);
        }
        if (got < static_cast<std::int64_t>(buffer.size())) {
            return;
        }
    }
}

void RecordFile::Write(const ConnectionRecord& record) {
    Write(std::span<const ConnectionRecord>(&record, 1));
}

void RecordFile::Write(std::span<const ConnectionRecord> records) {
    std::vector<unsigned char> buffer(records.size() * kRecordSize);
    for (std::size_t i = 0; i < records.size(); ++i) {
        PutLE(buffer.data() + i * kRecordSize, records[i].start);
        PutLE(buffer.data() + i * kRecordSize + 8, records[i].end);
    }
    const auto size = static_cast<std::int64_t>(buffer.size());
    const IoResult written = WriteFullyAt(m_file.Get(), buffer.data(), buffer.size(), m_position);
    if (written.error != 0) {
        const auto done = static_cast<std::int64_t>(written.done);
        // A write at the end of the file that stopped part way leaves no half record behind.
        struct stat st {};
        if (done % kRecordSize != 0 && ::fstat(m_file.Get(), &st) == 0 && st.st_size == m_position + done) {
            (void)::ftruncate(m_file.Get(), m_position + done - done % kRecordSize);
        }
        Fail(IoOperation::Write, written.error);
    }
    if (written.done < buffer.size()) {
        throw EInOutError(IoCode::DiskFull);
    }
    m_position += size;
}

void RecordFile::ReadBlock(std::int64_t first, std::span<ConnectionRecord> out) const {
    std::vector<unsigned char> buffer(out.size() * kRecordSize);
    const auto size = static_cast<std::int64_t>(buffer.size());
    if (ReadAt(m_file.Get(), buffer.data(), size, first * kRecordSize) < size) {
        throw EInOutError(IoCode::ReadBeyondEnd);
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = Decode(buffer.data() + i * kRecordSize);
    }
}

void RecordFile::Truncate(std::int64_t recordCount) {
    if (recordCount < 0) {
        throw EInOutError(131);
    }
    int result = 0;
    do {
        result = ::ftruncate(m_file.Get(), recordCount * kRecordSize);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        Fail(IoOperation::Write, errno);
    }
}

void RecordFile::Sync() {
    if (const int err = SyncFile(m_file.Get()); err != 0) {
        Fail(IoOperation::Flush, err);
    }
}

void RecordFile::Close() {
    if (const int err = m_file.Close(); err != 0) {
        Fail(IoOperation::Close, err);
    }
}

bool FileExists(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0;
}

} // namespace hourlink
