<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
<context>
    <name>rolvet</name>
    <message>
        <source>無題</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>Rolvet Files (*.rolvet)</source>
        <translation>Rolvet Files (*.rolvet)</translation>
    </message>
    <message>
        <source>すべてのファイル (*)</source>
        <translation>All Files (*)</translation>
    </message>
    <message>
        <source>開く</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>名前を付けて保存</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>レディ</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>CAP</source>
        <translation>CAP</translation>
    </message>
    <message>
        <source>NUM</source>
        <translation>NUM</translation>
    </message>
    <message>
        <source>SCRL</source>
        <translation>SCRL</translation>
    </message>
    <message>
        <source>バージョン情報 Welmo Rolvet</source>
        <translation>About Welmo Rolvet</translation>
    </message>
    <message>
        <source>Welmo Rolvet, Version 0.3</source>
        <translation>Welmo Rolvet, Version 0.3</translation>
    </message>
    <message>
        <source>レジストリを削除しました。</source>
        <translation>The file type registration has been removed.</translation>
    </message>
    <message>
        <source>rolvet: 画面に接続できないため、エディターを起動できません (DISPLAY または WAYLAND_DISPLAY を確認してください)。画面なしでも rolvet --export TRACK.rolvet OUT.mqo で書き出せます。</source>
        <translation>rolvet: the editor cannot start because no display can be reached (check DISPLAY or WAYLAND_DISPLAY). Without a display, rolvet --export TRACK.rolvet OUT.mqo still exports.</translation>
    </message>
    <message>
        <source>%1 への変更を保存しますか?</source>
        <translation>Save changes to %1?</translation>
    </message>
    <message>
        <source>予期しないファイル形式です。</source>
        <translation>Unexpected file format.</translation>
    </message>
    <message>
        <source>ドキュメントを開くことに失敗しました。</source>
        <translation>Failed to open document.</translation>
    </message>
    <message>
        <source>ドキュメントの保存に失敗しました。</source>
        <translation>Failed to save document.</translation>
    </message>
    <message>
        <source>保存されていない変更のあるトラック「%1」が前回の終了時に残されました。復元しますか?</source>
        <translation>The track “%1” with unsaved changes was left behind when the editor last ended. Restore it?</translation>
    </message>
    <message>
        <source>%1 へのアクセス中に不明なエラーが発生しました。</source>
        <translation>An unknown error occurred while accessing %1.</translation>
    </message>
    <message>
        <source>%1 が見つかりませんでした。</source>
        <translation>%1 was not found.</translation>
    </message>
    <message>
        <source>%1 に正しくないパスが含まれています。</source>
        <translation>%1 contains an invalid path.</translation>
    </message>
    <message>
        <source>開いているファイルが多すぎるため、%1 を開けませんでした。</source>
        <translation>%1 could not be opened because there are too many open files.</translation>
    </message>
    <message>
        <source>%1 へのアクセスは拒否されました。</source>
        <translation>Access to %1 was denied.</translation>
    </message>
    <message>
        <source>正しくないファイル ハンドルが %1 に関連付けられていました。</source>
        <translation>An invalid file handle was associated with %1.</translation>
    </message>
    <message>
        <source>%1 を作成できませんでした。そのディレクトリはいっぱいです。</source>
        <translation>%1 could not be created because the directory is full.</translation>
    </message>
    <message>
        <source>%1 のシークに失敗しました。</source>
        <translation>Seek failed on %1.</translation>
    </message>
    <message>
        <source>%1 へのアクセス中にハードウェア I/O エラーが報告されました。</source>
        <translation>A hardware I/O error was reported while accessing %1.</translation>
    </message>
    <message>
        <source>%1 へのアクセス中に共有違反が発生しました。</source>
        <translation>A sharing violation occurred while accessing %1.</translation>
    </message>
    <message>
        <source>%1 へのアクセス中にロック違反が発生しました。</source>
        <translation>A locking violation occurred while accessing %1.</translation>
    </message>
    <message>
        <source>%1 へのアクセス中にディスクがいっぱいになりました。</source>
        <translation>The disk became full while accessing %1.</translation>
    </message>
    <message>
        <source>%1 の末尾以降にアクセスしようとしました。</source>
        <translation>An attempt was made to access %1 past its end.</translation>
    </message>
    <message>
        <source>頂点は4つ以上作ってください。</source>
        <translation>Please make at least 4 vertices.</translation>
    </message>
    <message>
        <source>%sのコピーに失敗しました。</source>
        <translation>Copying %s failed.</translation>
    </message>
    <message>
        <source>%sの書き出しに失敗しました。</source>
        <translation>Writing %s failed.</translation>
    </message>
    <message>
        <source>Metasequoiaファイル(*.mqo)</source>
        <translation>Metasequoia file (*.mqo)</translation>
    </message>
    <message>
        <source>頂点数と分割数が大きすぎるため書き出せません。</source>
        <translation>The road cannot be exported: too many vertices and divisions.</translation>
    </message>
    <message>
        <source>書き出しています...</source>
        <translation>Exporting...</translation>
    </message>
    <message>
        <source>glTFバイナリ(*.glb)</source>
        <translation>glTF binary (*.glb)</translation>
    </message>
    <message>
        <source>Wavefront OBJ(*.obj)</source>
        <translation>Wavefront OBJ (*.obj)</translation>
    </message>
    <message>
        <source>レーシングライン CSV(*.csv)</source>
        <translation>Racing line CSV (*.csv)</translation>
    </message>
    <message>
        <source>座標に無限大または数値でない値が含まれているため、この形式では書き出せません。</source>
        <translation>The road cannot be written in this format: a coordinate is infinite or not a number.</translation>
    </message>
    <message>
        <source>分割数が1未満のため、この形式では書き出せません。分割数を1以上にしてください。</source>
        <translation>The road cannot be written in this format: the division count is less than 1. Set it to 1 or more.</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>頂点と頂点の間の分割数</source>
        <translation>Divisions between two vertices</translation>
    </message>
    <message>
        <source>ロルベットの幅</source>
        <translation>Road width</translation>
    </message>
    <message>
        <source>頂点</source>
        <translation>Vertices</translation>
    </message>
    <message>
        <source>選択頂点の座標</source>
        <translation>Selected vertex</translation>
    </message>
    <message>
        <source>X座標</source>
        <translation>X</translation>
    </message>
    <message>
        <source>Y座標</source>
        <translation>Y</translation>
    </message>
    <message>
        <source>Z座標</source>
        <translation>Z</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>数字を入力してください。</source>
        <translation>Please enter a number.</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>設定(&amp;S)</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>3Dプレビュー - %1</source>
        <translation>3D Preview - %1</translation>
    </message>
    <message>
        <source>OpenGL を開始できないため、3Dプレビューを表示できません。編集はこのまま続けられます。</source>
        <translation>The 3D preview cannot be shown because OpenGL cannot start. Editing goes on as before.</translation>
    </message>
    <message>
        <source>頂点が4つ以上、分割数が1以上になると道路を表示します。</source>
        <translation>The road is shown once there are at least 4 vertices and at least 1 division.</translation>
    </message>
    <message>
        <source>頂点数と分割数が大きすぎるため道路を計測できません。</source>
        <translation>The road cannot be measured: too many vertices and divisions.</translation>
    </message>
    <message>
        <source>周長 %1</source>
        <translation>Lap %1</translation>
    </message>
    <message>
        <source>最小半径 %1 (頂点%2-%3間)</source>
        <translation>Min. radius %1 (vertices %2-%3)</translation>
    </message>
    <message>
        <source>最小半径 なし</source>
        <translation>Min. radius none</translation>
    </message>
    <message>
        <source>高さ %1 〜 %2</source>
        <translation>Height %1 to %2</translation>
    </message>
    <message>
        <source>最大勾配 %1%</source>
        <translation>Max. grade %1%</translation>
    </message>
    <message>
        <source>折り返し %1</source>
        <translation>Folds %1</translation>
    </message>
    <message>
        <source>道路幅 %1 〜 %2</source>
        <translation>Road width %1 to %2</translation>
    </message>
    <message>
        <source>最大バンク %1°</source>
        <translation>Max. bank %1°</translation>
    </message>
    <message>
        <source>新規作成(&amp;N)	Ctrl+N</source>
        <translation>&amp;New	Ctrl+N</translation>
    </message>
    <message>
        <source>新規にファイルを作成</source>
        <translation>Create a new file</translation>
    </message>
    <message>
        <source>新規ファイル</source>
        <translation>New file</translation>
    </message>
    <message>
        <source>開く(&amp;O)...	Ctrl+O</source>
        <translation>&amp;Open...	Ctrl+O</translation>
    </message>
    <message>
        <source>既存のファイルを開く</source>
        <translation>Open an existing file</translation>
    </message>
    <message>
        <source>上書き保存(&amp;S)	Ctrl+S</source>
        <translation>&amp;Save	Ctrl+S</translation>
    </message>
    <message>
        <source>作業中のファイルを上書きして保存</source>
        <translation>Save the current file</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>名前を付けて保存(&amp;A)...</source>
        <translation>Save &amp;As...</translation>
    </message>
    <message>
        <source>作業中のファイルを新しい名前で保存</source>
        <translation>Save the current file with a new name</translation>
    </message>
    <message>
        <source>名前をつけて保存</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>書き出し(&amp;E)</source>
        <translation>&amp;Export</translation>
    </message>
    <message>
        <source>ファイルの書き出し</source>
        <translation>Export the road model</translation>
    </message>
    <message>
        <source>ファイル書き出し</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>最近使ったファイル</source>
        <translation>Recent File</translation>
    </message>
    <message>
        <source>指定のファイルを開く</source>
        <translation>Open this file</translation>
    </message>
    <message>
        <source>アプリケーションの終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>アプリケーションを終了し、ファイルの保存を指示</source>
        <translation>Quit the application; asks to save the file</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>元に戻す(&amp;U)	Ctrl+Z</source>
        <translation>&amp;Undo	Ctrl+Z</translation>
    </message>
    <message>
        <source>直前に行った動作を元に戻す</source>
        <translation>Undo the last action</translation>
    </message>
    <message>
        <source>元に戻す</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>やり直し(&amp;R)	Ctrl+Y</source>
        <translation>&amp;Redo	Ctrl+Y</translation>
    </message>
    <message>
        <source>直前に元に戻した動作をやり直す</source>
        <translation>Redo the last undone action</translation>
    </message>
    <message>
        <source>やり直し</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>切り取り(&amp;T)	Ctrl+X</source>
        <translation>Cu&amp;t	Ctrl+X</translation>
    </message>
    <message>
        <source>選択範囲を切り取ってクリップボードに保存</source>
        <translation>Cut the selection and put it on the clipboard</translation>
    </message>
    <message>
        <source>切り取り</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>コピー(&amp;C)	Ctrl+C</source>
        <translation>&amp;Copy	Ctrl+C</translation>
    </message>
    <message>
        <source>選択範囲をコピーしてクリップボードに保存</source>
        <translation>Copy the selection and put it on the clipboard</translation>
    </message>
    <message>
        <source>コピー</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>貼り付け(&amp;P)	Ctrl+V</source>
        <translation>&amp;Paste	Ctrl+V</translation>
    </message>
    <message>
        <source>クリップボードの内容を貼り付け</source>
        <translation>Insert the clipboard contents</translation>
    </message>
    <message>
        <source>貼り付け</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>XYZ座標(&amp;X)</source>
        <translation>&amp;XYZ Coordinates</translation>
    </message>
    <message>
        <source>選択頂点のXYZ座標</source>
        <translation>XYZ coordinates of the selected vertex</translation>
    </message>
    <message>
        <source>頂点座標</source>
        <translation>Vertex coordinates</translation>
    </message>
    <message>
        <source>頂点表示(&amp;V)</source>
        <translation>Show &amp;Vertices</translation>
    </message>
    <message>
        <source>頂点を表示</source>
        <translation>Show the vertices</translation>
    </message>
    <message>
        <source>頂点表示</source>
        <translation>Show vertices</translation>
    </message>
    <message>
        <source>レジストリの削除(&amp;U)</source>
        <translation>&amp;Unregister File Type</translation>
    </message>
    <message>
        <source>レジストリの削除</source>
        <translation>Remove the file type registration</translation>
    </message>
    <message>
        <source>レジストリ削除</source>
        <translation>Unregister file type</translation>
    </message>
    <message>
        <source>ツール バー(&amp;T)</source>
        <translation>&amp;Toolbar</translation>
    </message>
    <message>
        <source>ツール バーの 表示/非表示</source>
        <translation>Show or hide the toolbar</translation>
    </message>
    <message>
        <source>ツール バーの表示切り替え</source>
        <translation>Toggle toolbar</translation>
    </message>
    <message>
        <source>ステータス バー(&amp;S)</source>
        <translation>&amp;Status Bar</translation>
    </message>
    <message>
        <source>ステータス バーの表示/非表示</source>
        <translation>Show or hide the status bar</translation>
    </message>
    <message>
        <source>ステータス バーの表示切り替え</source>
        <translation>Toggle status bar</translation>
    </message>
    <message>
        <source>3Dプレビュー(&amp;P)</source>
        <translation>3D &amp;Preview</translation>
    </message>
    <message>
        <source>道路を3Dで表示</source>
        <translation>Show the road in 3D</translation>
    </message>
    <message>
        <source>3Dプレビュー</source>
        <translation>3D preview</translation>
    </message>
    <message>
        <source>目次(&amp;H)</source>
        <translation>&amp;Contents</translation>
    </message>
    <message>
        <source>ヘルプファイルを表示</source>
        <translation>Show the help file</translation>
    </message>
    <message>
        <source>ヘルプ</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>バージョン情報 Welmo Rolvet(&amp;A)...</source>
        <translation>&amp;About Welmo Rolvet...</translation>
    </message>
    <message>
        <source>プログラム情報、バージョン、著作権を表示します。</source>
        <translation>Display program information, version and copyright.</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>About</translation>
    </message>
    <message>
        <source>言語 / Language</source>
        <translation>言語 / Language</translation>
    </message>
    <message>
        <source>次回の起動から日本語で表示</source>
        <translation>Show the editor in Japanese from the next start</translation>
    </message>
    <message>
        <source>次回の起動から英語で表示</source>
        <translation>Show the editor in English from the next start</translation>
    </message>
    <message>
        <source>選んだ言語は次回の起動から使われます。</source>
        <translation>The chosen language is used from the next start.</translation>
    </message>
    <message>
        <source>%1 の道路の形 (左右の幅とバンク) の情報が壊れているため、頂点と設定だけを開きました。幅とバンクは既定の値になっています。</source>
        <translation>The road shape of %1 (left and right widths and bank) is damaged, so only its vertices and settings were opened. The widths and banks have their default values.</translation>
    </message>
    <message>
        <source>道路の形</source>
        <translation>Road Shape</translation>
    </message>
    <message>
        <source>左の幅</source>
        <translation>Left width</translation>
    </message>
    <message>
        <source>右の幅</source>
        <translation>Right width</translation>
    </message>
    <message>
        <source>バンク角</source>
        <translation>Bank angle</translation>
    </message>
    <message>
        <source>0 以上の数字を入力してください。</source>
        <translation>Please enter a number of 0 or more.</translation>
    </message>
    <message>
        <source>道路の形(&amp;R)</source>
        <translation>&amp;Road Shape</translation>
    </message>
    <message>
        <source>選択頂点の左右の幅とバンク角 (度)</source>
        <translation>Left and right width and bank angle (degrees) of the selected vertex</translation>
    </message>
    <message>
        <source>頂点数と分割数が大きすぎるためレーシングラインを計算できません。</source>
        <translation>The racing line cannot be computed: too many vertices and divisions.</translation>
    </message>
    <message>
        <source>レーシングラインを計算できませんでした。</source>
        <translation>The racing line could not be computed.</translation>
    </message>
    <message>
        <source>道幅が車幅より狭いところ (%1 サンプル) ではレーシングラインは道の中央を通ります。</source>
        <translation>Where the road is narrower than the vehicle (%1 samples), the racing line runs along the middle of the road.</translation>
    </message>
    <message>
        <source>標準出力</source>
        <translation>standard output</translation>
    </message>
    <message>
        <source>%1 は 50 MB を超えているため読み込めません。</source>
        <translation>%1 is larger than 50 MB and cannot be read.</translation>
    </message>
    <message>
        <source>%1 の %2 行目に数値でない値があります。</source>
        <translation>Line %2 of %1 holds a value that is not a number.</translation>
    </message>
    <message>
        <source>%1 の %2 行目に無限大または数値でない値 (NaN) があります。</source>
        <translation>Line %2 of %1 holds an infinite value or one that is not a number (NaN).</translation>
    </message>
    <message>
        <source>%1 の %2 行目の列の数が正しくありません。x,y か x,y,z か x,y,右の幅,左の幅 の列が必要です。</source>
        <translation>Line %2 of %1 has the wrong number of columns. The columns must be x,y or x,y,z or x,y,right width,left width.</translation>
    </message>
    <message>
        <source>%1 の %2 行目の幅が負の値です。</source>
        <translation>Line %2 of %1 gives a negative width.</translation>
    </message>
    <message>
        <source>%1 の %2 行目が読めません。ファイルが壊れているか、形式が正しくありません。</source>
        <translation>Line %2 of %1 cannot be read. The file is damaged or not in the right format.</translation>
    </message>
    <message>
        <source>%1 の %2 行目の点に緯度か経度がありません。</source>
        <translation>The point on line %2 of %1 has no latitude or no longitude.</translation>
    </message>
    <message>
        <source>%1 の %2 行目の緯度か経度が範囲外です。</source>
        <translation>The latitude or longitude on line %2 of %1 is out of range.</translation>
    </message>
    <message>
        <source>%1 に中心線がありません。GPX のトラックかルート、GeoJSON の LineString、MultiLineString か Polygon が必要です。</source>
        <translation>%1 holds no centre line. It needs a GPX track or route, or a GeoJSON LineString, MultiLineString or Polygon.</translation>
    </message>
    <message>
        <source>%1 には異なる点が %2 個しかありません。道路には4つ以上の点が必要です。</source>
        <translation>%1 has only %2 distinct points. A road needs at least 4 points.</translation>
    </message>
    <message>
        <source>%1 個の点では許容誤差に収まりませんでした。最大のずれは位置 %2 m、高さ %3 m、幅 %4 m です。</source>
        <translation>With %1 points the track could not be kept within the tolerances. The largest deviations are %2 m in position, %3 m in height and %4 m in width.</translation>
    </message>
    <message>
        <source>インポート</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>中心線 (*.csv *.gpx *.geojson *.json *.txt)</source>
        <translation>Centre lines (*.csv *.gpx *.geojson *.json *.txt)</translation>
    </message>
    <message>
        <source>インポート(&amp;I)...</source>
        <translation>&amp;Import...</translation>
    </message>
    <message>
        <source>CSV、GPX、GeoJSON の中心線から新しいトラックを作成</source>
        <translation>Make a new track from a centre line in CSV, GPX or GeoJSON</translation>
    </message>
    <message>
        <source>書き出しオプション</source>
        <translation>Export Options</translation>
    </message>
    <message>
        <source>1 メートルあたりの単位数:</source>
        <translation>Units per metre:</translation>
    </message>
    <message>
        <source>衝突判定用メッシュを付ける</source>
        <translation>Add a collision mesh</translation>
    </message>
    <message>
        <source>壁の高さ (m、0 で壁なし):</source>
        <translation>Wall height (m, 0 for none):</translation>
    </message>
    <message>
        <source>チェックポイントの数:</source>
        <translation>Checkpoints:</translation>
    </message>
    <message>
        <source>スタート地点の頂点番号:</source>
        <translation>Start at control point:</translation>
    </message>
    <message>
        <source>レーシングラインを付ける (GLB)</source>
        <translation>Add the racing line (GLB)</translation>
    </message>
    <message>
        <source>車幅 (m):</source>
        <translation>Vehicle width (m):</translation>
    </message>
    <message>
        <source>下絵</source>
        <translation>Background Image</translation>
    </message>
    <message>
        <source>画像ファイル</source>
        <translation>Image file</translation>
    </message>
    <message>
        <source>参照...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>画像 (*.png *.jpg *.jpeg)</source>
        <translation>Images (*.png *.jpg *.jpeg)</translation>
    </message>
    <message>
        <source>クリックで置く点</source>
        <translation>Click places</translation>
    </message>
    <message>
        <source>点1</source>
        <translation>Point 1</translation>
    </message>
    <message>
        <source>点2</source>
        <translation>Point 2</translation>
    </message>
    <message>
        <source>画像上の位置 (ピクセル)</source>
        <translation>On the image (pixels)</translation>
    </message>
    <message>
        <source>平面上の位置 (X, Z)</source>
        <translation>In the plan (X, Z)</translation>
    </message>
    <message>
        <source>2点の距離</source>
        <translation>Distance of the points</translation>
    </message>
    <message>
        <source>点2の位置</source>
        <translation>Position of point 2</translation>
    </message>
    <message>
        <source>不透明度</source>
        <translation>Opacity</translation>
    </message>
    <message>
        <source>下絵を外す</source>
        <translation>Remove Image</translation>
    </message>
    <message>
        <source>画像ファイルを選んでください。</source>
        <translation>Please choose an image file.</translation>
    </message>
    <message>
        <source>2つの点は画像上でも平面上でも別の場所に置いてください。</source>
        <translation>Please put the two points in different places, on the image and in the plan.</translation>
    </message>
    <message>
        <source>2点の距離には 0 より大きい数字を入力してください。</source>
        <translation>Please enter a number greater than 0 for the distance of the points.</translation>
    </message>
    <message>
        <source>%1 は PNG または JPEG の画像として読み込めません。</source>
        <translation>%1 cannot be read as a PNG or JPEG image.</translation>
    </message>
    <message>
        <source>下絵の画像 %1 を開けませんでした。トラックは下絵なしで開いています。</source>
        <translation>The background image %1 could not be opened. The track is open without it.</translation>
    </message>
    <message>
        <source>下絵(&amp;B)...</source>
        <translation>&amp;Background Image...</translation>
    </message>
    <message>
        <source>平面図の下に画像を敷いて位置を合わせる</source>
        <translation>Put an image under the plan and line it up</translation>
    </message>
    <message>
        <source>全体を表示(&amp;W)	Home</source>
        <translation>&amp;Whole Track	Home</translation>
    </message>
    <message>
        <source>トラックと下絵の全体をウィンドウに合わせる</source>
        <translation>Fit the whole track and the background image to the window</translation>
    </message>
    <message>
        <source>全体を表示</source>
        <translation>Whole Track</translation>
    </message>
    <message>
        <source>レーシングライン 周長 %1 最小半径 %2</source>
        <translation>Racing line length %1 min. radius %2</translation>
    </message>
    <message>
        <source>レーシングライン 計算中</source>
        <translation>Racing line: computing</translation>
    </message>
    <message>
        <source>車幅より狭い所 %1 サンプル</source>
        <translation>Narrower than the vehicle: %1 samples</translation>
    </message>
    <message>
        <source>レーシングライン(&amp;R)</source>
        <translation>&amp;Racing Line</translation>
    </message>
    <message>
        <source>曲率の最も小さい走行ラインを平面図と3Dプレビューに表示</source>
        <translation>Show the line of least curvature in the plan and the 3D preview</translation>
    </message>
    <message>
        <source>レーシングライン</source>
        <translation>Racing Line</translation>
    </message>
    <message>
        <source>縦断面(&amp;E)</source>
        <translation>&amp;Elevation Profile</translation>
    </message>
    <message>
        <source>周回距離に沿った高さとバンク角を下に表示</source>
        <translation>Show the height and bank angle along the lap below the plan</translation>
    </message>
    <message>
        <source>縦断面</source>
        <translation>Elevation Profile</translation>
    </message>
    <message>
        <source>距離 %1  高さ %2  勾配 %3%</source>
        <translation>Distance %1  Height %2  Grade %3%</translation>
    </message>
</context>
</TS>
