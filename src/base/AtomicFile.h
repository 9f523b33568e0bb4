#pragma once
// Writes a file so that a crash, a full disk or a pulled card never leaves a half-written file
// where a good one was: the bytes go to a temporary file in the same folder, are flushed to the
// disk, the temporary is renamed over the target and the folder is flushed, so that the rename
// itself survives a power cut. Until Commit succeeds the old file is untouched (and comes back
// after a power cut); the temporary is removed unless committed.
//
//   std::string error;
//   if (!WriteFileAtomically(path, bytes, error)) { tell the operator `error`; keep the data }
//
// Every failure comes with a message naming the file and the reason, in words an operator can
// act on ("... No space left on device. The old file is unchanged.").

#include "base/FileSystem.h"

#include <cstdint>
#include <span>
#include <string>

namespace orv {

class AtomicFile
{
public:
    explicit AtomicFile(std::string path, FileSystem& fs = DefaultFileSystem());
    // Removes the temporary file unless Commit succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside the target.
    [[nodiscard]] bool Open(std::string& error);
    [[nodiscard]] bool Write(std::span<const uint8_t> bytes, std::string& error);
    // Flushes the temporary to the disk, renames it over the target and flushes the folder.
    // False when any step failed. When only the flush of the folder failed, the new file is in
    // place but a power cut may still bring back the old one: the error says so, and the
    // caller must not count the data as saved.
    [[nodiscard]] bool Commit(std::string& error);

private:
    void Discard();

    FileSystem& m_fs;
    std::string m_path;  // the target; a symbolic link is followed, so the link stays a link
    std::string m_temporary;
    int m_handle = -1;
    uint64_t m_written = 0;
    bool m_committed = false;
};

[[nodiscard]] bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                                       std::string& error, FileSystem& fs = DefaultFileSystem());

}  // namespace orv
