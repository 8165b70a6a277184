#pragma once
// The check-box list of sources (control 1002 of the main dialog): six fixed
// rows for the built-in collection steps, then the user's rows. The rows live
// in the platform list-view control; this object subclasses it to take over
// mouse presses, file drops and painting.
#include <windows.h>

#include "app/window_object.h"
#include "common/wide_text.h"

class CollectionList : public SubclassedWindow {
public:
    CollectionList() = default;

    /* Subclasses the list-view control `list` and, only on success, sets its
       extended styles to exactly check boxes and full-row select. Returns
       false and changes nothing when the control cannot be subclassed; every
       later operation then addresses no window. */
    bool Attach(HWND list);

    /* Inserts the two left-aligned columns "Item" (a third of the client
       width, truncated) and "Location" (the rest). Call once, after Attach. */
    void InsertColumns();

    /* Adds the six fixed rows, checked, in the collection steps' order, and
       sets FixedRowCount to 6 (also when no window is attached). */
    void AddFixedRows();

    /* The number of leading fixed rows: 0 until AddFixedRows. */
    int FixedRowCount() const { return fixedRowCount_; }

    /* The number of rows in the control (0 when unattached). */
    int RowCount() const;

    /* The row's state-image index minus one: 1 checked, 0 unchecked, -1 no
       check box. Any non-zero value counts as checked. */
    int IsRowChecked(int row) const;

    /* Sets the row's check box. */
    void SetRowChecked(int row, bool checked);

    /* The text of a row's column (1 is the location), read whole whatever its
       length. A null WideText when the text is empty, the row does not exist
       or a buffer cannot be allocated. */
    WideText GetRowText(int row, int column) const;

    /* Appends a row with the given item and location texts and check state,
       unless some row, fixed or user, already has exactly this location
       (letter case significant). */
    void AddRow(const char* item, const char* location, bool checked);

    /* -1 when no row at or after `start` has exactly `location` as its
       location text; any other value when one has. Empty locations never
       match. */
    int FindRowByLocation(const WideText& location, int start) const;

    /* Takes WM_PAINT (gradient painting), the four button-press messages
       (ToggleRow) and WM_DROPFILES, all with result 0; everything else goes
       to the control. */
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void ToggleRow(LPARAM point);
    void AddDroppedFiles(HDROP drop);
    void SetRowState(int row, UINT state);

    int fixedRowCount_ = 0;
};
