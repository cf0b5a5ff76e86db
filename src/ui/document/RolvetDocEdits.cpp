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

bool SameBits(const std::optional<float>& a, const std::optional<float>& b) {
    return a.has_value() == b.has_value() && (!a || std::memcmp(&*a, &*b, sizeof(float)) == 0);
}

bool SameShape(const rolvet::PointShape& a, const rolvet::PointShape& b) {
    return SameBits(a.widthLeft, b.widthLeft) && SameBits(a.widthRight, b.widthRight) &&
           SameBits(a.bank, b.bank);
}

} // namespace

// The first application of a step is the edit itself, whose caller sets the selection as that
// edit defines it. Undoing and redoing select the vertex the step touched, or none. Every
// application that changes the track announces what it changed.
class CRolvetDoc::CTrackStep : public QUndoCommand {
protected:
    explicit CTrackStep(CRolvetDoc& doc) : m_doc(doc) {}

    void Select(int index) {
        if (m_bApplied) {
            m_doc.SetSelectedIndex(index);
        }
    }
    void MarkApplied() { m_bApplied = true; }
    void Announce(const rolvet::TrackChange& change) { emit m_doc.trackChanged(change); }

    CRolvetDoc& m_doc;

private:
    bool m_bApplied = false;
};

// A vertex put into the track at an index, or taken out of it, together with its shape.
class CRolvetDoc::CVertexPresenceStep : public CTrackStep {
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
        if (done) {
            Announce(insert ? rolvet::TrackChange::Inserted(m_nIndex)
                            : rolvet::TrackChange::Removed(m_nIndex));
        }
    }

    CVector3D m_vertex;
    rolvet::PointShape m_shape;
    int m_nIndex;
    bool m_bInsert;
};

// A vertex that changed its coordinates (a drag, or the coordinate dialog). A drag is already
// in place when its step is recorded: its first application changes nothing.
class CRolvetDoc::CVertexMoveStep : public CTrackStep {
public:
    CVertexMoveStep(CRolvetDoc& doc, int index, const CVector3D& before, const CVector3D& after,
                    bool inPlace)
        : CTrackStep(doc), m_before(before), m_after(after), m_nIndex(index) {
        if (inPlace) {
            MarkApplied();
            m_bSkipRedo = true;
        }
    }

    void redo() override {
        if (m_bSkipRedo) {
            m_bSkipRedo = false;
            return;
        }
        Apply(m_after);
    }
    void undo() override { Apply(m_before); }

private:
    void Apply(const CVector3D& v) {
        CVector3D* vertex = TheVertexStore().Find(m_nIndex);
        if (vertex != nullptr) {
            *vertex = v;
        }
        Select(vertex != nullptr ? m_nIndex : -1);
        MarkApplied();
        if (vertex != nullptr) {
            Announce(rolvet::TrackChange::Moved(m_nIndex));
        }
    }

    CVector3D m_before;
    CVector3D m_after;
    int m_nIndex;
    bool m_bSkipRedo = false;
};

// A point's road shape (the 道路の形 dialog).
class CRolvetDoc::CPointShapeStep : public CTrackStep {
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
        if (done) {
            Announce(rolvet::TrackChange::Moved(m_nIndex)); // a point's properties changed
        }
    }

    rolvet::PointShape m_before;
    rolvet::PointShape m_after;
    int m_nIndex;
};

// The road width and the division count. No vertex is touched: the selection stays.
class CRolvetDoc::CSettingsStep : public CTrackStep {
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
        Announce(rolvet::TrackChange::Settings());
    }

    int m_nWidth[2];    // before, after
    int m_nDivision[2]; // before, after
};

void CRolvetDoc::PushStep(QUndoCommand* step) {
    // A drag in progress comes first in the history: undoing everything gives back the track
    // as it was before the drag.
    CommitDrag();
    m_history.push(step); // applies the step
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

void CRolvetDoc::SetVertex(int index, const CVector3D& v) {
    CommitDrag();
    const CVector3D* vertex = TheVertexStore().Find(index);
    if (vertex != nullptr && !SameBits(*vertex, v)) {
        PushStep(new CVertexMoveStep(*this, index, *vertex, v, false));
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

void CRolvetDoc::BeginVertexDrag(int index) {
    EndVertexDrag();
    if (const CVector3D* v = TheVertexStore().Find(index)) {
        m_nDragIndex = index;
        m_dragStart = *v;
    }
}

bool CRolvetDoc::DragVertexTo(int index, float x, float z) {
    const CVector3D* v = TheVertexStore().Find(index);
    return DragVertexToPoint(index, v ? CVector3D(x, v->y, z) : CVector3D());
}

bool CRolvetDoc::DragVertexHeightTo(int index, float y) {
    const CVector3D* v = TheVertexStore().Find(index);
    return DragVertexToPoint(index, v ? CVector3D(v->x, y, v->z) : CVector3D());
}

bool CRolvetDoc::DragVertexToPoint(int index, const CVector3D& moved) {
    if (index != m_nDragIndex || index < 0) {
        return false;
    }
    CVector3D* v = TheVertexStore().Find(index);
    if (v == nullptr) {
        m_nDragIndex = -1; // the vertex is gone: the drag ends without touching anything
        return false;
    }
    // Every move marks the track modified, even one that leaves the vertex where it was.
    const bool changed = !SameBits(*v, moved);
    *v = moved;
    SetModifiedFlag(true);
    if (changed) {
        emit trackChanged(rolvet::TrackChange::Moved(index));
    }
    return true;
}

void CRolvetDoc::EndVertexDrag() {
    CommitDrag();
    m_nDragIndex = -1;
}

void CRolvetDoc::CommitDrag() {
    const int index = m_nDragIndex;
    const CVector3D* v = TheVertexStore().Find(index);
    if (v == nullptr || SameBits(*v, m_dragStart)) {
        return;
    }
    const CVector3D before = m_dragStart;
    m_dragStart = *v;
    m_history.push(new CVertexMoveStep(*this, index, before, *v, true));
}

void CRolvetDoc::OnEditUndo() {
    // Undo and redo may move or remove the dragged vertex: the drag so far becomes a step and
    // the drag ends.
    EndVertexDrag();
    if (m_history.canUndo()) {
        m_history.undo();
        UpdateAllViews();
    }
}

void CRolvetDoc::OnEditRedo() {
    EndVertexDrag();
    if (m_history.canRedo()) {
        m_history.redo();
        UpdateAllViews();
    }
}
