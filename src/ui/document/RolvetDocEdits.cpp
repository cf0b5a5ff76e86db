// The document's undoable edits. Each step keeps only what it changed: one vertex and its index,
// or the two settings, so a step costs the same on a track of any length.
#include "document/RolvetDoc.h"
#include "track/VertexStore.h"

#include <QUndoCommand>

#include <cstring>

namespace {

// Bitwise, so that a change of sign of a zero or of a NaN's payload still counts: undoing must
// give back exactly the bytes the track file had.
bool SameBits(const CVector3D& a, const CVector3D& b) {
    return std::memcmp(&a, &b, sizeof(CVector3D)) == 0;
}

// The first application of a step is the edit itself, whose caller sets the selection as that
// edit defines it. Undoing and redoing select the vertex the step touched, or none.
class CTrackStep : public QUndoCommand {
protected:
    explicit CTrackStep(CRolvetDoc& doc) : m_doc(doc) {}

    void Select(int index) {
        if (m_bApplied) {
            m_doc.SetSelectedIndex(index);
        }
    }
    void MarkApplied() { m_bApplied = true; }

    CRolvetDoc& m_doc;

private:
    bool m_bApplied = false;
};

bool SameBits(const std::optional<float>& a, const std::optional<float>& b) {
    return a.has_value() == b.has_value() && (!a || std::memcmp(&*a, &*b, sizeof(float)) == 0);
}

bool SameShape(const rolvet::PointShape& a, const rolvet::PointShape& b) {
    return SameBits(a.widthLeft, b.widthLeft) && SameBits(a.widthRight, b.widthRight) &&
           SameBits(a.bank, b.bank);
}

// A vertex put into the track at an index, or taken out of it, together with its shape.
class CVertexPresenceStep : public CTrackStep {
public:
    CVertexPresenceStep(CRolvetDoc& doc, int index, const CVector3D& vertex,
                        const rolvet::PointShape& shape, bool insert)
        : CTrackStep(doc), m_vertex(vertex), m_shape(shape), m_nIndex(index), m_bInsert(insert) {}

    void redo() override { Apply(m_bInsert); }
    void undo() override { Apply(!m_bInsert); }

private:
    void Apply(bool insert) {
        CVertexStore& store = TheVertexStore();
        const bool done =
            insert ? store.InsertAt(m_nIndex, m_vertex, m_shape) : store.EraseAt(m_nIndex);
        Select(done && insert ? m_nIndex : -1);
        MarkApplied();
    }

    CVector3D m_vertex;
    rolvet::PointShape m_shape;
    int m_nIndex;
    bool m_bInsert;
};

// A vertex that changed its coordinates (a drag, or the coordinate dialog).
class CVertexMoveStep : public CTrackStep {
public:
    CVertexMoveStep(CRolvetDoc& doc, int index, const CVector3D& before, const CVector3D& after)
        : CTrackStep(doc), m_before(before), m_after(after), m_nIndex(index) {}

    void redo() override { Apply(m_after); }
    void undo() override { Apply(m_before); }

private:
    void Apply(const CVector3D& v) {
        CVector3D* vertex = TheVertexStore().Find(m_nIndex);
        if (vertex != nullptr) {
            *vertex = v;
        }
        Select(vertex != nullptr ? m_nIndex : -1);
        MarkApplied();
    }

    CVector3D m_before;
    CVector3D m_after;
    int m_nIndex;
};

// A point's road shape (the 道路の形 dialog).
class CPointShapeStep : public CTrackStep {
public:
    CPointShapeStep(CRolvetDoc& doc, int index, const rolvet::PointShape& before,
                    const rolvet::PointShape& after)
        : CTrackStep(doc), m_before(before), m_after(after), m_nIndex(index) {}

    void redo() override { Apply(m_after); }
    void undo() override { Apply(m_before); }

private:
    void Apply(const rolvet::PointShape& shape) {
        const bool done = TheVertexStore().SetShape(m_nIndex, shape);
        Select(done ? m_nIndex : -1);
        MarkApplied();
    }

    rolvet::PointShape m_before;
    rolvet::PointShape m_after;
    int m_nIndex;
};

// The road width and the division count. No vertex is touched: the selection stays.
class CSettingsStep : public CTrackStep {
public:
    CSettingsStep(CRolvetDoc& doc, int roadWidth, int divisionCount)
        : CTrackStep(doc), m_nWidth{doc.RoadWidth(), roadWidth}, m_nDivision{doc.DivisionCount(),
                                                                             divisionCount} {}

    void redo() override { Apply(1); }
    void undo() override { Apply(0); }

private:
    void Apply(int which) {
        m_doc.SetRoadWidth(m_nWidth[which]);
        m_doc.SetDivisionCount(m_nDivision[which]);
    }

    int m_nWidth[2];    // before, after
    int m_nDivision[2]; // before, after
};

} // namespace

void CRolvetDoc::PushStep(QUndoCommand* step) {
    m_history.push(step); // applies the step
}

void CRolvetDoc::ClearHistory() {
    m_history.clear();
    emit historyCleared();
}

void CRolvetDoc::AppendVertex(const CVector3D& v) {
    PushStep(new CVertexPresenceStep(*this, TheVertexStore().Count(), v, {}, true));
}

void CRolvetDoc::EraseVertex(int index) {
    const CVertexStore& store = TheVertexStore();
    if (const CVector3D* vertex = store.Find(index)) {
        PushStep(new CVertexPresenceStep(*this, index, *vertex, store.ShapeAt(index), false));
    }
}

void CRolvetDoc::RecordVertexMove(int index, const CVector3D& before) {
    const CVector3D* vertex = TheVertexStore().Find(index);
    if (vertex != nullptr && !SameBits(*vertex, before)) {
        PushStep(new CVertexMoveStep(*this, index, before, *vertex));
    }
}

void CRolvetDoc::SetVertex(int index, const CVector3D& v) {
    const CVector3D* vertex = TheVertexStore().Find(index);
    if (vertex != nullptr && !SameBits(*vertex, v)) {
        PushStep(new CVertexMoveStep(*this, index, *vertex, v));
    }
}

void CRolvetDoc::SetSettings(int roadWidth, int divisionCount) {
    if (roadWidth != m_nRoadWidth || divisionCount != m_nDivisionCount) {
        PushStep(new CSettingsStep(*this, roadWidth, divisionCount));
    }
}

void CRolvetDoc::SetPointShape(int index, const rolvet::PointShape& shape) {
    const CVertexStore& store = TheVertexStore();
    if (store.IsValidIndex(index) && !SameShape(store.ShapeAt(index), shape)) {
        PushStep(new CPointShapeStep(*this, index, store.ShapeAt(index), shape));
    }
}

void CRolvetDoc::OnEditUndo() {
    emit pendingEditsNeeded(true);
    if (m_history.canUndo()) {
        m_history.undo();
        UpdateAllViews();
    }
}

void CRolvetDoc::OnEditRedo() {
    emit pendingEditsNeeded(true);
    if (m_history.canRedo()) {
        m_history.redo();
        UpdateAllViews();
    }
}
