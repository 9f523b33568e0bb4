#include "base/FileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orv {

namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

std::error_code Checked(int result) { return result == 0 ? std::error_code() : LastError(); }

// Calls `call` again while a signal interrupts it.
template <typename Call>
int Retrying(Call call)
{
    int result = 0;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

class PosixFileSystem final : public FileSystem
{
public:
    std::error_code CreateNew(const std::string& path, unsigned mode, int& handle) override
    {
        handle = Retrying([&] {
            return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode_t(mode));
        });
        return handle < 0 ? LastError() : std::error_code();
    }

    std::error_code OpenExisting(const std::string& path, int& handle) override
    {
        handle = Retrying([&] { return ::open(path.c_str(), O_WRONLY | O_CLOEXEC); });
        return handle < 0 ? LastError() : std::error_code();
    }

    std::error_code WriteAt(int handle, std::span<const uint8_t> bytes, uint64_t offset) override
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::pwrite(handle, bytes.data() + done, bytes.size() - done, off_t(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                return LastError();
            }
            if (n == 0) {
                return {ENOSPC, std::generic_category()};
            }
            done += size_t(n);
        }
        return {};
    }

    std::error_code Truncate(int handle, uint64_t length) override
    {
        return Checked(Retrying([&] { return ::ftruncate(handle, off_t(length)); }));
    }

    std::error_code Sync(int handle) override { return Checked(::fsync(handle)); }

    std::error_code SyncData(int handle) override { return Checked(::fdatasync(handle)); }

    std::error_code SetMode(int handle, unsigned mode) override
    {
        return Checked(::fchmod(handle, mode_t(mode)));
    }

    std::error_code Lock(int handle) override
    {
        return Checked(Retrying([&] { return ::flock(handle, LOCK_EX | LOCK_NB); }));
    }

    // The descriptor is gone whatever close says; EINTR must not be retried on Linux.
    std::error_code Close(int handle) override { return Checked(::close(handle)); }

    std::error_code Rename(const std::string& from, const std::string& to) override
    {
        return Checked(::rename(from.c_str(), to.c_str()));
    }

    std::error_code Remove(const std::string& path) override
    {
        return Checked(::unlink(path.c_str()));
    }

    std::error_code MakeDirectory(const std::string& path) override
    {
        return Checked(::mkdir(path.c_str(), 0777));
    }

    std::error_code SyncDirectory(const std::string& path) override
    {
        const int dir =
            Retrying([&] { return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
        if (dir < 0) {
            return LastError();
        }
        const std::error_code result = Checked(::fsync(dir));
        ::close(dir);
        return result;
    }
};

}  // namespace

FileSystem& DefaultFileSystem()
{
    static PosixFileSystem fs;
    return fs;
}

std::string FolderOf(const std::string& path)
{
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

std::error_code MakeDirectories(FileSystem& fs, const std::string& path)
{
    std::error_code ec;
    if (path.empty() || std::filesystem::is_directory(path, ec)) {
        return {};
    }
    // The missing folders, the outermost first.
    std::vector<std::filesystem::path> missing;
    std::filesystem::path start = std::filesystem::path(path).lexically_normal();
    if (!start.has_filename()) {
        start = start.parent_path();  // "data/" is the folder "data"
    }
    for (std::filesystem::path p = start; !p.empty() && !std::filesystem::exists(p, ec);
         p = p.parent_path()) {
        missing.push_back(p);
        if (p == p.parent_path() || !p.has_relative_path()) {
            break;
        }
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        const std::string folder = it->string();
        if (std::error_code e = fs.MakeDirectory(folder); e && e != std::errc::file_exists) {
            return e;
        }
        if (std::error_code e = SyncFolder(fs, FolderOf(folder))) {
            return e;
        }
    }
    return {};
}

std::error_code SyncFolder(FileSystem& fs, const std::string& folder)
{
    std::error_code e = fs.SyncDirectory(folder);
    if (e == std::errc::invalid_argument || e == std::errc::not_supported) {
        return {};
    }
    return e;
}

}  // namespace orv
