#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace orv::sim {

namespace {

using Clock = std::chrono::steady_clock;

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

int RemainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// True when `path` is a symbolic link whose target is `target`.
bool LinkPointsAt(const std::string& path, const std::string& target)
{
    char buffer[4096];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (n < 0) {
        return false;
    }
    return std::string(buffer, static_cast<size_t>(n)) == target;
}

}  // namespace

PseudoTerminal::~PseudoTerminal() { Close(); }

bool PseudoTerminal::Open(std::string& error)
{
    CloseDescriptors();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        error = SystemError("cannot create a pseudo-terminal");
        return false;
    }
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        error = SystemError("cannot unlock the pseudo-terminal");
        ::close(master);
        return false;
    }
    char name[256];
    if (::ptsname_r(master, name, sizeof name) != 0) {
        error = SystemError("cannot name the pseudo-terminal");
        ::close(master);
        return false;
    }
    // Holding the slave open ourselves keeps the master from reading a hang-up while no client
    // has the port open.
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) {
        error = SystemError(std::string("cannot open ") + name);
        ::close(master);
        return false;
    }
    termios tio{};
    if (::tcgetattr(slave, &tio) != 0) {
        error = SystemError("cannot read the terminal settings");
        ::close(slave);
        ::close(master);
        return false;
    }
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    tio.c_cflag |= CLOCAL | CREAD;
    if (::tcsetattr(slave, TCSANOW, &tio) != 0) {
        error = SystemError("cannot set the terminal to raw mode");
        ::close(slave);
        ::close(master);
        return false;
    }
    const int flags = ::fcntl(master, F_GETFL);
    if (flags < 0 || ::fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = SystemError("cannot make the pseudo-terminal non-blocking");
        ::close(slave);
        ::close(master);
        return false;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    m_master = master;
    m_slave = slave;
    m_slavePath = name;
    if (m_linked) {
        m_linked = false;
        return LinkAt(m_linkPath, error);
    }
    return true;
}

bool PseudoTerminal::LinkAt(const std::string& path, std::string& error)
{
    if (!IsOpen()) {
        error = "the pseudo-terminal is not open";
        return false;
    }
    if (path.empty()) {
        error = "no path given for the port link";
        return false;
    }
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = path +
                " exists and is not a symbolic link; not replacing it (set "
                "ORVCONTROL_PORT_PATTERN to a free path, e.g. /tmp/orvport%u)";
        return false;
    }
    // A new link under a temporary name renamed over the old one: a client never finds the
    // path missing while a stale link is replaced.
    const std::string temporary = path + ".new" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(m_slavePath.c_str(), temporary.c_str()) != 0) {
        error = SystemError("cannot create the link " + path);
        if (errno == EACCES || errno == ENOENT || errno == EPERM) {
            error += " (set ORVCONTROL_PORT_PATTERN to a writable path, e.g. /tmp/orvport%u)";
        }
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = SystemError("cannot put the link at " + path);
        ::unlink(temporary.c_str());
        return false;
    }
    if (m_linked && m_linkPath != path) {
        RemoveLink();
    }
    m_linkPath = path;
    m_linked = true;
    return true;
}

void PseudoTerminal::RemoveLink()
{
    if (m_linked && !m_slavePath.empty() && LinkPointsAt(m_linkPath, m_slavePath)) {
        ::unlink(m_linkPath.c_str());
    }
    m_linked = false;
}

bool PseudoTerminal::Read(std::span<uint8_t> out, std::chrono::milliseconds timeout,
                          size_t& received)
{
    received = 0;
    if (!IsOpen()) {
        return false;
    }
    const auto deadline = Clock::now() + timeout;
    while (received < out.size()) {
        size_t got = 0;
        if (!ReadSome(out.subspan(received), std::chrono::milliseconds(RemainingMs(deadline)),
                      got)) {
            return false;
        }
        received += got;
        if (got == 0 && RemainingMs(deadline) == 0) {
            break;
        }
    }
    return true;
}

bool PseudoTerminal::ReadSome(std::span<uint8_t> out, std::chrono::milliseconds timeout,
                              size_t& received)
{
    received = 0;
    if (!IsOpen()) {
        return false;
    }
    if (out.empty()) {
        return true;
    }
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const ssize_t n = ::read(m_master, out.data(), out.size());
        if (n > 0) {
            received = static_cast<size_t>(n);
            return true;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        const int wait = RemainingMs(deadline);
        if (wait == 0) {
            return true;
        }
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, wait) < 0 && errno != EINTR) {
            return false;
        }
    }
}

bool PseudoTerminal::Write(std::span<const uint8_t> bytes, std::chrono::milliseconds timeout)
{
    if (!IsOpen()) {
        return false;
    }
    const auto deadline = Clock::now() + timeout;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        const int wait = RemainingMs(deadline);
        if (wait == 0) {
            return false;
        }
        pollfd p{m_master, POLLOUT, 0};
        if (::poll(&p, 1, wait) < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

void PseudoTerminal::DiscardInput()
{
    if (IsOpen()) {
        ::tcflush(m_master, TCIFLUSH);
        uint8_t buffer[256];
        while (::read(m_master, buffer, sizeof buffer) > 0) {
        }
    }
}

void PseudoTerminal::AllowNewClients()
{
    if (m_slave >= 0) {
        ::ioctl(m_slave, TIOCNXCL);
    }
}

void PseudoTerminal::Close()
{
    RemoveLink();
    CloseDescriptors();
}

void PseudoTerminal::CloseDescriptors()
{
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    // While linked, the link path is kept so that a reopened terminal takes the link over; until
    // then it points at a slave that is gone, which a client sees as a port that cannot open.
    m_slavePath.clear();
}

}  // namespace orv::sim
