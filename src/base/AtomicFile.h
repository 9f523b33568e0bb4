#pragma once
// Writes a file so that a crash, a full disk or a pulled card never leaves a half-written file
// where a good one was: the bytes go to a temporary file in the same folder, are flushed to the
// disk, and the temporary is then renamed over the target. Until Commit succeeds the old file is
// untouched; the temporary is removed unless committed.
//
//   std::string error;
//   if (!WriteFileAtomically(path, bytes, error)) { tell the operator `error`; keep the data }
//
// Every failure comes with a message naming the file and the reason, in words an operator can
// act on ("... No space left on device. The old file is unchanged.").

#include <cstdint>
#include <span>
#include <string>

namespace orv {

class AtomicFile
{
public:
    explicit AtomicFile(std::string path);
    // Removes the temporary file unless Commit succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside the target.
    [[nodiscard]] bool Open(std::string& error);
    [[nodiscard]] bool Write(std::span<const uint8_t> bytes, std::string& error);
    // Flushes the temporary to the disk and renames it over the target.
    [[nodiscard]] bool Commit(std::string& error);

private:
    void Discard();

    std::string m_path;  // the target; a symbolic link is followed, so the link stays a link
    std::string m_temporary;
    int m_fd = -1;
    bool m_committed = false;
};

[[nodiscard]] bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                                       std::string& error);

}  // namespace orv
