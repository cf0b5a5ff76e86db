// Lets the desktop open ".rolvet" files with this program, for the current user only.
//
// Registration writes, below the user's data folder ($XDG_DATA_HOME, usually
// ~/.local/share):
//   mime/packages/rolvet.xml                         the track file type, *.rolvet
//   applications/rolvet.desktop                      the program, started with the file
//   icons/hicolor/NxN/apps/rolvet.png                the application icon
//   icons/hicolor/NxN/mimetypes/application-x-rolvet.png   the document icon
// and then asks the desktop's database tools, where they are installed, to take note.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Writes the registration files for a program started as `executablePath`. Files whose
// content is already right are left alone, so a repeated start costs a few reads. The
// database tools run in the background and never hold up the caller. Returns false when a
// file could not be written; callers carry on regardless.
bool RegisterFileType(const QString& executablePath);

// Removes exactly the files RegisterFileType writes, and nothing else; harmless when they
// are already gone.
void UnregisterFileType();

namespace rolvet::desktop {

inline constexpr const char* kMimeType = "application/x-rolvet";
inline constexpr const char* kAppIconName = "rolvet";
inline constexpr const char* kDocumentIconName = "application-x-rolvet";

// The folder the registration lives in ($XDG_DATA_HOME).
QString DataHome();
// Every file RegisterFileType writes, as absolute paths.
QStringList RegistrationFiles();

// The shared-mime-info package and the desktop entry as written.
QByteArray MimePackage();
QByteArray DesktopEntry(const QString& executablePath);
// One program argument as a desktop entry's Exec key needs it: quoted where the argument
// holds a reserved character, with the string escapes of the desktop file format applied.
QString ExecArgument(const QString& argument);

// How the database tools are started: program (found on PATH) and arguments; returns
// whether it started.
using ToolLauncher = std::function<bool(const QString& program, const QStringList& arguments)>;

// Replaces the detached launch of the database tools while it exists (for tests); the launch
// in use before comes back when it goes.
class CScopedToolLauncher {
public:
    explicit CScopedToolLauncher(ToolLauncher launcher);
    ~CScopedToolLauncher();
    CScopedToolLauncher(const CScopedToolLauncher&) = delete;
    CScopedToolLauncher& operator=(const CScopedToolLauncher&) = delete;

private:
    ToolLauncher m_previous;
};

} // namespace rolvet::desktop
