// The 3D preview: the road the export writes, drawn with OpenGL and kept live with the track.
#pragma once

#include "export/RoadModel.h"
#include "track/TrackChange.h"
#include "view/PreviewCamera.h"

#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>
#include <QPointer>
#include <QVector3D>

#include <memory>
#include <vector>

class CRolvetDoc;
class QOpenGLTexture;
class QTimer;

class CPreviewView : public QOpenGLWidget, protected QOpenGLFunctions {
    Q_OBJECT

public:
    explicit CPreviewView(QWidget* parent = nullptr);
    ~CPreviewView() override;

    // Follows the document's track; nullptr shows nothing.
    void SetDocument(CRolvetDoc* doc);

    const rolvet::CRoadModel& Model() const { return m_model; }
    const CPreviewCamera& Camera() const { return m_camera; }
    // How many times the whole road went to the graphics card; an edit of a few points sends
    // only the rings they shape.
    int WholeUploads() const { return m_wholeUploads; }
    // Frames the whole track again from the starting angle (the Home key).
    void FitCamera();

public slots:
    // The document's track changed as the record says; only that is rebuilt.
    void OnTrackChanged(const rolvet::TrackChange& change);
    // The selection changed: only the markers change colour.
    void OnSelectionChanged();
    // The document's racing line changed (or was switched on or off).
    void OnRacingLineChanged();

signals:
    // The readouts changed (after every rebuild).
    void readoutsChanged();
    // The context came up but the shaders could not be built: nothing can be drawn.
    void openGLFailed();

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // A run of mesh rings [first, first + count) to upload.
    struct RingSpan {
        std::int64_t first = 0;
        std::int64_t count = 0;
    };

    void UploadChanges();
    void UploadAll();
    void UploadRings(const RingSpan& span, bool withTexture);
    void UploadTexture();
    void UploadIndices(std::int64_t samples);
    void ReleaseGL();
    void DrawGrid(const QMatrix4x4& mvp);
    void DrawPart(QOpenGLTexture& texture, bool kerb, int firstIndex, int indexCount);

    QPointer<CRolvetDoc> m_doc;
    rolvet::CRoadModel m_model;
    CPreviewCamera m_camera;
    bool m_fitted = false;
    bool m_cameraMoved = false; // by the user since the last fit

    // What the next paint uploads.
    bool m_uploadAll = true;
    bool m_uvsDirty = false;
    std::vector<RingSpan> m_pending;
    bool m_pointsDirty = true;

    bool m_glReady = false;
    QOpenGLShaderProgram m_roadProgram;
    QOpenGLShaderProgram m_lineProgram;
    // The road's vertices, four a ring (A, B, E, G as the model holds its cross-sections), S + 1
    // rings: the surface is drawn from A and B, the kerbs from E, A and B, G.
    QOpenGLBuffer m_positions{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer m_normals{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer m_u{QOpenGLBuffer::VertexBuffer};          // along the road
    QOpenGLBuffer m_cornerFold{QOpenGLBuffer::VertexBuffer}; // 0..3, plus 4 where folded
    QOpenGLBuffer m_indices{QOpenGLBuffer::IndexBuffer};     // the surface's, then the kerbs'
    std::unique_ptr<QOpenGLTexture> m_roadTexture;           // the bands of the road texture
    std::unique_ptr<QOpenGLTexture> m_kerbTexture;
    std::int64_t m_indexSamples = -1; // the sample count the indices were made for
    QOpenGLBuffer m_centreBuffer{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer m_pointBuffer{QOpenGLBuffer::VertexBuffer};
    std::int64_t m_uploadedSamples = 0;
    int m_wholeUploads = 0;
    int m_uploadedPoints = 0;
    QTimer* m_settleTimer = nullptr;
    std::vector<QVector3D> m_racingLine; // drawn as a closed line while switched on

    QPoint m_lastMouse;
    Qt::MouseButton m_dragButton = Qt::NoButton;
    bool m_panning = false;
};
