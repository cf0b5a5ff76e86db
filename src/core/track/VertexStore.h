// The one process-wide, ordered store of the track's control points, each with its road shape.
#pragma once

#include "track/PointShape.h"
#include "track/Vector3D.h"

#include <cstddef>
#include <span>
#include <vector>

class CVertexStore {
public:
    CVertexStore() = default;
    CVertexStore(const CVertexStore&) = delete;
    CVertexStore& operator=(const CVertexStore&) = delete;

    int Count() const { return static_cast<int>(m_vertices.size()); }
    bool IsValidIndex(long long i) const {
        return i >= 0 && i < static_cast<long long>(m_vertices.size());
    }

    // Vertex i, or nullptr when i is outside 0..Count()-1.
    CVector3D* Find(long long i) {
        return IsValidIndex(i) ? &m_vertices[static_cast<std::size_t>(i)] : nullptr;
    }
    const CVector3D* Find(long long i) const {
        return IsValidIndex(i) ? &m_vertices[static_cast<std::size_t>(i)] : nullptr;
    }
    // Vertex i; throws std::out_of_range for an index outside the store.
    CVector3D& At(long long i);
    const CVector3D& At(long long i) const;

    // Every operation that adds, removes or reorders points moves each point's shape with it;
    // a point added without a shape has none set.
    void Append(const CVector3D& v, const rolvet::PointShape& shape = {});
    // Puts v at index i (0..Count()), moving later vertices up. Returns false (and changes
    // nothing) for an index outside that range.
    bool InsertAt(long long i, const CVector3D& v, const rolvet::PointShape& shape = {});
    // Removes vertex i, moving later vertices down. Returns false (and changes nothing) for a bad
    // index.
    bool EraseAt(long long i);
    // Removes the last vertex; does nothing on an empty store.
    void RemoveLast();
    // Keeps the first min(n, Count()) vertices and pads with (0, 0, 0) up to n.
    void Resize(std::size_t n);
    void Clear();
    // Replaces the whole contents at once (used when a complete track has been read). shapes is
    // empty (no shape set anywhere) or holds one entry per vertex; any other size is taken as
    // empty.
    void Assign(std::vector<CVector3D>&& vertices, std::vector<rolvet::PointShape>&& shapes = {});

    std::span<const CVector3D> All() const { return m_vertices; }

    // The shape of point i; nothing set for a point without one or an index outside the store.
    rolvet::PointShape ShapeAt(long long i) const;
    // Gives point i a shape. Returns false (and changes nothing) for a bad index.
    bool SetShape(long long i, const rolvet::PointShape& shape);
    // One shape per point, or empty while no point has ever had a shape set.
    std::span<const rolvet::PointShape> Shapes() const { return m_shapes; }

private:
    std::vector<CVector3D> m_vertices;
    // Empty, or exactly as long as m_vertices: a plain track costs nothing extra.
    std::vector<rolvet::PointShape> m_shapes;
};

// The single store of the process. It exists before main and lives until exit.
CVertexStore& TheVertexStore();
