// The 3D preview: the road the export writes, drawn with OpenGL and kept live with the track.
#pragma once

#include "export/TrackModel.h"
#include "track/TrackChange.h"
#include "view/PreviewCamera.h"

#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>
#include <QPointer>

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

    const rolvet::CTrackModel& Model() const { return m_model; }
    const CPreviewCamera& Camera() const { return m_camera; }
    // Frames the whole track again from the starting angle (the Home key).
    void FitCamera();

public slots:
    // The document's track changed as the record says; only that is rebuilt.
    void OnTrackChanged(const rolvet::TrackChange& change);
    // The selection changed: only the markers change colour.
    void OnSelectionChanged();

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
    // One material of the road mesh on the graphics card.
    struct GpuPart {
        QOpenGLBuffer positions{QOpenGLBuffer::VertexBuffer};
        QOpenGLBuffer normals{QOpenGLBuffer::VertexBuffer};
        QOpenGLBuffer uvs{QOpenGLBuffer::VertexBuffer};
        QOpenGLBuffer folds{QOpenGLBuffer::VertexBuffer};
        QOpenGLBuffer indices{QOpenGLBuffer::IndexBuffer};
        std::unique_ptr<QOpenGLTexture> texture; // the material's band of the road texture
        std::vector<float> foldValues;           // 1 on the vertices of folded samples
        int indexCount = 0;
    };
    // A run of mesh rings [first, first + count) to upload.
    struct RingSpan {
        std::int64_t first = 0;
        std::int64_t count = 0;
    };

    void UploadChanges();
    void UploadPart(GpuPart& part, const rolvet::RoadMeshPart& mesh, int perRing, bool all);
    void UpdateFolds(GpuPart& part, int perRing, const std::vector<RingSpan>& spans);
    void ReleaseGL();
    void DrawGrid(const QMatrix4x4& mvp);
    void DrawPart(GpuPart& part);

    QPointer<CRolvetDoc> m_doc;
    rolvet::CTrackModel m_model;
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
    GpuPart m_road;
    GpuPart m_kerb;
    QOpenGLBuffer m_centreBuffer{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer m_pointBuffer{QOpenGLBuffer::VertexBuffer};
    std::int64_t m_uploadedSamples = 0;
    int m_uploadedPoints = 0;
    QTimer* m_settleTimer = nullptr;

    QPoint m_lastMouse;
    Qt::MouseButton m_dragButton = Qt::NoButton;
    bool m_panning = false;
};
