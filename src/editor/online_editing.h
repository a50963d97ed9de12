#pragma once
// The online editing command: one edit dialog after another over the list's rows, moving down
// or up as the dialog's move buttons say, until a dialog closes for good.
#include <memory>

#include "editor/edit_session.h"

namespace korvane {

class CDataFile;
class CItem;
struct UserGroupEntry;

// What the online editing needs of the parameter list.
class EditRows {
public:
    virtual ~EditRows() = default;
    virtual int RowCount() const = 0;
    // The row's item (null for a user-group entry the data file lacks), and its entry in the
    // user-group layout.
    virtual CItem* RowItem(int row) const = 0;
    virtual UserGroupEntry* RowEntry(int row) const = 0;
    // Selects and focuses the row and scrolls it into view.
    virtual void SelectRow(int row) = 0;
    virtual void RedisplayValue(int row) = 0;
};

class OnlineEditing {
public:
    OnlineEditing(EditSession::Services services, std::shared_ptr<CDataFile> data, EditRows& rows);
    ~OnlineEditing();

    // Opens the dialog on the first selected row; null when there is no row.
    EditSession* Start(int firstSelected, int lastSelected);
    // The current dialog closed: its row is redisplayed and the next dialog opened where the
    // navigation points; null when the editing ended. Called after the session's onClosed has
    // returned (posted), never from inside it: the closed session is destroyed here.
    EditSession* SessionClosed();
    // A new tree selection, disconnection or graph watch mode ends the editing at once.
    void CloseFromOutside();

    EditSession* Current() { return session_.get(); }
    // The list's edit-in-progress flag.
    bool InProgress() const { return session_ != nullptr; }

private:
    EditSession* open(int row);

    EditSession::Services services_;
    std::shared_ptr<CDataFile> data_;
    EditRows& rows_;
    std::unique_ptr<EditSession> session_;
    int row_ = -1;
};

}  // namespace korvane
