#pragma once

// How a plain list model tells a view what changed. The window's Qt models implement it and
// turn each call into the matching model signal; the ledger works without one.

namespace ledger {

class ListObserver {
  public:
    virtual ~ListObserver() = default;
    virtual void aboutToReset() {}
    virtual void reset() {}  // all rows replaced
    virtual void aboutToInsertRows(int /*first*/, int /*last*/) {}
    virtual void rowsInserted(int /*first*/, int /*last*/) {}
    virtual void aboutToRemoveRow(int /*row*/) {}
    virtual void rowRemoved(int /*row*/) {}
    virtual void cellChanged(int /*row*/, int /*column*/) {}
    virtual void selectionChanged(int /*row*/) {}
};

}  // namespace ledger
