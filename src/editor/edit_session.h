#pragma once
// One parameter's read/write edit dialog (the value dialog for numbers and option lists, the
// bit dialog for bit strings) as a state machine: the widget renders texts and control states
// and forwards the user's buttons; replies from the drive link move it on. Exactly one request
// is outstanding at a time.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm/drive_reply.h"
#include "common/signal.h"
#include "paradb/typed_value.h"

namespace korvane {

class CDataFile;
class CDriveLink;
class CItem;
class CWriteHistory;
class Prompter;
struct DriveRecord;
struct UserGroupEntry;

enum class EditDialogKind { kValue, kBits };
// The bit dialog for an item with a bit-string type; the value dialog for everything else,
// rows whose item is missing included.
EditDialogKind ChooseEditDialog(const CItem* item);

// Where the online editing goes after a dialog closes.
enum EditNavigation : int { kEditClose = 0, kEditNext = 1, kEditPrevious = 2 };

struct EditControls {
    bool value = false;  // the numeric field, option list or check boxes
    bool read = false;
    bool write = false;
    bool move = false;  // the next and previous buttons
    bool close = true;
    bool focusClose = false;
};

// Why a write would not be sent. A read-only parameter is never written (its Write button stays
// disabled); the run lock and the range refuse with their messages and a fresh read.
enum class WriteRefusal { kNone, kReadOnly, kRunLock, kRange, kNotANumber, kTooManyDecimals };

class EditSession : public ReplySink {
public:
    struct Services {
        CDriveLink& link;
        const DriveRecord& drive;  // station, status word (run lock), rpm words
        CWriteHistory& history;
        Prompter& prompter;
    };

    // `item` may be null for a user-group entry whose address the data file lacks; `entry` is
    // set when the edit comes from a user-group row. `data` is held for the session's life.
    EditSession(Services services, std::shared_ptr<CDataFile> data, CItem* item,
                UserGroupEntry* entry);
    ~EditSession() override;

    // Starts from the entry's stored value in user-group mode, else reads the parameter.
    void Open();

    EditDialogKind Kind() const { return kind_; }
    bool IsUserGroupMode() const { return entry_ != nullptr; }
    const CItem* Item() const { return item_; }

    std::string Title() const;
    std::string Heading() const;
    std::string UnitText() const;
    std::string MaximumText() const;
    std::string MinimumText() const;
    std::string DefaultText() const;
    const std::string& StatusText() const { return status_; }
    const EditControls& Controls() const { return controls_; }

    // The value dialog: an option list, else a numeric field with this pattern.
    bool IsOptionList() const;
    const std::vector<std::string>* OptionTexts() const;
    const FieldPattern& Pattern() const { return pattern_; }
    // The bit dialog: boxes Bit0 .. Bit(count-1) are shown; Val: is the word's text.
    int BitCount() const;
    std::string BitValueText() const;

    // The value control, as the user leaves it.
    const std::string& FieldText() const { return fieldText_; }
    int SelectedIndex() const { return selected_; }
    std::uint16_t Bits() const { return bits_; }
    void SetFieldText(std::string text);
    void SetFieldNumber(double value);
    void SetSelectedIndex(int index);
    void SetBits(std::uint16_t bits);

    // Button 1111.
    void Read();
    // Button 1110: run lock, range check, then the write.
    void Write();
    // What Write would refuse, without side effects; `raw` is the word it would send.
    WriteRefusal CheckWrite(std::uint32_t* raw = nullptr) const;

    // Close, Escape or a move button (kEditNext, kEditPrevious). An unwritten value asks
    // whether to write it; on yes the session closes once that write is answered. Returns
    // whether the session is closed now (false while the question is open).
    bool RequestClose(int navigation = kEditClose);
    // Disconnection, graph watch mode or a new tree selection: closes without a question.
    void CloseFromOutside();

    bool IsClosed() const { return closed_; }
    bool ClosedFromOutside() const { return closedFromOutside_; }
    bool IsDone() const { return done_; }
    bool IsBusy() const { return pending_ != Pending::kNone; }
    int Navigation() const { return navigation_; }
    // The value shown after the last answered request (rpm where the item is shown in rpm).
    double ShownValue() const { return shownValue_; }
    bool HasReference() const { return hasReference_; }
    // The code that failed the last answered write (0 when it succeeded).
    int LastWriteError() const { return lastWriteError_; }
    std::uint32_t Reference() const { return reference_; }

    // After every change the widget should render; and once when the session closes.
    Signal<> changed;
    Signal<> closed;

    void OnDriveReply(int station, const DriveReply& reply) override;

private:
    enum class Pending { kNone, kRead, kWrite };

    int Station() const;
    void showValue(std::uint32_t raw);
    std::optional<double> controlValue() const;
    bool controlDiffersFromShown() const;
    void queue(Pending kind, std::uint32_t raw);
    void disableControls();
    void enableControls();
    void onFailure(Pending kind, const DriveReply& reply);
    void onSuccess(Pending kind, std::uint32_t word);
    std::uint32_t storeValue(std::uint32_t word);
    void finishClose();

    Services services_;
    std::shared_ptr<CDataFile> data_;
    CItem* item_;
    UserGroupEntry* entry_;
    EditDialogKind kind_;
    FieldPattern pattern_;

    std::string fieldText_;
    int selected_ = -1;
    std::uint16_t bits_ = 0;
    double shownValue_ = 0.0;
    std::uint32_t reference_ = 0;
    bool hasReference_ = false;
    std::uint32_t beforeWrite_ = 0;
    int lastWriteError_ = 0;

    EditControls controls_;
    std::string status_;
    Pending pending_ = Pending::kNone;
    bool done_ = false;
    bool closing_ = false;
    bool asking_ = false;  // the unsaved-value question is open
    bool closed_ = false;
    bool closedFromOutside_ = false;
    int navigation_ = kEditClose;
};

// The row the online editing moves to: the next row after the last selected one (the first
// after the last row), or the row before the first selected (the last before the first).
// -1 when there is no row or the navigation is kEditClose.
int NavigateEditRow(int firstSelected, int lastSelected, int rowCount, int navigation);

}  // namespace korvane
