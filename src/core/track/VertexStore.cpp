#include "track/VertexStore.h"

#include <stdexcept>

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

bool CVertexStore::EraseAt(long long i) {
    if (!IsValidIndex(i)) {
        return false;
    }
    m_vertices.erase(m_vertices.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
}

bool CVertexStore::InsertAt(long long i, const CVector3D& v) {
    if (i < 0 || i > static_cast<long long>(m_vertices.size())) {
        return false;
    }
    m_vertices.insert(m_vertices.begin() + static_cast<std::ptrdiff_t>(i), v);
    return true;
}

void CVertexStore::RemoveLast() {
    if (!m_vertices.empty()) {
        m_vertices.pop_back();
    }
}

namespace {
CVertexStore g_vertexStore;
}

CVertexStore& TheVertexStore() {
    return g_vertexStore;
}
