#pragma once
// A FileSystem that does every call on the real one and keeps a log of them, for the power-cut
// harness (PowerCut.h rebuilds from the log what a cut at any point would leave), and that fails
// chosen calls with a chosen errno, standing for a full disk, a dying card or one gone
// read-only.
//
//     RecordingFileSystem fs;
//     survey.UseFileSystem(fs);
//     fs.Fail(FsCall::Write, ENOSPC);            // every write from now on: the disk is full
//     fs.Fail(FsCall::SyncData, EIO, 2, 1);      // the third fdatasync fails, once
//     fs.FailEveryWrite(EROFS);                   // the card went read-only
//     fs.Heal();

#include "base/FileSystem.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace orv::test {

enum class FsCall {
    Create,
    Open,
    Write,
    Truncate,
    Sync,
    SyncData,
    SetMode,
    Lock,
    Close,
    Rename,
    Remove,
    MakeDirectory,
    SyncDirectory,
    Mark,  // not a call: a point the test names in the log
};

struct FsLogEntry
{
    FsCall call = FsCall::Mark;
    std::string path;  // the file (for calls on a handle: the path it was opened by)
    std::string to;    // Rename's target
    int handle = -1;
    uint64_t offset = 0;  // Write's offset, Truncate's length
    std::vector<uint8_t> bytes;
    std::string label;  // Mark
    int error = 0;      // the errno the call returned, 0 on success

    static FsLogEntry Of(FsCall call, std::string path = {}, std::string to = {}, int handle = -1)
    {
        FsLogEntry e;
        e.call = call;
        e.path = std::move(path);
        e.to = std::move(to);
        e.handle = handle;
        return e;
    }
};

class RecordingFileSystem final : public FileSystem
{
public:
    explicit RecordingFileSystem(FileSystem& real = DefaultFileSystem()) : m_real(real) {}

    std::error_code CreateNew(const std::string& path, unsigned mode, int& handle) override
    {
        FsLogEntry e = FsLogEntry::Of(FsCall::Create, path);
        std::error_code result = Injected(FsCall::Create, path);
        if (!result) {
            result = m_real.CreateNew(path, mode, handle);
        }
        if (!result) {
            m_paths[handle] = path;
            e.handle = handle;
        }
        return Logged(std::move(e), result);
    }

    std::error_code OpenExisting(const std::string& path, int& handle) override
    {
        FsLogEntry e = FsLogEntry::Of(FsCall::Open, path);
        std::error_code result = Injected(FsCall::Open, path);
        if (!result) {
            result = m_real.OpenExisting(path, handle);
        }
        if (!result) {
            m_paths[handle] = path;
            e.handle = handle;
        }
        return Logged(std::move(e), result);
    }

    std::error_code WriteAt(int handle, std::span<const uint8_t> bytes, uint64_t offset) override
    {
        FsLogEntry e = OnHandle(FsCall::Write, handle);
        e.offset = offset;
        e.bytes.assign(bytes.begin(), bytes.end());
        std::error_code result = Injected(FsCall::Write, e.path);
        if (result && bytes.size() > 1) {
            // A full disk often takes the first part of a write before it refuses the rest.
            static_cast<void>(m_real.WriteAt(handle, bytes.first(bytes.size() / 2), offset));
        } else if (!result) {
            result = m_real.WriteAt(handle, bytes, offset);
        }
        return Logged(std::move(e), result);
    }

    std::error_code Truncate(int handle, uint64_t length) override
    {
        FsLogEntry e = OnHandle(FsCall::Truncate, handle);
        e.offset = length;
        const std::string path = e.path;
        return Logged(std::move(e),
                      Do(FsCall::Truncate, path, [&] { return m_real.Truncate(handle, length); }));
    }

    std::error_code Sync(int handle) override
    {
        return OnHandleCall(FsCall::Sync, handle, [&] { return m_real.Sync(handle); });
    }

    std::error_code SyncData(int handle) override
    {
        return OnHandleCall(FsCall::SyncData, handle, [&] { return m_real.SyncData(handle); });
    }

    std::error_code SetMode(int handle, unsigned mode) override
    {
        return OnHandleCall(FsCall::SetMode, handle, [&] { return m_real.SetMode(handle, mode); });
    }

    std::error_code Lock(int handle) override
    {
        return OnHandleCall(FsCall::Lock, handle, [&] { return m_real.Lock(handle); });
    }

    std::error_code Close(int handle) override
    {
        FsLogEntry e = OnHandle(FsCall::Close, handle);
        m_paths.erase(handle);
        // A close always lets go of the handle, whatever it reports.
        const std::error_code injected = Injected(FsCall::Close, e.path);
        const std::error_code result = m_real.Close(handle);
        return Logged(std::move(e), injected ? injected : result);
    }

    std::error_code Rename(const std::string& from, const std::string& to) override
    {
        return Logged(FsLogEntry::Of(FsCall::Rename, from, to),
                      Do(FsCall::Rename, to, [&] { return m_real.Rename(from, to); }));
    }

    std::error_code Remove(const std::string& path) override
    {
        return Logged(FsLogEntry::Of(FsCall::Remove, path),
                      Do(FsCall::Remove, path, [&] { return m_real.Remove(path); }));
    }

    std::error_code MakeDirectory(const std::string& path) override
    {
        return Logged(FsLogEntry::Of(FsCall::MakeDirectory, path),
                      Do(FsCall::MakeDirectory, path, [&] { return m_real.MakeDirectory(path); }));
    }

    std::error_code SyncDirectory(const std::string& path) override
    {
        return Logged(
            FsLogEntry::Of(FsCall::SyncDirectory, path),
            Do(FsCall::SyncDirectory, path + "/", [&] { return m_real.SyncDirectory(path); }));
    }

    // Names the present point of the log (for example "station 3 acknowledged").
    void Mark(std::string label)
    {
        FsLogEntry e = FsLogEntry::Of(FsCall::Mark);
        e.label = std::move(label);
        m_log.push_back(std::move(e));
    }
    [[nodiscard]] const std::vector<FsLogEntry>& Log() const { return m_log; }
    void ClearLog() { m_log.clear(); }
    // How many calls of a kind succeeded.
    [[nodiscard]] int Count(FsCall call) const
    {
        int n = 0;
        for (const FsLogEntry& e : m_log) {
            n += e.call == call && e.error == 0 ? 1 : 0;
        }
        return n;
    }

    // Calls of `call` fail with `error` after `skip` more have succeeded, `times` times (all
    // later ones when negative).
    void Fail(FsCall call, int error, int skip = 0, int times = -1)
    {
        m_faults[call] = {error, skip, times};
    }
    // Every call that would change the disk fails with `error`: a card gone read-only (EROFS)
    // or pulled out (EIO).
    void FailEveryWrite(int error)
    {
        for (FsCall call : {FsCall::Create, FsCall::Open, FsCall::Write, FsCall::Truncate,
                            FsCall::Sync, FsCall::SyncData, FsCall::Rename, FsCall::Remove,
                            FsCall::MakeDirectory, FsCall::SyncDirectory}) {
            Fail(call, error);
        }
    }
    // Faults hit only calls on paths inside `folder` (a card), not the rest of the disk.
    void FailOnlyInside(std::string folder) { m_faultFolder = std::move(folder); }
    void Heal()
    {
        m_faults.clear();
        m_faultFolder.clear();
    }

private:
    struct Fault
    {
        int error = 0;
        int skip = 0;
        int times = -1;
    };

    FsLogEntry OnHandle(FsCall call, int handle) const
    {
        const auto it = m_paths.find(handle);
        return FsLogEntry::Of(call, it == m_paths.end() ? std::string() : it->second, {}, handle);
    }

    template <typename Call>
    std::error_code OnHandleCall(FsCall call, int handle, Call real)
    {
        FsLogEntry e = OnHandle(call, handle);
        const std::string path = e.path;
        return Logged(std::move(e), Do(call, path, real));
    }

    std::error_code Injected(FsCall call, const std::string& path)
    {
        if (!m_faultFolder.empty() && path.rfind(m_faultFolder + "/", 0) != 0) {
            return {};
        }
        const auto it = m_faults.find(call);
        if (it == m_faults.end() || it->second.times == 0) {
            return {};
        }
        if (it->second.skip > 0) {
            --it->second.skip;
            return {};
        }
        if (it->second.times > 0) {
            --it->second.times;
        }
        return {it->second.error, std::generic_category()};
    }

    template <typename Call>
    std::error_code Do(FsCall call, const std::string& path, Call real)
    {
        const std::error_code injected = Injected(call, path);
        return injected ? injected : real();
    }

    std::error_code Logged(FsLogEntry entry, std::error_code result)
    {
        entry.error = result.value();
        m_log.push_back(std::move(entry));
        return result;
    }

    FileSystem& m_real;
    std::vector<FsLogEntry> m_log;
    std::map<int, std::string> m_paths;
    std::map<FsCall, Fault> m_faults;
    std::string m_faultFolder;
};

}  // namespace orv::test
