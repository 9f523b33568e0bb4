#pragma once
// Output that appears whole or not at all. A writer that makes several files (a CSV and its
// .csvt) or that cannot write to a temporary file of its own choosing (a GDAL driver) writes
// into a fresh folder beside the target; Commit flushes every file in it to the disk and renames
// each beside the target, the target itself last. Until then the old files are untouched, and
// the folder with whatever was written is removed unless committed.
//
//   StagedOutput out(path);
//   if (!out.Open(error)) { ... }
//   write to out.Path() (and its sidecars beside it)
//   if (!out.Commit(error)) { ... the old files are unchanged ... }

#include <string>

namespace orv {

class StagedOutput
{
public:
    explicit StagedOutput(std::string target);
    ~StagedOutput();
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;

    [[nodiscard]] bool Open(std::string& error);
    // Where the writer writes: the target's name inside the staging folder.
    [[nodiscard]] const std::string& Path() const { return m_staged; }
    [[nodiscard]] bool Commit(std::string& error);

private:
    void Discard();

    std::string m_target;
    std::string m_folder;  // the staging folder
    std::string m_staged;
};

}  // namespace orv
