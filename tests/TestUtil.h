// Small helpers shared by the tests.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstddef>
#include <span>
#include <vector>

namespace testutil {

// How long a test waits for a window, a repaint, a timer, a file or a child process: far more
// than any of them needs, even in a sanitizer build on a loaded machine. Waits end as soon as
// their condition holds, so this costs nothing when all is well.
inline constexpr int kDeadlineMs = 60000;

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return f.readAll();
}

inline bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    return f.write(bytes) == bytes.size();
}

inline QByteArray ToQByteArray(const std::vector<std::byte>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

inline std::span<const std::byte> AsBytes(const QByteArray& a) {
    return {reinterpret_cast<const std::byte*>(a.constData()), static_cast<std::size_t>(a.size())};
}

} // namespace testutil
