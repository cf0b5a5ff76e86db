// The document's track commands: settings, vertex list and the selected vertex's coordinates.
// Each dialog only collects values; the command applies them.
#include "document/Prompts.h"
#include "document/RolvetDoc.h"
#include "document/SetUpDialog.h"
#include "document/ShapeDialog.h"
#include "document/VertexDialog.h"
#include "document/WaitCursor.h"
#include "document/XYZDialog.h"
#include "track/TrackText.h"
#include "track/VertexStore.h"

#include <optional>

void CRolvetDoc::OnSetUp(QWidget* parent) {
    CSetUpDialog dialog(m_nRoadWidth, m_nDivisionCount, parent);
    if (Prompts().RunDialog(dialog) != QDialog::Accepted) {
        return;
    }
    // A step only when a value changed; the document is marked modified either way. The plan
    // does not show either setting: no redraw.
    SetSettings(dialog.RoadWidth(), dialog.DivisionCount());
    SetModifiedFlag(true);
}

void CRolvetDoc::OnShowVertices(QWidget* parent) {
    std::optional<CWaitCursor> wait(std::in_place); // a long track takes a moment to list
    CVertexDialog dialog(TheVertexStore().All(), parent);
    wait.reset();
    // Whatever the user typed stays in the dialog: the track is never changed here.
    Prompts().RunDialog(dialog);
}

bool CRolvetDoc::CanEditSelectedVertex() const {
    return TheVertexStore().IsValidIndex(m_nSelectedIndex);
}

void CRolvetDoc::OnEditSelectedVertex(QWidget* parent) {
    // Checked again here so the command never runs with an index outside the store.
    if (!CanEditSelectedVertex()) {
        return;
    }
    const CVector3D& current = TheVertexStore().At(m_nSelectedIndex);
    CXYZDialog dialog(current.x, current.y, current.z, parent);
    if (Prompts().RunDialog(dialog) != QDialog::Accepted) {
        return;
    }
    // The dialog is modal, so the store cannot have changed; look the vertex up again anyway.
    if (!CanEditSelectedVertex()) {
        return;
    }
    // A step only when a coordinate changed; the document is marked modified either way.
    SetVertex(m_nSelectedIndex, CVector3D(dialog.X(), dialog.Y(), dialog.Z()));
    SetModifiedFlag(true);
    UpdateAllViews();
}

void CRolvetDoc::OnEditPointShape(QWidget* parent) {
    if (!CanEditSelectedVertex()) {
        return;
    }
    const int index = m_nSelectedIndex;
    const rolvet::PointShape current = TheVertexStore().ShapeAt(index);
    const rolvet::ResolvedShape shown = rolvet::Resolve(current, m_nRoadWidth);
    CShapeDialog dialog(shown.widthLeft, shown.widthRight, shown.bank, parent);
    if (Prompts().RunDialog(dialog) != QDialog::Accepted || !CanEditSelectedVertex()) {
        return;
    }
    // Only what the user changed is set; the rest keeps following the settings, if it did.
    rolvet::PointShape shape = current;
    if (dialog.WidthLeft()) {
        shape.widthLeft = dialog.WidthLeft();
    }
    if (dialog.WidthRight()) {
        shape.widthRight = dialog.WidthRight();
    }
    if (dialog.Bank()) {
        shape.bank = dialog.Bank();
    }
    // As with the coordinates: a step only when something changed, modified either way.
    SetPointShape(index, shape);
    SetModifiedFlag(true);
    UpdateAllViews();
}
