// The one process-wide, ordered store of the track's control points.
#pragma once

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

    void Append(const CVector3D& v) { m_vertices.push_back(v); }
    // Puts v at index i (0..Count()), moving later vertices up. Returns false (and changes
    // nothing) for an index outside that range.
    bool InsertAt(long long i, const CVector3D& v);
    // Removes vertex i, moving later vertices down. Returns false (and changes nothing) for a bad
    // index.
    bool EraseAt(long long i);
    // Removes the last vertex; does nothing on an empty store.
    void RemoveLast();
    // Keeps the first min(n, Count()) vertices and pads with (0, 0, 0) up to n.
    void Resize(std::size_t n) { m_vertices.resize(n); }
    void Clear() { m_vertices.clear(); }
    // Replaces the whole contents at once (used when a complete track has been read).
    void Assign(std::vector<CVector3D>&& vertices) { m_vertices = std::move(vertices); }

    std::span<const CVector3D> All() const { return m_vertices; }

private:
    std::vector<CVector3D> m_vertices;
};

// The single store of the process. It exists before main and lives until exit.
CVertexStore& TheVertexStore();
