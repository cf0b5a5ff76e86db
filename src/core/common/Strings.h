// Every text the user sees, in one table keyed like the program's string resources.
// All texts are UTF-8. Formats use either printf-style %s/%d (C side) or Qt's %1.
//
// The Japanese texts are the program's own and its default language. Each text the user reads
// is marked with QT_TRANSLATE_NOOP("rolvet", ...): Qt's lupdate collects the marked texts, and
// src/ui/app/translations/rolvet_en.ts holds the English of each, which lrelease compiles into
// the program. Names, file names, settings keys and whatever goes into a written file stay
// unmarked and are never translated.
//
// Adding a text:
//   1. add it below, marked:
//        inline constexpr const char* kNewText = QT_TRANSLATE_NOOP("rolvet", "新しい文");
//   2. give its English in rolvet_en.ts, in the one <context> there:
//        <message>
//            <source>新しい文</source>
//            <translation>New text</translation>
//        </message>
//      (or run `cmake --build build --target update_translations`, which adds every new
//      source as an unfinished entry, and fill in its <translation>, dropping
//      type="unfinished"). Keep every %1, %2, %s of the source, and the shortcut after a tab;
//   3. show it through Tr() (ui/document/Tr.h) in the interface, or rolvet::Translate() in the
//      core, never by converting the constant directly.
// tst_translations fails while a marked text has no English or its English lost a placeholder.
// Texts with the same Japanese share one English.
#pragma once

#include <string>

// lupdate finds the marker by its name; the core has no Qt, so it is defined here exactly as Qt
// defines it (the text itself).
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace rolvet {

// A marked text in the language chosen for this run; the text itself while no language is
// loaded (Japanese) or the loaded one has no entry for it.
std::string Translate(const char* text);

// The lookup Translate uses: installed once at start, before any other thread runs, by the
// interface, which knows the chosen language. nullptr: texts stay as written.
using TranslateFunction = std::string (*)(const char* text);
void SetTranslateFunction(TranslateFunction function);

} // namespace rolvet

namespace rolvet::str {

// The context of every marked text in the translation tables.
inline constexpr const char* kTranslationContext = "rolvet";

// Application identity.
inline constexpr const char* kAppTitle = "Rolvet";              // 57344
inline constexpr const char* kWindowTitle = "Welmo Rolvet 0.3"; // template 128
inline constexpr const char* kProductName = "Welmo Rolvet";
inline constexpr const char* kVersion = "0.3.0.1";
inline constexpr const char* kSettingsOrganization = "MFC Rolvet Creator アプリケーション";
inline constexpr const char* kSettingsApplication = "Rolvet";
inline constexpr const char* kUntitled = QT_TRANSLATE_NOOP("rolvet", "無題"); // 61443
inline constexpr const char* kFilterName = QT_TRANSLATE_NOOP("rolvet", "Rolvet Files (*.rolvet)");
inline constexpr const char* kFilterExtension = ".rolvet";
inline constexpr const char* kFileTypeId = "Rolvet.Document";
inline constexpr const char* kAllFilesFilter =
    QT_TRANSLATE_NOOP("rolvet", "すべてのファイル (*)"); // "*.*" would hide names without a dot
inline constexpr const char* kOpenCaption = QT_TRANSLATE_NOOP("rolvet", "開く");
inline constexpr const char* kSaveAsCaption = QT_TRANSLATE_NOOP("rolvet", "名前を付けて保存");
inline constexpr const char* kReady = QT_TRANSLATE_NOOP("rolvet", "レディ");         // 57345
inline constexpr const char* kIndicatorCaps = QT_TRANSLATE_NOOP("rolvet", "CAP");    // 59137
inline constexpr const char* kIndicatorNum = QT_TRANSLATE_NOOP("rolvet", "NUM");     // 59138
inline constexpr const char* kIndicatorScroll = QT_TRANSLATE_NOOP("rolvet", "SCRL"); // 59139

// Start-up and application commands.
inline constexpr const char* kAboutCaption =
    QT_TRANSLATE_NOOP("rolvet", "バージョン情報 Welmo Rolvet");
inline constexpr const char* kAboutText = QT_TRANSLATE_NOOP("rolvet", "Welmo Rolvet, Version 0.3");
inline constexpr const char* kRegistryDeleted =
    QT_TRANSLATE_NOOP("rolvet", "レジストリを削除しました。");
inline constexpr const char* kHelpFileName = "Rolvet.chm";
inline constexpr const char* kNoDisplay = QT_TRANSLATE_NOOP(
    "rolvet",
    "rolvet: 画面に接続できないため、エディターを起動できません (DISPLAY または WAYLAND_DISPLAY "
    "を確認してください)。画面なしでも rolvet --export TRACK.rolvet OUT.mqo で書き出せます。");

// Document flows (Qt-style %1 = path or title).
inline constexpr const char* kSaveChanges =
    QT_TRANSLATE_NOOP("rolvet", "%1 への変更を保存しますか?"); // 61699
inline constexpr const char* kBadFormat =
    QT_TRANSLATE_NOOP("rolvet", "予期しないファイル形式です。");
inline constexpr const char* kOpenFailed =
    QT_TRANSLATE_NOOP("rolvet", "ドキュメントを開くことに失敗しました。");
inline constexpr const char* kSaveFailed =
    QT_TRANSLATE_NOOP("rolvet", "ドキュメントの保存に失敗しました。");
inline constexpr const char* kShapeDamaged = QT_TRANSLATE_NOOP(
    "rolvet",
    "%1 の道路の形 (左右の幅とバンク) の情報が壊れているため、頂点と設定だけを開きました。"
    "幅とバンクは既定の値になっています。");
inline constexpr const char* kRestoreQuestion = QT_TRANSLATE_NOOP(
    "rolvet",
    "保存されていない変更のあるトラック「%1」が前回の終了時に残されました。復元しますか?");

// File-error messages by cause (%1 = full path).
inline constexpr const char* kFileErrorGeneric =
    QT_TRANSLATE_NOOP("rolvet", "%1 へのアクセス中に不明なエラーが発生しました。");
inline constexpr const char* kFileErrorNotFound =
    QT_TRANSLATE_NOOP("rolvet", "%1 が見つかりませんでした。");
inline constexpr const char* kFileErrorBadPath =
    QT_TRANSLATE_NOOP("rolvet", "%1 に正しくないパスが含まれています。");
inline constexpr const char* kFileErrorTooManyOpen =
    QT_TRANSLATE_NOOP("rolvet", "開いているファイルが多すぎるため、%1 を開けませんでした。");
inline constexpr const char* kFileErrorAccessDenied =
    QT_TRANSLATE_NOOP("rolvet", "%1 へのアクセスは拒否されました。");
inline constexpr const char* kFileErrorInvalidHandle =
    QT_TRANSLATE_NOOP("rolvet", "正しくないファイル ハンドルが %1 に関連付けられていました。");
inline constexpr const char* kFileErrorDirFull =
    QT_TRANSLATE_NOOP("rolvet", "%1 を作成できませんでした。そのディレクトリはいっぱいです。");
inline constexpr const char* kFileErrorBadSeek =
    QT_TRANSLATE_NOOP("rolvet", "%1 のシークに失敗しました。");
inline constexpr const char* kFileErrorHardIO =
    QT_TRANSLATE_NOOP("rolvet", "%1 へのアクセス中にハードウェア I/O エラーが報告されました。");
inline constexpr const char* kFileErrorSharingViolation =
    QT_TRANSLATE_NOOP("rolvet", "%1 へのアクセス中に共有違反が発生しました。");
inline constexpr const char* kFileErrorLockViolation =
    QT_TRANSLATE_NOOP("rolvet", "%1 へのアクセス中にロック違反が発生しました。");
inline constexpr const char* kFileErrorDiskFull =
    QT_TRANSLATE_NOOP("rolvet", "%1 へのアクセス中にディスクがいっぱいになりました。");
inline constexpr const char* kFileErrorEndOfFile =
    QT_TRANSLATE_NOOP("rolvet", "%1 の末尾以降にアクセスしようとしました。");
// What the file-error texts call the standard output of the command line.
inline constexpr const char* kStandardOutput = QT_TRANSLATE_NOOP("rolvet", "標準出力");

// Road export (printf-style %s = path).
inline constexpr const char* kNeedFourVertices =
    QT_TRANSLATE_NOOP("rolvet", "頂点は4つ以上作ってください。");
inline constexpr const char* kCopyFailed =
    QT_TRANSLATE_NOOP("rolvet", "%sのコピーに失敗しました。");
inline constexpr const char* kWriteFailed =
    QT_TRANSLATE_NOOP("rolvet", "%sの書き出しに失敗しました。");
inline constexpr const char* kMqoFilter = QT_TRANSLATE_NOOP("rolvet", "Metasequoiaファイル(*.mqo)");
inline constexpr const char* kTextureName = "Road.png";
inline constexpr const char* kTooManyVertices = QT_TRANSLATE_NOOP(
    "rolvet",
    "頂点数と分割数が大きすぎるため書き出せません。"); // the model format counts in 32 bits
inline constexpr const char* kExporting = QT_TRANSLATE_NOOP("rolvet", "書き出しています...");
inline constexpr const char* kGlbFilter = QT_TRANSLATE_NOOP("rolvet", "glTFバイナリ(*.glb)");
inline constexpr const char* kObjFilter = QT_TRANSLATE_NOOP("rolvet", "Wavefront OBJ(*.obj)");
inline constexpr const char* kRacingCsvFilter =
    QT_TRANSLATE_NOOP("rolvet", "レーシングライン CSV(*.csv)");
inline constexpr const char* kRoadImageName = "RoadSurface.png"; // beside an OBJ model
inline constexpr const char* kKerbImageName = "RoadKerb.png";    // beside an OBJ model
inline constexpr const char* kNotFinite = QT_TRANSLATE_NOOP(
    "rolvet", "座標に無限大または数値でない値が含まれているため、この形式では書き出せません。");
inline constexpr const char* kDivisionsTooSmall = QT_TRANSLATE_NOOP(
    "rolvet", "分割数が1未満のため、この形式では書き出せません。分割数を1以上にしてください。");

// Racing line.
inline constexpr const char* kRacingTooLarge =
    QT_TRANSLATE_NOOP("rolvet", "頂点数と分割数が大きすぎるためレーシングラインを計算できません。");
inline constexpr const char* kRacingFailed =
    QT_TRANSLATE_NOOP("rolvet", "レーシングラインを計算できませんでした。");
inline constexpr const char* kRacingNarrow = QT_TRANSLATE_NOOP(
    "rolvet", "道幅が車幅より狭いところ (%1 サンプル) ではレーシングラインは道の中央を通ります。");

// Import of centre lines (%1 = file name, %2 = line number or count).
inline constexpr const char* kImportTooLarge =
    QT_TRANSLATE_NOOP("rolvet", "%1 は 50 MB を超えているため読み込めません。");
inline constexpr const char* kImportBadNumber =
    QT_TRANSLATE_NOOP("rolvet", "%1 の %2 行目に数値でない値があります。");
inline constexpr const char* kImportNotFinite =
    QT_TRANSLATE_NOOP("rolvet", "%1 の %2 行目に無限大または数値でない値 (NaN) があります。");
inline constexpr const char* kImportColumns =
    QT_TRANSLATE_NOOP("rolvet", "%1 の %2 行目の列の数が正しくありません。x,y か x,y,z か "
                                "x,y,右の幅,左の幅 の列が必要です。");
inline constexpr const char* kImportNegativeWidth =
    QT_TRANSLATE_NOOP("rolvet", "%1 の %2 行目の幅が負の値です。");
inline constexpr const char* kImportBadSyntax = QT_TRANSLATE_NOOP(
    "rolvet", "%1 の %2 行目が読めません。ファイルが壊れているか、形式が正しくありません。");
inline constexpr const char* kImportMissingCoordinate =
    QT_TRANSLATE_NOOP("rolvet", "%1 の %2 行目の点に緯度か経度がありません。");
inline constexpr const char* kImportOutOfRange =
    QT_TRANSLATE_NOOP("rolvet", "%1 の %2 行目の緯度か経度が範囲外です。");
inline constexpr const char* kImportNoLine = QT_TRANSLATE_NOOP(
    "rolvet", "%1 に中心線がありません。GPX のトラックかルート、GeoJSON の LineString、"
              "MultiLineString か Polygon が必要です。");
inline constexpr const char* kImportTooFewPoints = QT_TRANSLATE_NOOP(
    "rolvet", "%1 には異なる点が %2 個しかありません。道路には4つ以上の点が必要です。");
inline constexpr const char* kImportToleranceMissed = QT_TRANSLATE_NOOP(
    "rolvet", "%1 個の点では許容誤差に収まりませんでした。最大のずれは位置 %2 m、高さ %3 m、"
              "幅 %4 m です。");
inline constexpr const char* kImportCaption = QT_TRANSLATE_NOOP("rolvet", "インポート");
inline constexpr const char* kImportFilter =
    QT_TRANSLATE_NOOP("rolvet", "中心線 (*.csv *.gpx *.geojson *.json *.txt)");

// Dialogs.
inline constexpr const char* kSetUpCaption = QT_TRANSLATE_NOOP("rolvet", "設定");
inline constexpr const char* kSetUpDivisionLabel =
    QT_TRANSLATE_NOOP("rolvet", "頂点と頂点の間の分割数");
inline constexpr const char* kSetUpWidthLabel = QT_TRANSLATE_NOOP("rolvet", "ロルベットの幅");
inline constexpr const char* kVertexCaption = QT_TRANSLATE_NOOP("rolvet", "頂点");
inline constexpr const char* kXYZCaption = QT_TRANSLATE_NOOP("rolvet", "選択頂点の座標");
inline constexpr const char* kXLabel = QT_TRANSLATE_NOOP("rolvet", "X座標");
inline constexpr const char* kYLabel = QT_TRANSLATE_NOOP("rolvet", "Y座標");
inline constexpr const char* kZLabel = QT_TRANSLATE_NOOP("rolvet", "Z座標");
inline constexpr const char* kOk = QT_TRANSLATE_NOOP("rolvet", "OK");
inline constexpr const char* kCancel = QT_TRANSLATE_NOOP("rolvet", "キャンセル");
inline constexpr const char* kEnterNumber = QT_TRANSLATE_NOOP("rolvet", "数字を入力してください。");
inline constexpr const char* kShapeCaption = QT_TRANSLATE_NOOP("rolvet", "道路の形");
inline constexpr const char* kExportOptionsCaption =
    QT_TRANSLATE_NOOP("rolvet", "書き出しオプション");
inline constexpr const char* kExportScale =
    QT_TRANSLATE_NOOP("rolvet", "1 メートルあたりの単位数:");
inline constexpr const char* kExportCollision =
    QT_TRANSLATE_NOOP("rolvet", "衝突判定用メッシュを付ける");
inline constexpr const char* kExportWalls =
    QT_TRANSLATE_NOOP("rolvet", "壁の高さ (m、0 で壁なし):");
inline constexpr const char* kExportCheckpoints =
    QT_TRANSLATE_NOOP("rolvet", "チェックポイントの数:");
inline constexpr const char* kExportStart = QT_TRANSLATE_NOOP("rolvet", "スタート地点の頂点番号:");
inline constexpr const char* kExportRacingLine =
    QT_TRANSLATE_NOOP("rolvet", "レーシングラインを付ける (GLB)");
inline constexpr const char* kExportVehicleWidth = QT_TRANSLATE_NOOP("rolvet", "車幅 (m):");
inline constexpr const char* kWidthLeftLabel = QT_TRANSLATE_NOOP("rolvet", "左の幅");
inline constexpr const char* kWidthRightLabel = QT_TRANSLATE_NOOP("rolvet", "右の幅");
inline constexpr const char* kBankLabel = QT_TRANSLATE_NOOP("rolvet", "バンク角");
inline constexpr const char* kEnterWidth =
    QT_TRANSLATE_NOOP("rolvet", "0 以上の数字を入力してください。");

// The background image (下絵).
inline constexpr const char* kBackgroundCaption = QT_TRANSLATE_NOOP("rolvet", "下絵");
inline constexpr const char* kBackgroundFileLabel = QT_TRANSLATE_NOOP("rolvet", "画像ファイル");
inline constexpr const char* kBackgroundBrowse = QT_TRANSLATE_NOOP("rolvet", "参照...");
inline constexpr const char* kBackgroundFilter =
    QT_TRANSLATE_NOOP("rolvet", "画像 (*.png *.jpg *.jpeg)");
inline constexpr const char* kBackgroundClickSets = QT_TRANSLATE_NOOP("rolvet", "クリックで置く点");
inline constexpr const char* kBackgroundPoint1 = QT_TRANSLATE_NOOP("rolvet", "点1");
inline constexpr const char* kBackgroundPoint2 = QT_TRANSLATE_NOOP("rolvet", "点2");
inline constexpr const char* kBackgroundImagePoint =
    QT_TRANSLATE_NOOP("rolvet", "画像上の位置 (ピクセル)");
inline constexpr const char* kBackgroundWorldPoint =
    QT_TRANSLATE_NOOP("rolvet", "平面上の位置 (X, Z)");
inline constexpr const char* kBackgroundByDistance = QT_TRANSLATE_NOOP("rolvet", "2点の距離");
inline constexpr const char* kBackgroundByPositions = QT_TRANSLATE_NOOP("rolvet", "点2の位置");
inline constexpr const char* kBackgroundOpacity = QT_TRANSLATE_NOOP("rolvet", "不透明度");
inline constexpr const char* kBackgroundClear = QT_TRANSLATE_NOOP("rolvet", "下絵を外す");
inline constexpr const char* kBackgroundNoImage =
    QT_TRANSLATE_NOOP("rolvet", "画像ファイルを選んでください。");
inline constexpr const char* kBackgroundSamePoints =
    QT_TRANSLATE_NOOP("rolvet", "2つの点は画像上でも平面上でも別の場所に置いてください。");
inline constexpr const char* kBackgroundBadDistance =
    QT_TRANSLATE_NOOP("rolvet", "2点の距離には 0 より大きい数字を入力してください。");
inline constexpr const char* kBackgroundUnreadable =
    QT_TRANSLATE_NOOP("rolvet", "%1 は PNG または JPEG の画像として読み込めません。");
inline constexpr const char* kBackgroundMissing = QT_TRANSLATE_NOOP(
    "rolvet", "下絵の画像 %1 を開けませんでした。トラックは下絵なしで開いています。");

// Menus.
inline constexpr const char* kMenuFile = QT_TRANSLATE_NOOP("rolvet", "ファイル(&F)");
inline constexpr const char* kMenuEdit = QT_TRANSLATE_NOOP("rolvet", "編集(&E)");
inline constexpr const char* kMenuSettings = QT_TRANSLATE_NOOP("rolvet", "設定(&S)");
inline constexpr const char* kMenuView = QT_TRANSLATE_NOOP("rolvet", "表示(&V)");
inline constexpr const char* kMenuHelp = QT_TRANSLATE_NOOP("rolvet", "ヘルプ(&H)");

// 3D preview window and track readouts.
inline constexpr const char* kPreviewTitle = QT_TRANSLATE_NOOP("rolvet", "3Dプレビュー - %1");
inline constexpr const char* kPreviewNoOpenGL = QT_TRANSLATE_NOOP(
    "rolvet",
    "OpenGL を開始できないため、3Dプレビューを表示できません。編集はこのまま続けられます。");
inline constexpr const char* kPreviewNoRoad =
    QT_TRANSLATE_NOOP("rolvet", "頂点が4つ以上、分割数が1以上になると道路を表示します。");
inline constexpr const char* kTrackTooLarge =
    QT_TRANSLATE_NOOP("rolvet", "頂点数と分割数が大きすぎるため道路を計測できません。");
inline constexpr const char* kReadoutLength = QT_TRANSLATE_NOOP("rolvet", "周長 %1");
inline constexpr const char* kReadoutMinRadius =
    QT_TRANSLATE_NOOP("rolvet", "最小半径 %1 (頂点%2-%3間)");
inline constexpr const char* kReadoutNoRadius = QT_TRANSLATE_NOOP("rolvet", "最小半径 なし");
inline constexpr const char* kReadoutHeight = QT_TRANSLATE_NOOP("rolvet", "高さ %1 〜 %2");
inline constexpr const char* kReadoutGrade = QT_TRANSLATE_NOOP("rolvet", "最大勾配 %1%");
inline constexpr const char* kReadoutFolds = QT_TRANSLATE_NOOP("rolvet", "折り返し %1");
inline constexpr const char* kReadoutWidth = QT_TRANSLATE_NOOP("rolvet", "道路幅 %1 〜 %2");
inline constexpr const char* kReadoutBank = QT_TRANSLATE_NOOP("rolvet", "最大バンク %1°");
inline constexpr const char* kReadoutRacingLine =
    QT_TRANSLATE_NOOP("rolvet", "レーシングライン 周長 %1 最小半径 %2");
inline constexpr const char* kReadoutRacingBusy =
    QT_TRANSLATE_NOOP("rolvet", "レーシングライン 計算中");
inline constexpr const char* kReadoutRacingNarrow =
    QT_TRANSLATE_NOOP("rolvet", "車幅より狭い所 %1 サンプル");
// The height profile's cursor readout.
inline constexpr const char* kProfileCursor =
    QT_TRANSLATE_NOOP("rolvet", "距離 %1  高さ %2  勾配 %3%");

// Command texts: menu text, status-bar prompt and tooltip (comment: the command ID).
struct CommandText {
    const char* menu;
    const char* prompt;
    const char* tooltip; // nullptr: none
};

inline constexpr CommandText kCmdFileNew = {QT_TRANSLATE_NOOP("rolvet", "新規作成(&N)\tCtrl+N"),
                                            QT_TRANSLATE_NOOP("rolvet", "新規にファイルを作成"),
                                            QT_TRANSLATE_NOOP("rolvet", "新規ファイル")}; // 57600
inline constexpr CommandText kCmdFileOpen = {QT_TRANSLATE_NOOP("rolvet", "開く(&O)...\tCtrl+O"),
                                             QT_TRANSLATE_NOOP("rolvet", "既存のファイルを開く"),
                                             QT_TRANSLATE_NOOP("rolvet", "開く")}; // 57601
inline constexpr CommandText kCmdFileSave = {
    QT_TRANSLATE_NOOP("rolvet", "上書き保存(&S)\tCtrl+S"),
    QT_TRANSLATE_NOOP("rolvet", "作業中のファイルを上書きして保存"),
    QT_TRANSLATE_NOOP("rolvet", "保存")}; // 57603
inline constexpr CommandText kCmdFileSaveAs = {
    QT_TRANSLATE_NOOP("rolvet", "名前を付けて保存(&A)..."),
    QT_TRANSLATE_NOOP("rolvet", "作業中のファイルを新しい名前で保存"),
    QT_TRANSLATE_NOOP("rolvet", "名前をつけて保存")}; // 57604
inline constexpr CommandText kCmdFileExport = {
    QT_TRANSLATE_NOOP("rolvet", "書き出し(&E)"), QT_TRANSLATE_NOOP("rolvet", "ファイルの書き出し"),
    QT_TRANSLATE_NOOP("rolvet", "ファイル書き出し")}; // 32772
inline constexpr CommandText kCmdFileImport = {
    QT_TRANSLATE_NOOP("rolvet", "インポート(&I)..."),
    QT_TRANSLATE_NOOP("rolvet", "CSV、GPX、GeoJSON の中心線から新しいトラックを作成"),
    QT_TRANSLATE_NOOP("rolvet", "インポート")}; // 32802
inline constexpr CommandText kCmdRecentFile = {QT_TRANSLATE_NOOP("rolvet", "最近使ったファイル"),
                                               QT_TRANSLATE_NOOP("rolvet", "指定のファイルを開く"),
                                               nullptr}; // 57616
inline constexpr CommandText kCmdAppExit = {
    QT_TRANSLATE_NOOP("rolvet", "アプリケーションの終了(&X)"),
    QT_TRANSLATE_NOOP("rolvet", "アプリケーションを終了し、ファイルの保存を指示"),
    QT_TRANSLATE_NOOP("rolvet", "終了")}; // 57665
inline constexpr CommandText kCmdEditUndo = {
    QT_TRANSLATE_NOOP("rolvet", "元に戻す(&U)\tCtrl+Z"),
    QT_TRANSLATE_NOOP("rolvet", "直前に行った動作を元に戻す"),
    QT_TRANSLATE_NOOP("rolvet", "元に戻す")}; // 57643
inline constexpr CommandText kCmdEditRedo = {
    QT_TRANSLATE_NOOP("rolvet", "やり直し(&R)\tCtrl+Y"),
    QT_TRANSLATE_NOOP("rolvet", "直前に元に戻した動作をやり直す"),
    QT_TRANSLATE_NOOP("rolvet", "やり直し")}; // 57644
inline constexpr CommandText kCmdEditCut = {
    QT_TRANSLATE_NOOP("rolvet", "切り取り(&T)\tCtrl+X"),
    QT_TRANSLATE_NOOP("rolvet", "選択範囲を切り取ってクリップボードに保存"),
    QT_TRANSLATE_NOOP("rolvet", "切り取り")}; // 57635
inline constexpr CommandText kCmdEditCopy = {
    QT_TRANSLATE_NOOP("rolvet", "コピー(&C)\tCtrl+C"),
    QT_TRANSLATE_NOOP("rolvet", "選択範囲をコピーしてクリップボードに保存"),
    QT_TRANSLATE_NOOP("rolvet", "コピー")}; // 57634
inline constexpr CommandText kCmdEditPaste = {
    QT_TRANSLATE_NOOP("rolvet", "貼り付け(&P)\tCtrl+V"),
    QT_TRANSLATE_NOOP("rolvet", "クリップボードの内容を貼り付け"),
    QT_TRANSLATE_NOOP("rolvet", "貼り付け")}; // 57637
inline constexpr CommandText kCmdSetUp = {QT_TRANSLATE_NOOP("rolvet", "設定(&S)"),
                                          QT_TRANSLATE_NOOP("rolvet", "設定"),
                                          QT_TRANSLATE_NOOP("rolvet", "設定")}; // 32775
inline constexpr CommandText kCmdXYZ = {QT_TRANSLATE_NOOP("rolvet", "XYZ座標(&X)"),
                                        QT_TRANSLATE_NOOP("rolvet", "選択頂点のXYZ座標"),
                                        QT_TRANSLATE_NOOP("rolvet", "頂点座標")}; // 32786
inline constexpr CommandText kCmdShape = {
    QT_TRANSLATE_NOOP("rolvet", "道路の形(&R)"),
    QT_TRANSLATE_NOOP("rolvet", "選択頂点の左右の幅とバンク角 (度)"),
    QT_TRANSLATE_NOOP("rolvet", "道路の形")}; // 32801
inline constexpr CommandText kCmdShowVertices = {QT_TRANSLATE_NOOP("rolvet", "頂点表示(&V)"),
                                                 QT_TRANSLATE_NOOP("rolvet", "頂点を表示"),
                                                 QT_TRANSLATE_NOOP("rolvet", "頂点表示")}; // 32784
inline constexpr CommandText kCmdUnregister = {
    QT_TRANSLATE_NOOP("rolvet", "レジストリの削除(&U)"),
    QT_TRANSLATE_NOOP("rolvet", "レジストリの削除"),
    QT_TRANSLATE_NOOP("rolvet", "レジストリ削除")}; // 32779
inline constexpr CommandText kCmdViewToolBar = {
    QT_TRANSLATE_NOOP("rolvet", "ツール バー(&T)"),
    QT_TRANSLATE_NOOP("rolvet", "ツール バーの 表示/非表示"),
    QT_TRANSLATE_NOOP("rolvet", "ツール バーの表示切り替え")}; // 59392
inline constexpr CommandText kCmdViewStatusBar = {
    QT_TRANSLATE_NOOP("rolvet", "ステータス バー(&S)"),
    QT_TRANSLATE_NOOP("rolvet", "ステータス バーの表示/非表示"),
    QT_TRANSLATE_NOOP("rolvet", "ステータス バーの表示切り替え")}; // 59393
inline constexpr CommandText kCmdViewPreview = {
    QT_TRANSLATE_NOOP("rolvet", "3Dプレビュー(&P)"), QT_TRANSLATE_NOOP("rolvet", "道路を3Dで表示"),
    QT_TRANSLATE_NOOP("rolvet", "3Dプレビュー")}; // 32800
inline constexpr CommandText kCmdViewRacingLine = {
    QT_TRANSLATE_NOOP("rolvet", "レーシングライン(&R)"),
    QT_TRANSLATE_NOOP("rolvet", "曲率の最も小さい走行ラインを平面図と3Dプレビューに表示"),
    QT_TRANSLATE_NOOP("rolvet", "レーシングライン")}; // 32810
inline constexpr CommandText kCmdViewProfile = {
    QT_TRANSLATE_NOOP("rolvet", "縦断面(&E)"),
    QT_TRANSLATE_NOOP("rolvet", "周回距離に沿った高さとバンク角を下に表示"),
    QT_TRANSLATE_NOOP("rolvet", "縦断面")}; // 32811
inline constexpr CommandText kCmdViewBackground = {
    QT_TRANSLATE_NOOP("rolvet", "下絵(&B)..."),
    QT_TRANSLATE_NOOP("rolvet", "平面図の下に画像を敷いて位置を合わせる"),
    QT_TRANSLATE_NOOP("rolvet", "下絵")}; // 32860
inline constexpr CommandText kCmdViewFit = {
    QT_TRANSLATE_NOOP("rolvet", "全体を表示(&W)\tHome"),
    QT_TRANSLATE_NOOP("rolvet", "トラックと下絵の全体をウィンドウに合わせる"),
    QT_TRANSLATE_NOOP("rolvet", "全体を表示")}; // 32861
inline constexpr CommandText kCmdHelpContents = {
    QT_TRANSLATE_NOOP("rolvet", "目次(&H)"), QT_TRANSLATE_NOOP("rolvet", "ヘルプファイルを表示"),
    QT_TRANSLATE_NOOP("rolvet", "ヘルプ")}; // 32777
inline constexpr CommandText kCmdAppAbout = {
    QT_TRANSLATE_NOOP("rolvet", "バージョン情報 Welmo Rolvet(&A)..."),
    QT_TRANSLATE_NOOP("rolvet", "プログラム情報、バージョン、著作権を表示します。"),
    QT_TRANSLATE_NOOP("rolvet", "バージョン情報")}; // 57664
// Language of the interface (表示 > 言語 / Language). The names of the languages are shown
// each in its own language and never translated.
inline constexpr const char* kMenuLanguage = QT_TRANSLATE_NOOP("rolvet", "言語 / Language");
inline constexpr const char* kLanguageJapanese = "日本語";
inline constexpr const char* kLanguageEnglish = "English";
inline constexpr const char* kLanguageJapanesePrompt =
    QT_TRANSLATE_NOOP("rolvet", "次回の起動から日本語で表示");
inline constexpr const char* kLanguageEnglishPrompt =
    QT_TRANSLATE_NOOP("rolvet", "次回の起動から英語で表示");
inline constexpr CommandText kCmdLanguageJapanese = {kLanguageJapanese, kLanguageJapanesePrompt,
                                                     nullptr}; // 32850
inline constexpr CommandText kCmdLanguageEnglish = {kLanguageEnglish, kLanguageEnglishPrompt,
                                                    nullptr}; // 32851
inline constexpr const char* kLanguageNextStart =
    QT_TRANSLATE_NOOP("rolvet", "選んだ言語は次回の起動から使われます。");

// Next and previous pane (57680, 57681) have keys only, and no texts.

} // namespace rolvet::str
