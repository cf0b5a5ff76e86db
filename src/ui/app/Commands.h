// The main window's commands, one record each. The menus, the toolbar, the accelerators, the
// status-bar prompts, the tooltips and the enabled / checked refresh are all built from the
// records in Commands.cpp; nothing else lists commands.
//
// Adding a command:
//   1. give it an ID in the enum below (its objectName is the enumerator's name);
//   2. put its menu text, prompt and tooltip in common/Strings.h, where every user-visible
//      text lives;
//   3. add one record to kCommands in Commands.cpp, at the place where it appears in its menu
//      (the records are in menu order and the toolbar takes its buttons in the same order).
// A record without a handler is shown disabled, so a command is never enabled yet inert.
#pragma once

#include <QKeyCombination>
#include <QObject>

#include <array>
#include <span>

class CFileFlows;
class CPreviewHost;
class CRolvetDoc;
class CRolvetView;
class QMainWindow;
class QToolBar;
class QWidget;

namespace rolvet::str {
struct CommandText;
}

namespace cmd {
Q_NAMESPACE

enum Id : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_EXPORT = 32772,
    ID_FILE_IMPORT = 32820,
    ID_FILE_MRU_FILE1 = 57616,
    ID_APP_EXIT = 57665,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    ID_EDIT_CUT = 57635,
    ID_EDIT_COPY = 57634,
    ID_EDIT_PASTE = 57637,
    ID_SETUP = 32775,
    ID_XYZ = 32786,
    ID_ROAD_SHAPE = 32801,
    ID_SHOW_VERTICES = 32784,
    ID_UNREGISTER = 32779,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_VIEW_PREVIEW = 32800,
    ID_VIEW_RACING_LINE = 32810,
    ID_VIEW_PROFILE = 32811,
    ID_VIEW_BACKGROUND = 32860,
    ID_VIEW_FIT = 32861,
    ID_VIEW_LANGUAGE_JA = 32850,
    ID_VIEW_LANGUAGE_EN = 32851,
    ID_HELP_CONTENTS = 32777,
    ID_APP_ABOUT = 57664,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
};
Q_ENUM_NS(Id)

// What handlers and rules work on.
struct Context {
    QMainWindow& window; // the main window: parent of every dialog and message
    QToolBar& toolBar;
    CRolvetDoc& doc;
    CFileFlows& files;
    CPreviewHost& preview;
    QWidget& profile;  // the height profile under the plan
    CRolvetView& view; // the plan
};

// The menus of the menu bar, in their order; None: the command has keys only.
enum class Menu { None, File, Edit, Settings, View, Help };
inline constexpr std::array kMenus = {Menu::File, Menu::Edit, Menu::Settings, Menu::View,
                                      Menu::Help};

struct Command {
    Id id;
    Menu menu = Menu::None;
    bool separatorBefore = false;  // a separator above it in its menu
    const char* submenu = nullptr; // title of the submenu of its menu that holds it, if any
    const rolvet::str::CommandText* text = nullptr; // nullptr: no texts (key-only commands)
    std::array<QKeyCombination, 2> keys{};          // unused entries stay Qt::Key_unknown
    const char* image = nullptr; // toolbar image (icons/<image>.png); nullptr: no button
    bool toolbarSeparatorBefore = false;
    void (*run)(const Context&) = nullptr;     // nullptr: nothing handles it, always disabled
    bool (*enabled)(const Context&) = nullptr; // nullptr: enabled whenever it has a handler
    bool (*checked)(const Context&) = nullptr; // set: a check item showing this state
};

// Every command, in menu order.
std::span<const Command> Commands();
// The record of an ID; nullptr for an unknown ID.
const Command* Find(int id);
// The stable objectName of a command's action: the enumerator's name ("ID_FILE_NEW").
const char* ObjectName(int id);
// The title of a menu of the menu bar.
const char* MenuTitle(Menu menu);

} // namespace cmd
