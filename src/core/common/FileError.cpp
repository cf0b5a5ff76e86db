#include "common/FileError.h"

#include "common/Strings.h"

#include <cerrno>
#include <iterator>

namespace rolvet {

namespace {

struct ErrnoCause {
    int err;
    FileCause cause;
};

// The one table that turns Linux errno values into the causes the user sees.
constexpr ErrnoCause kErrnoCauses[] = {
    {ENOENT, FileCause::NotFound},         {ENXIO, FileCause::NotFound},
    {ENODEV, FileCause::NotFound},         {EACCES, FileCause::AccessDenied},
    {EPERM, FileCause::AccessDenied},      {EISDIR, FileCause::AccessDenied},
    {EROFS, FileCause::AccessDenied},      {ETXTBSY, FileCause::SharingViolation},
    {EBUSY, FileCause::SharingViolation},  {ENAMETOOLONG, FileCause::BadPath},
    {ENOTDIR, FileCause::BadPath},         {ELOOP, FileCause::BadPath},
    {EINVAL, FileCause::BadPath},          {EMFILE, FileCause::TooManyOpenFiles},
    {ENFILE, FileCause::TooManyOpenFiles}, {EBADF, FileCause::InvalidHandle},
    {EMLINK, FileCause::DirectoryFull},    {ESPIPE, FileCause::BadSeek},
    {EOVERFLOW, FileCause::BadSeek},       {EIO, FileCause::HardIO},
    {ENOSPC, FileCause::DiskFull},         {EDQUOT, FileCause::DiskFull},
    {EFBIG, FileCause::DiskFull},          {EDEADLK, FileCause::LockViolation},
    {ENOLCK, FileCause::LockViolation},    {EAGAIN, FileCause::LockViolation},
};

} // namespace

FileCause FileCauseFromErrno(int err) {
    for (const auto& entry : kErrnoCauses) {
        if (entry.err == err) {
            return entry.cause;
        }
    }
    return FileCause::Generic;
}

const char* FileCauseTemplate(FileCause cause) {
    switch (cause) {
    case FileCause::Generic:
        return str::kFileErrorGeneric;
    case FileCause::NotFound:
        return str::kFileErrorNotFound;
    case FileCause::BadPath:
        return str::kFileErrorBadPath;
    case FileCause::TooManyOpenFiles:
        return str::kFileErrorTooManyOpen;
    case FileCause::AccessDenied:
        return str::kFileErrorAccessDenied;
    case FileCause::InvalidHandle:
        return str::kFileErrorInvalidHandle;
    case FileCause::DirectoryFull:
        return str::kFileErrorDirFull;
    case FileCause::BadSeek:
        return str::kFileErrorBadSeek;
    case FileCause::HardIO:
        return str::kFileErrorHardIO;
    case FileCause::SharingViolation:
        return str::kFileErrorSharingViolation;
    case FileCause::LockViolation:
        return str::kFileErrorLockViolation;
    case FileCause::DiskFull:
        return str::kFileErrorDiskFull;
    case FileCause::EndOfFile:
        return str::kFileErrorEndOfFile;
    }
    return str::kFileErrorGeneric;
}

std::string SubstituteArg(std::string text, const std::string& arg) {
    for (std::size_t pos = text.find("%1"); pos != std::string::npos;
         pos = text.find("%1", pos + arg.size())) {
        text.replace(pos, 2, arg);
    }
    return text;
}

std::string SubstitutePrintfString(const char* format, const std::string& arg) {
    std::string text(format);
    if (const std::size_t pos = text.find("%s"); pos != std::string::npos) {
        text.replace(pos, 2, arg);
    }
    return text;
}

std::string FileErrorMessage(FileCause cause, const std::string& path) {
    return SubstituteArg(Translate(FileCauseTemplate(cause)), path);
}

} // namespace rolvet
