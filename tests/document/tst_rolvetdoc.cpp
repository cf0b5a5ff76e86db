// The document's state, New, Open and Save, and what survives their failures.
#include "IsolatedHome.h"
#include "TestUtil.h"
#include "common/Strings.h"
#include "document/RolvetDoc.h"
#include "track/VertexStore.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace rolvet;
using testutil::ReadAll;
using testutil::WriteAll;

class TestRolvetDoc : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString SaveSample(const QString& name, int div, int width, std::vector<CVector3D> v) {
        const QString path = m_dir.filePath(name);
        SaveTrackFile(path.toStdString(), div, width, v);
        return path;
    }

private slots:
    void init() { TheVertexStore().Clear(); }

    void startsWithDefaults() {
        CRolvetDoc doc;
        QCOMPARE(doc.DivisionCount(), 4);
        QCOMPARE(doc.RoadWidth(), 100);
        QCOMPARE(doc.SelectedIndex(), -1);
        QVERIFY(!doc.IsModified());
        QCOMPARE(doc.Title(), QString::fromUtf8("無題"));
        QVERIFY(doc.PathName().isEmpty());
    }

    void newKeepsTheSelectionButEmptiesTheTrack() {
        CRolvetDoc doc;
        for (int i = 0; i < 5; ++i) {
            TheVertexStore().Append({float(i), 0, 0});
        }
        doc.SetSelectedIndex(2);
        doc.SetDivisionCount(9);
        doc.SetRoadWidth(-1);
        doc.SetModifiedFlag(true);
        QVERIFY(doc.OnNewDocument());
        QCOMPARE(doc.SelectedIndex(), 2);
        QCOMPARE(TheVertexStore().Count(), 0);
        QCOMPARE(doc.DivisionCount(), 4);
        QCOMPARE(doc.RoadWidth(), 100);
        QVERIFY(!doc.IsModified());

        // An opened track with at least three vertices shows vertex 2 as selected again.
        const QString path = SaveSample("three.rolvet", 1, 2, {{1, 0, 1}, {2, 0, 2}, {3, 0, 3}});
        QVERIFY(!doc.OnOpenDocument(path));
        QCOMPARE(doc.SelectedIndex(), 2);
    }

    void openTakesTheFileAndItsName() {
        CRolvetDoc doc;
        QSignalSpy views(&doc, &CRolvetDoc::viewsNeedUpdate);
        const QString path = SaveSample("road.rolvet", 0, -20, {{1, 7.5f, 2}});
        doc.SetModifiedFlag(true);
        QVERIFY(!doc.OnOpenDocument(path));
        QCOMPARE(doc.DivisionCount(), 0);
        QCOMPARE(doc.RoadWidth(), -20);
        QCOMPARE(TheVertexStore().Count(), 1);
        QCOMPARE(TheVertexStore().At(0).y, 7.5f);
        QCOMPARE(doc.PathName(), path);
        QCOMPARE(doc.Title(), QString("road.rolvet"));
        QVERIFY(!doc.IsModified());
        QCOMPARE(views.count(), 1);
    }

    void zeroLengthFileIsAFreshTrackUnderItsName() {
        CRolvetDoc doc;
        TheVertexStore().Append({5, 5, 5});
        doc.SetDivisionCount(12);
        doc.SetModifiedFlag(true);
        const QString path = m_dir.filePath("empty.rolvet");
        QVERIFY(WriteAll(path, {}));
        QVERIFY(!doc.OnOpenDocument(path));
        QCOMPARE(TheVertexStore().Count(), 0);
        QCOMPARE(doc.DivisionCount(), 4);
        QCOMPARE(doc.RoadWidth(), 100);
        QCOMPARE(doc.Title(), QString("empty.rolvet"));
        QVERIFY(!doc.IsModified());
    }

    void unreadableFileLeavesAFreshUntitledTrack() {
        for (const QByteArray& bytes :
             {QByteArray(8, '\0'),
              QByteArray::fromHex("040000006400000003000000") + QByteArray(24, '\0')}) {
            CRolvetDoc doc;
            const QString good = SaveSample("good.rolvet", 8, 80, {{1, 1, 1}});
            QVERIFY(!doc.OnOpenDocument(good));
            doc.SetModifiedFlag(true);
            const QString bad = m_dir.filePath("bad.rolvet");
            QVERIFY(WriteAll(bad, bytes));
            const TrackError err = doc.OnOpenDocument(bad);
            QCOMPARE(TrackErrorMessage(err), std::string(str::kBadFormat));
            QCOMPARE(doc.Title(), QString::fromUtf8("無題"));
            QVERIFY(doc.PathName().isEmpty());
            QCOMPARE(doc.DivisionCount(), 4);
            QCOMPARE(doc.RoadWidth(), 100);
            QCOMPARE(TheVertexStore().Count(), 0);
            QVERIFY(!doc.IsModified());
        }
    }

    void fileThatCannotBeOpenedChangesNothing() {
        CRolvetDoc doc;
        TheVertexStore().Append({3, 0, 3});
        doc.SetDivisionCount(6);
        doc.SetTitle("mine.rolvet");
        doc.SetModifiedFlag(true);
        const QString missing = m_dir.filePath("gone.rolvet");
        const TrackError err = doc.OnOpenDocument(missing);
        QCOMPARE(QString::fromStdString(TrackErrorMessage(err)),
                 missing + " が見つかりませんでした。");
        QCOMPARE(TheVertexStore().Count(), 1);
        QCOMPARE(doc.DivisionCount(), 6);
        QCOMPARE(doc.Title(), QString("mine.rolvet"));
        QVERIFY(doc.IsModified());
    }

    void saveWritesTheTrackAndClearsModified() {
        CRolvetDoc doc;
        TheVertexStore().Append({0, 5, 0});
        doc.SetModifiedFlag(true);
        const QString path = m_dir.filePath("saved.rolvet");
        QVERIFY(!doc.OnSaveDocument(path));
        QVERIFY(!doc.IsModified());
        QCOMPARE(doc.Title(), QString("saved.rolvet"));
        QCOMPARE(ReadAll(path),
                 QByteArray::fromHex("040000006400000001000000000000000000a04000000000"));

        // A failed save keeps the document as it was.
        doc.SetModifiedFlag(true);
        const QString folder = m_dir.filePath("dir.rolvet");
        QVERIFY(QDir().mkdir(folder));
        const TrackError err = doc.OnSaveDocument(folder);
        QCOMPARE(QString::fromStdString(TrackErrorMessage(err)),
                 folder + " へのアクセスは拒否されました。");
        QVERIFY(doc.IsModified());
        QCOMPARE(doc.PathName(), path);
    }
};

ROLVET_TEST_GUILESS_MAIN(TestRolvetDoc)
#include "tst_rolvetdoc.moc"
