// The 3D preview's orbiting camera: turns about a target point, pans and zooms.
#pragma once

#include <QMatrix4x4>
#include <QVector3D>

class CPreviewCamera {
public:
    static constexpr float kFieldOfView = 45.0f; // vertical, degrees
    static constexpr float kStartPitch = 30.0f;  // degrees above the horizon

    // Looks at the box from kStartPitch above the horizon, as close as the view of the given
    // aspect (width / height) shows all of it.
    void Fit(const QVector3D& boxMin, const QVector3D& boxMax, float aspect);

    // Turns about the target by the given degrees; the pitch stays between straight down and
    // just above the horizon's underside.
    void Orbit(float yawDegrees, float pitchDegrees);
    // Moves the target across the view by a drag of (dx, dy) pixels in a view of the given
    // height, so the ground under the cursor follows the cursor.
    void Pan(float dx, float dy, int viewHeight);
    // Moves closer (factor < 1) or further away.
    void Zoom(float factor);

    QMatrix4x4 ViewMatrix() const;
    QMatrix4x4 ProjectionMatrix(float aspect) const;
    QVector3D Eye() const;

    float Yaw() const { return m_yaw; }
    float Pitch() const { return m_pitch; }
    float Distance() const { return m_distance; }
    QVector3D Target() const { return m_target; }

private:
    QVector3D m_target;
    float m_distance = 1000.0f;
    float m_yaw = -90.0f; // seen from +z (the bottom of the plan) looking towards -z
    float m_pitch = kStartPitch;
    float m_sceneRadius = 1000.0f;
};
