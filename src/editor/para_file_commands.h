#pragma once
// One editor's parameter files and text export: saving and reading a parameter set, the values
// an offline editor changed since its last one, and the text file an online editor writes once
// it has read every group afresh.
#include <functional>
#include <optional>
#include <string>

#include "editor/editor_context.h"

namespace korvane {

class CParaArray;

class ParaFileCommands {
public:
    using Done = std::function<void(bool ok)>;
    // Stops any read, runs `starting`, reads every group from the drive and then runs `then`;
    // false when the editor has no reading (offline), and nothing happened.
    using ReadAllGroups =
        std::function<bool(const std::function<void()>& starting, std::function<void()> then)>;

    ParaFileCommands(EditorContext& context, ReadAllGroups readAll);

    // False: cancelled, refused or failed.
    void SaveParameterFile(Done done = {});
    void ReadParameterFile(Done done = {});
    // True once the file is chosen; an online editor writes it after reading every group.
    void SaveTextFile(Done done = {});
    // An online editor shows values read from a parameter file that it has neither written
    // to the drive nor read from it since.
    bool ShowsFileValues() const;

    // Values an offline editor changed since its last parameter file.
    bool ValuesChanged() const { return valuesChanged_; }
    void MarkValuesChanged() { valuesChanged_ = true; }
    void ForgetValuesChanged() { valuesChanged_ = false; }
    // A text export still waiting for its read is dropped.
    void DropPendingExport() { pendingExport_.reset(); }

private:
    void saveTo(const std::string& path, const Done& done);
    void readFrom(const std::string& path, const Done& done);
    void markFileValues(const CParaArray& set);
    void exportTo(const std::string& path);

    EditorContext& context_;
    ReadAllGroups readAll_;
    std::optional<std::string> pendingExport_;
    bool valuesChanged_ = false;
};

}  // namespace korvane
