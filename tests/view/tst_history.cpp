// Undo and redo of every edit of the track, made through the view's mouse handlers and the
// document's dialog commands, and what the document tells its views about each change.
#include "IsolatedHome.h"
#include "ScriptedPrompts.h"
#include "TestUtil.h"
#include "app/Recovery.h"
#include "document/RolvetDoc.h"
#include "export/RoadModel.h"
#include "track/VertexStore.h"
#include "view/PlanTransform.h"
#include "view/PreviewView.h"
#include "view/RolvetView.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <random>

using namespace rolvet::plan;
using testutil::ReadAll;

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;

QByteArray TrackBytes(const CRolvetDoc& doc) {
    return testutil::ToQByteArray(
        rolvet::SerializeTrack(doc.DivisionCount(), doc.RoadWidth(), TheVertexStore().All()));
}

QPoint PixelOf(int index) {
    const CVector3D& v = TheVertexStore().At(index);
    const Pixel p = WorldToPixel(v.x, v.z, 4.0f, CentreOf(kWidth, kHeight));
    return {p.x, p.y};
}

template <class T> T* Child(QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}

QString Text(const rolvet::TrackChange& c) {
    const char* kinds[] = {"whole", "settings", "inserted", "removed", "moved"};
    return QStringLiteral("%1 %2+%3").arg(kinds[int(c.kind)]).arg(c.first).arg(c.count);
}

// The preview's road, updated edit by edit from the change records, against one built afresh
// from the track as it is: samples, mesh positions and readouts bit for bit.
bool PreviewIsCurrent(const CPreviewView& preview, const CRolvetDoc& doc) {
    rolvet::CRoadModel fresh;
    fresh.Update(TheVertexStore().All(), doc.DivisionCount(),
                 rolvet::HalfRoadWidth(doc.RoadWidth()), rolvet::TrackChange::Whole());
    const rolvet::CRoadModel& live = preview.Model();
    auto same = [](const auto& x, const auto& y) {
        return x.size() == y.size() &&
               (x.size() == 0 || std::memcmp(x.data(), y.data(), x.size() * sizeof(x[0])) == 0);
    };
    const rolvet::TrackReadouts a = live.Readouts(), b = fresh.Readouts();
    return live.SampleCount() == fresh.SampleCount() && same(live.Centres(), fresh.Centres()) &&
           same(live.Sections(), fresh.Sections()) && same(live.Folded(), fresh.Folded()) &&
           a.length == b.length && a.folds == b.folds && a.minRadius == b.minRadius &&
           a.maxGrade == b.maxGrade;
}

// Counts the paints of a widget.
class CPaintCounter : public QObject {
public:
    explicit CPaintCounter(QWidget& w) { w.installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

} // namespace

class TestHistory : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    CScriptedPrompts m_prompts;
    CRolvetDoc* m_doc = nullptr;
    CRolvetView* m_view = nullptr;

    void Click(Qt::MouseButton button, QPoint p) {
        QTest::mousePress(m_view, button, {}, p);
        QTest::mouseRelease(m_view, button, {}, p);
    }

    // A pixel with no vertex within reach, so a left click there appends.
    QPoint FreePixel(std::mt19937& rng) {
        std::uniform_int_distribution<int> x(8, kWidth - 8), y(8, kHeight - 8);
        for (;;) {
            const QPoint p(x(rng), y(rng));
            const WorldXZ w = PixelToWorld(p.x(), p.y(), 4.0f, CentreOf(kWidth, kHeight));
            if (FindVertexNear(TheVertexStore().All(), w.x, w.z, 4.0f) < 0) {
                return p;
            }
        }
    }

    // One edit of a random kind. Returns false when that kind has nothing to work on.
    bool RandomEdit(std::mt19937& rng) {
        const int n = TheVertexStore().Count();
        auto pick = [&rng](int lo, int hi) {
            return std::uniform_int_distribution<int>(lo, hi)(rng);
        };
        const int kind = pick(0, 5);
        if (n == 0 && kind >= 1 && kind <= 4) {
            return false;
        }
        switch (kind) {
        case 0:
            Click(Qt::LeftButton, FreePixel(rng));
            break;
        case 1: { // a drag of several moves that ends well away from where it began
            const QPoint from = PixelOf(pick(0, n - 1));
            QTest::mousePress(m_view, Qt::LeftButton, {}, from);
            QPoint to = from;
            for (int moves = pick(1, 4); moves > 0; --moves) {
                to = QPoint(pick(0, kWidth - 1), pick(0, kHeight - 1));
                QTest::mouseMove(m_view, to);
            }
            if ((to - from).manhattanLength() < 20) {
                to = from.x() < kWidth / 2 ? from + QPoint(40, 0) : from - QPoint(40, 0);
                QTest::mouseMove(m_view, to);
            }
            QTest::mouseRelease(m_view, Qt::LeftButton, {}, to);
            break;
        }
        case 2:
            Click(Qt::RightButton, PixelOf(pick(0, n - 1)));
            break;
        case 3:
            Click(Qt::RightButton, FreePixel(rng));
            break;
        case 4: { // select a vertex, then type new coordinates, or only a new height
            Click(Qt::LeftButton, PixelOf(pick(0, n - 1)));
            const bool heightOnly = pick(0, 2) == 0;
            const QString x = QString::number(pick(-7600, 7600) / 10.0);
            const QString y =
                QString::number(pick(-400, 400) / 8.0 + 0.0625); // never 0 nor a height of the file
            const QString z = QString::number(pick(-5600, 5600) / 10.0);
            m_prompts.drive = [&](QDialog& d) {
                if (!heightOnly) {
                    Child<QLineEdit>(d, "edit1005")->setText(x);
                    Child<QLineEdit>(d, "edit1007")->setText(z);
                }
                Child<QLineEdit>(d, "edit1006")->setText(y);
                QTest::mouseClick(Child<QPushButton>(d, "button1"), Qt::LeftButton);
            };
            m_doc->OnEditSelectedVertex(m_view);
            break;
        }
        default: { // settings through the sliders, to values other than the current ones
            int division = 0, width = 0;
            do {
                division = pick(1, 16);
                width = pick(10, 2000);
            } while (division == m_doc->DivisionCount() && width == m_doc->RoadWidth());
            m_prompts.drive = [&](QDialog& d) {
                Child<QSlider>(d, "slider1000")->setValue(division);
                Child<QSlider>(d, "slider1001")->setValue(width);
                QTest::mouseClick(Child<QPushButton>(d, "button1"), Qt::LeftButton);
            };
            m_doc->OnSetUp(m_view);
            break;
        }
        }
        return true;
    }

private slots:
    void init() {
        TheVertexStore().Clear();
        m_prompts.Reset();
        m_doc = new CRolvetDoc;
        m_view = new CRolvetView;
        m_view->SetDocument(m_doc);
        m_view->resize(kWidth, kHeight);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view, testutil::kDeadlineMs));
    }

    void cleanup() {
        delete m_view;
        delete m_doc;
    }

    void randomEditsUndoAndRedoByteForByte() {
        // A track with heights and settings of its own, opened from a file.
        const QString start = m_dir.filePath("start.rolvet");
        const CVector3D points[] = {
            {-400, 2.5f, -200}, {0, -1, 100}, {360, 0, -120}, {100, 8, 240}};
        QVERIFY(!rolvet::SaveTrackFile(start.toStdString(), 7, 300, points));
        QVERIFY(!m_doc->OnOpenDocument(start));

        std::mt19937 rng(20261208);
        constexpr int kEdits = 300;
        for (int made = 0; made < kEdits;) {
            if (RandomEdit(rng)) {
                ++made;
                QCOMPARE(m_doc->HistoryCount(), made); // every edit, a drag included, is one step
                QVERIFY(m_doc->IsModified());
            }
        }
        const QByteArray final = TrackBytes(*m_doc);

        for (int i = 0; i < kEdits; ++i) {
            QVERIFY(m_doc->CanUndo());
            m_doc->OnEditUndo();
            const int selected = m_doc->SelectedIndex();
            QVERIFY(selected >= -1 && selected < TheVertexStore().Count());
        }
        QVERIFY(!m_doc->CanUndo());
        QVERIFY(!m_doc->IsModified()); // back to the track as it was opened
        const QString undone = m_dir.filePath("undone.rolvet");
        QVERIFY(!m_doc->OnSaveDocument(undone));
        QCOMPARE(ReadAll(undone), ReadAll(start));

        for (int i = 0; i < kEdits; ++i) {
            QVERIFY(m_doc->CanRedo());
            m_doc->OnEditRedo();
        }
        QVERIFY(!m_doc->CanRedo());
        QVERIFY(m_doc->IsModified());
        const QString redone = m_dir.filePath("redone.rolvet");
        QVERIFY(!m_doc->OnSaveDocument(redone));
        QCOMPARE(ReadAll(redone), final);

        // Undoing away from the saved state marks the track modified; coming back clears it.
        m_doc->OnEditUndo();
        QVERIFY(m_doc->IsModified());
        m_doc->OnEditRedo();
        QVERIFY(!m_doc->IsModified());
    }

    void undoSelectsWhatTheStepTouched() {
        Click(Qt::LeftButton, {220, 150}); // world (80, 0)
        Click(Qt::LeftButton, {180, 150}); // world (-80, 0)
        QTest::mousePress(m_view, Qt::LeftButton, {}, {220, 150});
        QTest::mouseMove(m_view, {230, 160});
        QTest::mouseMove(m_view, {240, 170});
        QTest::mouseRelease(m_view, Qt::LeftButton, {}, {240, 170});
        QCOMPARE(m_doc->HistoryCount(), 3);
        m_doc->SetSelectedIndex(1);
        m_doc->OnEditUndo(); // the whole drag at once
        QCOMPARE(TheVertexStore().At(0).x, 80.0f);
        QCOMPARE(TheVertexStore().At(0).z, 0.0f);
        QCOMPARE(m_doc->SelectedIndex(), 0);
        m_doc->OnEditUndo();
        QCOMPARE(TheVertexStore().Count(), 1);
        QCOMPARE(m_doc->SelectedIndex(), -1);
        m_doc->OnEditRedo();
        QCOMPARE(m_doc->SelectedIndex(), 1);

        // Deleting vertex 0 by a right click and undoing it puts it back in its place, selected.
        Click(Qt::RightButton, {220, 150});
        QCOMPARE(TheVertexStore().Count(), 1);
        m_doc->OnEditUndo();
        QCOMPARE(TheVertexStore().Count(), 2);
        QCOMPARE(TheVertexStore().At(0).x, 80.0f);
        QCOMPARE(m_doc->SelectedIndex(), 0);

        // Settings touch no vertex: the selection stays.
        m_doc->SetSettings(50, 9);
        m_doc->OnEditUndo();
        QCOMPARE(m_doc->RoadWidth(), 100);
        QCOMPARE(m_doc->DivisionCount(), 4);
        QCOMPARE(m_doc->SelectedIndex(), 0);
    }

    void unchangedValuesMarkModifiedWithoutAStep() {
        Click(Qt::LeftButton, {220, 150});
        const QString path = m_dir.filePath("one.rolvet");
        QVERIFY(!m_doc->OnSaveDocument(path));
        m_prompts.drive = [](QDialog& d) {
            QTest::mouseClick(Child<QPushButton>(d, "button1"), Qt::LeftButton);
        };
        m_doc->OnSetUp(m_view);
        QVERIFY(m_doc->IsModified());
        m_doc->OnEditSelectedVertex(m_view);
        QTest::mousePress(m_view, Qt::LeftButton, {}, {220, 150});
        QTest::mouseMove(m_view, {221, 150});
        QTest::mouseMove(m_view, {220, 150});
        QTest::mouseRelease(m_view, Qt::LeftButton, {}, {220, 150});
        QCOMPARE(m_doc->HistoryCount(), 1);
        QVERIFY(m_doc->IsModified());
        QVERIFY(m_doc->CanUndo());
        // Undoing an edit made after them comes back to the saved track: not modified.
        Click(Qt::LeftButton, {180, 150});
        m_doc->OnEditUndo();
        QVERIFY(!m_doc->IsModified());
    }

    void aHeldDragIsRecordedBeforeUndoAndSave() {
        Click(Qt::LeftButton, {220, 150});
        QTest::mousePress(m_view, Qt::LeftButton, {}, {220, 150});
        QTest::mouseMove(m_view, {240, 150});
        m_doc->OnEditUndo(); // undoes the drag so far and ends it
        QCOMPARE(TheVertexStore().At(0).x, 80.0f);
        QCOMPARE(m_view->DragIndex(), -1);
        QTest::mouseMove(m_view, {260, 150});
        QCOMPARE(TheVertexStore().At(0).x, 80.0f);
        QTest::mouseRelease(m_view, Qt::LeftButton, {}, {260, 150});
        m_doc->OnEditRedo();
        QCOMPARE(TheVertexStore().At(0).x, 160.0f);

        // A save in the middle of a drag is a state the history can come back to.
        QTest::mousePress(m_view, Qt::LeftButton, {}, {240, 150});
        QTest::mouseMove(m_view, {250, 150});
        const QString path = m_dir.filePath("mid.rolvet");
        QVERIFY(!m_doc->OnSaveDocument(path));
        QTest::mouseMove(m_view, {270, 150});
        QTest::mouseRelease(m_view, Qt::LeftButton, {}, {270, 150});
        QVERIFY(m_doc->IsModified());
        m_doc->OnEditUndo();
        QVERIFY(!m_doc->IsModified());
        QCOMPARE(TrackBytes(*m_doc), ReadAll(path));

        // New coordinates typed for the held vertex split the drag around them, so undoing
        // everything gives back the saved track exactly.
        QTest::mousePress(m_view, Qt::LeftButton, {}, {250, 150});
        QTest::mouseMove(m_view, {260, 160});
        m_prompts.drive = [](QDialog& d) {
            Child<QLineEdit>(d, "edit1006")->setText(QStringLiteral("5"));
            QTest::mouseClick(Child<QPushButton>(d, "button1"), Qt::LeftButton);
        };
        m_doc->OnEditSelectedVertex(m_view);
        QTest::mouseMove(m_view, {230, 170});
        QTest::mouseRelease(m_view, Qt::LeftButton, {}, {230, 170});
        QCOMPARE(TheVertexStore().At(0).y, 5.0f);
        for (int i = 0; i < 3; ++i) {
            m_doc->OnEditUndo();
        }
        QVERIFY(!m_doc->IsModified());
        QCOMPARE(TrackBytes(*m_doc), ReadAll(path));
    }

    void aHeldDragReachesExportAndRecovery() {
        const QString start = m_dir.filePath("held.rolvet");
        const CVector3D points[] = {{80, 2.5f, 0}, {0, 0, 200}, {-300, 0, 0}, {0, 0, -200}};
        QVERIFY(!rolvet::SaveTrackFile(start.toStdString(), 2, 40, points));
        QVERIFY(!m_doc->OnOpenDocument(start));
        auto exportTo = [&](const char* name) {
            m_prompts.fileAnswer = m_dir.filePath(name);
            m_doc->OnFileExport(m_view);
            return ReadAll(m_prompts.fileAnswer);
        };
        const QByteArray before = exportTo("before.mqo");

        // Vertex 0 held at pixel (240, 150): world x (240 - 200) * 4, z 0, its height kept.
        QTest::mousePress(m_view, Qt::LeftButton, {}, {220, 150});
        QTest::mouseMove(m_view, {240, 150});
        const QByteArray held = exportTo("held.mqo");
        CRecovery recovery(*m_doc);
        recovery.WriteNow();
        const std::optional<CRecovery::Copy> copy = CRecovery::ReadCopy(recovery.CopyPath());
        QVERIFY(copy.has_value());
        QCOMPARE(copy->track.vertices.size(), std::size_t{4});
        const CVector3D dragged(160, 2.5f, 0);
        QCOMPARE(std::memcmp(&copy->track.vertices[0], &dragged, sizeof dragged), 0);
        QCOMPARE(std::memcmp(&copy->track.vertices[1], &points[1], 3 * sizeof points[0]), 0);

        // Neither interrupted the drag: it goes on and is one step, and the model written while
        // it was held is the model of the track where the drag left it.
        QTest::mouseMove(m_view, {250, 150});
        QTest::mouseMove(m_view, {240, 150});
        QTest::mouseRelease(m_view, Qt::LeftButton, {}, {240, 150});
        QCOMPARE(m_doc->HistoryCount(), 1);
        QVERIFY(!held.isEmpty());
        QVERIFY(held != before);
        QCOMPARE(held, exportTo("after.mqo"));
    }

    void changeRecordsReachEveryView() {
        CPreviewView preview; // never shown: its road model follows the document all the same
        preview.SetDocument(m_doc);
        CPaintCounter plan(*m_view);
        QStringList records;
        connect(m_doc, &CRolvetDoc::trackChanged, this,
                [&](const rolvet::TrackChange& c) { records.append(Text(c)); });
        auto expect = [&](QStringList wanted) {
            const QStringList got = records;
            records.clear();
            return got == wanted && PreviewIsCurrent(preview, *m_doc);
        };

        const QString start = m_dir.filePath("six.rolvet");
        const CVector3D points[] = {{-400, 0, -400}, {0, 1, -480},  {400, 0, -400},
                                    {480, 2, 0},     {400, 0, 400}, {-400, 0, 400}};
        QVERIFY(!rolvet::SaveTrackFile(start.toStdString(), 3, 60, points));
        QVERIFY(!m_doc->OnOpenDocument(start));
        QVERIFY(expect({"whole 0+0"}));
        Click(Qt::LeftButton, {200, 150}); // empty ground: a seventh point, last
        QVERIFY(expect({"inserted 6+1"}));
        // Drags of the first and the last point: the road wraps round from one to the other.
        for (const int k : {0, 6}) {
            const QPoint from = PixelOf(k);
            QTest::mousePress(m_view, Qt::LeftButton, {}, from);
            QTest::mouseMove(m_view, from + QPoint(7, 3));
            QTest::mouseMove(m_view, from + QPoint(12, -5));
            QTest::mouseRelease(m_view, Qt::LeftButton, {}, from + QPoint(12, -5));
            const QString moved = QStringLiteral("moved %1+1").arg(k);
            QVERIFY(expect({moved, moved}));
        }
        Click(Qt::RightButton, PixelOf(0));
        QVERIFY(expect({"removed 0+1"}));
        Click(Qt::RightButton, {10, 10}); // empty ground: the last point goes
        QVERIFY(expect({"removed 5+1"}));
        m_doc->SetSettings(120, 5);
        QVERIFY(expect({"settings 0+0"}));

        const QStringList undone = {"settings 0+0", "inserted 5+1", "inserted 0+1",
                                    "moved 6+1",    "moved 0+1",    "removed 6+1"};
        for (const QString& record : undone) {
            m_doc->OnEditUndo();
            QVERIFY2(expect({record}), qPrintable(record));
        }
        const QStringList redone = {"inserted 6+1", "moved 0+1",   "moved 6+1",
                                    "removed 0+1",  "removed 5+1", "settings 0+0"};
        for (const QString& record : redone) {
            const int paints = plan.paints;
            m_doc->OnEditRedo();
            QVERIFY2(expect({record}), qPrintable(record));
            QTRY_VERIFY_WITH_TIMEOUT(plan.paints > paints, testutil::kDeadlineMs);
        }
        const int paints = plan.paints;
        QVERIFY(m_doc->OnNewDocument());
        QVERIFY(expect({"whole 0+0"}));
        QCOMPARE(preview.Model().SampleCount(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(plan.paints > paints, testutil::kDeadlineMs);
    }

    void newAndOpenEmptyTheHistory() {
        Click(Qt::LeftButton, {220, 150});
        Click(Qt::LeftButton, {180, 150});
        m_doc->OnEditUndo();
        QVERIFY(m_doc->CanUndo() && m_doc->CanRedo());
        const QString path = m_dir.filePath("two.rolvet");
        QVERIFY(!m_doc->OnSaveDocument(path));
        QVERIFY(m_doc->OnOpenDocument(m_dir.filePath("missing.rolvet")));
        QVERIFY(m_doc->CanUndo()); // a file that cannot be opened changes nothing
        QVERIFY(m_doc->OnNewDocument());
        QVERIFY(!m_doc->CanUndo() && !m_doc->CanRedo());
        Click(Qt::LeftButton, {220, 150});
        QVERIFY(!m_doc->OnOpenDocument(path));
        QVERIFY(!m_doc->CanUndo() && !m_doc->CanRedo());
        QVERIFY(!m_doc->IsModified());
    }
};

ROLVET_TEST_MAIN(TestHistory)
#include "tst_history.moc"
