#include "export/GameParts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace rolvet {

namespace {

void Put(float* out, std::size_t vertex, const CVector3D& p) {
    out[3 * vertex] = p.x;
    out[3 * vertex + 1] = p.y;
    out[3 * vertex + 2] = p.z;
}

CVector3D Get(const float* in, std::size_t vertex) {
    return {in[3 * vertex], in[3 * vertex + 1], in[3 * vertex + 2]};
}

// Across the road from edge `from` to edge `to`, level and of unit length; straight up where
// the edges lie one above the other.
CVector3D Inward(const CVector3D& from, const CVector3D& to) {
    const double x = static_cast<double>(to.x) - static_cast<double>(from.x);
    const double z = static_cast<double>(to.z) - static_cast<double>(from.z);
    const double length = std::hypot(x, z);
    if (!(length > 0.0)) {
        return {0.0f, 1.0f, 0.0f};
    }
    return {static_cast<float>(x / length), 0.0f, static_cast<float>(z / length)};
}

CVector3D Raised(const CVector3D& p, float rise) {
    return {p.x, p.y + rise, p.z};
}

// {P, P', Q', P, Q', Q}: the quad between P and Q on this ring and the next, its front face
// turned the way the road's faces are.
std::uint32_t* Quad(std::uint32_t* out, std::uint32_t ring, std::uint32_t next, std::uint32_t p,
                    std::uint32_t q) {
    const std::uint32_t quad[] = {ring + p, next + p, next + q, ring + p, next + q, ring + q};
    return std::copy(std::begin(quad), std::end(quad), out);
}

// The walls at E (facing the minus side) and at G (facing the plus side), the raised points
// at offsets eTop and gTop: seen from the road, each quad's front face.
std::uint32_t* Walls(std::uint32_t* out, std::uint32_t ring, std::uint32_t next, std::uint32_t e,
                     std::uint32_t eTop, std::uint32_t g, std::uint32_t gTop) {
    out = Quad(out, ring, next, eTop, e);
    return Quad(out, ring, next, g, gTop);
}

std::array<CVector3D, 2> Union(const std::array<CVector3D, 2>& a,
                               const std::array<CVector3D, 2>& b) {
    return {
        CVector3D{std::min(a[0].x, b[0].x), std::min(a[0].y, b[0].y), std::min(a[0].z, b[0].z)},
        CVector3D{std::max(a[1].x, b[1].x), std::max(a[1].y, b[1].y), std::max(a[1].z, b[1].z)}};
}

std::array<CVector3D, 2> ScaledBox(const std::array<CVector3D, 2>& box, double scale) {
    return {Scaled(box[0], scale), Scaled(box[1], scale)};
}

std::array<CVector3D, 2> UnscaledWallBox(const RoadMeshBounds& bounds, float rise) {
    const std::array<CVector3D, 2>& edges = bounds.edge;
    return Union(edges, {Raised(edges[0], rise), Raised(edges[1], rise)});
}

double Distance(const CVector3D& a, const CVector3D& b) {
    auto d = [](float p, float q) { return static_cast<double>(p) - static_cast<double>(q); };
    return std::hypot(d(a.x, b.x), d(a.y, b.y), d(a.z, b.z));
}

struct Station {
    RoadFrame frame;
    double along = 0.0;
};

} // namespace

int CollisionVerticesPerRing(bool walls) {
    return walls ? 6 : 4;
}

int CollisionIndicesPerSample(bool walls) {
    return 18 + (walls ? kWallIndicesPerSample : 0);
}

void FillGameRings(const RoadMeshPart& kerb, std::size_t rings, float rise, float* wallPositions,
                   float* wallNormals, float* collisionPositions, bool walls) {
    const std::size_t perCollision = static_cast<std::size_t>(CollisionVerticesPerRing(walls));
    for (std::size_t r = 0; r < rings; ++r) {
        const std::size_t k = kKerbVerticesPerRing * r;
        const CVector3D e = Get(kerb.positions.data(), k);
        const CVector3D g = Get(kerb.positions.data(), k + 3);
        if (wallPositions) {
            const std::size_t w = kWallVerticesPerRing * r;
            Put(wallPositions, w, e);
            Put(wallPositions, w + 1, Raised(e, rise));
            Put(wallPositions, w + 2, g);
            Put(wallPositions, w + 3, Raised(g, rise));
        }
        if (wallNormals) {
            const CVector3D toMinus = Inward(e, g);
            const CVector3D toPlus = Inward(g, e);
            const std::size_t w = kWallVerticesPerRing * r;
            Put(wallNormals, w, toMinus);
            Put(wallNormals, w + 1, toMinus);
            Put(wallNormals, w + 2, toPlus);
            Put(wallNormals, w + 3, toPlus);
        }
        if (collisionPositions) {
            const std::size_t c = perCollision * r;
            for (std::size_t v = 0; v < kKerbVerticesPerRing; ++v) {
                Put(collisionPositions, c + v, Get(kerb.positions.data(), k + v));
            }
            if (walls) {
                Put(collisionPositions, c + 4, Raised(e, rise));
                Put(collisionPositions, c + 5, Raised(g, rise));
            }
        }
    }
}

void FillWallIndices(std::int64_t first, std::int64_t count, std::int64_t samples,
                     std::uint32_t* out) {
    for (std::int64_t j = first; j < first + count; ++j) {
        const auto ring = static_cast<std::uint32_t>(kWallVerticesPerRing * j);
        const auto next = static_cast<std::uint32_t>(kWallVerticesPerRing * ((j + 1) % samples));
        out = Walls(out, ring, next, 0, 1, 2, 3);
    }
}

void FillCollisionIndices(std::int64_t first, std::int64_t count, std::int64_t samples, bool walls,
                          std::uint32_t* out) {
    const std::int64_t per = CollisionVerticesPerRing(walls);
    for (std::int64_t j = first; j < first + count; ++j) {
        const auto ring = static_cast<std::uint32_t>(per * j);
        const auto next = static_cast<std::uint32_t>(per * ((j + 1) % samples));
        // E, A, B, G across: kerb, road, kerb.
        out = Quad(out, ring, next, 0, 1);
        out = Quad(out, ring, next, 1, 2);
        out = Quad(out, ring, next, 2, 3);
        if (walls) {
            out = Walls(out, ring, next, 0, 4, 3, 5);
        }
    }
}

std::array<CVector3D, 2> WallBounds(const RoadMeshBounds& bounds, float rise, double scale) {
    return ScaledBox(UnscaledWallBox(bounds, rise), scale);
}

std::array<CVector3D, 2> CollisionBounds(const RoadMeshBounds& bounds, float rise, bool walls,
                                         double scale) {
    const std::array<CVector3D, 2>& kerb = bounds.kerb;
    return ScaledBox(walls ? Union(kerb, UnscaledWallBox(bounds, rise)) : kerb, scale);
}

std::array<double, 4> ForwardRotation(const CVector3D& forward) {
    const double fx = forward.x, fy = forward.y, fz = forward.z;
    const double length = std::sqrt(fx * fx + fy * fy + fz * fz);
    if (!(length > 0.0)) {
        return {0, 0, 0, 1};
    }
    // The node's axes: Z backwards, Y the world's up made square to Z, X = Y × Z.
    const double z[3] = {-fx / length, -fy / length, -fz / length};
    double y[3] = {-z[1] * z[0], 1.0 - z[1] * z[1], -z[1] * z[2]};
    double yLength = std::sqrt(y[0] * y[0] + y[1] * y[1] + y[2] * y[2]);
    if (yLength < 1e-9) {
        // Straight up or down: the node's up is the world's −Z turned with it.
        y[0] = 0.0, y[1] = 0.0, y[2] = z[1] > 0 ? 1.0 : -1.0;
        yLength = 1.0;
    }
    for (double& c : y) {
        c /= yLength;
    }
    const double x[3] = {y[1] * z[2] - y[2] * z[1], y[2] * z[0] - y[0] * z[2],
                         y[0] * z[1] - y[1] * z[0]};
    // The quaternion of the rotation matrix with columns x, y, z.
    const double m00 = x[0], m11 = y[1], m22 = z[2];
    const double trace = m00 + m11 + m22;
    double qx, qy, qz, qw;
    if (trace > 0.0) {
        const double s = 2.0 * std::sqrt(trace + 1.0);
        qw = 0.25 * s;
        qx = (y[2] - z[1]) / s;
        qy = (z[0] - x[2]) / s;
        qz = (x[1] - y[0]) / s;
    } else if (m00 > m11 && m00 > m22) {
        const double s = 2.0 * std::sqrt(1.0 + m00 - m11 - m22);
        qw = (y[2] - z[1]) / s;
        qx = 0.25 * s;
        qy = (y[0] + x[1]) / s;
        qz = (z[0] + x[2]) / s;
    } else if (m11 > m22) {
        const double s = 2.0 * std::sqrt(1.0 + m11 - m00 - m22);
        qw = (z[0] - x[2]) / s;
        qx = (y[0] + x[1]) / s;
        qy = 0.25 * s;
        qz = (z[1] + y[2]) / s;
    } else {
        const double s = 2.0 * std::sqrt(1.0 + m22 - m00 - m11);
        qw = (x[1] - y[0]) / s;
        qx = (z[0] + x[2]) / s;
        qy = (z[1] + y[2]) / s;
        qz = 0.25 * s;
    }
    const double norm = std::sqrt(qx * qx + qy * qy + qz * qz + qw * qw);
    return {qx / norm, qy / norm, qz / norm, qw / norm};
}

std::vector<TimingNode> TimingNodes(const CRoadMeshRings& rings, std::int64_t startSample,
                                    int checkpoints, double scale) {
    const std::int64_t samples = rings.Samples();
    const double lap = rings.Length();
    auto station = [&rings, samples, lap](std::int64_t j) {
        Station s;
        s.frame = rings.FrameAt(j % samples, s.along);
        if (j == samples) {
            s.along = lap;
        }
        return s;
    };
    auto node = [scale](std::string name, const Station& a, const Station& b, double t) {
        auto mix = [t](float p, float q) {
            return static_cast<double>(p) + (static_cast<double>(q) - static_cast<double>(p)) * t;
        };
        TimingNode n;
        n.name = std::move(name);
        n.translation = {mix(a.frame.centre.x, b.frame.centre.x) / scale,
                         mix(a.frame.centre.y, b.frame.centre.y) / scale,
                         mix(a.frame.centre.z, b.frame.centre.z) / scale};
        const CVector3D forward(static_cast<float>(mix(a.frame.direction.x, b.frame.direction.x)),
                                static_cast<float>(mix(a.frame.direction.y, b.frame.direction.y)),
                                static_cast<float>(mix(a.frame.direction.z, b.frame.direction.z)));
        n.rotation = ForwardRotation(forward);
        const double wa = Distance(a.frame.vertices[2], a.frame.vertices[3]);
        const double wb = Distance(b.frame.vertices[2], b.frame.vertices[3]);
        n.width = (wa + (wb - wa) * t) / scale;
        return n;
    };

    std::vector<TimingNode> nodes;
    const Station start = station(startSample);
    nodes.push_back(node("start", start, start, 0.0));
    for (int i = 0; i < checkpoints; ++i) {
        const double distance = lap * (i + 1) / (checkpoints + 1);
        double target = start.along + distance;
        if (target >= lap) {
            target -= lap;
        }
        // The last sample at or before the target; the node lies on the chord to the next.
        std::int64_t low = 0, high = samples; // along(low) <= target < along(high)
        while (high - low > 1) {
            const std::int64_t mid = low + (high - low) / 2;
            (station(mid).along <= target ? low : high) = mid;
        }
        const Station a = station(low);
        const Station b = station(low + 1);
        const double span = b.along - a.along;
        const double t = span > 0.0 ? std::clamp((target - a.along) / span, 0.0, 1.0) : 0.0;
        char name[32];
        std::snprintf(name, sizeof name, "checkpoint_%03d", i);
        TimingNode n = node(name, a, b, t);
        n.index = i;
        n.distance = distance / scale;
        nodes.push_back(std::move(n));
    }
    return nodes;
}

} // namespace rolvet
