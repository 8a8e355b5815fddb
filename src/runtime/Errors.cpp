#include "runtime/Errors.h"

#include <cerrno>

namespace hourlink {

EInOutError::EInOutError(int code) : Exception(MessageFor(code)), m_code(code) {}

std::string EInOutError::MessageFor(int code) {
    switch (code) {
    case IoCode::FileNotFound:
        return "File not found";
    case IoCode::InvalidFilename:
        return "Invalid filename";
    case IoCode::TooManyOpenFiles:
        return "Too many open files";
    case IoCode::AccessDenied:
        return "File access denied";
    case IoCode::ReadBeyondEnd:
        return "Read beyond end of file";
    case IoCode::DiskFull:
        return "Disk full";
    default:
        return "I/O error " + std::to_string(code);
    }
}

EListError::EListError(long long index) : Exception("List index out of bounds (" + std::to_string(index) + ")") {}

int IoCodeFromErrno(int err, IoOperation op) noexcept {
    switch (err) {
    case ENOENT:
        // A missing file at an open of an existing one; at a create only the folder can be missing.
        return op == IoOperation::OpenExisting ? IoCode::FileNotFound : IoCode::InvalidFilename;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return IoCode::InvalidFilename;
    case EMFILE:
    case ENFILE:
        return IoCode::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return IoCode::AccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return IoCode::DiskFull;
    case EAGAIN:
    case EBUSY:
        return IoCode::SharingViolation;
    case EIO:
        return op == IoOperation::Read ? IoCode::ReadFault : IoCode::WriteFault;
    default:
        // Everything else shows as "I/O error N"; keep clear of the codes that have a message of their own.
        return err > 0 && err != 2 && err != 3 && err != 4 && err != 5 ? err : 1000 + err;
    }
}

std::string ErrorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.')) {
        return message + ".";
    }
    return message;
}

} // namespace hourlink
