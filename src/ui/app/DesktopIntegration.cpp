#include "app/DesktopIntegration.h"

#include "common/AtomicFile.h"

#include "app/Icons.h"
#include "common/Strings.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <utility>
#include <vector>

namespace rolvet::desktop {

namespace {

const QString kMimePackagePath = QStringLiteral("mime/packages/rolvet.xml");
const QString kDesktopEntryPath = QStringLiteral("applications/rolvet.desktop");
const QString kIconThemePath = QStringLiteral("icons/hicolor");
// What update-mime-database makes of our package; its age tells whether it is current.
const QString kGeneratedMimeTypePath = QStringLiteral("mime/application/x-rolvet.xml");
const QString kDesktopCachePath = QStringLiteral("applications/mimeinfo.cache");
const QString kIconCachePath = QStringLiteral("icons/hicolor/icon-theme.cache");

ToolLauncher& Launcher() {
    static ToolLauncher launcher;
    return launcher;
}

bool LaunchDetached(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

// Starts a database tool in the background when it is installed; a missing tool or one
// that fails to start is not an error: the desktop then simply learns of the files later.
void RunTool(const QString& tool, const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        return;
    }
    const ToolLauncher& launcher = Launcher();
    if (launcher) {
        launcher(program, arguments);
    } else {
        LaunchDetached(program, arguments);
    }
}

// The desktop's database tools, each over its folder below the data home.
void RefreshMimeDatabase(const QDir& home) {
    RunTool(QStringLiteral("update-mime-database"), {home.filePath(QStringLiteral("mime"))});
}

void RefreshDesktopDatabase(const QDir& home) {
    RunTool(QStringLiteral("update-desktop-database"),
            {home.filePath(QStringLiteral("applications"))});
}

void RefreshIconCache(const QDir& home) {
    RunTool(QStringLiteral("gtk-update-icon-cache"),
            {QStringLiteral("-f"), QStringLiteral("-t"), QStringLiteral("-q"),
             home.filePath(kIconThemePath)});
}

struct RegistrationFile {
    QString relativePath;
    enum class Kind { MimePackage, DesktopEntry, AppIcon, DocumentIcon } kind;
    int iconSize = 0;
};

std::vector<RegistrationFile> Files() {
    std::vector<RegistrationFile> files = {
        {kMimePackagePath, RegistrationFile::Kind::MimePackage},
        {kDesktopEntryPath, RegistrationFile::Kind::DesktopEntry},
    };
    for (const int size : rolvet::icons::kIconSizes) {
        const QString dir = QStringLiteral("%1/%2x%2/").arg(kIconThemePath).arg(size);
        files.push_back(
            {dir + "apps/" + kAppIconName + ".png", RegistrationFile::Kind::AppIcon, size});
        files.push_back({dir + "mimetypes/" + kDocumentIconName + ".png",
                         RegistrationFile::Kind::DocumentIcon, size});
    }
    return files;
}

QByteArray ReadResource(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The string escapes of the desktop entry format.
QString EscapeString(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

// True when `path` is missing or older than `reference`.
bool OlderThan(const QString& path, const QString& reference) {
    const QFileInfo info(path);
    return !info.exists() || info.lastModified() < QFileInfo(reference).lastModified();
}

enum class WriteResult { Unchanged, Written, Failed };

WriteResult WriteIfChanged(const QString& path, const QByteArray& bytes) {
    {
        QFile existing(path);
        if (existing.open(QIODevice::ReadOnly) && existing.size() == bytes.size() &&
            existing.readAll() == bytes) {
            return WriteResult::Unchanged;
        }
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return WriteResult::Failed;
    }
    const QByteArray native = QFile::encodeName(path);
    const auto status =
        rolvet::CAtomicFile::WriteFile(std::string(native.constData(), std::size_t(native.size())),
                                       bytes.constData(), std::size_t(bytes.size()));
    return status.ok ? WriteResult::Written : WriteResult::Failed;
}

} // namespace

QString DataHome() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QStringList RegistrationFiles() {
    const QDir home(DataHome());
    QStringList paths;
    for (const RegistrationFile& file : Files()) {
        paths << home.filePath(file.relativePath);
    }
    return paths;
}

QByteArray MimePackage() {
    return QByteArray(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
               "  <mime-type type=\"") +
           kMimeType + "\">\n    <comment>" + rolvet::str::kFileTypeId +
           "</comment>\n"
           "    <icon name=\"" +
           kDocumentIconName +
           "\"/>\n"
           "    <glob pattern=\"*" +
           rolvet::str::kFilterExtension +
           "\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

QString ExecArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = argument.isEmpty();
    for (const QChar c : argument) {
        quote = quote || reserved.contains(c);
    }
    QString out;
    if (quote) {
        out += QLatin1Char('"');
    }
    for (const QChar c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            out += QLatin1Char('\\');
        }
        out += c;
        if (c == '%') {
            out += QLatin1Char('%'); // "%%" is a literal percent sign, not a field code
        }
    }
    if (quote) {
        out += QLatin1Char('"');
    }
    // The format's string escapes apply before the quoting is read, so they come last.
    return EscapeString(out);
}

QByteArray DesktopEntry(const QString& executablePath) {
    QString text;
    text += QLatin1String("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Version=1.0\n"
                          "Name=");
    text += QString::fromUtf8(rolvet::str::kProductName);
    // What menus and software centres show under the name, as in the installed entry.
    text += QString::fromUtf8("\nGenericName=Road Track Editor"
                              "\nGenericName[ja]=道路コースエディター"
                              "\nComment=Lay out closed road tracks and export them as 3D road "
                              "models"
                              "\nComment[ja]=閉じた道路のコースを作り、3D道路モデルとして書き出す");
    text += QLatin1String("\nTryExec=") + EscapeString(executablePath);
    text += QLatin1String("\nExec=") + ExecArgument(executablePath) + QLatin1String(" %f");
    text += QLatin1String("\nIcon=") + QLatin1String(kAppIconName);
    text += QLatin1String("\nTerminal=false"
                          "\nMimeType=") +
            QLatin1String(kMimeType) +
            QLatin1String(";"
                          "\nCategories=Graphics;3DGraphics;"
                          "\nKeywords=track;road;race;circuit;spline;mqo;gltf;obj;\n");
    return text.toUtf8();
}

CScopedToolLauncher::CScopedToolLauncher(ToolLauncher launcher)
    : m_previous(std::exchange(Launcher(), std::move(launcher))) {}

CScopedToolLauncher::~CScopedToolLauncher() {
    Launcher() = std::move(m_previous);
}

} // namespace rolvet::desktop

using namespace rolvet::desktop;

bool RegisterFileType(const QString& executablePath) {
    const QString dataHome = DataHome();
    if (dataHome.isEmpty() || executablePath.isEmpty()) {
        return false;
    }
    const QDir home(dataHome);
    const QString executable = QFileInfo(executablePath).absoluteFilePath();

    bool ok = true;
    bool mimeWritten = false;
    bool desktopWritten = false;
    bool iconWritten = false;
    for (const RegistrationFile& file : Files()) {
        QByteArray bytes;
        switch (file.kind) {
        case RegistrationFile::Kind::MimePackage:
            bytes = MimePackage();
            break;
        case RegistrationFile::Kind::DesktopEntry:
            bytes = DesktopEntry(executable);
            break;
        case RegistrationFile::Kind::AppIcon:
            bytes = ReadResource(rolvet::icons::AppIconResource(file.iconSize));
            break;
        case RegistrationFile::Kind::DocumentIcon:
            bytes = ReadResource(rolvet::icons::DocumentIconResource(file.iconSize));
            break;
        }
        if (bytes.isEmpty()) {
            ok = false;
            continue;
        }
        switch (WriteIfChanged(home.filePath(file.relativePath), bytes)) {
        case WriteResult::Failed:
            ok = false;
            break;
        case WriteResult::Unchanged:
            break;
        case WriteResult::Written:
            mimeWritten = mimeWritten || file.kind == RegistrationFile::Kind::MimePackage;
            desktopWritten = desktopWritten || file.kind == RegistrationFile::Kind::DesktopEntry;
            iconWritten = iconWritten || file.kind == RegistrationFile::Kind::AppIcon ||
                          file.kind == RegistrationFile::Kind::DocumentIcon;
            break;
        }
    }

    // Refresh a database when our file changed, or when the database is missing or older
    // than our file (an earlier refresh may never have run).
    const QString package = home.filePath(kMimePackagePath);
    if (mimeWritten ||
        (QFileInfo::exists(package) && OlderThan(home.filePath(kGeneratedMimeTypePath), package))) {
        RefreshMimeDatabase(home);
    }
    const QString entry = home.filePath(kDesktopEntryPath);
    const QString desktopCache = home.filePath(kDesktopCachePath);
    if (desktopWritten || (QFileInfo::exists(desktopCache) && OlderThan(desktopCache, entry))) {
        RefreshDesktopDatabase(home);
    }
    // A per-user icon theme folder normally has no cache; one that does must be rebuilt or
    // it hides the new icons. Creating a cache nobody else keeps up to date would be worse.
    if (iconWritten && QFileInfo::exists(home.filePath(kIconCachePath))) {
        RefreshIconCache(home);
    }
    return ok;
}

void UnregisterFileType() {
    const QString dataHome = DataHome();
    if (dataHome.isEmpty()) {
        return;
    }
    const QDir home(dataHome);
    bool mimeRemoved = false;
    bool desktopRemoved = false;
    bool iconRemoved = false;
    for (const RegistrationFile& file : Files()) {
        const QString path = home.filePath(file.relativePath);
        const QFileInfo info(path);
        // Only files (or links) of ours; a folder that happens to carry the name stays.
        if (!(info.isSymLink() || info.isFile()) || !QFile::remove(path)) {
            continue;
        }
        mimeRemoved = mimeRemoved || file.kind == RegistrationFile::Kind::MimePackage;
        desktopRemoved = desktopRemoved || file.kind == RegistrationFile::Kind::DesktopEntry;
        iconRemoved = iconRemoved || file.kind == RegistrationFile::Kind::AppIcon ||
                      file.kind == RegistrationFile::Kind::DocumentIcon;
    }
    // The generated type outlives our package until the database is rebuilt.
    if (mimeRemoved || QFileInfo::exists(home.filePath(kGeneratedMimeTypePath))) {
        RefreshMimeDatabase(home);
    }
    if (desktopRemoved && QFileInfo::exists(home.filePath(kDesktopCachePath))) {
        RefreshDesktopDatabase(home);
    }
    if (iconRemoved && QFileInfo::exists(home.filePath(kIconCachePath))) {
        RefreshIconCache(home);
    }
}
