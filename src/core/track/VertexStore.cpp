#include "track/VertexStore.h"

#include <stdexcept>

using rolvet::PointShape;

CVector3D& CVertexStore::At(long long i) {
    if (!IsValidIndex(i)) {
        throw std::out_of_range("vertex index out of range");
    }
    return m_vertices[static_cast<std::size_t>(i)];
}

const CVector3D& CVertexStore::At(long long i) const {
    if (!IsValidIndex(i)) {
        throw std::out_of_range("vertex index out of range");
    }
    return m_vertices[static_cast<std::size_t>(i)];
}

void CVertexStore::Append(const CVector3D& v, const PointShape& shape) {
    InsertAt(static_cast<long long>(m_vertices.size()), v, shape);
}

bool CVertexStore::InsertAt(long long i, const CVector3D& v, const PointShape& shape) {
    if (i < 0 || i > static_cast<long long>(m_vertices.size())) {
        return false;
    }
    const auto at = static_cast<std::ptrdiff_t>(i);
    if (m_shapes.empty() && !shape.IsUnset()) {
        m_shapes.resize(m_vertices.size());
    }
    // Both insertions may allocate; the shapes go first so that a failure leaves both as they
    // were.
    if (!m_shapes.empty()) {
        m_shapes.insert(m_shapes.begin() + at, shape);
    }
    try {
        m_vertices.insert(m_vertices.begin() + at, v);
    } catch (...) {
        if (!m_shapes.empty()) {
            m_shapes.erase(m_shapes.begin() + at);
        }
        throw;
    }
    return true;
}

bool CVertexStore::EraseAt(long long i) {
    if (!IsValidIndex(i)) {
        return false;
    }
    const auto at = static_cast<std::ptrdiff_t>(i);
    m_vertices.erase(m_vertices.begin() + at);
    if (!m_shapes.empty()) {
        m_shapes.erase(m_shapes.begin() + at);
    }
    return true;
}

void CVertexStore::RemoveLast() {
    if (!m_vertices.empty()) {
        EraseAt(static_cast<long long>(m_vertices.size()) - 1);
    }
}

void CVertexStore::Resize(std::size_t n) {
    const std::size_t old = m_vertices.size();
    m_vertices.resize(n);
    if (!m_shapes.empty()) {
        try {
            m_shapes.resize(n);
        } catch (...) {
            m_vertices.resize(old); // only shrinks back: cannot fail
            throw;
        }
    }
}

void CVertexStore::Clear() {
    m_vertices.clear();
    m_shapes.clear();
}

void CVertexStore::Assign(std::vector<CVector3D>&& vertices, std::vector<PointShape>&& shapes) {
    if (shapes.size() != vertices.size()) {
        shapes.clear();
    }
    m_vertices = std::move(vertices);
    m_shapes = std::move(shapes);
}

PointShape CVertexStore::ShapeAt(long long i) const {
    if (!IsValidIndex(i) || m_shapes.empty()) {
        return {};
    }
    return m_shapes[static_cast<std::size_t>(i)];
}

bool CVertexStore::SetShape(long long i, const PointShape& shape) {
    if (!IsValidIndex(i)) {
        return false;
    }
    if (m_shapes.empty()) {
        if (shape.IsUnset()) {
            return true;
        }
        m_shapes.resize(m_vertices.size());
    }
    m_shapes[static_cast<std::size_t>(i)] = shape;
    return true;
}

namespace {
CVertexStore g_vertexStore;
}

CVertexStore& TheVertexStore() {
    return g_vertexStore;
}
