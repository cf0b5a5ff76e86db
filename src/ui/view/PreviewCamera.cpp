#include "view/PreviewCamera.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

float Radians(float degrees) {
    return degrees * std::numbers::pi_v<float> / 180.0f;
}

} // namespace

void CPreviewCamera::Fit(const QVector3D& boxMin, const QVector3D& boxMax, float aspect) {
    m_target = (boxMin + boxMax) * 0.5f;
    const float radius = std::max((boxMax - boxMin).length() * 0.5f, 1.0f);
    m_sceneRadius = radius;
    m_yaw = -90.0f;
    m_pitch = kStartPitch;
    // Start where the bounding sphere surely fits, then move in until the box's corners fill
    // 90 % of the narrower side of the view. The corners' extent on screen shrinks about in
    // proportion to the distance, so a few rounds settle it.
    m_distance = radius / std::sin(Radians(kFieldOfView * 0.5f));
    for (int round = 0; round < 4; ++round) {
        const QMatrix4x4 mvp = ProjectionMatrix(aspect) * ViewMatrix();
        float extent = 0.0f;
        for (int corner = 0; corner < 8; ++corner) {
            const QVector3D p((corner & 1) ? boxMax.x() : boxMin.x(),
                              (corner & 2) ? boxMax.y() : boxMin.y(),
                              (corner & 4) ? boxMax.z() : boxMin.z());
            const QVector3D ndc = mvp.map(p);
            extent = std::max({extent, std::fabs(ndc.x()), std::fabs(ndc.y())});
        }
        if (!(extent > 0.0f) || !std::isfinite(extent)) {
            break;
        }
        m_distance = std::clamp(m_distance * extent / 0.9f, radius * 0.05f,
                                radius / std::sin(Radians(kFieldOfView * 0.5f)));
    }
}

void CPreviewCamera::Orbit(float yawDegrees, float pitchDegrees) {
    m_yaw = std::fmod(m_yaw + yawDegrees, 360.0f);
    m_pitch = std::clamp(m_pitch + pitchDegrees, -89.0f, 89.0f);
}

void CPreviewCamera::Pan(float dx, float dy, int viewHeight) {
    const QMatrix4x4 view = ViewMatrix();
    const QVector3D right(view(0, 0), view(0, 1), view(0, 2));
    const QVector3D up(view(1, 0), view(1, 1), view(1, 2));
    const float worldPerPixel = 2.0f * m_distance * std::tan(Radians(kFieldOfView * 0.5f)) /
                                static_cast<float>(std::max(viewHeight, 1));
    m_target += (-dx * right + dy * up) * worldPerPixel;
}

void CPreviewCamera::Zoom(float factor) {
    m_distance = std::clamp(m_distance * factor, m_sceneRadius * 1e-4f, m_sceneRadius * 1e3f);
}

QVector3D CPreviewCamera::Eye() const {
    const float yaw = Radians(m_yaw), pitch = Radians(m_pitch);
    const QVector3D offset(std::cos(pitch) * std::cos(yaw), std::sin(pitch),
                           -std::cos(pitch) * std::sin(yaw));
    return m_target + offset * m_distance;
}

QMatrix4x4 CPreviewCamera::ViewMatrix() const {
    QMatrix4x4 view;
    view.lookAt(Eye(), m_target, QVector3D(0.0f, 1.0f, 0.0f));
    return view;
}

QMatrix4x4 CPreviewCamera::ProjectionMatrix(float aspect) const {
    QMatrix4x4 projection;
    const float nearPlane = std::max(m_distance * 1e-3f, 1e-3f);
    const float farPlane = m_distance + m_sceneRadius * 4.0f;
    projection.perspective(kFieldOfView, aspect, nearPlane, farPlane);
    return projection;
}
