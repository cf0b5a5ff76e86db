// The track commands and their dialogs: settings, vertex list and the selected vertex's
// coordinates, driven through test prompts instead of a modal loop.
#include "IsolatedHome.h"
#include "ScriptedPrompts.h"
#include "TestUtil.h"
#include "common/Strings.h"
#include "document/Prompts.h"
#include "document/RolvetDoc.h"
#include "document/SetUpDialog.h"
#include "document/ShapeDialog.h"
#include "document/VertexDialog.h"
#include "document/VertexListView.h"
#include "document/XYZDialog.h"
#include "track/TrackText.h"
#include "track/VertexStore.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>

namespace {

const QString kEnterNumber = QString::fromUtf8("数字を入力してください。");

// Shows each dialog without a modal loop, lets the test drive it, then reports its result.

template <class T> T* Child(QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}

// Centre of the slider's handle, from the slider's own style options.
struct SliderAccess : QSlider {
    static QPoint HandleCentre(QSlider* slider) {
        QStyleOptionSlider option;
        const auto init = &SliderAccess::initStyleOption;
        (slider->*init)(&option);
        return slider->style()
            ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider)
            .center();
    }
};

// The focusable controls in the order Tab visits them, starting at the first one.
QStringList TabChain(QDialog& dialog) {
    QStringList names;
    QWidget* w = &dialog;
    for (int guard = 0; guard < 50; ++guard) {
        w = w->nextInFocusChain();
        if (w == &dialog) {
            break;
        }
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(&dialog)) {
            names << w->objectName();
        }
    }
    return names;
}

// "%f" and "%.6g" of the C library in the current C locale, as oracles.
QString PrintfF(double value) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%f", value);
    return QString::fromLatin1(buffer);
}

QString PrintfG6(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", 6, value);
    return QString::fromLatin1(buffer);
}

std::vector<std::byte> Bytes(const QString& path) {
    const QByteArray a = testutil::ReadAll(path);
    const auto s = testutil::AsBytes(a);
    return {s.begin(), s.end()};
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    CScriptedPrompts m_prompts;

private slots:
    void init() {
        TheVertexStore().Clear();
        m_prompts.Reset();
    }

    void settingsKeepAnOutOfRangeCountUntilTheSliderMoves() {
        const QString path = m_dir.filePath("zero.rolvet");
        QVERIFY(!rolvet::SaveTrackFile(path.toStdString(), 0, 100, {}));
        CRolvetDoc doc;
        QVERIFY(!doc.OnOpenDocument(path));
        QSignalSpy views(&doc, &CRolvetDoc::viewsNeedUpdate);

        // OK without touching anything stores 0 again and still marks the document modified.
        m_prompts.drive = [](QDialog& d) {
            QCOMPARE(d.windowTitle(), QString::fromUtf8("設定"));
            QCOMPARE(Child<QLineEdit>(d, "edit1002")->text(), QString("0"));
            QCOMPARE(Child<QSlider>(d, "slider1000")->value(), 1);
            QCOMPARE(Child<QLineEdit>(d, "edit1003")->text(), QString("100"));
            QCOMPARE(Child<QSlider>(d, "slider1001")->value(), 100);
            QTest::mouseClick(Child<QPushButton>(d, "button1"), Qt::LeftButton);
        };
        doc.OnSetUp(nullptr);
        QCOMPARE(m_prompts.dialogsRun.size(), 1);
        QCOMPARE(doc.DivisionCount(), 0);
        QCOMPARE(doc.RoadWidth(), 100);
        QVERIFY(doc.IsModified());
        QCOMPARE(views.count(), 0);

        // Moving the slider to 5 and back to 1 stores 1.
        m_prompts.drive = [](QDialog& d) {
            auto* slider = Child<QSlider>(d, "slider1000");
            auto* edit = Child<QLineEdit>(d, "edit1002");
            for (int i = 0; i < 4; ++i) {
                QTest::keyClick(slider, Qt::Key_Right);
            }
            QCOMPARE(edit->text(), QString("5"));
            for (int i = 0; i < 4; ++i) {
                QTest::keyClick(slider, Qt::Key_Left);
            }
            QCOMPARE(edit->text(), QString("1"));
            QTest::keyClick(&d, Qt::Key_Return); // the default button
        };
        doc.OnSetUp(nullptr);
        QCOMPARE(doc.DivisionCount(), 1);
        QCOMPARE(views.count(), 0);
    }

    void settingsEveryKindOfSliderNotificationWritesThePosition() {
        CSetUpDialog dialog(-20, 40);
        dialog.show();
        auto* width = Child<QSlider>(dialog, "slider1001");
        auto* widthEdit = Child<QLineEdit>(dialog, "edit1003");
        auto* division = Child<QSlider>(dialog, "slider1000");
        auto* divisionEdit = Child<QLineEdit>(dialog, "edit1002");

        // Out-of-range values show at the nearest end; the edits keep them.
        QCOMPARE(width->value(), 10);
        QCOMPARE(widthEdit->text(), QString("-20"));
        QCOMPARE(division->value(), 16);
        QCOMPARE(divisionEdit->text(), QString("40"));

        // A key that cannot move the slider further still reports its position.
        QTest::keyClick(division, Qt::Key_Right);
        QCOMPARE(divisionEdit->text(), QString("16"));
        QCOMPARE(widthEdit->text(), QString("-20"));

        QTest::keyClick(width, Qt::Key_PageUp);
        QCOMPARE(widthEdit->text(), QString::number(width->value()));
        QVERIFY(width->value() > 10);
        QTest::keyClick(width, Qt::Key_End);
        QCOMPARE(widthEdit->text(), QString("2000"));
        QTest::keyClick(width, Qt::Key_Home);
        QCOMPARE(widthEdit->text(), QString("10"));
        QCOMPARE(divisionEdit->text(), QString("16"));

        // Dragging the handle to the right end writes 2000 while the button is still down.
        const QPoint handle = SliderAccess::HandleCentre(width);
        QTest::mousePress(width, Qt::LeftButton, {}, handle);
        QVERIFY(width->isSliderDown());
        QTest::mouseMove(width, QPoint(width->width() + 50, handle.y()));
        QVERIFY(width->isSliderDown());
        QCOMPARE(widthEdit->text(), QString("2000"));
        QTest::mouseRelease(width, Qt::LeftButton, {}, QPoint(width->width() + 50, handle.y()));
        QCOMPARE(widthEdit->text(), QString("2000"));

        // A press and release on the handle that does not move it also reports the position.
        CSetUpDialog untouched(5000, 0);
        untouched.show();
        auto* widthSlider = Child<QSlider>(untouched, "slider1001");
        const QPoint end = SliderAccess::HandleCentre(widthSlider);
        QCOMPARE(Child<QLineEdit>(untouched, "edit1003")->text(), QString("5000"));
        QTest::mouseClick(widthSlider, Qt::LeftButton, {}, end);
        QCOMPARE(Child<QLineEdit>(untouched, "edit1003")->text(), QString("2000"));
        QCOMPARE(Child<QLineEdit>(untouched, "edit1002")->text(), QString("0"));

        // The values come back from the edits only on OK.
        QCOMPARE(dialog.RoadWidth(), -20);
        dialog.accept();
        QCOMPARE(dialog.RoadWidth(), 2000);
        QCOMPARE(dialog.DivisionCount(), 16);
    }

    void settingsCancelEscapeAndCloseChangeNothing() {
        CRolvetDoc doc;
        const std::function<void(QDialog&)> ends[] = {
            [](QDialog& d) { QTest::mouseClick(Child<QPushButton>(d, "button2"), Qt::LeftButton); },
            [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
            [](QDialog& d) { d.close(); },
        };
        for (const auto& end : ends) {
            m_prompts.drive = [&end](QDialog& d) {
                QTest::keyClick(Child<QSlider>(d, "slider1000"), Qt::Key_End);
                QTest::keyClick(Child<QSlider>(d, "slider1001"), Qt::Key_End);
                QCOMPARE(Child<QLineEdit>(d, "edit1002")->text(), QString("16"));
                end(d);
                QVERIFY(!d.isVisible());
            };
            doc.OnSetUp(nullptr);
            QCOMPARE(doc.DivisionCount(), 4);
            QCOMPARE(doc.RoadWidth(), 100);
            QVERIFY(!doc.IsModified());
        }
        QCOMPARE(m_prompts.dialogsRun.size(), 3);
    }

    void vertexListIsTheStoreAsText() {
        QCOMPARE(rolvet::VertexListText({}), std::string());
        const CVector3D example[] = {{1, 0, 2}, {-3.5f, 0, 4}};
        QCOMPARE(rolvet::VertexListText(example),
                 std::string("(1.000000,0.000000,2.000000),\r\n(-3.500000,0.000000,4.000000)\r\n"));

        // Every value prints exactly as "%f" of the widened float does, extremes included.
        const float values[] = {0.0f,         -0.0f,
                                1e-7f,        5e-7f,
                                0.1f,         123.456f,
                                1e30f,        -FLT_MAX,
                                FLT_TRUE_MIN, 2.5e-6f,
                                16777216,     7.5f,
                                -1234.5678f,  std::numeric_limits<float>::infinity()};
        for (const float v : values) {
            const CVector3D one[] = {{v, -v, v}};
            const double d = static_cast<double>(v);
            const QString expected =
                "(" + PrintfF(d) + "," + PrintfF(-d) + "," + PrintfF(d) + ")\r\n";
            QCOMPARE(QString::fromStdString(rolvet::VertexListText(one)), expected);
        }
    }

    void vertexCommandShowsTheListAndChangesNothing() {
        CRolvetDoc doc;
        QSignalSpy views(&doc, &CRolvetDoc::viewsNeedUpdate);
        TheVertexStore().Append({1, 0, 2});
        TheVertexStore().Append({-3.5f, 0, 4});
        m_prompts.drive = [](QDialog& d) {
            QCOMPARE(d.windowTitle(), QString::fromUtf8("頂点"));
            auto* edit = Child<QPlainTextEdit>(d, "edit1003");
            QVERIFY(edit);
            QVERIFY(!edit->isReadOnly());
            QCOMPARE(edit->toPlainText(),
                     QString("(1.000000,0.000000,2.000000),\n(-3.500000,0.000000,4.000000)\n"));
            edit->setPlainText("(9,9,9)\n");
            QTest::mouseClick(Child<QPushButton>(d, "button1"), Qt::LeftButton);
            QCOMPARE(static_cast<CVertexDialog&>(d).Text(), QString("(9,9,9)\r\n"));
        };
        doc.OnShowVertices(nullptr);
        QCOMPARE(m_prompts.dialogsRun.size(), 1);
        QCOMPARE(TheVertexStore().Count(), 2);
        QCOMPARE(TheVertexStore().At(0).x, 1.0f);
        QVERIFY(!doc.IsModified());
        QCOMPARE(views.count(), 0);

        TheVertexStore().Clear();
        m_prompts.drive = [](QDialog& d) {
            QCOMPARE(Child<QPlainTextEdit>(d, "edit1003")->toPlainText(), QString());
            QTest::keyClick(&d, Qt::Key_Escape);
        };
        doc.OnShowVertices(nullptr);
        QCOMPARE(m_prompts.dialogsRun.size(), 2);
        QVERIFY(!doc.IsModified());
    }

    void longVertexListOpensAtOnceAndCopies() {
        // 10,000,000 vertices: listed line by line as they come into view, never as one text.
        std::vector<CVector3D> many(10'000'000);
        for (std::size_t i = 0; i < many.size(); ++i) {
            many[i] = {float(i), 0.5f, -float(i % 1000)};
        }
        const std::vector<CVector3D> tail(many.end() - 3, many.end());
        TheVertexStore().Assign(std::move(many));
        CRolvetDoc doc;
        m_prompts.drive = [&](QDialog& d) {
            auto* list = Child<CVertexListView>(d, "edit1003");
            QVERIFY(list);
            QCOMPARE(list->LineCount(), 10'000'000);
            QCOMPARE(list->LineText(0), QString("(0.000000,0.500000,-0.000000),"));
            list->setFocus();
            QTest::keyClick(list, Qt::Key_End, Qt::ControlModifier);
            QCOMPARE(list->CurrentLine(), 9'999'999);
            QVERIFY(list->TopLine() > 9'999'000);
            QTest::keyClick(list, Qt::Key_Up, Qt::ShiftModifier);
            QTest::keyClick(list, Qt::Key_Up, Qt::ShiftModifier);
            QCOMPARE(list->SelectedText().toStdString(), rolvet::VertexListText(tail));
            QTest::keyClick(&d, Qt::Key_Escape);
        };
        doc.OnShowVertices(nullptr);
        QCOMPARE(m_prompts.dialogsRun.size(), 1);
        QVERIFY(!doc.IsModified());
        TheVertexStore().Clear();
    }

    void coordinatesShowSixSignificantDigits() {
        const float values[] = {123.456789f,
                                1e-7f,
                                1234567.0f,
                                -0.0f,
                                0.1f,
                                5.0f,
                                -FLT_MAX,
                                100000.0f,
                                1e6f,
                                0.0001f,
                                std::numeric_limits<float>::quiet_NaN()};
        for (const float v : values) {
            QCOMPARE(QString::fromStdString(rolvet::FormatCoordinate(v)),
                     PrintfG6(static_cast<double>(v)));
        }
        QCOMPARE(rolvet::FormatCoordinate(123.456789f), std::string("123.457"));
        QCOMPARE(rolvet::FormatCoordinate(1234567.0f), std::string("1.23457e+06"));
        QCOMPARE(rolvet::FormatCoordinate(1e-7f), std::string("1e-07"));
    }

    void coordinatesAreScannedLikePercentLf() {
        // Against the C library's own "%lf" wherever both agree there is a finite number.
        const char* inputs[] = {"12abc",  "  -4.5",  "+7",       "1e3x", ".5",           "5.",
                                "\t\n 3", "-.25e-1", "0x1p4",    "0X10", "1E+2",         "12 34",
                                "1e-50",  "0.1",     "16777217", "-0",   "3.4028235e38", "1,5"};
        for (const char* input : inputs) {
            double d = 0;
            QCOMPARE(std::sscanf(input, "%lf", &d), 1);
            const std::optional<float> value = rolvet::ScanCoordinate(input);
            QVERIFY2(value.has_value(), input);
            QCOMPARE(*value, static_cast<float>(d));
        }
        QCOMPARE(*rolvet::ScanCoordinate("12abc"), 12.0f);
        QCOMPARE(*rolvet::ScanCoordinate("3.4028235e38"), FLT_MAX); // rounds down to the largest
        QCOMPARE(*rolvet::ScanCoordinate("0.1"), 0.1f);
        // A "0x" without hexadecimal digits is the number 0 followed by ignored text.
        QCOMPARE(*rolvet::ScanCoordinate("0xg"), 0.0f);

        // No number at all, or none that is finite in single precision.
        const char* rejected[] = {"",     "abc",   "   ",          "-",     "+.",      "e5",
                                  "x1",   "nan",   "-NAN",         "inf",   "-inf",    "Infinity",
                                  "1e39", "-1e39", "3.4028236e38", "1e400", "nan(123)"};
        for (const char* input : rejected) {
            QVERIFY2(!rolvet::ScanCoordinate(input), input);
        }
        QVERIFY(!rolvet::ScanCoordinate("１２")); // full-width digits

        // Only the first 399 characters are read.
        QCOMPARE(*rolvet::ScanCoordinate(std::string(397, ' ') + "12"), 12.0f);
        QCOMPARE(*rolvet::ScanCoordinate(std::string(398, ' ') + "12"), 1.0f);
        QVERIFY(!rolvet::ScanCoordinate(std::string(399, ' ') + "12"));
    }

    void formattingIgnoresTheProcessLocale() {
        const char* previous = std::setlocale(LC_NUMERIC, nullptr);
        const std::string saved = previous ? previous : "C";
        const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"};
        bool found = false;
        for (const char* name : commaLocales) {
            if (std::setlocale(LC_NUMERIC, name) && PrintfF(1.5) == "1,500000") {
                found = true;
                break;
            }
        }
        if (!found) {
            std::setlocale(LC_NUMERIC, saved.c_str());
            QSKIP("no locale with a decimal comma is installed");
        }
        const CVector3D one[] = {{1.5f, -2.25f, 0}};
        const std::string text = rolvet::VertexListText(one);
        const std::string shown = rolvet::FormatCoordinate(1.5f);
        const std::optional<float> read = rolvet::ScanCoordinate("2.75");
        std::setlocale(LC_NUMERIC, saved.c_str());
        QCOMPARE(text, std::string("(1.500000,-2.250000,0.000000)\r\n"));
        QCOMPARE(shown, std::string("1.5"));
        QCOMPARE(read, std::optional<float>(2.75f));
    }

    void coordinateCommandWritesTheVertexAndRedraws() {
        CRolvetDoc doc;
        QSignalSpy views(&doc, &CRolvetDoc::viewsNeedUpdate);
        TheVertexStore().Append({1, 0, 1});
        TheVertexStore().Append({123.456789f, 0, -2});
        doc.SetSelectedIndex(1);
        m_prompts.drive = [](QDialog& d) {
            QCOMPARE(d.windowTitle(), QString::fromUtf8("選択頂点の座標"));
            QCOMPARE(Child<QLineEdit>(d, "edit1005")->text(), QString("123.457"));
            QCOMPARE(Child<QLineEdit>(d, "edit1006")->text(), QString("0"));
            QCOMPARE(Child<QLineEdit>(d, "edit1007")->text(), QString("-2"));
            Child<QLineEdit>(d, "edit1005")->setText("12abc");
            Child<QLineEdit>(d, "edit1006")->setText(" 5");
            QTest::mouseClick(Child<QPushButton>(d, "button1"), Qt::LeftButton);
        };
        doc.OnEditSelectedVertex(nullptr);
        QVERIFY(m_prompts.messages.isEmpty());
        QCOMPARE(TheVertexStore().At(1).x, 12.0f);
        QCOMPARE(TheVertexStore().At(1).y, 5.0f);
        QCOMPARE(TheVertexStore().At(1).z, -2.0f);
        QCOMPARE(TheVertexStore().At(0).x, 1.0f);
        QVERIFY(doc.IsModified());
        QCOMPARE(views.count(), 1);

        // The height set here is what a save writes for that vertex.
        const QString path = m_dir.filePath("height.rolvet");
        QVERIFY(!doc.OnSaveDocument(path));
        const std::vector<std::byte> bytes = Bytes(path);
        QCOMPARE(bytes.size(), std::size_t(36));
        const std::byte five[] = {std::byte{0x00}, std::byte{0x00}, std::byte{0xA0},
                                  std::byte{0x40}};
        QVERIFY(std::equal(five, five + 4, bytes.begin() + 12 + 12 + 4));

        // OK without a change still marks the document modified and redraws.
        doc.SetModifiedFlag(false);
        m_prompts.drive = [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Return); };
        doc.OnEditSelectedVertex(nullptr);
        QVERIFY(doc.IsModified());
        QCOMPARE(views.count(), 2);
        QCOMPARE(TheVertexStore().At(1).y, 5.0f);

        // Cancel changes nothing.
        doc.SetModifiedFlag(false);
        m_prompts.drive = [](QDialog& d) {
            Child<QLineEdit>(d, "edit1006")->setText("99");
            QTest::mouseClick(Child<QPushButton>(d, "button2"), Qt::LeftButton);
        };
        doc.OnEditSelectedVertex(nullptr);
        QCOMPARE(TheVertexStore().At(1).y, 5.0f);
        QVERIFY(!doc.IsModified());
        QCOMPARE(views.count(), 2);
    }

    void coordinateWithoutANumberAsksAgain() {
        CRolvetDoc doc;
        QSignalSpy views(&doc, &CRolvetDoc::viewsNeedUpdate);
        TheVertexStore().Append({1, 2, 3});
        doc.SetSelectedIndex(0);
        int attempts = 0;
        m_prompts.drive = [&](QDialog& d) {
            auto* ok = Child<QPushButton>(d, "button1");
            auto* x = Child<QLineEdit>(d, "edit1005");
            auto* y = Child<QLineEdit>(d, "edit1006");
            auto* z = Child<QLineEdit>(d, "edit1007");

            // "abc" in x: message over the dialog, focus back on x with all its text selected.
            x->setText("abc");
            QTest::mouseClick(ok, Qt::LeftButton);
            QCOMPARE(m_prompts.messages, QStringList{kEnterNumber});
            QCOMPARE(m_prompts.messageParents.value(0), &d);
            QVERIFY(d.isVisible());
            QCOMPARE(d.result(), int(QDialog::Rejected));
            QCOMPARE(d.focusWidget(), x);
            QCOMPARE(x->selectedText(), QString("abc"));

            // x is fine now, y is not: nothing reaches the store, the focus goes to y.
            x->setText("7");
            y->setText("   ");
            QTest::mouseClick(ok, Qt::LeftButton);
            QCOMPARE(m_prompts.messages.size(), 2);
            QCOMPARE(d.focusWidget(), y);
            QCOMPARE(TheVertexStore().At(0).x, 1.0f);

            // Values that are not finite in single precision are refused the same way.
            y->setText("4");
            for (const char* bad : {"nan", "inf", "1e39", "-INFINITY"}) {
                z->setText(QString::fromLatin1(bad));
                QTest::mouseClick(ok, Qt::LeftButton);
                ++attempts;
                QVERIFY(d.isVisible());
                QCOMPARE(d.focusWidget(), z);
                QCOMPARE(z->selectedText(), QString::fromLatin1(bad));
            }
            QCOMPARE(m_prompts.messages.size(), 6);
            QCOMPARE(m_prompts.messages.count(kEnterNumber), 6);
            QVERIFY(!doc.IsModified());
            QCOMPARE(views.count(), 0);

            z->setText("-1.5e1");
            QTest::mouseClick(ok, Qt::LeftButton);
            QVERIFY(!d.isVisible());
        };
        doc.OnEditSelectedVertex(nullptr);
        QCOMPARE(attempts, 4);
        QCOMPARE(TheVertexStore().At(0).x, 7.0f);
        QCOMPARE(TheVertexStore().At(0).y, 4.0f);
        QCOMPARE(TheVertexStore().At(0).z, -15.0f);
        QVERIFY(doc.IsModified());
        QCOMPARE(views.count(), 1);
    }

    // 道路の形: reads like the coordinate dialog, refuses a negative width, sets only what the
    // user changed (the rest keeps following the road width), one undo step, undone byte-exact.
    void pointShapeCommandSetsWhatChangedAndUndoes() {
        CRolvetDoc doc;
        for (const CVector3D& v : {CVector3D(0, 0, 0), CVector3D(9, 0, 0), CVector3D(9, 0, 9)}) {
            doc.AppendVertex(v);
        }
        doc.SetSelectedIndex(1);
        const QString path = m_dir.filePath("shape.rolvet");
        QVERIFY(!doc.OnSaveDocument(path));
        const std::vector<std::byte> plain = Bytes(path);
        QStringList shown;
        auto show = [&](QDialog& d) {
            shown.clear();
            for (const char* name : {"editWidthLeft", "editWidthRight", "editBank"}) {
                shown << Child<QLineEdit>(d, name)->text();
            }
        };
        m_prompts.drive = [&](QDialog& d) {
            QCOMPARE(d.windowTitle(), QString::fromUtf8("道路の形"));
            show(d);
            auto* right = Child<QLineEdit>(d, "editWidthRight");
            for (const char* bad : {"abc", "-0.5"}) {
                right->setText(QString::fromLatin1(bad));
                QTest::mouseClick(Child<QPushButton>(d, "button1"), Qt::LeftButton);
                QVERIFY(d.isVisible());
                QCOMPARE(d.focusWidget(), right);
                QCOMPARE(right->selectedText(), QString::fromLatin1(bad));
            }
            right->setText("70x");
            QTest::mouseClick(Child<QPushButton>(d, "button1"), Qt::LeftButton);
        };
        const int steps = doc.HistoryCount();
        doc.OnEditPointShape(nullptr);
        QCOMPARE(shown, QStringList({"50", "50", "0"}));
        QCOMPARE(
            m_prompts.messages,
            QStringList({kEnterNumber, QString::fromUtf8("0 以上の数字を入力してください。")}));
        const rolvet::PointShape set = TheVertexStore().ShapeAt(1);
        QVERIFY(!set.widthLeft && !set.bank);
        QCOMPARE(set.widthRight, std::optional<float>(70.0f));
        QCOMPARE(doc.HistoryCount(), steps + 1);
        QVERIFY(doc.IsModified());
        QVERIFY(!doc.OnSaveDocument(path));
        const std::vector<std::byte> shaped = Bytes(path);
        // The width field is the rounded mean of left + right: (100 + 120 + 100) / 3 → 107.
        QCOMPARE(shaped.size(), plain.size() + 60);
        QCOMPARE(std::to_integer<int>(shaped[4]), 107);

        // The width that was not set follows the road width; OK without a change adds no step.
        doc.SetSettings(200, 4);
        m_prompts.drive = [&](QDialog& d) {
            show(d);
            d.accept();
        };
        doc.OnEditPointShape(nullptr);
        QCOMPARE(shown, QStringList({"100", "70", "0"}));
        QCOMPARE(doc.HistoryCount(), steps + 2);

        // Removing the point and undoing brings its shape back; undoing the edits gives back
        // the file as it was, redoing the shape the shaped file.
        doc.EraseVertex(1);
        doc.OnEditUndo();
        QCOMPARE(TheVertexStore().ShapeAt(1).widthRight, std::optional<float>(70.0f));
        doc.OnEditUndo(); // settings
        doc.OnEditUndo(); // shape
        QVERIFY(!doc.OnSaveDocument(path));
        QVERIFY(Bytes(path) == plain);
        doc.OnEditRedo();
        QVERIFY(!doc.OnSaveDocument(path));
        QVERIFY(Bytes(path) == shaped);
    }

    void coordinateCommandIsEnabledOnlyForAVertexInTheStore() {
        CRolvetDoc doc;
        for (int i = 0; i < 3; ++i) {
            TheVertexStore().Append({float(i), 0, 0});
        }
        QVERIFY(!doc.CanEditSelectedVertex());
        doc.SetSelectedIndex(2);
        QVERIFY(doc.CanEditSelectedVertex());
        doc.SetSelectedIndex(3);
        QVERIFY(!doc.CanEditSelectedVertex());
        doc.SetSelectedIndex(std::numeric_limits<int>::min());
        QVERIFY(!doc.CanEditSelectedVertex());
        doc.SetSelectedIndex(0);
        QVERIFY(doc.CanEditSelectedVertex());

        // New empties the store but keeps the selection: disabled, and the command refuses too.
        doc.SetSelectedIndex(2);
        QVERIFY(doc.OnNewDocument());
        QCOMPARE(doc.SelectedIndex(), 2);
        QVERIFY(!doc.CanEditSelectedVertex());
        m_prompts.drive = [](QDialog& d) { d.accept(); };
        doc.OnEditSelectedVertex(nullptr);
        QCOMPARE(m_prompts.dialogsRun.size(), 0);
        QVERIFY(!doc.IsModified());
        QCOMPARE(TheVertexStore().Count(), 0);
    }

    void dialogsHaveTheirTabOrderDefaultButtonAndFirstFocus() {
        struct Case {
            QDialog* dialog;
            QStringList chain;
            QString firstFocus;
        };
        CSetUpDialog setUp(100, 4);
        CVertexDialog vertices(QString::fromLatin1("(1.000000,0.000000,2.000000)\r\n"));
        CXYZDialog xyz(1, 2, 3);
        CShapeDialog shape(50, 50, 0);
        const Case cases[] = {
            {&setUp,
             {"edit1002", "slider1000", "edit1003", "slider1001", "button1", "button2"},
             "edit1002"},
            {&vertices, {"button1", "button2", "edit1003"}, "button1"},
            {&xyz, {"button1", "button2", "edit1005", "edit1006", "edit1007"}, "button1"},
            {&shape,
             {"button1", "button2", "editWidthLeft", "editWidthRight", "editBank"},
             "button1"},
        };
        for (const Case& c : cases) {
            QDialog& d = *c.dialog;
            d.show();
            QCOMPARE(TabChain(d), c.chain);
            QVERIFY(d.focusWidget());
            QCOMPARE(d.focusWidget()->objectName(), c.firstFocus);
            QVERIFY(Child<QPushButton>(d, "button1")->isDefault());
            QCOMPARE(Child<QPushButton>(d, "button1")->text(), QString("OK"));
            QCOMPARE(Child<QPushButton>(d, "button2")->text(), QString::fromUtf8("キャンセル"));

            // Every control lies inside the dialog and none overlaps another.
            const QList<QWidget*> controls = d.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            QVERIFY(controls.size() >= 3);
            for (int i = 0; i < controls.size(); ++i) {
                QVERIFY2(d.rect().contains(controls[i]->geometry()),
                         qPrintable(controls[i]->objectName()));
                for (int j = i + 1; j < controls.size(); ++j) {
                    QVERIFY2(
                        !controls[i]->geometry().intersects(controls[j]->geometry()),
                        qPrintable(controls[i]->objectName() + " / " + controls[j]->objectName()));
                }
            }
            // The labels' Japanese text fits in the room the layout gives it.
            for (QLabel* label : d.findChildren<QLabel*>()) {
                QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                         qPrintable(label->objectName()));
            }
            d.hide();
        }
        QCOMPARE(Child<QSlider>(setUp, "slider1000")->tickPosition(), QSlider::TicksBothSides);
        QVERIFY(Child<QLineEdit>(setUp, "edit1002")->isReadOnly());
        QVERIFY(Child<QLineEdit>(setUp, "edit1003")->isReadOnly());
    }
};

ROLVET_TEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
