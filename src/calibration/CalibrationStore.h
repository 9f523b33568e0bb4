#pragma once
// All calibrations known to the program, keyed by CalibrationId, read from and written to the
// calibration INI file ("OrvCalibration.ini"). The map iterates in the order of the handheld's
// hash table (101 buckets, newest first inside a bucket); the saved file and the first-record
// rule of Select follow that order.

#include <functional>
#include <string>
#include <vector>

#include "calibration/CalibrationId.h"
#include "calibration/CalibrationRecord.h"

namespace orv {

class Prompt;

class CalibrationStore
{
public:
    // Reads `path` with Import (a missing file leaves the store empty), then clears `modified`.
    // The prompt answers the overwrite question of Merge.
    CalibrationStore(std::string path, Prompt& prompt);
    // Close: writes the file back when a record changed.
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
    // Saves to `path` when modified. False with the reason when that save failed.
    [[nodiscard]] bool Close(std::string& error);

    // Every (identity, record) in store order.
    void ForEach(const std::function<void(const CalibrationId&, const CalibrationRecord&)>& visit) const;
    [[nodiscard]] int Count() const;
    [[nodiscard]] bool Modified() const;
    [[nodiscard]] const std::string& Path() const;

private:
    struct Impl;
    // filled in by the implementation
};

}  // namespace orv
