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

// A vertex put into the track at an index, or taken out of it.
class CVertexPresenceStep : public CTrackStep {
public:
    CVertexPresenceStep(CRolvetDoc& doc, int index, const CVector3D& vertex, bool insert)
        : CTrackStep(doc), m_vertex(vertex), m_nIndex(index), m_bInsert(insert) {}

    void redo() override { Apply(m_bInsert); }
    void undo() override { Apply(!m_bInsert); }

private:
    void Apply(bool insert) {
        CVertexStore& store = TheVertexStore();
        const bool done = insert ? store.InsertAt(m_nIndex, m_vertex) : store.EraseAt(m_nIndex);
        Select(done && insert ? m_nIndex : -1);
        MarkApplied();
    }

    CVector3D m_vertex;
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
    PushStep(new CVertexPresenceStep(*this, TheVertexStore().Count(), v, true));
}

void CRolvetDoc::EraseVertex(int index) {
    if (const CVector3D* vertex = TheVertexStore().Find(index)) {
        PushStep(new CVertexPresenceStep(*this, index, *vertex, false));
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
