#pragma once
// What a power cut leaves of a folder, rebuilt from the log of a RecordingFileSystem.
//
// The disk is modelled as harshly as POSIX allows:
// - a write reaches the disk only with a later fsync or fdatasync of its file; until then a cut
//   may keep it, drop it, or tear it to a prefix that ends on a 512-byte sector boundary, each
//   unsynced write independently of the others;
// - a name created, renamed, removed or a folder made in a folder is durable only once that
//   folder was synced; until then a cut may keep or lose each such change, independently (a
//   rename whose source was lost does nothing);
// - a file whose name, or a folder above whose name, was lost is gone, whatever was synced.
//
//     const DiskImage before = TakeImage(dir);
//     ... the calls, recorded by `fs`, with fs.Mark(...) at the points the test cares about ...
//     PowerCut cut(before, fs.Log());
//     for (size_t point = 0; point <= fs.Log().size(); ++point) {
//         cut.ForEachState(point, [&](const DiskImage& image) {
//             PutImage(dir, image);
//             ... open or recover what is in `dir` and check it ...
//         });
//     }

#include "RecordingFileSystem.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace orv::test {

// The folders and files below a root folder, by absolute path.
struct DiskImage
{
    std::set<std::string> folders;
    std::map<std::string, std::vector<uint8_t>> files;

    bool operator<(const DiskImage& other) const
    {
        return std::tie(folders, files) < std::tie(other.folders, other.files);
    }
};

inline DiskImage TakeImage(const std::filesystem::path& root)
{
    DiskImage image;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_directory()) {
            image.folders.insert(entry.path().string());
        } else if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            image.files[entry.path().string()] = {std::istreambuf_iterator<char>(in),
                                                  std::istreambuf_iterator<char>()};
        }
    }
    return image;
}

// Empties `root` and puts `image` there.
inline void PutImage(const std::filesystem::path& root, const DiskImage& image)
{
    for (const auto& entry : std::filesystem::directory_iterator(root)) {
        std::filesystem::remove_all(entry.path());
    }
    for (const std::string& folder : image.folders) {
        std::filesystem::create_directories(folder);
    }
    for (const auto& [path, bytes] : image.files) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
}

class PowerCut
{
public:
    static constexpr uint64_t kSector = 512;

    PowerCut(DiskImage before, std::vector<FsLogEntry> log)
        : m_before(std::move(before)), m_log(std::move(log))
    {}

    // The marks (FsLogEntry::label) before `point`.
    [[nodiscard]] std::vector<std::string> MarksBefore(size_t point) const
    {
        std::vector<std::string> marks;
        for (size_t i = 0; i < point && i < m_log.size(); ++i) {
            if (m_log[i].call == FsCall::Mark) {
                marks.push_back(m_log[i].label);
            }
        }
        return marks;
    }

    // Calls `visit` with every distinct state a cut just before log entry `point` can leave
    // (point == log size: after the last call) and returns how many there were. Past `limit`
    // combinations a seeded random choice of `limit` of them is visited, always with the one
    // that keeps everything and the one that keeps only what was synced.
    size_t ForEachState(size_t point, const std::function<void(const DiskImage&)>& visit,
                        size_t limit = 4096) const
    {
        State state = Replay(point);
        // The choices: per unsynced change of a file, keep / drop / tear at each sector
        // boundary; per unsynced change of a folder, keep / drop.
        struct Choice
        {
            int file = -1;      // index into state.pendingFiles, or -1 for a folder change
            size_t change = 0;  // index of the change (or of the folder change)
            std::vector<int64_t> outcomes;  // -1 keep, -2 drop, n >= 0: torn to n bytes
        };
        std::vector<Choice> choices;
        for (size_t f = 0; f < state.pendingFiles.size(); ++f) {
            const Inode& inode = state.inodes[state.pendingFiles[f]];
            for (size_t c = 0; c < inode.pending.size(); ++c) {
                const Change& change = inode.pending[c];
                Choice choice{int(f), c, {-1, -2}};
                if (change.kind == Change::Kind::Write) {
                    const uint64_t end = change.offset + change.bytes.size();
                    for (uint64_t b = (change.offset / kSector + 1) * kSector; b < end;
                         b += kSector) {
                        choice.outcomes.push_back(int64_t(b - change.offset));
                    }
                }
                choices.push_back(std::move(choice));
            }
        }
        for (size_t d = 0; d < state.pendingNames.size(); ++d) {
            choices.push_back({-1, d, {-1, -2}});
        }

        double combinations = 1;
        for (const Choice& c : choices) {
            combinations *= double(c.outcomes.size());
        }
        std::set<DiskImage> seen;
        const auto build = [&](const std::vector<size_t>& pick) {
            DiskImage image = Build(state, [&](int file, size_t change) {
                for (size_t i = 0; i < choices.size(); ++i) {
                    if (choices[i].file == file && choices[i].change == change) {
                        return choices[i].outcomes[pick[i]];
                    }
                }
                return int64_t(-1);
            });
            if (seen.insert(image).second) {
                visit(image);
            }
        };
        std::vector<size_t> pick(choices.size(), 0);
        if (combinations <= double(limit)) {
            while (true) {
                build(pick);
                size_t i = 0;
                for (; i < pick.size(); ++i) {
                    if (++pick[i] < choices[i].outcomes.size()) {
                        break;
                    }
                    pick[i] = 0;
                }
                if (i == pick.size()) {
                    break;
                }
            }
        } else {
            build(pick);                                    // everything kept
            build(std::vector<size_t>(choices.size(), 1));  // only what was synced
            std::mt19937 random(uint32_t(point) * 7919u + 17u);
            for (size_t n = 2; n < limit; ++n) {
                for (size_t i = 0; i < pick.size(); ++i) {
                    pick[i] = std::uniform_int_distribution<size_t>(
                        0, choices[i].outcomes.size() - 1)(random);
                }
                build(pick);
            }
        }
        return seen.size();
    }

private:
    struct Change
    {
        enum class Kind { Write, Truncate } kind = Kind::Write;
        uint64_t offset = 0;  // Truncate: the length
        std::vector<uint8_t> bytes;
    };
    struct Inode
    {
        std::vector<uint8_t> durable;
        std::vector<Change> pending;
    };
    struct NameChange
    {
        FsCall call;
        std::string folder;  // the folder whose sync makes it durable
        std::string path;
        std::string to;
        int inode = -1;
    };
    // A name: a file (its inode) or a folder (-1).
    using Names = std::map<std::string, int>;
    struct State
    {
        std::vector<Inode> inodes;
        Names durable;
        Names current;
        std::vector<NameChange> pendingNames;
        std::vector<int> pendingFiles;  // inodes with unsynced changes
    };

    static std::string Folder(const std::string& path)
    {
        return std::filesystem::path(path).parent_path().string();
    }

    State Replay(size_t point) const
    {
        State s;
        for (const std::string& folder : m_before.folders) {
            s.durable[folder] = -1;
        }
        for (const auto& [path, bytes] : m_before.files) {
            s.durable[path] = int(s.inodes.size());
            s.inodes.push_back({bytes, {}});
        }
        s.current = s.durable;
        std::map<int, int> handles;  // handle -> inode
        for (size_t i = 0; i < point && i < m_log.size(); ++i) {
            const FsLogEntry& e = m_log[i];
            if (e.error != 0) {
                continue;
            }
            switch (e.call) {
                case FsCall::Create: {
                    const int inode = int(s.inodes.size());
                    s.inodes.push_back({});
                    s.current[e.path] = inode;
                    handles[e.handle] = inode;
                    s.pendingNames.push_back({e.call, Folder(e.path), e.path, {}, inode});
                    break;
                }
                case FsCall::Open:
                    handles[e.handle] = s.current.at(e.path);
                    break;
                case FsCall::Write:
                    s.inodes[size_t(handles.at(e.handle))].pending.push_back(
                        {Change::Kind::Write, e.offset, e.bytes});
                    break;
                case FsCall::Truncate:
                    s.inodes[size_t(handles.at(e.handle))].pending.push_back(
                        {Change::Kind::Truncate, e.offset, {}});
                    break;
                case FsCall::Sync:
                case FsCall::SyncData: {
                    Inode& inode = s.inodes[size_t(handles.at(e.handle))];
                    for (const Change& c : inode.pending) {
                        Apply(inode.durable, c, -1);
                    }
                    inode.pending.clear();
                    break;
                }
                case FsCall::Close:
                    handles.erase(e.handle);
                    break;
                case FsCall::Rename: {
                    const int inode = s.current.at(e.path);
                    s.current.erase(e.path);
                    s.current[e.to] = inode;
                    s.pendingNames.push_back({e.call, Folder(e.to), e.path, e.to, inode});
                    break;
                }
                case FsCall::Remove:
                    s.current.erase(e.path);
                    s.pendingNames.push_back({e.call, Folder(e.path), e.path, {}, -1});
                    break;
                case FsCall::MakeDirectory:
                    s.current[e.path] = -1;
                    s.pendingNames.push_back({e.call, Folder(e.path), e.path, {}, -1});
                    break;
                case FsCall::SyncDirectory: {
                    const std::string folder =
                        std::filesystem::path(e.path).lexically_normal().string();
                    std::vector<NameChange> still;
                    for (const NameChange& c : s.pendingNames) {
                        if (std::filesystem::path(c.folder).lexically_normal().string() == folder) {
                            ApplyName(s.durable, c);
                        } else {
                            still.push_back(c);
                        }
                    }
                    s.pendingNames = std::move(still);
                    break;
                }
                case FsCall::SetMode:
                case FsCall::Lock:
                case FsCall::Mark:
                    break;
            }
        }
        for (size_t i = 0; i < s.inodes.size(); ++i) {
            if (!s.inodes[i].pending.empty()) {
                s.pendingFiles.push_back(int(i));
            }
        }
        return s;
    }

    // outcome: -1 keep, -2 drop, n >= 0 the first n bytes of a write.
    static void Apply(std::vector<uint8_t>& data, const Change& c, int64_t outcome)
    {
        if (outcome == -2) {
            return;
        }
        if (c.kind == Change::Kind::Truncate) {
            data.resize(size_t(c.offset));
            return;
        }
        const size_t n = outcome < 0 ? c.bytes.size() : size_t(outcome);
        if (data.size() < c.offset + n) {
            data.resize(size_t(c.offset + n));
        }
        std::copy(c.bytes.begin(), c.bytes.begin() + std::ptrdiff_t(n),
                  data.begin() + std::ptrdiff_t(c.offset));
    }

    static void ApplyName(Names& names, const NameChange& c)
    {
        switch (c.call) {
            case FsCall::Create:
                names[c.path] = c.inode;
                break;
            case FsCall::MakeDirectory:
                names[c.path] = -1;
                break;
            case FsCall::Remove:
                names.erase(c.path);
                break;
            case FsCall::Rename: {
                const auto it = names.find(c.path);
                if (it != names.end()) {
                    const int inode = it->second;
                    names.erase(it);
                    names[c.to] = inode;
                }
                break;
            }
            default:
                break;
        }
    }

    DiskImage Build(const State& s,
                    const std::function<int64_t(int file, size_t change)>& outcome) const
    {
        Names names = s.durable;
        for (size_t d = 0; d < s.pendingNames.size(); ++d) {
            if (outcome(-1, d) == -1) {
                ApplyName(names, s.pendingNames[d]);
            }
        }
        std::map<int, size_t> pendingIndex;
        for (size_t f = 0; f < s.pendingFiles.size(); ++f) {
            pendingIndex[s.pendingFiles[f]] = f;
        }
        DiskImage image;
        const auto reachable = [&](const std::string& path) {
            for (std::filesystem::path p = std::filesystem::path(path).parent_path();
                 p.has_relative_path(); p = p.parent_path()) {
                const auto it = names.find(p.string());
                if (it != names.end()) {
                    if (it->second != -1) {
                        return false;  // a file where a folder should be
                    }
                    continue;
                }
                // Above the recorded tree (the root of the test's folder) everything stays.
                return !IsInside(p.string());
            }
            return true;
        };
        for (const auto& [path, inode] : names) {
            if (!reachable(path)) {
                continue;
            }
            if (inode == -1) {
                image.folders.insert(path);
                continue;
            }
            std::vector<uint8_t> data = s.inodes[size_t(inode)].durable;
            const auto it = pendingIndex.find(inode);
            if (it != pendingIndex.end()) {
                const std::vector<Change>& changes = s.inodes[size_t(inode)].pending;
                for (size_t c = 0; c < changes.size(); ++c) {
                    Apply(data, changes[c], outcome(int(it->second), c));
                }
            }
            image.files[path] = std::move(data);
        }
        return image;
    }

    // True when `folder` is one the recorded calls or the first image know of, so that its
    // name can be lost.
    bool IsInside(const std::string& folder) const
    {
        if (m_before.folders.count(folder) != 0) {
            return true;
        }
        for (const FsLogEntry& e : m_log) {
            if (e.call == FsCall::MakeDirectory && e.path == folder) {
                return true;
            }
        }
        return false;
    }

    DiskImage m_before;
    std::vector<FsLogEntry> m_log;
};

}  // namespace orv::test
