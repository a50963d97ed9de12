#include "editor/online_editing.h"

namespace korvane {

OnlineEditing::OnlineEditing(EditSession::Services services, std::shared_ptr<CDataFile> data,
                             EditRows& rows)
    : services_(services), data_(std::move(data)), rows_(rows) {}

OnlineEditing::~OnlineEditing() = default;

EditSession* OnlineEditing::Start(int firstSelected, int lastSelected) {
    (void)lastSelected;
    if (session_ || firstSelected < 0 || firstSelected >= rows_.RowCount()) return nullptr;
    return open(firstSelected);
}

EditSession* OnlineEditing::open(int row) {
    row_ = row;
    rows_.SelectRow(row);
    session_ =
        std::make_unique<EditSession>(services_, data_, rows_.RowItem(row), rows_.RowEntry(row));
    session_->Open();
    return session_.get();
}

EditSession* OnlineEditing::SessionClosed() {
    if (!session_) return nullptr;
    rows_.RedisplayValue(row_);
    const bool outside = session_->ClosedFromOutside();
    const int next = NavigateEditRow(row_, row_, rows_.RowCount(), session_->Navigation());
    session_.reset();
    if (outside || next < 0) return nullptr;
    return open(next);
}

void OnlineEditing::CloseFromOutside() {
    if (!session_) return;
    session_->CloseFromOutside();
    rows_.RedisplayValue(row_);
    session_.reset();
}

}  // namespace korvane
