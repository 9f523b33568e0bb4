#include "exchange/StagedOutput.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace orv {

namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

bool SyncPath(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return synced;
}

}  // namespace

StagedOutput::StagedOutput(std::string target) : m_target(std::move(target)) {}

StagedOutput::~StagedOutput() { Discard(); }

void StagedOutput::Discard()
{
    if (!m_folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
        m_folder.clear();
    }
}

bool StagedOutput::Open(std::string& error)
{
    Discard();
    if (m_target.empty()) {
        error = "No file name was given to export to.";
        return false;
    }
    const std::filesystem::path target(m_target);
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec)) {
        error = "Cannot export to " + Quoted(m_target) + ": it is a folder.";
        return false;
    }
    const std::string name = target.filename().string();
    const std::filesystem::path parent = target.parent_path().empty() ? "." : target.parent_path();
    std::string pattern = (parent / ("." + name + ".export-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        const int e = errno;
        error = "Cannot export to " + Quoted(m_target) + ": nothing can be created in the folder " +
                Quoted(parent.string()) + " (" + std::strerror(e) + ").";
        return false;
    }
    m_folder = buffer.data();
    m_staged = (std::filesystem::path(m_folder) / name).string();
    return true;
}

bool StagedOutput::Commit(std::string& error)
{
    if (m_folder.empty()) {
        error = "Cannot export to " + Quoted(m_target) + ": the output was not opened.";
        return false;
    }
    std::error_code ec;
    const std::filesystem::path target(m_target);
    const std::filesystem::path parent = target.parent_path().empty() ? "." : target.parent_path();
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder, ec)) {
        if (entry.is_regular_file(ec)) {
            files.push_back(entry.path());
        }
    }
    if (ec ||
        std::find(files.begin(), files.end(), std::filesystem::path(m_staged)) == files.end()) {
        error = "Cannot export to " + Quoted(m_target) + ": the writer made no file.";
        return false;
    }
    for (const std::filesystem::path& file : files) {
        if (!SyncPath(file.string(), O_RDONLY)) {
            const int e = errno;
            error = "Cannot export to " + Quoted(m_target) +
                    ": the data could not be flushed to the disk (" + std::strerror(e) +
                    "). The old file is unchanged.";
            return false;
        }
    }
    // Sidecars first, so that the main file never appears beside an old sidecar of its own.
    std::stable_partition(files.begin(), files.end(), [&](const std::filesystem::path& file) {
        return file != std::filesystem::path(m_staged);
    });
    for (const std::filesystem::path& file : files) {
        const std::filesystem::path destination = parent / file.filename();
        if (::rename(file.c_str(), destination.c_str()) != 0) {
            const int e = errno;
            error = "Cannot export to " + Quoted(m_target) + ": " + Quoted(destination.string()) +
                    " could not be replaced (" + std::strerror(e) + ").";
            return false;
        }
    }
    SyncPath(parent.string(), O_RDONLY | O_DIRECTORY);
    Discard();
    return true;
}

}  // namespace orv
