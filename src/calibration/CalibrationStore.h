#pragma once
// All calibrations known to the program, keyed by CalibrationId, read from and written to the
// calibration INI file ("OrvCalibration.ini"). The map iterates in the order of the handheld's
// hash table (101 buckets, newest first inside a bucket); the saved file and the first-record
// rule of Select follow that order.

#include "base/CodePage.h"
#include "base/FileSystem.h"
#include "calibration/CalibrationId.h"
#include "calibration/CalibrationRecord.h"

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace orv {

class Prompt;

class CalibrationStore
{
public:
    // Reads `path` with Import (a missing file leaves the store empty), then clears `modified`.
    // The prompt answers the overwrite question of Merge. Loading asks nothing: the program's own
    // file never holds two records of one identity, and if an edited copy does, the later one is
    // kept (with a warning) and loading goes on. Comments are in the code page named by
    // ORVCONTROL_CODEPAGE (windows-1251 when unset). Saves write through `fs`.
    CalibrationStore(std::string path, Prompt& prompt, FileSystem& fs = DefaultFileSystem());
    // Close, when it has not run yet: writes the file back when a record changed.
    ~CalibrationStore();
    CalibrationStore(const CalibrationStore&) = delete;
    CalibrationStore& operator=(const CalibrationStore&) = delete;

    // Reads an INI file of the calibration dialect and merges every complete section. False only
    // when the file cannot be opened (`error` says why); the store is then unchanged.
    [[nodiscard]] bool Import(const std::string& path, std::string& error);
    // Stores a record, asking before replacing a different record of the same identity. False
    // when the operator chose Cancel.
    bool Merge(const CalibrationId& id, const CalibrationRecord& record);
    bool Remove(const CalibrationId& id);
    [[nodiscard]] bool Lookup(const CalibrationId& id, CalibrationRecord& record) const;
    // The calibration to use for `id`; `id` is overwritten with the identity of the record
    // returned (the built-in default, serial 9 of 28/02/2007, when the store is empty).
    void Select(CalibrationId& id, CalibrationRecord& record) const;
    // Writes the whole store atomically; clears `modified`. False, with the reason, when the file
    // cannot be written; the old file is then left whole.
    [[nodiscard]] bool Save(const std::string& path, std::string& error);
    // Saves to `path` when modified. False with the reason when that save failed. A file that
    // exists but could not be read at construction is never overwritten by Close (it may hold
    // calibrations this store never saw): Close then fails with the reason.
    [[nodiscard]] bool Close(std::string& error);

    // Every (identity, record) in store order.
    void ForEach(
        const std::function<void(const CalibrationId&, const CalibrationRecord&)>& visit) const;
    [[nodiscard]] int Count() const;
    [[nodiscard]] bool Modified() const;
    [[nodiscard]] const std::string& Path() const;

    // What the last Import (the load at construction included) skipped and why, one message
    // each: lines cut, values that are not numbers, sections without valid frequencies.
    [[nodiscard]] const std::vector<std::string>& Warnings() const;
    // Why the file at `path` could not be read at construction; empty when it was read or is
    // simply missing.
    [[nodiscard]] const std::string& LoadError() const;
    [[nodiscard]] const CodePage& FileCodePage() const;

private:
    struct Entry
    {
        CalibrationId id;
        CalibrationRecord record;
    };
    static constexpr size_t kBucketCount = 101;

    enum class Mode { Loading, Importing };
    [[nodiscard]] bool ReadFile(const std::string& path, Mode mode, std::string& error);
    Entry* Find(const CalibrationId& id);
    const Entry* Find(const CalibrationId& id) const;

    std::string m_path;
    Prompt& m_prompt;
    FileSystem& m_fs;
    CodePage m_codePage;
    // Each chain is kept head first: a new identity goes to the front, and loading the
    // program's own file appends, so the chains come back in the order they were saved.
    std::array<std::vector<Entry>, kBucketCount> m_buckets;
    int m_count = 0;
    bool m_modified = false;
    bool m_closed = false;
    std::string m_loadError;
    std::vector<std::string> m_warnings;
};

}  // namespace orv
