#include "view/PreviewView.h"

#include "document/RacingLineService.h"
#include "document/RoadTextures.h"
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
#include <cstdint>

namespace {

// GLSL 1.20 runs on every OpenGL 2.1 or later context, Mesa's software renderer included.
const char* const kRoadVertexShader = R"(#version 120
attribute vec3 position;
attribute vec3 normal;
attribute float u;
attribute float cornerFold;
uniform mat4 mvp;
uniform float kerb;
varying vec3 vNormal;
varying vec2 vUv;
varying float vFold;
void main() {
    float fold = step(3.5, cornerFold);
    float corner = cornerFold - 4.0 * fold;
    // Across the band: the surface runs from A (0) to B (1), each kerb from its inner line (0)
    // to its outer edge (1).
    float v = mix(corner, step(1.5, corner), kerb);
    vNormal = normal;
    vUv = vec2(u, v);
    vFold = fold;
    gl_Position = mvp * vec4(position, 1.0);
}
)";

// Each material has its own image, cut from the road texture as the engine export cuts it:
// u repeats along the road, v is clamped across it.
const char* const kRoadFragmentShader = R"(#version 120
uniform sampler2D bandTexture;
uniform vec3 lightDirection;
uniform vec3 foldColour;
varying vec3 vNormal;
varying vec2 vUv;
varying float vFold;
void main() {
    float light = 0.45 + 0.55 * max(dot(normalize(vNormal), lightDirection), 0.0);
    vec3 colour = texture2D(bandTexture, vUv).rgb * light;
    gl_FragColor = vec4(mix(colour, foldColour, 0.75 * step(0.5, vFold)), 1.0);
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
const QColor kRacingLineColour(0, 160, 0);
const QColor kPointColour(0, 0, 255);    // the plan's markers
const QColor kSelectedColour(255, 0, 0); // the plan's selected marker
const QVector3D kFoldColour(1.0f, 0.2f, 0.6f);

// Vertices a ring: the model's cross-section A, B, E, G.
constexpr std::int64_t kRing = 4;
// Rings prepared at a time for an upload.
constexpr std::int64_t kStagingRings = 16384;

template <typename T> int Bytes(std::int64_t count) {
    return static_cast<int>(count * static_cast<std::int64_t>(sizeof(T)));
}

template <typename T>
void Write(QOpenGLBuffer& buffer, std::int64_t offset, const T* values, std::int64_t count) {
    if (count > 0) {
        buffer.bind();
        buffer.write(Bytes<T>(offset), values, Bytes<T>(count));
    }
}

void Reserve(QOpenGLBuffer& buffer, int bytes) {
    buffer.bind();
    buffer.allocate(bytes);
}

// The two band images of the road texture; without the texture the road is still drawn, in
// the grey of asphalt and white kerbs.
RoadTextureBandImages BandImages() {
    RoadTextureBandImages bands =
        CutRoadTextureBands(QImage(QString::fromStdString(rolvet::FindTextureSource())));
    if (bands.road.isNull() || bands.kerb.isNull()) {
        bands.road = QImage(2, 2, QImage::Format_RGBA8888);
        bands.road.fill(QColor(70, 70, 70));
        bands.kerb = QImage(2, 2, QImage::Format_RGBA8888);
        bands.kerb.fill(QColor(230, 230, 230));
    }
    return bands;
}

std::unique_ptr<QOpenGLTexture> BandTexture(const QImage& image) {
    auto texture = std::make_unique<QOpenGLTexture>(image.convertToFormat(QImage::Format_RGBA8888),
                                                    QOpenGLTexture::GenerateMipMaps);
    texture->setMinMagFilters(QOpenGLTexture::LinearMipMapLinear, QOpenGLTexture::Linear);
    // The road is mostly seen at a slant: without anisotropic filtering its lines blur away.
    texture->setMaximumAnisotropy(16.0f);
    texture->setWrapMode(QOpenGLTexture::DirectionS, QOpenGLTexture::Repeat);
    texture->setWrapMode(QOpenGLTexture::DirectionT, QOpenGLTexture::ClampToEdge);
    return texture;
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
    // Once the edits pause, the texture is laid along the new lap length in one go.
    m_settleTimer = new QTimer(this);
    m_settleTimer->setSingleShot(true);
    m_settleTimer->setInterval(300);
    connect(m_settleTimer, &QTimer::timeout, this, [this] {
        m_uvsDirty = true;
        update();
    });
}

CPreviewView::~CPreviewView() {
    // The base class destroys the context after this object's own part is gone: stop its
    // aboutToBeDestroyed signal from calling back into it, and release the GL objects now.
    if (context() != nullptr) {
        disconnect(context(), nullptr, this, nullptr);
    }
    ReleaseGL();
}

void CPreviewView::SetDocument(CRolvetDoc* doc) {
    if (m_doc) {
        disconnect(m_doc, nullptr, this, nullptr);
        disconnect(&m_doc->RacingLine(), nullptr, this, nullptr);
    }
    m_doc = doc;
    if (doc != nullptr) {
        connect(doc, &CRolvetDoc::trackChanged, this, &CPreviewView::OnTrackChanged);
        connect(doc, &CRolvetDoc::viewsNeedUpdate, this, qOverload<>(&CPreviewView::update));
        connect(doc, &CRolvetDoc::selectionChanged, this, &CPreviewView::OnSelectionChanged);
        connect(&doc->RacingLine(), &CRacingLineService::lineChanged, this,
                &CPreviewView::OnRacingLineChanged);
    }
    OnTrackChanged(rolvet::TrackChange::Whole());
    OnRacingLineChanged();
}

void CPreviewView::OnRacingLineChanged() {
    m_racingLine.clear();
    if (m_doc && m_doc->RacingLine().IsEnabled()) {
        const auto& points = m_doc->RacingLine().Line().points;
        m_racingLine.reserve(points.size());
        for (const rolvet::RacingPoint& p : points) {
            m_racingLine.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y),
                                      static_cast<float>(p.z));
        }
    }
    update();
}

void CPreviewView::OnTrackChanged(const rolvet::TrackChange& edit) {
    if (edit.kind == rolvet::TrackChange::Kind::Whole) {
        m_fitted = false; // a new track is framed afresh
    }
    const int width = m_doc ? m_doc->RoadWidth() : 0;
    const rolvet::ModelChange change =
        m_doc ? m_model.Update(TheVertexStore().All(), m_doc->DivisionCount(),
                               rolvet::HalfRoadWidth(width), edit)
              : m_model.Update({}, 0, 0.0f, edit);
    const std::int64_t samples = m_model.SampleCount();
    if (change.all) {
        m_uploadAll = true;
        m_pending.clear();
        m_settleTimer->stop();
    } else if (change.count > 0) {
        // The changed samples, split where they wrap; ring S repeats sample 0.
        const std::int64_t end = change.first + change.count;
        m_pending.push_back({change.first, std::min(end, samples) - change.first});
        if (end > samples) {
            m_pending.push_back({0, end - samples});
        }
        m_pending.push_back({samples, 1});
        m_settleTimer->start();
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
    for (const rolvet::RoadSample& section : m_model.Sections()) {
        for (const CVector3D& p : section) {
            extend(p);
        }
    }
    if (!any) {
        for (const CVector3D& p : TheVertexStore().All()) {
            extend(p);
        }
    }
    m_camera.Fit(lo, hi, static_cast<float>(width()) / static_cast<float>(std::max(height(), 1)));
    // Until there is a road the camera keeps framing the points as they come.
    m_fitted = m_model.SampleCount() > 0;
    m_cameraMoved = false;
    update();
}

void CPreviewView::initializeGL() {
    initializeOpenGLFunctions();
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &CPreviewView::ReleaseGL,
            Qt::DirectConnection);
    m_roadProgram.addShaderFromSourceCode(QOpenGLShader::Vertex, kRoadVertexShader);
    m_roadProgram.addShaderFromSourceCode(QOpenGLShader::Fragment, kRoadFragmentShader);
    m_roadProgram.bindAttributeLocation("position", 0);
    m_roadProgram.bindAttributeLocation("normal", 1);
    m_roadProgram.bindAttributeLocation("u", 2);
    m_roadProgram.bindAttributeLocation("cornerFold", 3);
    m_lineProgram.addShaderFromSourceCode(QOpenGLShader::Vertex, kLineVertexShader);
    m_lineProgram.addShaderFromSourceCode(QOpenGLShader::Fragment, kLineFragmentShader);
    m_lineProgram.bindAttributeLocation("position", 0);
    m_glReady = m_roadProgram.link() && m_lineProgram.link();
    if (!m_glReady) {
        emit openGLFailed();
    }
    for (QOpenGLBuffer* buffer : {&m_positions, &m_normals, &m_u, &m_cornerFold, &m_indices,
                                  &m_centreBuffer, &m_pointBuffer}) {
        buffer->setUsagePattern(QOpenGLBuffer::DynamicDraw);
        m_glReady = buffer->create() && m_glReady;
    }
    const RoadTextureBandImages bands = BandImages();
    m_roadTexture = BandTexture(bands.road);
    m_kerbTexture = BandTexture(bands.kerb);
    m_indexSamples = -1;
    m_uploadAll = true;
    m_pointsDirty = true;
}

void CPreviewView::ReleaseGL() {
    if (!m_glReady || context() == nullptr) {
        return;
    }
    makeCurrent();
    m_roadTexture.reset();
    m_kerbTexture.reset();
    for (QOpenGLBuffer* buffer : {&m_positions, &m_normals, &m_u, &m_cornerFold, &m_indices,
                                  &m_centreBuffer, &m_pointBuffer}) {
        buffer->destroy();
    }
    m_roadProgram.removeAllShaders();
    m_lineProgram.removeAllShaders();
    m_glReady = false;
    doneCurrent();
}

void CPreviewView::resizeGL(int, int) {
    // Until the user moves the camera, the track stays framed in the new shape.
    if (!m_cameraMoved) {
        FitCamera();
    }
}

void CPreviewView::UploadRings(const RingSpan& span, bool withTexture) {
    const std::int64_t samples = m_model.SampleCount();
    const std::int64_t first = span.first;
    const std::int64_t end = std::min(span.first + span.count, samples + 1);
    const std::int64_t sampleEnd = std::min(end, samples);
    // Positions and centres straight from the model; ring S repeats sample 0.
    const auto& sections = m_model.Sections();
    if (first < sampleEnd) {
        Write(m_positions, first, &sections[static_cast<std::size_t>(first)], sampleEnd - first);
        Write(m_centreBuffer, first, &m_model.Centres()[static_cast<std::size_t>(first)],
              sampleEnd - first);
    }
    if (end > samples) {
        Write(m_positions, samples, sections.data(), 1);
    }
    // The per-vertex values, a piece at a time.
    const auto& directions = m_model.Directions();
    const auto& sides = m_model.Sides();
    const auto& folded = m_model.Folded();
    std::vector<CVector3D> normals;
    std::vector<float> cornerFold, u;
    std::vector<double> along;
    for (std::int64_t c = first; c < end; c += kStagingRings) {
        const std::int64_t n = std::min(kStagingRings, end - c);
        normals.resize(static_cast<std::size_t>(n * kRing));
        cornerFold.resize(static_cast<std::size_t>(n * kRing));
        for (std::int64_t r = 0; r < n; ++r) {
            const auto j = static_cast<std::size_t>(c + r == samples ? 0 : c + r);
            const CVector3D up = rolvet::RoadUp(directions[j], sides[j]);
            const float fold = folded[j] != 0 ? 4.0f : 0.0f;
            for (std::int64_t v = 0; v < kRing; ++v) {
                const auto at = static_cast<std::size_t>(r * kRing + v);
                normals[at] = up;
                cornerFold[at] = static_cast<float>(v) + fold;
            }
        }
        Write(m_normals, c * kRing, normals.data(), n * kRing);
        Write(m_cornerFold, c * kRing, cornerFold.data(), n * kRing);
        if (withTexture) {
            const double lap = m_model.LapLength();
            const int repeats = rolvet::TextureRepeats(lap, m_model.HalfWidth());
            along.resize(static_cast<std::size_t>(n));
            m_model.ArcLengths(c, std::min(n, samples - c), along.data());
            u.resize(static_cast<std::size_t>(n * kRing));
            for (std::int64_t r = 0; r < n; ++r) {
                const float value = rolvet::TextureU(along[static_cast<std::size_t>(r)], lap,
                                                     repeats, c + r, samples);
                std::fill_n(u.begin() + r * kRing, kRing, value);
            }
            Write(m_u, c * kRing, u.data(), n * kRing);
        }
    }
}

void CPreviewView::UploadTexture() {
    const std::int64_t samples = m_model.SampleCount();
    const std::int64_t rings = samples > 0 ? samples + 1 : 0;
    const double lap = m_model.LapLength();
    const int repeats = rolvet::TextureRepeats(lap, m_model.HalfWidth());
    std::vector<double> along;
    std::vector<float> u;
    for (std::int64_t c = 0; c < rings; c += kStagingRings) {
        const std::int64_t n = std::min(kStagingRings, rings - c);
        along.resize(static_cast<std::size_t>(n));
        m_model.ArcLengths(c, std::min(n, samples - c), along.data());
        u.resize(static_cast<std::size_t>(n * kRing));
        for (std::int64_t r = 0; r < n; ++r) {
            const float value =
                rolvet::TextureU(along[static_cast<std::size_t>(r)], lap, repeats, c + r, samples);
            std::fill_n(u.begin() + r * kRing, kRing, value);
        }
        Write(m_u, c * kRing, u.data(), n * kRing);
    }
}

void CPreviewView::UploadIndices(std::int64_t samples) {
    // The surface's triangles first (6 indices a sample), then the kerbs' (12), counter-clockwise
    // seen from above; they depend only on the sample count.
    Reserve(m_indices, Bytes<GLuint>(18 * samples));
    std::vector<GLuint> road, kerb;
    for (std::int64_t c = 0; c < samples; c += kStagingRings) {
        const std::int64_t n = std::min(kStagingRings, samples - c);
        road.clear();
        kerb.clear();
        for (std::int64_t j = c; j < c + n; ++j) {
            const auto a = static_cast<GLuint>(kRing * j); // A; B, E, G follow
            const GLuint b = a + 1, e = a + 2, g = a + 3, next = kRing;
            road.insert(road.end(), {a, a + next, b + next, a, b + next, b});
            kerb.insert(kerb.end(), {e, e + next, a + next, e, a + next, a, b, b + next, g + next,
                                     b, g + next, g});
        }
        Write(m_indices, 6 * c, road.data(), 6 * n);
        Write(m_indices, 6 * samples + 12 * c, kerb.data(), 12 * n);
    }
    m_indexSamples = samples;
}

void CPreviewView::UploadAll() {
    const std::int64_t samples = m_model.SampleCount();
    const std::int64_t vertices = samples > 0 ? (samples + 1) * kRing : 0;
    Reserve(m_positions, Bytes<CVector3D>(vertices));
    Reserve(m_normals, Bytes<CVector3D>(vertices));
    Reserve(m_u, Bytes<float>(vertices));
    Reserve(m_cornerFold, Bytes<float>(vertices));
    Reserve(m_centreBuffer, Bytes<CVector3D>(samples));
    if (samples > 0) {
        UploadRings({0, samples + 1}, true);
    }
    if (samples != m_indexSamples) {
        UploadIndices(samples);
    }
    m_uploadedSamples = samples;
    ++m_wholeUploads;
}

void CPreviewView::UploadChanges() {
    if (m_uploadAll) {
        UploadAll();
    } else {
        for (const RingSpan& span : m_pending) {
            UploadRings(span, false);
        }
        if (m_uvsDirty) {
            UploadTexture();
        }
    }
    m_uploadAll = false;
    m_uvsDirty = false;
    m_pending.clear();
    if (m_pointsDirty) {
        const auto points = TheVertexStore().All();
        m_pointBuffer.bind();
        m_pointBuffer.allocate(points.data(),
                               Bytes<CVector3D>(static_cast<std::int64_t>(points.size())));
        m_uploadedPoints = static_cast<int>(points.size());
        m_pointsDirty = false;
    }
    QOpenGLBuffer::release(QOpenGLBuffer::VertexBuffer);
}

void CPreviewView::DrawPart(QOpenGLTexture& texture, bool kerb, int firstIndex, int indexCount) {
    texture.bind(0);
    m_roadProgram.setUniformValue("kerb", kerb ? 1.0f : 0.0f);
    QOpenGLBuffer* buffers[] = {&m_positions, &m_normals, &m_u, &m_cornerFold};
    const int sizes[] = {3, 3, 1, 1};
    for (int a = 0; a < 4; ++a) {
        buffers[a]->bind();
        m_roadProgram.enableAttributeArray(a);
        m_roadProgram.setAttributeBuffer(a, GL_FLOAT, 0, sizes[a]);
    }
    m_indices.bind();
    glDrawElements(
        GL_TRIANGLES, indexCount, GL_UNSIGNED_INT,
        reinterpret_cast<const void*>(static_cast<std::uintptr_t>(firstIndex) * sizeof(GLuint)));
    m_indices.release();
    for (int a = 0; a < 4; ++a) {
        m_roadProgram.disableAttributeArray(a);
    }
    texture.release();
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
        grid.insert(
            grid.end(),
            {{x, groundY, z0}, {x, groundY, z0 + span}, {x0, groundY, z}, {x0 + span, groundY, z}});
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

    if (m_uploadedSamples > 0) {
        m_roadProgram.bind();
        m_roadProgram.setUniformValue("mvp", mvp);
        m_roadProgram.setUniformValue("bandTexture", 0);
        m_roadProgram.setUniformValue("lightDirection", QVector3D(0.3f, 1.0f, 0.2f).normalized());
        m_roadProgram.setUniformValue("foldColour", kFoldColour);
        // The road sits a hair behind the centre line drawn on it.
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(1.0f, 1.0f);
        const int roadIndices = static_cast<int>(6 * m_uploadedSamples);
        DrawPart(*m_roadTexture, false, 0, roadIndices);
        DrawPart(*m_kerbTexture, true, roadIndices, 2 * roadIndices);
        glDisable(GL_POLYGON_OFFSET_FILL);

        m_lineProgram.bind();
        m_lineProgram.setUniformValue("mvp", mvp);
        m_lineProgram.setUniformValue("pointSize", 1.0f);
        m_lineProgram.setUniformValue("colour", kCentreColour);
        m_centreBuffer.bind();
        m_lineProgram.enableAttributeArray(0);
        m_lineProgram.setAttributeBuffer(0, GL_FLOAT, 0, 3, sizeof(CVector3D));
        glDrawArrays(GL_LINE_LOOP, 0, static_cast<GLsizei>(m_uploadedSamples));
        m_lineProgram.disableAttributeArray(0);
        QOpenGLBuffer::release(QOpenGLBuffer::VertexBuffer);
    }

    if (!m_racingLine.empty()) {
        m_lineProgram.bind();
        m_lineProgram.setUniformValue("mvp", mvp);
        m_lineProgram.setUniformValue("pointSize", 1.0f);
        m_lineProgram.setUniformValue("colour", kRacingLineColour);
        m_lineProgram.enableAttributeArray(0);
        m_lineProgram.setAttributeArray(0, m_racingLine.data());
        glDrawArrays(GL_LINE_LOOP, 0, static_cast<GLsizei>(m_racingLine.size()));
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
    m_cameraMoved = true;
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
    m_cameraMoved = true;
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
