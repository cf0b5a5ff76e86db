// File-system failures, classified into the causes the user is told about.
#pragma once

#include <string>

namespace rolvet {

enum class FileCause {
    Generic,          // unspecified error
    NotFound,         // file not found
    BadPath,          // bad path
    TooManyOpenFiles, // too many open files
    AccessDenied,     // access denied
    InvalidHandle,    // invalid file handle
    DirectoryFull,    // directory full
    BadSeek,          // seek failed
    HardIO,           // hardware I/O error
    SharingViolation, // sharing violation
    LockViolation,    // lock violation
    DiskFull,         // disk full
    EndOfFile,        // read past the end
};

// Maps a Linux errno value onto a cause; unknown values give Generic.
FileCause FileCauseFromErrno(int err);

// The message template of a cause, with %1 standing for the full path.
const char* FileCauseTemplate(FileCause cause);

// The message of a cause with %1 replaced by path.
std::string FileErrorMessage(FileCause cause, const std::string& path);

// Replaces every "%1" in text with arg.
std::string SubstituteArg(std::string text, const std::string& arg);

// Replaces the first "%s" in a printf-style template with arg (no other conversions).
std::string SubstitutePrintfString(const char* format, const std::string& arg);

} // namespace rolvet
