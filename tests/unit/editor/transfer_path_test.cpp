#include "editor/transfer_path.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(TransferPath, CompletesTheNameAndRemembersTheFileType) {
    using O = TransferPathOutcome;
    using K = TransferFileKind;
    struct Case {
        const char* typed;
        int choiceBefore;
        O outcome;
        const char* path;
        K kind;
        int choiceAfter;
    } cases[] = {
        {"/w/set", 0, O::kOk, "/w/set.par", K::kParaSet, 1},
        {"/w/set", 2, O::kOk, "/w/set.usr", K::kUserGroup, 2},
        {"  /w/set  ", 7, O::kOk, "/w/set.par", K::kParaSet, 1},  // out of range: a .par
        {"/w/SET.PAR", 2, O::kOk, "/w/SET.PAR", K::kParaSet, 1},
        {"/w/g.Usr", 1, O::kOk, "/w/g.Usr", K::kUserGroup, 2},
        {"/w/notes.txt", 1, O::kOk, "/w/notes.txt.par", K::kParaSet, 1},
        {"/w/notes.txt", 2, O::kOk, "/w/notes.txt.usr", K::kUserGroup, 2},
        // The extension is the file name's, not a directory's.
        {"/w.par/set", 1, O::kOk, "/w.par/set.par", K::kParaSet, 1},
        {"", 1, O::kEmpty, "", K::kParaSet, 1},
        {" \t", 1, O::kEmpty, "", K::kParaSet, 1},
        {"set.par", 2, O::kNoFileName, "set.par", K::kParaSet, 2},
        {"/w/", 1, O::kNoFileName, "/w/", K::kParaSet, 1},
    };
    for (const Case& c : cases) {
        TransferFileChoice choice;
        choice.set(c.choiceBefore);
        TransferPath r = ResolveTransferPath(c.typed, choice);
        EXPECT_EQ(r.outcome, c.outcome) << c.typed;
        if (r.outcome == O::kOk) {
            EXPECT_EQ(r.path, c.path) << c.typed;
            EXPECT_EQ(r.kind, c.kind) << c.typed;
        }
        EXPECT_EQ(choice.get(), c.choiceAfter) << c.typed;
    }
}

}  // namespace
}  // namespace korvane
