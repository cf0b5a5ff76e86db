// Folders of a test's own in place of the user's: home, settings, data, state, cache, runtime
// and temporary files all live in one fresh folder that is removed afterwards. Every test
// program runs inside one (ROLVET_TEST_MAIN and its siblings create it before the application
// object), so programs that CTest runs at the same time never see each other's files; a test
// class whose functions register the file type, write settings or recovery copies makes one
// more in init() so that each function starts from nothing. Child processes inherit it.
#pragma once

#include <QByteArray>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <utility>
#include <vector>

namespace testutil {

class CIsolatedHome {
public:
    CIsolatedHome() {
        const QByteArray parent =
            qEnvironmentVariableIsEmpty("TMPDIR") ? QByteArray("/tmp") : qgetenv("TMPDIR");
        std::string pattern = parent.toStdString() + "/rolvet-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            qFatal("cannot create a test home under %s", parent.constData());
        }
        m_root = pattern;
        // Reachable by the unprivileged user some tests act as; the temporary folder is shared
        // like /tmp, the home and runtime folders are private as the desktop expects.
        ::chmod(m_root.c_str(), 0755);
        Set("HOME", "home", 0700);
        Set("XDG_CONFIG_HOME", "home/.config", 0700);
        Set("XDG_DATA_HOME", "home/.local/share", 0700);
        Set("XDG_STATE_HOME", "home/.local/state", 0700);
        Set("XDG_CACHE_HOME", "home/.cache", 0700);
        Set("XDG_RUNTIME_DIR", "run", 0700);
        Set("TMPDIR", "tmp", 01777);
        PointSettingsHere();
    }

    ~CIsolatedHome() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->second) {
                qputenv(it->first, *it->second);
            } else {
                qunsetenv(it->first);
            }
        }
        PointSettingsHere(); // back to where the restored environment keeps them
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }

    CIsolatedHome(const CIsolatedHome&) = delete;
    CIsolatedHome& operator=(const CIsolatedHome&) = delete;

    QString Root() const { return QString::fromStdString(m_root); }

private:
    void Set(const char* name, const char* sub, mode_t mode) {
        const std::string path = m_root + "/" + sub;
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
        ::chmod(path.c_str(), mode);
        m_saved.emplace_back(name, qEnvironmentVariableIsSet(name)
                                       ? std::optional<QByteArray>(qgetenv(name))
                                       : std::nullopt);
        qputenv(name, QByteArray::fromStdString(path));
    }

    // QSettings looks up its folder once per process; point it at the current configuration
    // folder (the test-mode one when a test has enabled that) so that each home has its own.
    static void PointSettingsHere() {
        const QString config =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);
    }

    std::string m_root;
    std::vector<std::pair<const char*, std::optional<QByteArray>>> m_saved;
};

} // namespace testutil

// QTEST_MAIN, QTEST_GUILESS_MAIN and QTEST_APPLESS_MAIN, each inside a home of its own.
#define ROLVET_TEST_MAIN(TestObject)                                                               \
    QTEST_MAIN_WRAPPER(TestObject, testutil::CIsolatedHome rolvetHome; QTEST_MAIN_SETUP())
#define ROLVET_TEST_GUILESS_MAIN(TestObject)                                                       \
    QTEST_MAIN_WRAPPER(TestObject, testutil::CIsolatedHome rolvetHome;                             \
                       QTEST_QAPP_SETUP(QCoreApplication))
#define ROLVET_TEST_APPLESS_MAIN(TestObject)                                                       \
    QTEST_MAIN_WRAPPER(TestObject, testutil::CIsolatedHome rolvetHome;)
