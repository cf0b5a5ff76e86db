#include "view/PreviewView.h"

#include "document/RolvetDoc.h"
#include "export/RoadExport.h"
#include "track/VertexStore.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLTexture>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

using rolvet::preview::kVerticesPerSample;
using rolvet::preview::Vertex;

namespace {

// GLSL 1.20 runs on every OpenGL 2.1 or later context, Mesa's software renderer included.
const char* const kRoadVertexShader = R"(#version 120
attribute vec3 position;
attribute float along;
attribute float flags;
uniform mat4 mvp;
uniform float kerb;
varying vec3 worldPos;
varying float vAlong;
varying float vAcross;
varying float vFold;
void main() {
    vFold = step(3.5, flags);
    float role = flags - 4.0 * vFold; // 0 A, 1 B (inner lines), 2 E, 3 G (outer edges)
    vAcross = kerb > 0.5 ? step(1.5, role) : role;
    vAlong = along;
    worldPos = position;
    gl_Position = mvp * vec4(position, 1.0);
}
)";

// The road surface takes the texture's band u, v 0.26..1 and the kerbs the band v 0..0.24,
// as in the export; both repeat along the road and are clamped across it.
const char* const kRoadFragmentShader = R"(#version 120
uniform sampler2D roadTexture;
uniform float kerb;
uniform vec3 lightDirection;
uniform vec3 foldColour;
varying vec3 worldPos;
varying float vAlong;
varying float vAcross;
varying float vFold;
void main() {
    float a = fract(vAlong);
    vec2 uv = kerb > 0.5 ? vec2(a, vAcross * 0.24)
                         : vec2(0.26 + a * 0.74, 0.26 + vAcross * 0.74);
    vec3 normal = normalize(cross(dFdx(worldPos), dFdy(worldPos)));
    if (normal.y < 0.0) {
        normal = -normal;
    }
    float light = 0.4 + 0.6 * max(dot(normal, lightDirection), 0.0);
    vec3 colour = texture2D(roadTexture, uv).rgb * light;
    gl_FragColor = vec4(mix(colour, foldColour, 0.75 * vFold), 1.0);
}
)";

const char* const kLineVertexShader = R"(#version 120
attribute vec3 position;
uniform mat4 mvp;
uniform float pointSize;
void main() {
    gl_PointSize = pointSize;
    gl_Position = mvp * vec4(position, 1.0);
}
)";

const char* const kLineFragmentShader = R"(#version 120
uniform vec4 colour;
void main() {
    gl_FragColor = colour;
}
)";

constexpr GLenum kProgramPointSize = 0x8642; // GL_VERTEX_PROGRAM_POINT_SIZE
constexpr float kPointSize = 7.0f;

const QColor kSkyColour(226, 232, 238);
const QColor kGridColour(170, 174, 180);
const QColor kCentreColour(255, 214, 0);
const QColor kPointColour(0, 0, 255);    // the plan's markers
const QColor kSelectedColour(255, 0, 0); // the plan's selected marker
const QVector3D kFoldColour(1.0f, 0.2f, 0.6f);

template <typename T> int Bytes(std::int64_t count) {
    return static_cast<int>(count * static_cast<std::int64_t>(sizeof(T)));
}

QImage RoadTextureImage() {
    QImage image(QString::fromStdString(rolvet::FindTextureSource()));
    if (image.isNull()) {
        // Without the texture the road is still drawn, in the grey of asphalt.
        image = QImage(2, 2, QImage::Format_RGBA8888);
        image.fill(QColor(120, 120, 120));
    }
    return image.convertToFormat(QImage::Format_RGBA8888);
}

// A spacing of 1, 2 or 5 times a power of ten that puts about ten lines across the extent.
float GridStep(float extent) {
    const float raw = std::max(extent / 10.0f, 1e-3f);
    const float power = std::pow(10.0f, std::floor(std::log10(raw)));
    for (const float m : {1.0f, 2.0f, 5.0f}) {
        if (m * power >= raw) {
            return m * power;
        }
    }
    return 10.0f * power;
}

} // namespace

CPreviewView::CPreviewView(QWidget* parent) : QOpenGLWidget(parent) {
    setObjectName(QStringLiteral("PreviewView"));
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(160, 120);
}

CPreviewView::~CPreviewView() {
    ReleaseGL();
}

void CPreviewView::SetDocument(CRolvetDoc* doc) {
    if (m_doc) {
        disconnect(m_doc, nullptr, this, nullptr);
    }
    m_doc = doc;
    if (doc != nullptr) {
        connect(doc, &CRolvetDoc::trackEdited, this, &CPreviewView::OnTrackChanged);
        connect(doc, &CRolvetDoc::viewsNeedUpdate, this, &CPreviewView::OnTrackChanged);
        connect(doc, &CRolvetDoc::selectionChanged, this, &CPreviewView::OnSelectionChanged);
        connect(doc, &CRolvetDoc::trackReplaced, this, [this] {
            m_fitted = false;
            OnTrackChanged();
        });
    }
    m_fitted = false;
    OnTrackChanged();
}

void CPreviewView::OnTrackChanged() {
    const int width = m_doc ? m_doc->RoadWidth() : 0;
    const rolvet::SampleRange range =
        m_doc ? m_model.Update(TheVertexStore().All(), m_doc->DivisionCount(),
                               rolvet::HalfRoadWidth(width))
              : m_model.Update({}, 0, 0.0f);
    if (range.all) {
        m_mesh.Rebuild(m_model, width);
        m_uploadAll = true;
        m_pending.clear();
    } else if (range.count > 0) {
        const auto spans = m_mesh.Update(m_model, range, width);
        m_pending.insert(m_pending.end(), spans.begin(), spans.end());
        // Once the edits pause, the texture is laid along the new lap length in one go.
        QTimer::singleShot(300, this, [this, width] {
            if (m_doc && m_doc->RoadWidth() == width && m_model.SampleCount() > 0 &&
                m_mesh.SampleCount() == m_model.SampleCount() + 1) {
                m_mesh.Rebuild(m_model, width);
                m_uploadAll = true;
                m_pending.clear();
                update();
            }
        });
    }
    m_pointsDirty = true;
    if (!m_fitted) {
        FitCamera();
    }
    emit readoutsChanged();
    update();
}

void CPreviewView::OnSelectionChanged() {
    update();
}

void CPreviewView::FitCamera() {
    QVector3D lo(-1000.0f, 0.0f, -1000.0f), hi(1000.0f, 0.0f, 1000.0f);
    bool any = false;
    auto extend = [&](const CVector3D& p) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            return;
        }
        const QVector3D q(p.x, p.y, p.z);
        if (!any) {
            lo = hi = q;
            any = true;
        }
        lo = QVector3D(std::min(lo.x(), q.x()), std::min(lo.y(), q.y()), std::min(lo.z(), q.z()));
        hi = QVector3D(std::max(hi.x(), q.x()), std::max(hi.y(), q.y()), std::max(hi.z(), q.z()));
    };
    for (const auto& sample : m_model.Edges()) {
        for (const CVector3D& p : sample) {
            extend(p);
        }
    }
    if (!any) {
        for (const CVector3D& p : TheVertexStore().All()) {
            extend(p);
        }
    }
    m_camera.Fit(lo, hi);
    // Until there is a road the camera keeps framing the points as they come.
    m_fitted = m_model.SampleCount() > 0;
    update();
}

void CPreviewView::initializeGL() {
    initializeOpenGLFunctions();
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &CPreviewView::ReleaseGL,
            Qt::DirectConnection);
    m_roadProgram.addShaderFromSourceCode(QOpenGLShader::Vertex, kRoadVertexShader);
    m_roadProgram.addShaderFromSourceCode(QOpenGLShader::Fragment, kRoadFragmentShader);
    m_roadProgram.bindAttributeLocation("position", 0);
    m_roadProgram.bindAttributeLocation("along", 1);
    m_roadProgram.bindAttributeLocation("flags", 2);
    m_lineProgram.addShaderFromSourceCode(QOpenGLShader::Vertex, kLineVertexShader);
    m_lineProgram.addShaderFromSourceCode(QOpenGLShader::Fragment, kLineFragmentShader);
    m_lineProgram.bindAttributeLocation("position", 0);
    m_glReady = m_roadProgram.link() && m_lineProgram.link();
    if (!m_glReady) {
        emit openGLFailed();
    }
    for (QOpenGLBuffer* buffer : {&m_vertexBuffer, &m_indexBuffer, &m_centreBuffer, &m_pointBuffer}) {
        buffer->setUsagePattern(QOpenGLBuffer::DynamicDraw);
        m_glReady = buffer->create() && m_glReady;
    }
    m_texture = std::make_unique<QOpenGLTexture>(RoadTextureImage(),
                                                 QOpenGLTexture::DontGenerateMipMaps);
    m_texture->setMinMagFilters(QOpenGLTexture::Linear, QOpenGLTexture::Linear);
    m_texture->setWrapMode(QOpenGLTexture::ClampToEdge);
    m_uploadAll = true;
    m_pointsDirty = true;
}

void CPreviewView::ReleaseGL() {
    if (!m_glReady || context() == nullptr) {
        return;
    }
    makeCurrent();
    m_texture.reset();
    m_vertexBuffer.destroy();
    m_indexBuffer.destroy();
    m_centreBuffer.destroy();
    m_pointBuffer.destroy();
    m_roadProgram.removeAllShaders();
    m_lineProgram.removeAllShaders();
    m_glReady = false;
    doneCurrent();
}

void CPreviewView::resizeGL(int, int) {}

void CPreviewView::UploadChanges() {
    const auto vertices = m_mesh.Vertices();
    const std::int64_t slotCount = m_mesh.SampleCount();
    const auto& centres = m_model.Centres();
    if (m_uploadAll) {
        m_vertexBuffer.bind();
        m_vertexBuffer.allocate(vertices.data(), Bytes<Vertex>(static_cast<std::int64_t>(vertices.size())));
        if (slotCount != m_uploadedSlots) {
            const std::vector<std::uint32_t> indices = rolvet::preview::StripIndices(slotCount);
            m_indexBuffer.bind();
            m_indexBuffer.allocate(indices.data(), Bytes<std::uint32_t>(static_cast<std::int64_t>(indices.size())));
            m_uploadedSlots = slotCount;
        }
        m_centreBuffer.bind();
        m_centreBuffer.allocate(centres.data(), Bytes<CVector3D>(static_cast<std::int64_t>(centres.size())));
        m_uploadAll = false;
        m_pending.clear();
    } else if (!m_pending.empty()) {
        m_vertexBuffer.bind();
        for (const auto& span : m_pending) {
            m_vertexBuffer.write(Bytes<Vertex>(span.first * kVerticesPerSample),
                                 &vertices[static_cast<std::size_t>(span.first * kVerticesPerSample)],
                                 Bytes<Vertex>(span.count * kVerticesPerSample));
        }
        m_centreBuffer.bind();
        const auto samples = static_cast<std::int64_t>(centres.size());
        for (const auto& span : m_pending) {
            const std::int64_t count = std::min(span.count, samples - span.first);
            if (count > 0) {
                m_centreBuffer.write(Bytes<CVector3D>(span.first),
                                     &centres[static_cast<std::size_t>(span.first)],
                                     Bytes<CVector3D>(count));
            }
        }
        m_pending.clear();
    }
    if (m_pointsDirty) {
        const auto points = TheVertexStore().All();
        m_pointBuffer.bind();
        m_pointBuffer.allocate(points.data(), Bytes<CVector3D>(static_cast<std::int64_t>(points.size())));
        m_uploadedPoints = static_cast<int>(points.size());
        m_pointsDirty = false;
    }
    QOpenGLBuffer::release(QOpenGLBuffer::VertexBuffer);
}

void CPreviewView::DrawGrid(const QMatrix4x4& mvp) {
    const QVector3D target = m_camera.Target();
    const float extent = std::max(m_camera.Distance(), 1.0f);
    const float step = GridStep(extent);
    const int lines = 20;
    const float x0 = std::floor(target.x() / step) * step - lines * step;
    const float z0 = std::floor(target.z() / step) * step - lines * step;
    float groundY = 0.0f;
    if (const auto low = m_model.Readouts().heightMin; low && *low < 0.0f) {
        groundY = *low;
    }
    groundY -= extent * 1e-3f; // just under the road, so the road covers it
    std::vector<QVector3D> grid;
    grid.reserve(4 * (2 * lines + 1));
    const float span = 2.0f * lines * step;
    for (int i = 0; i <= 2 * lines; ++i) {
        const float x = x0 + static_cast<float>(i) * step;
        const float z = z0 + static_cast<float>(i) * step;
        grid.insert(grid.end(), {{x, groundY, z0}, {x, groundY, z0 + span}, {x0, groundY, z},
                                 {x0 + span, groundY, z}});
    }
    m_lineProgram.setUniformValue("mvp", mvp);
    m_lineProgram.setUniformValue("colour", kGridColour);
    m_lineProgram.setUniformValue("pointSize", 1.0f);
    m_lineProgram.enableAttributeArray(0);
    m_lineProgram.setAttributeArray(0, grid.data());
    glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(grid.size()));
    m_lineProgram.disableAttributeArray(0);
}

void CPreviewView::paintGL() {
    glClearColor(kSkyColour.redF(), kSkyColour.greenF(), kSkyColour.blueF(), 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!m_glReady || !m_doc) {
        return;
    }
    UploadChanges();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    const float aspect = static_cast<float>(width()) / static_cast<float>(std::max(height(), 1));
    const QMatrix4x4 mvp = m_camera.ProjectionMatrix(aspect) * m_camera.ViewMatrix();

    m_lineProgram.bind();
    DrawGrid(mvp);

    const std::int64_t slotCount = m_uploadedSlots;
    if (slotCount > 0) {
        m_roadProgram.bind();
        m_roadProgram.setUniformValue("mvp", mvp);
        m_roadProgram.setUniformValue("roadTexture", 0);
        m_roadProgram.setUniformValue("lightDirection", QVector3D(0.3f, 1.0f, 0.2f).normalized());
        m_roadProgram.setUniformValue("foldColour", kFoldColour);
        m_texture->bind(0);
        m_vertexBuffer.bind();
        m_indexBuffer.bind();
        m_roadProgram.enableAttributeArray(0);
        m_roadProgram.enableAttributeArray(1);
        m_roadProgram.enableAttributeArray(2);
        m_roadProgram.setAttributeBuffer(0, GL_FLOAT, offsetof(Vertex, x), 3, sizeof(Vertex));
        m_roadProgram.setAttributeBuffer(1, GL_FLOAT, offsetof(Vertex, along), 1, sizeof(Vertex));
        m_roadProgram.setAttributeBuffer(2, GL_FLOAT, offsetof(Vertex, flags), 1, sizeof(Vertex));
        // The road sits a hair behind the centre line drawn on it.
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(1.0f, 1.0f);
        const auto strip = static_cast<GLsizei>(2 * slotCount);
        for (int part = 0; part < 3; ++part) {
            m_roadProgram.setUniformValue("kerb", part == 0 ? 0.0f : 1.0f);
            const auto offset = static_cast<std::uintptr_t>(part) * 2 *
                                static_cast<std::uintptr_t>(slotCount) * sizeof(std::uint32_t);
            glDrawElements(GL_TRIANGLE_STRIP, strip, GL_UNSIGNED_INT,
                           reinterpret_cast<const void*>(offset));
        }
        glDisable(GL_POLYGON_OFFSET_FILL);
        m_roadProgram.disableAttributeArray(0);
        m_roadProgram.disableAttributeArray(1);
        m_roadProgram.disableAttributeArray(2);
        m_indexBuffer.release();
        m_texture->release();

        m_lineProgram.bind();
        m_lineProgram.setUniformValue("mvp", mvp);
        m_lineProgram.setUniformValue("pointSize", 1.0f);
        m_lineProgram.setUniformValue("colour", kCentreColour);
        m_centreBuffer.bind();
        m_lineProgram.enableAttributeArray(0);
        m_lineProgram.setAttributeBuffer(0, GL_FLOAT, 0, 3, sizeof(CVector3D));
        glDrawArrays(GL_LINE_LOOP, 0, static_cast<GLsizei>(slotCount - 1));
        m_lineProgram.disableAttributeArray(0);
    }

    // The control points stay visible through the road, as handles do.
    if (m_uploadedPoints > 0) {
        glDisable(GL_DEPTH_TEST);
        glEnable(kProgramPointSize);
        m_lineProgram.bind();
        m_lineProgram.setUniformValue("mvp", mvp);
        m_lineProgram.setUniformValue("pointSize", kPointSize);
        m_pointBuffer.bind();
        m_lineProgram.enableAttributeArray(0);
        m_lineProgram.setAttributeBuffer(0, GL_FLOAT, 0, 3, sizeof(CVector3D));
        m_lineProgram.setUniformValue("colour", kPointColour);
        glDrawArrays(GL_POINTS, 0, m_uploadedPoints);
        const int selected = m_doc->SelectedIndex();
        if (selected >= 0 && selected < m_uploadedPoints) {
            m_lineProgram.setUniformValue("colour", kSelectedColour);
            glDrawArrays(GL_POINTS, selected, 1);
        }
        m_lineProgram.disableAttributeArray(0);
        glDisable(kProgramPointSize);
    }
    QOpenGLBuffer::release(QOpenGLBuffer::VertexBuffer);
}

void CPreviewView::mousePressEvent(QMouseEvent* event) {
    m_lastMouse = event->position().toPoint();
    m_dragButton = event->button();
    m_panning = event->button() == Qt::MiddleButton ||
                (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    event->accept();
}

void CPreviewView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const QPoint delta = pos - m_lastMouse;
    m_lastMouse = pos;
    if (m_dragButton == Qt::NoButton || !(event->buttons() & m_dragButton)) {
        return;
    }
    if (m_panning) {
        m_camera.Pan(static_cast<float>(delta.x()), static_cast<float>(delta.y()), height());
    } else if (m_dragButton == Qt::LeftButton) {
        m_camera.Orbit(-0.4f * static_cast<float>(delta.x()), 0.4f * static_cast<float>(delta.y()));
    }
    update();
    event->accept();
}

void CPreviewView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == m_dragButton) {
        m_dragButton = Qt::NoButton;
        m_panning = false;
    }
    event->accept();
}

void CPreviewView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    // As in the plan, turning the wheel away from the user zooms out: a notch moves the camera
    // a ninth further away, and a notch back returns it.
    m_camera.Zoom(std::pow(0.9f, -static_cast<float>(delta) / 120.0f));
    update();
    event->accept();
}

void CPreviewView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home) {
        FitCamera();
        event->accept();
        return;
    }
    QOpenGLWidget::keyPressEvent(event);
}
