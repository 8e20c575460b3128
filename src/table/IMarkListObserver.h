#pragma once
// What a view needs to follow a CMarkList without resetting itself on every change.

namespace palaverly {

/// Notifications of CMarkList, called synchronously on the owning thread. Structural changes
/// come in pairs (about to / done) so that an item model can bracket them; every method has an
/// empty default so that an observer overrides only what it uses.
class IMarkListObserver {
public:
    virtual ~IMarkListObserver() = default;

    virtual void OnColumnAboutToBeInserted(int /*column*/) {}
    virtual void OnColumnInserted(int /*column*/) {}
    virtual void OnColumnWidthChanged(int /*column*/) {}

    virtual void OnRowAboutToBeInserted(int /*row*/) {}
    virtual void OnRowInserted(int /*row*/) {}
    /// Texts of the row changed (colour and mark stay).
    virtual void OnRowChanged(int /*row*/) {}
    virtual void OnRowAboutToBeRemoved(int /*row*/) {}
    virtual void OnRowRemoved(int /*row*/) {}
    virtual void OnAllRowsAboutToBeRemoved() {}
    virtual void OnAllRowsRemoved() {}

    /// The mark or the focused state of the row changed.
    virtual void OnMarkChanged(int /*row*/) {}
    /// The row should be scrolled fully into view.
    virtual void OnEnsureVisible(int /*row*/) {}

    /// The changes up to OnBatchEnd belong together (one drain of received datagrams): an
    /// observer may hold back rows added below the last and rows removed from the top and
    /// announce them as one range each at the end, provided it catches up before it handles
    /// any other change. Batches do not nest.
    virtual void OnBatchBegin() {}
    virtual void OnBatchEnd() {}
};

} // namespace palaverly
