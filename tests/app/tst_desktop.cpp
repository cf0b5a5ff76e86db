// Registering the track file type with the desktop, removing it again, and the pictures.
#include "IsolatedHome.h"
#include "TestUtil.h"
#include "app/DesktopIntegration.h"
#include "app/Icons.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QPixmap>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

using testutil::ReadAll;
using testutil::WriteAll;
namespace desktop = rolvet::desktop;

namespace {

const QString kSourceDir = QStringLiteral(ROLVET_SOURCE_DIR);

// Reads the [Desktop Entry] group of a desktop file into key -> raw value.
QMap<QString, QString> ReadDesktopEntry(const QString& path) {
    QMap<QString, QString> keys;
    const QStringList lines = QString::fromUtf8(ReadAll(path)).split('\n');
    bool inGroup = false;
    for (const QString& line : lines) {
        if (line.startsWith('[')) {
            inGroup = line == QLatin1String("[Desktop Entry]");
        } else if (inGroup && line.contains('=')) {
            const qsizetype eq = line.indexOf('=');
            keys.insert(line.left(eq), line.mid(eq + 1));
        }
    }
    return keys;
}

// Undoes the string escapes of the desktop entry format.
QString Unescape(const QString& raw) {
    QString value;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size()) {
            const QChar next = raw[++i];
            value += next == 's'   ? QChar(' ')
                     : next == 'n' ? QChar('\n')
                     : next == 't' ? QChar('\t')
                     : next == 'r' ? QChar('\r')
                                   : next;
        } else {
            value += raw[i];
        }
    }
    return value;
}

// Splits an Exec value into arguments as a strict desktop launcher does: string escapes
// first, then double quotes, then field codes. Anything the format forbids (an unescaped
// '"', '`', '$' or '\\' inside quotes, a stray '%') yields {"<invalid>"}.
QStringList ParseExec(const QString& raw) {
    const QStringList invalid = {QStringLiteral("<invalid>")};
    const QString value = Unescape(raw);
    QStringList args;
    QString current;
    bool started = false;
    bool quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (quoted) {
            if (c == '\\') {
                if (i + 1 >= value.size() || !QStringLiteral("\"`$\\").contains(value[i + 1])) {
                    return invalid;
                }
                current += value[++i];
            } else if (c == '"') {
                quoted = false;
            } else if (c == '`' || c == '$') {
                return invalid;
            } else {
                current += c;
            }
        } else if (c == ' ') {
            if (started) {
                args << current;
                current.clear();
                started = false;
            }
        } else if (c == '"') {
            quoted = started = true;
        } else {
            current += c;
            started = true;
        }
    }
    if (quoted) {
        return invalid;
    }
    if (started) {
        args << current;
    }
    for (QString& arg : args) {
        if (arg == QLatin1String("%f")) {
            continue;
        }
        QString plain;
        for (qsizetype i = 0; i < arg.size(); ++i) {
            if (arg[i] == '%') {
                if (i + 1 >= arg.size() || arg[i + 1] != '%') {
                    return invalid;
                }
                ++i;
            }
            plain += arg[i];
        }
        arg = plain;
    }
    return args;
}

bool HasOpaquePixel(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 255) {
                return true;
            }
        }
    }
    return false;
}

// Sets a file's modification time well into the past, so a rewrite shows.
void Age(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-3),
                             QFileDevice::FileModificationTime));
}

QDateTime Modified(const QString& path) {
    return QFileInfo(path).lastModified();
}

bool MakeExecutable(const QString& path, const QByteArray& script) {
    return WriteAll(path, script) &&
           QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner);
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_home;  // the data folder the registration goes to
    QString m_tools; // a folder on PATH holding stand-ins for the database tools
    QByteArray m_savedPath;
    std::vector<std::pair<QString, QStringList>> m_launched;
    std::optional<desktop::CScopedToolLauncher> m_launcher;

    QString Home(const QString& relative) const { return QDir(m_home).filePath(relative); }

    // Puts stand-ins for the database tools on PATH (or none at all).
    void InstallTools(bool present) {
        const QString script = QStringLiteral("#!/bin/sh\nexit 0\n");
        for (const char* tool :
             {"update-mime-database", "update-desktop-database", "gtk-update-icon-cache"}) {
            const QString path = QDir(m_tools).filePath(QLatin1String(tool));
            if (present) {
                QVERIFY(MakeExecutable(path, script.toUtf8()));
            } else {
                QFile::remove(path);
            }
        }
    }

    QStringList LaunchedTools() const {
        QStringList names;
        for (const auto& [program, args] : m_launched) {
            names << QFileInfo(program).fileName();
        }
        return names;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_home = m_dir->filePath(QStringLiteral("share"));
        m_tools = m_dir->filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(m_tools));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home));
        m_savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_tools));
        // Everything below works inside the temporary folder, never in a real home.
        QCOMPARE(desktop::DataHome(), m_home);
        m_launched.clear();
        m_launcher.emplace([this](const QString& program, const QStringList& args) {
            m_launched.emplace_back(program, args);
            return true;
        });
    }

    void cleanup() {
        m_launcher.reset();
        qputenv("PATH", m_savedPath);
        m_dir.reset();
    }

    void writesTheRegistrationFiles() {
        const QString exe = QStringLiteral("/opt/rolvet/bin/rolvet");
        QVERIFY(RegisterFileType(exe));

        const QStringList files = desktop::RegistrationFiles();
        QCOMPARE(files.size(), 12);
        for (const QString& file : files) {
            QVERIFY2(QFileInfo(file).isFile(), qPrintable(file));
            QVERIFY(file.startsWith(m_home + '/'));
        }

        // The type: what the installed package says, which names the glob and the icon.
        const QByteArray mime = ReadAll(Home("mime/packages/rolvet.xml"));
        QCOMPARE(mime, ReadAll(kSourceDir + "/src/ui/app/desktop/rolvet.xml"));
        QVERIFY(mime.contains("<mime-type type=\"application/x-rolvet\">"));
        QVERIFY(mime.contains("<glob pattern=\"*.rolvet\"/>"));
        QVERIFY(mime.contains("<comment>Rolvet.Document</comment>"));
        QVERIFY(mime.contains("<icon name=\"application-x-rolvet\"/>"));

        // The program: the running executable with the file, and the installed entry's keys.
        const auto entry = ReadDesktopEntry(Home("applications/rolvet.desktop"));
        QCOMPARE(entry.value("Exec"), exe + " %f");
        QCOMPARE(entry.value("TryExec"), exe);
        auto installed = ReadDesktopEntry(kSourceDir + "/src/ui/app/desktop/rolvet.desktop");
        installed.insert("Exec", exe + " %f");
        installed.insert("TryExec", exe);
        QCOMPARE(entry, installed);
        QCOMPARE(entry.value("Name"), QStringLiteral("Welmo Rolvet"));
        QCOMPARE(entry.value("Icon"), QStringLiteral("rolvet"));
        QCOMPARE(entry.value("MimeType"), QStringLiteral("application/x-rolvet;"));
        QCOMPARE(entry.value("Type"), QStringLiteral("Application"));

        // The icons: exact copies of the drawn ones, each as large as its folder says.
        for (const int size : rolvet::icons::kIconSizes) {
            const QString dir = QStringLiteral("icons/hicolor/%1x%1/").arg(size);
            const QString app = Home(dir + "apps/rolvet.png");
            const QString doc = Home(dir + "mimetypes/application-x-rolvet.png");
            QCOMPARE(QImage(app).size(), QSize(size, size));
            QCOMPARE(QImage(doc).size(), QSize(size, size));
            QCOMPARE(ReadAll(app), ReadAll(rolvet::icons::AppIconResource(size)));
            QCOMPARE(ReadAll(doc), ReadAll(rolvet::icons::DocumentIconResource(size)));
        }

        // A relative name is made absolute: the desktop starts programs from anywhere.
        QVERIFY(RegisterFileType(QStringLiteral("rolvet")));
        QCOMPARE(ParseExec(ReadDesktopEntry(Home("applications/rolvet.desktop")).value("Exec")),
                 QStringList({QDir::current().absoluteFilePath("rolvet"), "%f"}));
    }

    void execQuotesAwkwardPaths_data() {
        QTest::addColumn<QString>("exe");
        QTest::addColumn<bool>("quoted");
        QTest::newRow("spaces") << QStringLiteral("/opt/Welmo Rolvet/bin/rolvet") << true;
        QTest::newRow("shell characters")
            << QStringLiteral("/tmp/a\"b$c`d\\e'f;g&h|(i)*?#~<>/rolvet") << true;
        QTest::newRow("percent") << QStringLiteral("/tmp/100%f/rolvet") << false;
        QTest::newRow("japanese") << QStringLiteral("/home/ユーザー/道路 エディタ/rolvet") << true;
        QTest::newRow("tab and newline") << QStringLiteral("/tmp/a\tb\nc/rolvet") << true;
    }

    void execQuotesAwkwardPaths() {
        QFETCH(QString, exe);
        QFETCH(bool, quoted);
        QVERIFY(RegisterFileType(exe));
        const auto entry = ReadDesktopEntry(Home("applications/rolvet.desktop"));
        const QString raw = entry.value("Exec");
        QCOMPARE(raw.startsWith('"'), quoted); // reserved characters need quotes
        QCOMPARE(ParseExec(raw), QStringList({exe, "%f"}));
        QCOMPARE(Unescape(entry.value("TryExec")), exe);
        // Exactly one line per key: a newline in the path must not break the file apart.
        QCOMPARE(ReadAll(Home("applications/rolvet.desktop")).count("\nExec="), 1);
    }

    void unchangedFilesAreNotRewritten() {
        InstallTools(true);
        QVERIFY(RegisterFileType("/usr/bin/rolvet"));
        QCOMPARE(LaunchedTools(), QStringList({"update-mime-database", "update-desktop-database"}));
        QCOMPARE(m_launched[0].second, QStringList({Home("mime")}));
        QCOMPARE(m_launched[1].second, QStringList({Home("applications")}));

        // As if the tools had run after our files were written.
        const QStringList files = desktop::RegistrationFiles();
        for (const QString& file : files) {
            Age(file);
        }
        const QString generatedType = Home("mime/application/x-rolvet.xml");
        QVERIFY(QDir().mkpath(Home("mime/application")));
        QVERIFY(WriteAll(generatedType, "generated"));
        QVERIFY(WriteAll(Home("applications/mimeinfo.cache"), "generated"));
        std::vector<QDateTime> before;
        for (const QString& file : files) {
            before.push_back(Modified(file));
        }

        m_launched.clear();
        QVERIFY(RegisterFileType("/usr/bin/rolvet"));
        for (std::size_t i = 0; i < before.size(); ++i) {
            QVERIFY2(Modified(files[int(i)]) == before[i], qPrintable(files[int(i)]));
        }
        QVERIFY(m_launched.empty());

        // Another executable rewrites the desktop entry alone, and refreshes its database.
        QVERIFY(RegisterFileType("/usr/local/bin/rolvet"));
        for (std::size_t i = 0; i < before.size(); ++i) {
            const bool isEntry = files[int(i)].endsWith("rolvet.desktop");
            QCOMPARE(Modified(files[int(i)]) != before[i], isEntry);
        }
        QCOMPARE(LaunchedTools(), QStringList({"update-desktop-database"}));
        QVERIFY(WriteAll(Home("applications/mimeinfo.cache"), "generated again"));

        // A damaged icon is put right; an icon cache of the theme is then rebuilt.
        const QString icon = Home("icons/hicolor/48x48/mimetypes/application-x-rolvet.png");
        QVERIFY(WriteAll(icon, "not a png"));
        QVERIFY(WriteAll(Home("icons/hicolor/icon-theme.cache"), "cache"));
        m_launched.clear();
        QVERIFY(RegisterFileType("/usr/local/bin/rolvet"));
        QCOMPARE(ReadAll(icon), ReadAll(rolvet::icons::DocumentIconResource(48)));
        QCOMPARE(LaunchedTools(), QStringList({"gtk-update-icon-cache"}));
        QCOMPARE(m_launched[0].second, QStringList({"-f", "-t", "-q", Home("icons/hicolor")}));

        // A type database that never got built is built at the next start.
        QVERIFY(QFile::remove(generatedType));
        m_launched.clear();
        QVERIFY(RegisterFileType("/usr/local/bin/rolvet"));
        QCOMPARE(LaunchedTools(), QStringList({"update-mime-database"}));
    }

    void missingToolsAreSkipped() {
        InstallTools(false);
        QVERIFY(RegisterFileType("/usr/bin/rolvet"));
        QVERIFY(m_launched.empty());
        UnregisterFileType();
        QVERIFY(m_launched.empty());
        QVERIFY(!QFileInfo::exists(Home("applications/rolvet.desktop")));
    }

    void toolsRunInTheBackground() {
        // A tool started for real that goes on only once the test opens its gate: registration
        // returns while it still waits, so registration did not wait for it.
        m_launcher.reset();
        const QByteArray gate = QFile::encodeName(m_dir->filePath("gate"));
        const QString marker = m_dir->filePath("ran");
        QVERIFY(MakeExecutable(QDir(m_tools).filePath("update-mime-database"),
                               "#!/bin/sh\ni=0\nwhile [ ! -e '" + gate +
                                   "' ] && [ $i -lt 1200 ]; do\n"
                                   "  /bin/sleep 0.1; i=$((i + 1))\ndone\necho \"$1\" > '" +
                                   QFile::encodeName(marker) + "'\n"));
        QVERIFY(RegisterFileType("/usr/bin/rolvet"));
        QVERIFY(!QFileInfo::exists(marker));
        QVERIFY(WriteAll(QFile::decodeName(gate), "open"));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker) && ReadAll(marker).size() > 1,
                                 testutil::kDeadlineMs);
        QCOMPARE(ReadAll(marker).trimmed(), QFile::encodeName(Home("mime")));
    }

    void unregisterRemovesExactlyOurFiles() {
        InstallTools(true);
        // Other programs' files in the same folders, and a folder that carries one of our names.
        const QStringList foreign = {
            Home("mime/packages/other.xml"), Home("applications/other.desktop"),
            Home("applications/rolvet.desktop.bak"), Home("icons/hicolor/16x16/apps/other.png"),
            Home("icons/hicolor/48x48/mimetypes/rolvet.png")};
        for (const QString& file : foreign) {
            QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
            QVERIFY(WriteAll(file, file.toUtf8()));
        }
        QVERIFY(QDir().mkpath(Home("icons/hicolor/24x24/apps/rolvet.png/keep")));
        QVERIFY(!RegisterFileType("/usr/bin/rolvet")); // that one icon cannot be written
        // Tools have built the databases in the meantime.
        QVERIFY(QDir().mkpath(Home("mime/application")));
        QVERIFY(WriteAll(Home("mime/application/x-rolvet.xml"), "generated"));
        QVERIFY(WriteAll(Home("applications/mimeinfo.cache"), "generated"));

        m_launched.clear();
        UnregisterFileType();
        for (const QString& file : desktop::RegistrationFiles()) {
            if (!file.endsWith("24x24/apps/rolvet.png")) {
                QVERIFY2(!QFileInfo::exists(file), qPrintable(file));
            }
        }
        QVERIFY(QFileInfo::exists(Home("icons/hicolor/24x24/apps/rolvet.png/keep")));
        for (const QString& file : foreign) {
            QCOMPARE(ReadAll(file), file.toUtf8());
        }
        QCOMPARE(LaunchedTools(), QStringList({"update-mime-database", "update-desktop-database"}));

        // Twice is harmless; once the type database no longer knows the type, no tool runs.
        QVERIFY(QFile::remove(Home("mime/application/x-rolvet.xml")));
        m_launched.clear();
        UnregisterFileType();
        QVERIFY(m_launched.empty());
        for (const QString& file : foreign) {
            QCOMPARE(ReadAll(file), file.toUtf8());
        }

        // And the next start registers again.
        RegisterFileType("/usr/bin/rolvet");
        QVERIFY(QFileInfo::exists(Home("applications/rolvet.desktop")));
    }

    void failuresAreReportedNotFatal() {
        // A folder where the desktop entry belongs: that file fails, the others are written.
        QVERIFY(QDir().mkpath(Home("applications/rolvet.desktop")));
        QVERIFY(!RegisterFileType("/usr/bin/rolvet"));
        QVERIFY(QFileInfo(Home("mime/packages/rolvet.xml")).isFile());
        QVERIFY(QFileInfo(Home("icons/hicolor/256x256/apps/rolvet.png")).isFile());
        QVERIFY(QFileInfo(Home("applications/rolvet.desktop")).isDir());

        // No executable: nothing sensible to register.
        QVERIFY(QDir(Home("applications/rolvet.desktop")).removeRecursively());
        QVERIFY(!RegisterFileType(QString()));
        QVERIFY(!QFileInfo::exists(Home("applications/rolvet.desktop")));

        // A data folder that cannot be created.
        qputenv("XDG_DATA_HOME", "/dev/null/share");
        QVERIFY(!RegisterFileType("/usr/bin/rolvet"));
        UnregisterFileType();
    }

    void iconsLoadAtEverySize() {
        const QIcon app = AppIcon();
        const QIcon doc = DocumentIcon();
        for (const int size : rolvet::icons::kIconSizes) {
            const QSize s(size, size);
            QVERIFY(app.availableSizes().contains(s));
            QVERIFY(doc.availableSizes().contains(s));
            const QImage a = app.pixmap(s).toImage();
            const QImage d = doc.pixmap(s).toImage();
            QCOMPARE(a.size(), s);
            QCOMPARE(d.size(), s);
            // Drawn at this size (not scaled from another), and not blank.
            QCOMPARE(QImage(rolvet::icons::AppIconResource(size)).size(), s);
            QCOMPARE(QImage(rolvet::icons::DocumentIconResource(size)).size(), s);
            QVERIFY(HasOpaquePixel(a));
            QVERIFY(HasOpaquePixel(d));
            QVERIFY(a != d);
        }

        std::vector<QImage> images;
        for (const char* name :
             {"new", "open", "save", "cut", "copy", "paste", "settings", "vertex", "about"}) {
            const QIcon icon = ToolbarIcon(name);
            QVERIFY2(!icon.isNull(), name);
            QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
            const QImage image = icon.pixmap(QSize(16, 16)).toImage();
            QCOMPARE(image.size(), QSize(16, 16));
            QVERIFY(HasOpaquePixel(image));
            for (const QImage& other : images) {
                QVERIFY(image != other); // each command its own picture
            }
            images.push_back(image);
        }
    }
};

ROLVET_TEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
