// Every text the user sees, in one table keyed like the program's string resources.
// All texts are UTF-8. Formats use either printf-style %s/%d (C side) or Qt's %1.
#pragma once

namespace rolvet::str {

// Application identity.
inline constexpr const char* kAppTitle = "Rolvet";              // 57344
inline constexpr const char* kWindowTitle = "Welmo Rolvet 0.3"; // template 128
inline constexpr const char* kProductName = "Welmo Rolvet";
inline constexpr const char* kVersion = "0.3.0.1";
inline constexpr const char* kSettingsOrganization = "MFC Rolvet Creator アプリケーション";
inline constexpr const char* kSettingsApplication = "Rolvet";
inline constexpr const char* kUntitled = "無題"; // 61443
inline constexpr const char* kFilterName = "Rolvet Files (*.rolvet)";
inline constexpr const char* kFilterExtension = ".rolvet";
inline constexpr const char* kFileTypeId = "Rolvet.Document";
inline constexpr const char* kAllFilesFilter =
    "すべてのファイル (*)"; // "*.*" would hide names without a dot
inline constexpr const char* kOpenCaption = "開く";
inline constexpr const char* kSaveAsCaption = "名前を付けて保存";
inline constexpr const char* kReady = "レディ";         // 57345
inline constexpr const char* kIndicatorCaps = "CAP";    // 59137
inline constexpr const char* kIndicatorNum = "NUM";     // 59138
inline constexpr const char* kIndicatorScroll = "SCRL"; // 59139

// Start-up and application commands.
inline constexpr const char* kAboutCaption = "バージョン情報 Welmo Rolvet";
inline constexpr const char* kAboutText = "Welmo Rolvet, Version 0.3";
inline constexpr const char* kRegistryDeleted = "レジストリを削除しました。";
inline constexpr const char* kHelpFileName = "Rolvet.chm";
inline constexpr const char* kNoDisplay =
    "rolvet: 画面に接続できないため、エディターを起動できません (DISPLAY または WAYLAND_DISPLAY "
    "を確認してください)。画面なしでも rolvet --export TRACK.rolvet OUT.mqo で書き出せます。";

// Document flows (Qt-style %1 = path or title).
inline constexpr const char* kSaveChanges = "%1 への変更を保存しますか?"; // 61699
inline constexpr const char* kBadFormat = "予期しないファイル形式です。";
inline constexpr const char* kOpenFailed = "ドキュメントを開くことに失敗しました。";
inline constexpr const char* kSaveFailed = "ドキュメントの保存に失敗しました。";
inline constexpr const char* kShapeDamaged =
    "%1 の道路の形 (左右の幅とバンク) の情報が壊れているため、頂点と設定だけを開きました。"
    "幅とバンクは既定の値になっています。";
inline constexpr const char* kRestoreQuestion =
    "保存されていない変更のあるトラック「%1」が前回の終了時に残されました。復元しますか?";

// File-error messages by cause (%1 = full path).
inline constexpr const char* kFileErrorGeneric = "%1 へのアクセス中に不明なエラーが発生しました。";
inline constexpr const char* kFileErrorNotFound = "%1 が見つかりませんでした。";
inline constexpr const char* kFileErrorBadPath = "%1 に正しくないパスが含まれています。";
inline constexpr const char* kFileErrorTooManyOpen =
    "開いているファイルが多すぎるため、%1 を開けませんでした。";
inline constexpr const char* kFileErrorAccessDenied = "%1 へのアクセスは拒否されました。";
inline constexpr const char* kFileErrorInvalidHandle =
    "正しくないファイル ハンドルが %1 に関連付けられていました。";
inline constexpr const char* kFileErrorDirFull =
    "%1 を作成できませんでした。そのディレクトリはいっぱいです。";
inline constexpr const char* kFileErrorBadSeek = "%1 のシークに失敗しました。";
inline constexpr const char* kFileErrorHardIO =
    "%1 へのアクセス中にハードウェア I/O エラーが報告されました。";
inline constexpr const char* kFileErrorSharingViolation =
    "%1 へのアクセス中に共有違反が発生しました。";
inline constexpr const char* kFileErrorLockViolation =
    "%1 へのアクセス中にロック違反が発生しました。";
inline constexpr const char* kFileErrorDiskFull =
    "%1 へのアクセス中にディスクがいっぱいになりました。";
inline constexpr const char* kFileErrorEndOfFile = "%1 の末尾以降にアクセスしようとしました。";
// What the file-error texts call the standard output of the command line.
inline constexpr const char* kStandardOutput = "標準出力";

// Road export (printf-style %s = path).
inline constexpr const char* kNeedFourVertices = "頂点は4つ以上作ってください。";
inline constexpr const char* kCopyFailed = "%sのコピーに失敗しました。";
inline constexpr const char* kWriteFailed = "%sの書き出しに失敗しました。";
inline constexpr const char* kMqoFilter = "Metasequoiaファイル(*.mqo)";
inline constexpr const char* kTextureName = "Road.png";
inline constexpr const char* kTooManyVertices =
    "頂点数と分割数が大きすぎるため書き出せません。"; // the model format counts in 32 bits
inline constexpr const char* kExporting = "書き出しています...";
inline constexpr const char* kGlbFilter = "glTFバイナリ(*.glb)";
inline constexpr const char* kObjFilter = "Wavefront OBJ(*.obj)";
inline constexpr const char* kRoadImageName = "RoadSurface.png"; // beside an OBJ model
inline constexpr const char* kKerbImageName = "RoadKerb.png";    // beside an OBJ model
inline constexpr const char* kNotFinite =
    "座標に無限大または数値でない値が含まれているため、この形式では書き出せません。";
inline constexpr const char* kDivisionsTooSmall =
    "分割数が1未満のため、この形式では書き出せません。分割数を1以上にしてください。";

// Racing line.
inline constexpr const char* kRacingTooLarge =
    "頂点数と分割数が大きすぎるためレーシングラインを計算できません。";
inline constexpr const char* kRacingFailed = "レーシングラインを計算できませんでした。";
inline constexpr const char* kRacingNarrow =
    "道幅が車幅より狭いところ (%1 サンプル) ではレーシングラインは道の中央を通ります。";

// Dialogs.
inline constexpr const char* kSetUpCaption = "設定";
inline constexpr const char* kSetUpDivisionLabel = "頂点と頂点の間の分割数";
inline constexpr const char* kSetUpWidthLabel = "ロルベットの幅";
inline constexpr const char* kVertexCaption = "頂点";
inline constexpr const char* kXYZCaption = "選択頂点の座標";
inline constexpr const char* kXLabel = "X座標";
inline constexpr const char* kYLabel = "Y座標";
inline constexpr const char* kZLabel = "Z座標";
inline constexpr const char* kOk = "OK";
inline constexpr const char* kCancel = "キャンセル";
inline constexpr const char* kEnterNumber = "数字を入力してください。";
inline constexpr const char* kShapeCaption = "道路の形";
inline constexpr const char* kWidthLeftLabel = "左の幅";
inline constexpr const char* kWidthRightLabel = "右の幅";
inline constexpr const char* kBankLabel = "バンク角";
inline constexpr const char* kEnterWidth = "0 以上の数字を入力してください。";

// Menus.
inline constexpr const char* kMenuFile = "ファイル(&F)";
inline constexpr const char* kMenuEdit = "編集(&E)";
inline constexpr const char* kMenuSettings = "設定(&S)";
inline constexpr const char* kMenuView = "表示(&V)";
inline constexpr const char* kMenuHelp = "ヘルプ(&H)";

// 3D preview window and track readouts.
inline constexpr const char* kPreviewTitle = "3Dプレビュー - %1";
inline constexpr const char* kPreviewNoOpenGL =
    "OpenGL を開始できないため、3Dプレビューを表示できません。編集はこのまま続けられます。";
inline constexpr const char* kPreviewNoRoad =
    "頂点が4つ以上、分割数が1以上になると道路を表示します。";
inline constexpr const char* kTrackTooLarge =
    "頂点数と分割数が大きすぎるため道路を計測できません。";
inline constexpr const char* kReadoutLength = "周長 %1";
inline constexpr const char* kReadoutMinRadius = "最小半径 %1 (頂点%2-%3間)";
inline constexpr const char* kReadoutNoRadius = "最小半径 なし";
inline constexpr const char* kReadoutHeight = "高さ %1 〜 %2";
inline constexpr const char* kReadoutGrade = "最大勾配 %1%";
inline constexpr const char* kReadoutFolds = "折り返し %1";

// Command texts: menu text, status-bar prompt and tooltip (comment: the command ID).
struct CommandText {
    const char* menu;
    const char* prompt;
    const char* tooltip; // nullptr: none
};

inline constexpr CommandText kCmdFileNew = {"新規作成(&N)\tCtrl+N", "新規にファイルを作成",
                                            "新規ファイル"}; // 57600
inline constexpr CommandText kCmdFileOpen = {"開く(&O)...\tCtrl+O", "既存のファイルを開く",
                                             "開く"}; // 57601
inline constexpr CommandText kCmdFileSave = {"上書き保存(&S)\tCtrl+S",
                                             "作業中のファイルを上書きして保存", "保存"}; // 57603
inline constexpr CommandText kCmdFileSaveAs = {
    "名前を付けて保存(&A)...", "作業中のファイルを新しい名前で保存", "名前をつけて保存"}; // 57604
inline constexpr CommandText kCmdFileExport = {"書き出し(&E)", "ファイルの書き出し",
                                               "ファイル書き出し"}; // 32772
inline constexpr CommandText kCmdRecentFile = {"最近使ったファイル", "指定のファイルを開く",
                                               nullptr}; // 57616
inline constexpr CommandText kCmdAppExit = {"アプリケーションの終了(&X)",
                                            "アプリケーションを終了し、ファイルの保存を指示",
                                            "終了"}; // 57665
inline constexpr CommandText kCmdEditUndo = {"元に戻す(&U)\tCtrl+Z", "直前に行った動作を元に戻す",
                                             "元に戻す"}; // 57643
inline constexpr CommandText kCmdEditRedo = {"やり直し(&R)\tCtrl+Y",
                                             "直前に元に戻した動作をやり直す", "やり直し"}; // 57644
inline constexpr CommandText kCmdEditCut = {
    "切り取り(&T)\tCtrl+X", "選択範囲を切り取ってクリップボードに保存", "切り取り"}; // 57635
inline constexpr CommandText kCmdEditCopy = {
    "コピー(&C)\tCtrl+C", "選択範囲をコピーしてクリップボードに保存", "コピー"}; // 57634
inline constexpr CommandText kCmdEditPaste = {
    "貼り付け(&P)\tCtrl+V", "クリップボードの内容を貼り付け", "貼り付け"};               // 57637
inline constexpr CommandText kCmdSetUp = {"設定(&S)", "設定", "設定"};                   // 32775
inline constexpr CommandText kCmdXYZ = {"XYZ座標(&X)", "選択頂点のXYZ座標", "頂点座標"}; // 32786
inline constexpr CommandText kCmdShape = {"道路の形(&R)", "選択頂点の左右の幅とバンク角 (度)",
                                          "道路の形"};                                      // 32801
inline constexpr CommandText kCmdShowVertices = {"頂点表示(&V)", "頂点を表示", "頂点表示"}; // 32784
inline constexpr CommandText kCmdUnregister = {"レジストリの削除(&U)", "レジストリの削除",
                                               "レジストリ削除"}; // 32779
inline constexpr CommandText kCmdViewToolBar = {"ツール バー(&T)", "ツール バーの 表示/非表示",
                                                "ツール バーの表示切り替え"}; // 59392
inline constexpr CommandText kCmdViewStatusBar = {"ステータス バー(&S)",
                                                  "ステータス バーの表示/非表示",
                                                  "ステータス バーの表示切り替え"}; // 59393
inline constexpr CommandText kCmdViewPreview = {"3Dプレビュー(&P)", "道路を3Dで表示",
                                                "3Dプレビュー"}; // 32800
inline constexpr CommandText kCmdHelpContents = {"目次(&H)", "ヘルプファイルを表示",
                                                 "ヘルプ"}; // 32777
inline constexpr CommandText kCmdAppAbout = {"バージョン情報 Welmo Rolvet(&A)...",
                                             "プログラム情報、バージョン、著作権を表示します。",
                                             "バージョン情報"}; // 57664
// Next and previous pane (57680, 57681) have keys only, and no texts.

} // namespace rolvet::str
