// The picture under the plan: its placement, its chunk in the track file, the document's undo
// step, the paths it is saved with, a missing picture file, and the 下絵 dialog.
#include "IsolatedHome.h"
#include "ScriptedPrompts.h"
#include "TestUtil.h"
#include "common/Strings.h"
#include "document/BackgroundDialog.h"
#include "document/RolvetDoc.h"
#include "document/Tr.h"
#include "track/BackgroundImage.h"
#include "track/TrackFile.h"
#include "track/VertexStore.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cstring>

using namespace rolvet;
using testutil::AsBytes;
using testutil::ReadAll;
using testutil::ToQByteArray;

namespace {

BackgroundImage Sample(const std::string& path) {
    BackgroundImage b;
    b.path = path;
    b.u1 = 0, b.v1 = 0, b.u2 = 100, b.v2 = 0;
    b.x1 = 10, b.z1 = 20, b.x2 = 10, b.z2 = 220;
    b.opacity = 40;
    return b;
}

QByteArray LE32(quint32 v) {
    QByteArray a(4, '\0');
    qToLittleEndian(v, a.data());
    return a;
}

QByteArray LE64(double d) {
    quint64 bits;
    std::memcpy(&bits, &d, 8);
    QByteArray a(8, '\0');
    qToLittleEndian(bits, a.data());
    return a;
}

QByteArray Chunk(const char* tag, const QByteArray& data) {
    return QByteArray(tag, 4) + LE32(quint32(data.size())) + data;
}

// A picture with a red left half and a green right half.
QImage HalfAndHalf(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (int y = 0; y < h; ++y) {
        for (int x = w / 2; x < w; ++x) {
            image.setPixel(x, y, qRgb(0, 255, 0));
        }
    }
    return image;
}

} // namespace

class TestBackground : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void init() { TheVertexStore().Clear(); }

    void twoPointsPlaceScaleAndTurnThePicture() {
        // Image (0,0) -> world (10,20), image (100,0) -> world (10,220): twice the size, turned
        // a quarter so the image's right runs down the plan (+z).
        const auto p = PlaceImage(Sample("x.png"));
        QVERIFY(p);
        QCOMPARE(p->X(100, 0), 10.0);
        QCOMPARE(p->Z(100, 0), 220.0);
        // The image's down (+v) then points to the plan's left (-x): turned, not mirrored.
        QCOMPARE(p->X(0, 50), -90.0);
        QCOMPARE(p->Z(0, 50), 20.0);
        // By distance: the second point follows the image's own direction, 3-4-5.
        BackgroundImage d = Sample("x.png");
        d.u2 = 30, d.v2 = 40;
        const auto second = PointAtDistance(d, 10.0);
        QVERIFY(second);
        QCOMPARE(second->first, 16.0);
        QCOMPARE(second->second, 28.0);
        // Coinciding image points give no placement.
        d.u2 = d.u1, d.v2 = d.v1;
        QVERIFY(!PlaceImage(d));
        QVERIFY(!PointAtDistance(d, 10.0));
    }

    void chunkLayoutAndItsNeighbours() {
        const BackgroundImage b = Sample("img/map.png");
        QByteArray data;
        for (double v : {0.0, 0.0, 100.0, 0.0, 10.0, 20.0, 10.0, 220.0}) {
            data += LE64(v);
        }
        data += LE32(40) + LE32(11) + QByteArray("img/map.png");
        const QByteArray expected = Chunk("BGIM", data);
        QCOMPARE(ToQByteArray(WithBackgroundChunk({}, &b)), expected);

        // Replaced where it was, between other chunks kept byte for byte; removed on request.
        const QByteArray before = Chunk("AAAA", "12");
        const QByteArray after = Chunk("ZZZZ", "");
        const QByteArray old = Chunk("BGIM", QByteArray(5, 'x'));
        const QByteArray three = before + old + after;
        QCOMPARE(ToQByteArray(WithBackgroundChunk(AsBytes(three), &b)), before + expected + after);
        QCOMPARE(ToQByteArray(WithBackgroundChunk(AsBytes(three), nullptr)), before + after);

        // Read back through a whole track file.
        const auto file = SerializeTrack(4, 100, std::vector<CVector3D>{{1, 2, 3}}, {},
                                         WithBackgroundChunk(AsBytes(before), &b));
        TrackData track;
        QVERIFY(!ParseTrack(file, track));
        BackgroundImage read;
        QCOMPARE(FindBackgroundChunk(track.otherChunks, read), BackgroundChunkState::Read);
        QVERIFY(read == b);

        // Damaged layouts are reported and leave the output alone.
        const QByteArray fixed = data.left(64);
        const QByteArray damaged[] = {
            QByteArray(5, 'x'),                                 // too short
            fixed + LE32(101) + LE32(1) + "a",                  // opacity above 100
            fixed + LE32(50) + LE32(5) + "a",                   // path length wrong
            fixed + LE32(50) + LE32(0),                         // no path
            LE64(qQNaN()) + data.mid(8),                        // not a number
            fixed + LE32(50) + LE32(3) + QByteArray("a\0b", 3), // a NUL in the name
        };
        for (const QByteArray& body : damaged) {
            const QByteArray chunk = Chunk("BGIM", body);
            BackgroundImage untouched = b;
            QCOMPARE(FindBackgroundChunk(AsBytes(chunk), untouched), BackgroundChunkState::Damaged);
            QVERIFY(untouched == b);
        }
    }

    void pathsAreKeptRelativeToTheTrack() {
        QCOMPARE(StoredBackgroundPath("/a/b/img/x.png", "/a/b/t.rolvet"), std::string("img/x.png"));
        QCOMPARE(StoredBackgroundPath("/a/c/x.png", "/a/b/t.rolvet"), std::string("../c/x.png"));
        QCOMPARE(StoredBackgroundPath("/a/c/x.png", ""), std::string("/a/c/x.png"));
        QCOMPARE(ResolveBackgroundPath("../c/x.png", "/a/b/t.rolvet").string(),
                 std::string("/a/c/x.png"));
        QCOMPARE(ResolveBackgroundPath("/d/x.png", "/a/b/t.rolvet").string(),
                 std::string("/d/x.png"));
    }

    void settingAndClearingAreStepsAndTravelWithTheTrack() {
        CScriptedPrompts prompts;
        const QString picture = m_dir.filePath("pics/map.png");
        QVERIFY(QDir(m_dir.path()).mkpath("pics") && QDir(m_dir.path()).mkpath("other"));
        QVERIFY(HalfAndHalf(8, 4).save(picture));

        CRolvetDoc doc;
        TheVertexStore().Append({1, 0, 1});
        const QString plain = m_dir.filePath("plain.rolvet");
        QVERIFY(!doc.OnSaveDocument(plain));
        const QByteArray plainBytes = ReadAll(plain);
        QCOMPARE(plainBytes.size(), 24); // no extension without a picture

        const QImage pixels = CRolvetDoc::ReadBackgroundPixels(picture);
        QCOMPARE(pixels.size(), QSize(8, 4));
        QSignalSpy changed(&doc, &CRolvetDoc::backgroundChanged);
        doc.SetBackground(Sample(picture.toStdString()), pixels);
        QCOMPARE(doc.HistoryCount(), 1);
        QVERIFY(doc.IsModified());
        doc.SetBackground(Sample(picture.toStdString()), pixels); // the same: no step
        QCOMPARE(doc.HistoryCount(), 1);
        doc.OnEditUndo();
        QVERIFY(!doc.Background() && doc.BackgroundPixels().isNull() && !doc.IsModified());
        doc.OnEditRedo();
        QVERIFY(doc.Background() && !doc.BackgroundPixels().isNull());
        QCOMPARE(changed.count(), 3);

        // Saved beside the picture's folder, and again from another folder: each file names the
        // picture relative to itself, and both open it.
        const QString here = m_dir.filePath("t.rolvet");
        const QString there = m_dir.filePath("other/t.rolvet");
        QVERIFY(!doc.OnSaveDocument(here));
        QVERIFY(!doc.OnSaveDocument(there));
        for (const auto& [path, stored] :
             {std::pair{here, "pics/map.png"}, std::pair{there, "../pics/map.png"}}) {
            TrackData track;
            QVERIFY(!LoadTrackFile(path.toStdString(), track));
            BackgroundImage read;
            QCOMPARE(FindBackgroundChunk(track.otherChunks, read), BackgroundChunkState::Read);
            QCOMPARE(read.path, std::string(stored));
            CRolvetDoc other;
            QVERIFY(!other.OnOpenDocument(path));
            QVERIFY(other.Background());
            QCOMPARE(other.Background()->path, picture.toStdString());
            QCOMPARE(other.BackgroundPixels().size(), QSize(8, 4));
            QVERIFY(other.UnreadableBackground().isEmpty());
        }

        // Cleared: one more step, and the file is the plain track again.
        doc.SetBackground(std::nullopt, {});
        QVERIFY(!doc.OnSaveDocument(plain));
        QCOMPARE(ReadAll(plain), plainBytes);
        QVERIFY(prompts.messages.isEmpty());
    }

    void aMissingPictureStillOpensTheTrack() {
        const QString picture = m_dir.filePath("gone.png");
        QVERIFY(HalfAndHalf(4, 4).save(picture));
        CRolvetDoc doc;
        TheVertexStore().Append({5, 0, 5});
        doc.SetBackground(Sample(picture.toStdString()), CRolvetDoc::ReadBackgroundPixels(picture));
        const QString path = m_dir.filePath("gone.rolvet");
        QVERIFY(!doc.OnSaveDocument(path));
        const QByteArray saved = ReadAll(path);
        QVERIFY(QFile::remove(picture));

        CRolvetDoc other;
        QVERIFY(!other.OnOpenDocument(path));
        QCOMPARE(TheVertexStore().Count(), 1);
        QCOMPARE(other.UnreadableBackground(), picture);
        QVERIFY(other.BackgroundPixels().isNull());
        // The setting stays: saving again writes the same file.
        QVERIFY(!other.OnSaveDocument(path));
        QCOMPARE(ReadAll(path), saved);
        // A file that is no picture is not read either.
        QVERIFY(testutil::WriteAll(picture, "not a picture"));
        QVERIFY(CRolvetDoc::ReadBackgroundPixels(picture).isNull());
    }

    void dialogPlacesByClicksAndDistance() {
        CScriptedPrompts prompts;
        const QString picture = m_dir.filePath("dialog.png");
        QVERIFY(HalfAndHalf(200, 100).save(picture));
        CBackgroundDialog dialog(std::nullopt, {}, nullptr);
        dialog.accept(); // nothing chosen yet
        QCOMPARE(prompts.messages, QStringList{Tr(str::kBackgroundNoImage)});
        QVERIFY(!dialog.LoadFile(m_dir.filePath("missing.png")));
        QVERIFY(dialog.LoadFile(picture));

        // The picker shows 200 x 100 at 400 x 200 in its 400 x 300: two clicks set the points.
        auto* picker = dialog.findChild<CImagePicker*>("picker");
        QTest::mouseClick(picker, Qt::LeftButton, {}, QPoint(40, 90));   // picture (20, 20)
        QTest::mouseClick(picker, Qt::LeftButton, {}, QPoint(100, 170)); // picture (50, 60)
        const auto value = [&](const char* name) {
            return dialog.findChild<QDoubleSpinBox*>(name)->value();
        };
        QCOMPARE(value("editU1"), 20.0);
        QCOMPARE(value("editV1"), 20.0);
        QCOMPARE(value("editU2"), 50.0);
        QCOMPARE(value("editV2"), 60.0);
        // The points are 50 pixels apart; 250 world units between them is 5 per pixel.
        dialog.findChild<QDoubleSpinBox*>("editDistance")->setValue(250.0);
        dialog.findChild<QDoubleSpinBox*>("editX1")->setValue(-100.0);
        prompts.Reset();
        dialog.accept();
        QVERIFY(prompts.messages.isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.Image());
        const auto p = PlaceImage(*dialog.Image());
        QVERIFY(p);
        QCOMPARE(p->X(50, 60), -100.0 + 150.0);
        QCOMPARE(p->Z(50, 60), 200.0);
        QCOMPARE(p->X(0, 0), -200.0);
        QCOMPARE(dialog.Pixels().size(), QSize(200, 100));

        // Two positions in one place give no scale: refused.
        CBackgroundDialog again(dialog.Image(), dialog.Pixels(), nullptr);
        QVERIFY(again.findChild<QRadioButton*>("radioPositions")->isChecked());
        again.findChild<QDoubleSpinBox*>("editX2")->setValue(-100.0);
        again.findChild<QDoubleSpinBox*>("editZ2")->setValue(0.0);
        again.accept();
        QCOMPARE(prompts.messages, QStringList{Tr(str::kBackgroundSamePoints)});
    }
};

ROLVET_TEST_MAIN(TestBackground)
#include "tst_background.moc"
