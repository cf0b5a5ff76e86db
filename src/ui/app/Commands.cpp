#include "app/Commands.h"

#include "common/Strings.h"

#include <array>

namespace cmd {

namespace {

struct Accelerator {
    int id;
    QKeyCombination keys;
};

constexpr int kModCtrl = Qt::CTRL, kModShift = Qt::SHIFT, kModAlt = Qt::ALT;

const Accelerator kAccelerators[] = {
    {ID_FILE_NEW, QKeyCombination(Qt::KeyboardModifiers(kModCtrl), Qt::Key_N)},
    {ID_FILE_OPEN, QKeyCombination(Qt::KeyboardModifiers(kModCtrl), Qt::Key_O)},
    {ID_FILE_SAVE, QKeyCombination(Qt::KeyboardModifiers(kModCtrl), Qt::Key_S)},
    {ID_EDIT_UNDO, QKeyCombination(Qt::KeyboardModifiers(kModCtrl), Qt::Key_Z)},
    {ID_EDIT_CUT, QKeyCombination(Qt::KeyboardModifiers(kModCtrl), Qt::Key_X)},
    {ID_EDIT_COPY, QKeyCombination(Qt::KeyboardModifiers(kModCtrl), Qt::Key_C)},
    {ID_EDIT_PASTE, QKeyCombination(Qt::KeyboardModifiers(kModCtrl), Qt::Key_V)},
    {ID_EDIT_UNDO, QKeyCombination(Qt::KeyboardModifiers(kModAlt), Qt::Key_Backspace)},
    {ID_EDIT_CUT, QKeyCombination(Qt::KeyboardModifiers(kModShift), Qt::Key_Delete)},
    {ID_EDIT_COPY, QKeyCombination(Qt::KeyboardModifiers(kModCtrl), Qt::Key_Insert)},
    {ID_EDIT_PASTE, QKeyCombination(Qt::KeyboardModifiers(kModShift), Qt::Key_Insert)},
    {ID_NEXT_PANE, QKeyCombination(Qt::Key_F6)},
    {ID_PREV_PANE, QKeyCombination(Qt::KeyboardModifiers(kModShift), Qt::Key_F6)},
};

constexpr int kToolbar[] = {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0,      ID_EDIT_CUT, ID_EDIT_COPY,
                            ID_EDIT_PASTE, 0,        ID_SETUP,     ID_XYZ, 0,           ID_APP_ABOUT};

constexpr int kFileMenu[] = {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, 0, ID_FILE_EXPORT, 0,
                             ID_FILE_MRU_FILE1, 0, ID_APP_EXIT};
constexpr int kEditMenu[] = {ID_EDIT_UNDO, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE};
constexpr int kSettingsMenu[] = {ID_SETUP, ID_XYZ, 0, ID_SHOW_VERTICES, 0, ID_UNREGISTER};
constexpr int kViewMenu[] = {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR};
constexpr int kHelpMenu[] = {ID_HELP_CONTENTS, 0, ID_APP_ABOUT};

const MenuLayout kMenus[] = {
    {rolvet::str::kMenuFile, kFileMenu},         {rolvet::str::kMenuEdit, kEditMenu},
    {rolvet::str::kMenuSettings, kSettingsMenu}, {rolvet::str::kMenuView, kViewMenu},
    {rolvet::str::kMenuHelp, kHelpMenu},
};

struct Name {
    int id;
    const char* name;
};

constexpr Name kNames[] = {
    {ID_FILE_NEW, "ID_FILE_NEW"},
    {ID_FILE_OPEN, "ID_FILE_OPEN"},
    {ID_FILE_SAVE, "ID_FILE_SAVE"},
    {ID_FILE_SAVE_AS, "ID_FILE_SAVE_AS"},
    {ID_FILE_EXPORT, "ID_FILE_EXPORT"},
    {ID_FILE_MRU_FILE1, "ID_FILE_MRU_FILE1"},
    {ID_APP_EXIT, "ID_APP_EXIT"},
    {ID_EDIT_UNDO, "ID_EDIT_UNDO"},
    {ID_EDIT_CUT, "ID_EDIT_CUT"},
    {ID_EDIT_COPY, "ID_EDIT_COPY"},
    {ID_EDIT_PASTE, "ID_EDIT_PASTE"},
    {ID_SETUP, "ID_SETUP"},
    {ID_XYZ, "ID_XYZ"},
    {ID_SHOW_VERTICES, "ID_SHOW_VERTICES"},
    {ID_UNREGISTER, "ID_UNREGISTER"},
    {ID_VIEW_TOOLBAR, "ID_VIEW_TOOLBAR"},
    {ID_VIEW_STATUS_BAR, "ID_VIEW_STATUS_BAR"},
    {ID_HELP_CONTENTS, "ID_HELP_CONTENTS"},
    {ID_APP_ABOUT, "ID_APP_ABOUT"},
    {ID_NEXT_PANE, "ID_NEXT_PANE"},
    {ID_PREV_PANE, "ID_PREV_PANE"},
};

} // namespace

const char* ObjectName(int id) {
    for (const auto& n : kNames) {
        if (n.id == id) {
            return n.name;
        }
    }
    return "";
}

QList<QKeySequence> Accelerators(int id) {
    QList<QKeySequence> keys;
    for (const auto& a : kAccelerators) {
        if (a.id == id) {
            keys.append(QKeySequence(a.keys));
        }
    }
    return keys;
}

std::span<const int> ToolbarLayout() { return kToolbar; }

std::span<const MenuLayout> MenuBarLayout() { return kMenus; }

bool IsUnhandled(int id) {
    return id == ID_EDIT_UNDO || id == ID_EDIT_CUT || id == ID_EDIT_COPY || id == ID_EDIT_PASTE ||
           id == ID_NEXT_PANE || id == ID_PREV_PANE;
}

} // namespace cmd
