#include "app/Commands.h"

#include "app/AboutDlg.h"
#include "app/DesktopIntegration.h"
#include "app/FileFlows.h"
#include "app/Language.h"
#include "app/PreviewHost.h"
#include "common/Strings.h"
#include "document/Prompts.h"
#include "document/RacingLineService.h"
#include "document/RolvetDoc.h"
#include "document/Tr.h"
#include "export/ProgramDirectory.h"
#include "view/RolvetView.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMainWindow>
#include <QMetaEnum>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

namespace cmd {

namespace {

namespace str = rolvet::str;

void ShowAbout(const Context& c) {
    CAboutDlg dialog(&c.window);
    Prompts().RunDialog(dialog);
}

// Opens Rolvet.chm beside the program with the desktop's viewer; a missing file shows nothing.
void OpenHelpContents(const Context&) {
    const QString help = QString::fromStdString(rolvet::GetProgramDirectory()) +
                         QString::fromUtf8(str::kHelpFileName);
    if (QFileInfo::exists(help)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(help));
    }
}

void Unregister(const Context& c) {
    UnregisterFileType();
    Prompts().ShowInformation(&c.window, Tr(str::kRegistryDeleted));
}

// The language of the next start: the remembered choice, or the one in use.
rolvet::lang::Language ChosenLanguage() {
    return rolvet::lang::Remembered().value_or(rolvet::lang::Current());
}

void ChooseLanguage(const Context& c, rolvet::lang::Language language) {
    rolvet::lang::Remember(language);
    if (language != rolvet::lang::Current()) {
        Prompts().ShowInformation(&c.window, Tr(str::kLanguageNextStart));
    }
}

bool ToolBarShown(const Context& c) {
    return c.toolBar.isVisibleTo(&c.window);
}
bool StatusBarShown(const Context& c) {
    return c.window.statusBar()->isVisibleTo(&c.window);
}
bool ProfileShown(const Context& c) {
    return c.profile.isVisibleTo(&c.window);
}

// Menu order; the toolbar takes the records with an image in the same order. Cut, Copy, Paste
// and the pane keys have no handler and so stay disabled.
constexpr Command kCommands[] = {
    // ファイル
    {.id = ID_FILE_NEW,
     .menu = Menu::File,
     .text = &str::kCmdFileNew,
     .keys = {Qt::CTRL | Qt::Key_N},
     .image = "new",
     .run = [](const Context& c) { c.files.OnFileNew(); }},
    {.id = ID_FILE_OPEN,
     .menu = Menu::File,
     .text = &str::kCmdFileOpen,
     .keys = {Qt::CTRL | Qt::Key_O},
     .image = "open",
     .run = [](const Context& c) { c.files.OnFileOpen(); }},
    {.id = ID_FILE_SAVE,
     .menu = Menu::File,
     .text = &str::kCmdFileSave,
     .keys = {Qt::CTRL | Qt::Key_S},
     .image = "save",
     .run = [](const Context& c) { c.files.OnFileSave(); }},
    {.id = ID_FILE_SAVE_AS,
     .menu = Menu::File,
     .text = &str::kCmdFileSaveAs,
     .run = [](const Context& c) { c.files.OnFileSaveAs(); }},
    {.id = ID_FILE_IMPORT,
     .menu = Menu::File,
     .separatorBefore = true,
     .text = &str::kCmdFileImport,
     .run = [](const Context& c) { c.files.OnFileImport(); }},
    {.id = ID_FILE_EXPORT,
     .menu = Menu::File,
     .text = &str::kCmdFileExport,
     .run = [](const Context& c) { c.doc.OnFileExport(&c.window); }},
    // Stands for the recent files while the list is empty; the frame puts the entries here.
    {.id = ID_FILE_MRU_FILE1,
     .menu = Menu::File,
     .separatorBefore = true,
     .text = &str::kCmdRecentFile},
    {.id = ID_APP_EXIT,
     .menu = Menu::File,
     .separatorBefore = true,
     .text = &str::kCmdAppExit,
     .run = [](const Context& c) { c.window.close(); }},
    // 編集
    {.id = ID_EDIT_UNDO,
     .menu = Menu::Edit,
     .text = &str::kCmdEditUndo,
     .keys = {Qt::CTRL | Qt::Key_Z, Qt::ALT | Qt::Key_Backspace},
     .run = [](const Context& c) { c.doc.OnEditUndo(); },
     .enabled = [](const Context& c) { return c.doc.CanUndo(); }},
    {.id = ID_EDIT_REDO,
     .menu = Menu::Edit,
     .text = &str::kCmdEditRedo,
     .keys = {Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::SHIFT | Qt::Key_Z},
     .run = [](const Context& c) { c.doc.OnEditRedo(); },
     .enabled = [](const Context& c) { return c.doc.CanRedo(); }},
    {.id = ID_EDIT_CUT,
     .menu = Menu::Edit,
     .separatorBefore = true,
     .text = &str::kCmdEditCut,
     .keys = {Qt::CTRL | Qt::Key_X, Qt::SHIFT | Qt::Key_Delete},
     .image = "cut",
     .toolbarSeparatorBefore = true},
    {.id = ID_EDIT_COPY,
     .menu = Menu::Edit,
     .text = &str::kCmdEditCopy,
     .keys = {Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_Insert},
     .image = "copy"},
    {.id = ID_EDIT_PASTE,
     .menu = Menu::Edit,
     .text = &str::kCmdEditPaste,
     .keys = {Qt::CTRL | Qt::Key_V, Qt::SHIFT | Qt::Key_Insert},
     .image = "paste"},
    // 設定
    {.id = ID_SETUP,
     .menu = Menu::Settings,
     .text = &str::kCmdSetUp,
     .image = "settings",
     .toolbarSeparatorBefore = true,
     .run = [](const Context& c) { c.doc.OnSetUp(&c.window); }},
    {.id = ID_XYZ,
     .menu = Menu::Settings,
     .text = &str::kCmdXYZ,
     .image = "vertex",
     .run = [](const Context& c) { c.doc.OnEditSelectedVertex(&c.window); },
     .enabled = [](const Context& c) { return c.doc.CanEditSelectedVertex(); }},
    {.id = ID_ROAD_SHAPE,
     .menu = Menu::Settings,
     .text = &str::kCmdShape,
     .run = [](const Context& c) { c.doc.OnEditPointShape(&c.window); },
     .enabled = [](const Context& c) { return c.doc.CanEditSelectedVertex(); }},
    {.id = ID_SHOW_VERTICES,
     .menu = Menu::Settings,
     .separatorBefore = true,
     .text = &str::kCmdShowVertices,
     .run = [](const Context& c) { c.doc.OnShowVertices(&c.window); }},
    {.id = ID_UNREGISTER,
     .menu = Menu::Settings,
     .separatorBefore = true,
     .text = &str::kCmdUnregister,
     .run = Unregister},
    // 表示
    {.id = ID_VIEW_TOOLBAR,
     .menu = Menu::View,
     .text = &str::kCmdViewToolBar,
     .run = [](const Context& c) { c.toolBar.setVisible(!ToolBarShown(c)); },
     .checked = ToolBarShown},
    {.id = ID_VIEW_STATUS_BAR,
     .menu = Menu::View,
     .text = &str::kCmdViewStatusBar,
     .run = [](const Context& c) { c.window.statusBar()->setVisible(!StatusBarShown(c)); },
     .checked = StatusBarShown},
    {.id = ID_VIEW_PREVIEW,
     .menu = Menu::View,
     .separatorBefore = true,
     .text = &str::kCmdViewPreview,
     .run = [](const Context& c) { c.preview.Toggle(); },
     .checked = [](const Context& c) { return c.preview.IsOpen(); }},
    {.id = ID_VIEW_RACING_LINE,
     .menu = Menu::View,
     .text = &str::kCmdViewRacingLine,
     .run =
         [](const Context& c) {
             CRacingLineService& racing = c.doc.RacingLine();
             racing.SetEnabled(!racing.IsEnabled());
         },
     .checked = [](const Context& c) { return c.doc.RacingLine().IsEnabled(); }},
    {.id = ID_VIEW_PROFILE,
     .menu = Menu::View,
     .text = &str::kCmdViewProfile,
     .run = [](const Context& c) { c.profile.setVisible(!ProfileShown(c)); },
     .checked = ProfileShown},
    {.id = ID_VIEW_BACKGROUND,
     .menu = Menu::View,
     .separatorBefore = true,
     .text = &str::kCmdViewBackground,
     .run = [](const Context& c) { c.doc.OnBackgroundImage(&c.window); }},
    {.id = ID_VIEW_FIT,
     .menu = Menu::View,
     .text = &str::kCmdViewFit,
     .keys = {QKeyCombination(Qt::Key_Home)},
     .run = [](const Context& c) { c.view.FitToView(); }},
    {.id = ID_VIEW_LANGUAGE_JA,
     .menu = Menu::View,
     .separatorBefore = true,
     .submenu = str::kMenuLanguage,
     .text = &str::kCmdLanguageJapanese,
     .run = [](const Context& c) { ChooseLanguage(c, rolvet::lang::Language::Japanese); },
     .checked =
         [](const Context&) { return ChosenLanguage() == rolvet::lang::Language::Japanese; }},
    {.id = ID_VIEW_LANGUAGE_EN,
     .menu = Menu::View,
     .submenu = str::kMenuLanguage,
     .text = &str::kCmdLanguageEnglish,
     .run = [](const Context& c) { ChooseLanguage(c, rolvet::lang::Language::English); },
     .checked = [](const Context&) { return ChosenLanguage() == rolvet::lang::Language::English; }},
    // ヘルプ
    {.id = ID_HELP_CONTENTS,
     .menu = Menu::Help,
     .text = &str::kCmdHelpContents,
     .run = OpenHelpContents},
    {.id = ID_APP_ABOUT,
     .menu = Menu::Help,
     .separatorBefore = true,
     .text = &str::kCmdAppAbout,
     .image = "about",
     .toolbarSeparatorBefore = true,
     .run = ShowAbout},
    // Keys only.
    {.id = ID_NEXT_PANE, .keys = {QKeyCombination(Qt::Key_F6)}},
    {.id = ID_PREV_PANE, .keys = {Qt::SHIFT | Qt::Key_F6}},
};

} // namespace

std::span<const Command> Commands() {
    return kCommands;
}

const Command* Find(int id) {
    for (const Command& c : kCommands) {
        if (c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

const char* ObjectName(int id) {
    const char* name = QMetaEnum::fromType<Id>().valueToKey(id);
    return name ? name : "";
}

const char* MenuTitle(Menu menu) {
    switch (menu) {
    case Menu::File:
        return str::kMenuFile;
    case Menu::Edit:
        return str::kMenuEdit;
    case Menu::Settings:
        return str::kMenuSettings;
    case Menu::View:
        return str::kMenuView;
    case Menu::Help:
        return str::kMenuHelp;
    case Menu::None:
        break;
    }
    return "";
}

} // namespace cmd
