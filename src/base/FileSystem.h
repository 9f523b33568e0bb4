#pragma once
// The file-system calls through which user data reaches the disk: the atomic saves of session
// and calibration files and the measurement journal go through one FileSystem, so that what
// they promise can be proven. DefaultFileSystem() is the real one (POSIX calls); the tests put
// a recording layer in its place to rebuild what a power cut at any moment would leave behind,
// and a failing one to stand for a full disk or a card gone read-only.
//
//     FileSystem& fs = DefaultFileSystem();
//     int handle = -1;
//     if (std::error_code e = fs.CreateNew(path, 0644, handle)) { report(e.message()); }
//
// Every call returns its failure as a std::error_code of the generic category (the errno value;
// message() gives the system's words, such as "No space left on device"); an empty code means
// success. Handles are those of the layer (file descriptors for the real one).
//
// Only what a write needs is here. Reading goes through the ordinary calls: a power cut cannot
// change what a read does, only what there is to read.

#include <cstdint>
#include <span>
#include <string>
#include <system_error>

namespace orv {

class FileSystem
{
public:
    virtual ~FileSystem() = default;

    // Creates `path`, which must not exist yet (EEXIST otherwise), for writing, with the
    // permission bits `mode` less the umask.
    virtual std::error_code CreateNew(const std::string& path, unsigned mode, int& handle) = 0;
    // Opens an existing file for writing without cutting it.
    virtual std::error_code OpenExisting(const std::string& path, int& handle) = 0;
    // Writes all of `bytes` at `offset`. A write the disk takes only in part is ENOSPC.
    virtual std::error_code WriteAt(int handle, std::span<const uint8_t> bytes,
                                    uint64_t offset) = 0;
    virtual std::error_code Truncate(int handle, uint64_t length) = 0;
    // fsync: the file's data, size and times are on the disk when it returns.
    virtual std::error_code Sync(int handle) = 0;
    // fdatasync: the data and what reading it back needs (the size), not the times.
    virtual std::error_code SyncData(int handle) = 0;
    virtual std::error_code SetMode(int handle, unsigned mode) = 0;
    // An exclusive advisory lock, held until the handle is closed; EWOULDBLOCK when another
    // open file holds it.
    virtual std::error_code Lock(int handle) = 0;
    virtual std::error_code Close(int handle) = 0;
    // Replaces `to` with `from` in one step. Both lie in the same folder.
    virtual std::error_code Rename(const std::string& from, const std::string& to) = 0;
    virtual std::error_code Remove(const std::string& path) = 0;
    // Creates one folder; EEXIST when something is there already.
    virtual std::error_code MakeDirectory(const std::string& path) = 0;
    // fsync of a folder: the names created, renamed and removed in it survive a power cut only
    // once this returned.
    virtual std::error_code SyncDirectory(const std::string& path) = 0;
};

// The POSIX file system, the one the program uses unless told otherwise.
FileSystem& DefaultFileSystem();

// The folder holding `path` ("." for a bare name).
std::string FolderOf(const std::string& path);

// Creates `path` and any missing folder above it, each new one made durable in its parent
// (a journal in a folder whose own name a power cut takes away would be lost with it).
std::error_code MakeDirectories(FileSystem& fs, const std::string& path);

// SyncDirectory, except that a file system that cannot sync folders at all (EINVAL, ENOTSUP)
// counts as done: there is nothing more a program can do there.
std::error_code SyncFolder(FileSystem& fs, const std::string& folder);

}  // namespace orv
