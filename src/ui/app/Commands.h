// Command IDs shared by menu, toolbar, accelerators and handlers, and the tables that lay
// them out.
#pragma once

#include <QKeySequence>
#include <QList>
#include <span>

namespace cmd {

enum Id : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_EXPORT = 32772,
    ID_FILE_MRU_FILE1 = 57616,
    ID_APP_EXIT = 57665,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_CUT = 57635,
    ID_EDIT_COPY = 57634,
    ID_EDIT_PASTE = 57637,
    ID_SETUP = 32775,
    ID_XYZ = 32786,
    ID_SHOW_VERTICES = 32784,
    ID_UNREGISTER = 32779,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_HELP_CONTENTS = 32777,
    ID_APP_ABOUT = 57664,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
};

// The stable objectName of a command's action ("ID_FILE_NEW", ...).
const char* ObjectName(int id);

// Every key combination that runs a command.
QList<QKeySequence> Accelerators(int id);

// Toolbar layout; 0 stands for a separator.
std::span<const int> ToolbarLayout();

// Menu layout: each menu's title and its items; 0 stands for a separator.
struct MenuLayout {
    const char* title;
    std::span<const int> items;
};
std::span<const MenuLayout> MenuBarLayout();

// Commands that nothing handles: always disabled.
bool IsUnhandled(int id);

} // namespace cmd
