#include "document/NativePath.h"

#include <QStringList>

#include <dirent.h>
#include <sys/stat.h>

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // U+DC80..U+DCFF hold the bytes 0x80..0xFF

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at s[i], or 0.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        lo = c == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        hi = c == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        lo = c == 0xF0 ? 0x90 : 0x80;
        hi = c == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + n > s.size()) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(s[i + 1]);
    if (second < lo || second > hi) {
        return 0;
    }
    for (std::size_t k = 2; k < n; ++k) {
        if (!IsContinuation(static_cast<unsigned char>(s[i + k]))) {
            return 0;
        }
    }
    return n;
}

bool IsEscapedByte(char16_t u) {
    return u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF;
}

bool Exists(const std::string& native) {
    struct stat st {};
    return ::lstat(native.c_str(), &st) == 0;
}

} // namespace

QString PathFromNative(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            out += QChar(c);
            ++i;
        } else if (const std::size_t n = Utf8Length(bytes, i)) {
            out += QString::fromUtf8(bytes.data() + i, static_cast<qsizetype>(n));
            i += n;
        } else {
            out += QChar(static_cast<char16_t>(kEscapeBase + c));
            ++i;
        }
    }
    return out;
}

std::string PathToNative(const QString& path) {
    std::string out;
    out.reserve(static_cast<std::size_t>(path.size()));
    qsizetype runStart = 0;
    auto flush = [&](qsizetype end) {
        if (end > runStart) {
            out += path.mid(runStart, end - runStart).toStdString();
        }
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t u = path[i].unicode();
        const bool paired = i > 0 && QChar::isHighSurrogate(path[i - 1].unicode());
        if (IsEscapedByte(u) && !paired) {
            flush(i);
            out += static_cast<char>(u - kEscapeBase);
            runStart = i + 1;
        }
    }
    flush(path.size());
    return out;
}

QString DisplayPath(const QString& path) {
    QString shown = path;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const bool paired = i > 0 && QChar::isHighSurrogate(path[i - 1].unicode());
        if (IsEscapedByte(shown[i].unicode()) && !paired) {
            shown[i] = QChar::ReplacementCharacter;
        }
    }
    return shown;
}

QString ResolveLossyPath(const QString& path) {
    if (!path.contains(QChar::ReplacementCharacter) || Exists(PathToNative(path))) {
        return path;
    }
    const QStringList parts = path.split(QLatin1Char('/'));
    QString resolved = parts.constFirst();
    for (qsizetype p = 1; p < parts.size(); ++p) {
        const QString& part = parts[p];
        QString next = resolved + QLatin1Char('/') + part;
        if (part.contains(QChar::ReplacementCharacter) && !Exists(PathToNative(next))) {
            const std::string folder =
                PathToNative(resolved.isEmpty() ? QStringLiteral("/") : resolved);
            QString match;
            int matches = 0;
            if (DIR* dir = ::opendir(folder.c_str())) {
                while (const dirent* entry = ::readdir(dir)) {
                    const std::string_view name(entry->d_name);
                    if (QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) ==
                        part) {
                        match = PathFromNative(name);
                        ++matches;
                    }
                }
                ::closedir(dir);
            }
            if (matches != 1) {
                return path;
            }
            next = resolved + QLatin1Char('/') + match;
        }
        resolved = next;
    }
    return resolved;
}
