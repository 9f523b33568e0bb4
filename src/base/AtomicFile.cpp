#include "base/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace orv {

namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

std::string Reason(int error) { return std::strerror(error); }

std::string FolderOf(const std::string& path)
{
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// Follows symbolic links (a calibration file linked from a data card stays on the card).
std::string ResolvedTarget(const std::string& path)
{
    std::error_code ec;
    std::filesystem::path p(path);
    for (int hops = 0; hops < 16 && std::filesystem::is_symlink(p, ec); ++hops) {
        const std::filesystem::path target = std::filesystem::read_symlink(p, ec);
        if (ec) {
            break;
        }
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p.string();
}

}  // namespace

AtomicFile::AtomicFile(std::string path) : m_path(ResolvedTarget(path)) {}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_committed && !m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
    }
    m_temporary.clear();
}

bool AtomicFile::Open(std::string& error)
{
    Discard();
    m_committed = false;
    if (m_path.empty()) {
        error = "No file name was given to save to.";
        return false;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(m_path, ec)) {
        error = "Cannot save " + Quoted(m_path) + ": it is a folder.";
        return false;
    }
    const std::string folder = FolderOf(m_path);
    std::string pattern = m_path + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    m_fd = ::mkstemp(name.data());
    if (m_fd < 0) {
        const int e = errno;
        error = "Cannot save " + Quoted(m_path) +
                ": no temporary file can be created in the folder " + Quoted(folder) + " (" +
                Reason(e) + "). The old file is unchanged.";
        return false;
    }
    m_temporary = name.data();
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat old
    {
    };
    mode_t mode = 0;
    if (::stat(m_path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(m_fd, mode);
    return true;
}

bool AtomicFile::Write(std::span<const uint8_t> bytes, std::string& error)
{
    if (m_fd < 0) {
        error = "Cannot save " + Quoted(m_path) + ": the file is not open for writing.";
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int e = n < 0 ? errno : ENOSPC;
            error =
                "Cannot save " + Quoted(m_path) + ": " + Reason(e) + ". The old file is unchanged.";
            Discard();
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool AtomicFile::Commit(std::string& error)
{
    if (m_fd < 0) {
        error = "Cannot save " + Quoted(m_path) + ": the file is not open for writing.";
        return false;
    }
    if (::fsync(m_fd) != 0) {
        const int e = errno;
        error = "Cannot save " + Quoted(m_path) + ": the data could not be flushed to the disk (" +
                Reason(e) + "). The old file is unchanged.";
        Discard();
        return false;
    }
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0) {
        const int e = errno;
        error = "Cannot save " + Quoted(m_path) + ": " + Reason(e) + ". The old file is unchanged.";
        Discard();
        return false;
    }
    if (std::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        const int e = errno;
        error = "Cannot save " + Quoted(m_path) + ": the new file could not replace the old one (" +
                Reason(e) + "). The old file is unchanged.";
        Discard();
        return false;
    }
    m_committed = true;
    m_temporary.clear();
    // Make the rename itself durable; a folder that cannot be synced still holds the new file.
    const int dir = ::open(FolderOf(m_path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string& error)
{
    AtomicFile file(path);
    return file.Open(error) && file.Write(bytes, error) && file.Commit(error);
}

}  // namespace orv
