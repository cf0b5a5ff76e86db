// The 3D preview: the road the export writes, drawn with OpenGL and kept live with the track.
#pragma once

#include "export/TrackModel.h"
#include "view/PreviewCamera.h"
#include "view/PreviewMesh.h"

#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>
#include <QPointer>

#include <memory>
#include <vector>

class CRolvetDoc;
class QOpenGLTexture;

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
    // Reads the track afresh; only what changed is rebuilt.
    void OnTrackChanged();
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
    void UploadChanges();
    void ReleaseGL();
    void DrawGrid(const QMatrix4x4& mvp);

    QPointer<CRolvetDoc> m_doc;
    rolvet::CTrackModel m_model;
    rolvet::preview::CPreviewMesh m_mesh;
    CPreviewCamera m_camera;
    bool m_fitted = false;

    // What the next paint uploads.
    bool m_uploadAll = true;
    std::vector<rolvet::preview::SampleSpan> m_pending;
    bool m_pointsDirty = true;

    bool m_glReady = false;
    QOpenGLShaderProgram m_roadProgram;
    QOpenGLShaderProgram m_lineProgram;
    QOpenGLBuffer m_vertexBuffer{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer m_indexBuffer{QOpenGLBuffer::IndexBuffer};
    QOpenGLBuffer m_centreBuffer{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer m_pointBuffer{QOpenGLBuffer::VertexBuffer};
    std::unique_ptr<QOpenGLTexture> m_texture;
    std::int64_t m_uploadedSlots = 0;
    int m_uploadedPoints = 0;

    QPoint m_lastMouse;
    Qt::MouseButton m_dragButton = Qt::NoButton;
    bool m_panning = false;
};
