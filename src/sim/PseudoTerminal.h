#pragma once
// A pseudo-terminal that plays a serial device. The simulator holds the master side; a client
// (OrvControl through QSerialPort, or anyone) opens the slave by its path, usually through a
// symbolic link put where the port pattern says the port lives.
//
//     PseudoTerminal pty;
//     std::string error;
//     if (!pty.Open(error) || !pty.LinkAt(DevicePathForPort(3), error)) { report(error); }
//     uint8_t command[9];
//     size_t got = 0;
//     if (pty.Read(command, std::chrono::milliseconds(100), got) && got == sizeof command) ...
//     pty.Write(reply);
//
// The terminal is in raw mode (no echo, no line editing, 8 bits). The object keeps a slave
// descriptor of its own open, so a client may open and close the port as often as it likes
// without the master seeing a hang-up. Close() (or the destructor) ends the terminal: the
// client's reads then fail as on a link that went away, and the link is removed when it still
// points at this terminal. Open() on an open terminal makes a new one and moves the link to it,
// which a client sees as the port going away and coming back.
//
// Not thread-safe: one thread reads and writes. Every wait is bounded by its time-out, so a
// serving loop can check a stop flag between calls.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace orv::sim {

class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Creates a new terminal in raw mode. An open terminal is closed first and its link, if
    // any, moved to the new one. False with a reason.
    [[nodiscard]] bool Open(std::string& error);
    [[nodiscard]] bool IsOpen() const { return m_master >= 0; }
    // The slave's own device path, e.g. "/dev/pts/7"; empty when closed.
    [[nodiscard]] const std::string& SlavePath() const { return m_slavePath; }

    // Puts a symbolic link to the slave at `path`. A link already there (a stale one from an
    // earlier run, or ours) is replaced; any other file is left alone and reported, so a real
    // device node is never removed. The link is removed again by Close().
    [[nodiscard]] bool LinkAt(const std::string& path, std::string& error);
    [[nodiscard]] const std::string& LinkPath() const { return m_linkPath; }
    // Removes the link when it still points at this terminal's slave.
    void RemoveLink();

    // Waits at most `timeout` until out.size() bytes arrived and sets `received`. A time-out is
    // a short count; false only when the terminal failed or is closed.
    [[nodiscard]] bool Read(std::span<uint8_t> out, std::chrono::milliseconds timeout,
                            size_t& received);
    // Like Read, but returns as soon as any bytes are there.
    [[nodiscard]] bool ReadSome(std::span<uint8_t> out, std::chrono::milliseconds timeout,
                                size_t& received);
    // Writes all bytes, waiting at most `timeout` for room (a client that never reads fills
    // the terminal's buffer). False when not all were written.
    [[nodiscard]] bool Write(std::span<const uint8_t> bytes,
                             std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    // Drops bytes the client sent that were not read yet.
    void DiscardInput();
    // Lifts the exclusive mode a client may have set (QSerialPort does, and lifts it when it
    // closes). Since this side keeps the terminal open, a client that died without closing
    // would otherwise leave every later open refused; call it while the line is idle.
    void AllowNewClients();

    // Ends the terminal and removes the link. Safe to call twice.
    void Close();

private:
    void CloseDescriptors();

    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_linkPath;
    bool m_linked = false;
};

}  // namespace orv::sim
