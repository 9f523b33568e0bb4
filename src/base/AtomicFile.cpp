#include "base/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <utility>

namespace orv {

namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

std::string Reason(const std::error_code& e) { return e.message(); }

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

// Six random letters and digits, as mkstemp puts in its names.
std::string RandomSuffix()
{
    static constexpr char kChars[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof kChars - 2);
    std::string suffix(6, 'x');
    for (char& c : suffix) {
        c = kChars[pick(random)];
    }
    return suffix;
}

// The permission bits of the file being replaced, or the usual ones for a new file.
unsigned ModeFor(const std::string& path)
{
    struct stat old
    {
    };
    if (::stat(path.c_str(), &old) == 0) {
        return old.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

AtomicFile::AtomicFile(std::string path, FileSystem& fs) : m_fs(fs), m_path(ResolvedTarget(path)) {}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard()
{
    if (m_handle >= 0) {
        static_cast<void>(m_fs.Close(m_handle));
        m_handle = -1;
    }
    if (!m_committed && !m_temporary.empty()) {
        // A temporary left by a failure or a crash is never read; removing it is tidiness.
        static_cast<void>(m_fs.Remove(m_temporary));
    }
    m_temporary.clear();
    m_written = 0;
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
    const unsigned mode = ModeFor(m_path);
    std::error_code e;
    std::string name;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = m_path + ".tmp-" + RandomSuffix();
        e = m_fs.CreateNew(name, 0600, m_handle);
        if (e != std::errc::file_exists) {
            break;
        }
    }
    if (e) {
        m_handle = -1;
        error = "Cannot save " + Quoted(m_path) +
                ": no temporary file can be created in the folder " + Quoted(FolderOf(m_path)) +
                " (" + Reason(e) + "). The old file is unchanged.";
        return false;
    }
    m_temporary = name;
    // Keep the permissions of the file being replaced. A file system without permissions
    // (a FAT card) refuses; the file is written all the same.
    static_cast<void>(m_fs.SetMode(m_handle, mode));
    return true;
}

bool AtomicFile::Write(std::span<const uint8_t> bytes, std::string& error)
{
    if (m_handle < 0) {
        error = "Cannot save " + Quoted(m_path) + ": the file is not open for writing.";
        return false;
    }
    if (std::error_code e = m_fs.WriteAt(m_handle, bytes, m_written)) {
        error = "Cannot save " + Quoted(m_path) + ": " + Reason(e) + ". The old file is unchanged.";
        Discard();
        return false;
    }
    m_written += bytes.size();
    return true;
}

bool AtomicFile::Commit(std::string& error)
{
    if (m_handle < 0) {
        error = "Cannot save " + Quoted(m_path) + ": the file is not open for writing.";
        return false;
    }
    if (std::error_code e = m_fs.Sync(m_handle)) {
        error = "Cannot save " + Quoted(m_path) + ": the data could not be flushed to the disk (" +
                Reason(e) + "). The old file is unchanged.";
        Discard();
        return false;
    }
    const std::error_code closed = m_fs.Close(m_handle);
    m_handle = -1;
    if (closed) {
        error = "Cannot save " + Quoted(m_path) + ": " + Reason(closed) +
                ". The old file is unchanged.";
        Discard();
        return false;
    }
    if (std::error_code e = m_fs.Rename(m_temporary, m_path)) {
        error = "Cannot save " + Quoted(m_path) + ": the new file could not replace the old one (" +
                Reason(e) + "). The old file is unchanged.";
        Discard();
        return false;
    }
    m_committed = true;
    m_temporary.clear();
    // Until the folder is flushed, a power cut may undo the rename and bring the old file back.
    if (std::error_code e = SyncFolder(m_fs, FolderOf(m_path))) {
        error = "The new " + Quoted(m_path) + " is written, but the disk did not confirm it (" +
                Reason(e) + "): after a power cut the old file may come back. Save again.";
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string& error, FileSystem& fs)
{
    AtomicFile file(path, fs);
    return file.Open(error) && file.Write(bytes, error) && file.Commit(error);
}

}  // namespace orv
