#include "platform/QtSerialPort.h"

#include <QSerialPort>

#include <algorithm>
#include <thread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>
#endif

namespace orv {

namespace {

using Clock = std::chrono::steady_clock;

// A Read gives other threads' Close a chance this often.
constexpr std::chrono::milliseconds kSlice(50);

std::string Text(const QString& s) { return s.toStdString(); }

std::chrono::milliseconds Remaining(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

}  // namespace

QtSerialPort::QtSerialPort() = default;

QtSerialPort::~QtSerialPort() { Close(); }

void QtSerialPort::SetError(std::string text) { m_error = std::move(text); }

bool QtSerialPort::Open(const std::string& device, uint32_t baud)
{
    ++m_closeRequests;
    std::scoped_lock lock(m_mutex);
    --m_closeRequests;
    CloseLocked();
    m_error.clear();

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(QString::fromStdString(device));
    if (!port->open(QIODevice::ReadWrite)) {
        SetError("cannot open " + device + ": " + Text(port->errorString()));
        return false;
    }
    const bool lineSet = port->setBaudRate(qint32(baud)) && port->setDataBits(QSerialPort::Data8) &&
                         port->setParity(QSerialPort::NoParity) &&
                         port->setStopBits(QSerialPort::OneStop) &&
                         port->setFlowControl(QSerialPort::NoFlowControl);
    if (!lineSet) {
        SetError("cannot set up " + device + " for " + std::to_string(baud) +
                 " baud: " + Text(port->errorString()));
        port->close();
        return false;
    }
    // Devices without modem lines (pseudo-terminals) refuse these; the link works without.
    port->setDataTerminalReady(true);
    port->setRequestToSend(true);
    port->clearError();
    // Only blocking waits drive the port from here on, from whichever thread uses it, so no
    // event loop may own its notifiers.
    port->moveToThread(nullptr);
    m_port = std::move(port);
    m_device = device;
    m_open = true;
    return true;
}

bool QtSerialPort::Close()
{
    ++m_closeRequests;
    std::scoped_lock lock(m_mutex);
    --m_closeRequests;
    CloseLocked();
    return true;
}

void QtSerialPort::CloseLocked()
{
    if (m_port) {
        m_port->close();
        m_port.reset();
    }
    m_open = false;
}

bool QtSerialPort::IsOpen() const { return m_open.load(); }

bool QtSerialPort::CheckAlive()
{
    std::scoped_lock lock(m_mutex);
    if (!m_port) {
        return false;
    }
#ifdef Q_OS_UNIX
    // A hung-up terminal may report itself readable too (the read would fail): between
    // exchanges nothing waits to be read, so a hang-up is the device gone.
    pollfd p{int(m_port->handle()), POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        SetError("the device " + m_device + " went away");
        CloseLocked();
        return false;
    }
#endif
    return true;
}

bool QtSerialPort::Write(std::span<const uint8_t> bytes)
{
    std::scoped_lock lock(m_mutex);
    if (!m_port) {
        SetError("the port is not open");
        return false;
    }
    const auto deadline = Clock::now() + ReadTimeoutFor(bytes.size());
#ifdef Q_OS_UNIX
    // Written straight to the descriptor: QSerialPort's own write path would make a notifier
    // for whichever thread happens to write.
    const int fd = int(m_port->handle());
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            SetError("cannot write to " + m_device + ": " + std::strerror(errno));
            if (errno == EIO || errno == ENXIO || errno == ENODEV) {
                CloseLocked();
            }
            return false;
        }
        const auto left = Remaining(deadline);
        if (left.count() == 0) {
            SetError("the device " + m_device + " took only " + std::to_string(done) + " of " +
                     std::to_string(bytes.size()) + " bytes");
            return false;
        }
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, int(left.count()));
    }
    return true;
#else
    const qint64 n =
        m_port->write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    if (n != qint64(bytes.size())) {
        SetError("cannot write to " + m_device + ": " + Text(m_port->errorString()));
        return false;
    }
    while (m_port->bytesToWrite() > 0) {
        const auto left = Remaining(deadline);
        if (left.count() == 0 || !m_port->waitForBytesWritten(int(left.count()))) {
            SetError("cannot write to " + m_device + ": " + Text(m_port->errorString()));
            return false;
        }
    }
    return true;
#endif
}

bool QtSerialPort::Read(std::span<uint8_t> out, std::chrono::milliseconds timeout, size_t& received)
{
    received = 0;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        {
            std::scoped_lock lock(m_mutex);
            if (!m_port) {
                SetError("the port is not open");
                return false;
            }
            const qint64 got = m_port->read(reinterpret_cast<char*>(out.data() + received),
                                            qint64(out.size() - received));
            if (got > 0) {
                received += size_t(got);
            }
            if (received == out.size()) {
                return true;
            }
            const auto wait = std::min(Remaining(deadline), kSlice);
            if (wait.count() == 0) {
                return true;
            }
#ifdef Q_OS_UNIX
            // QSerialPort's wait does not notice a hang-up (POLLHUP without POLLIN): it would
            // spin until the time-out. Watch the descriptor ourselves and let QSerialPort read
            // only when there is something to read.
            pollfd p{int(m_port->handle()), POLLIN, 0};
            const int ready = ::poll(&p, 1, int(wait.count()));
            if (ready > 0 && (p.revents & POLLIN) == 0 &&
                (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                SetError("the device " + m_device + " went away");
                CloseLocked();
                return false;
            }
            if (ready > 0) {
                m_port->clearError();
                m_port->waitForReadyRead(0);
            }
#else
            m_port->clearError();
            m_port->waitForReadyRead(int(wait.count()));
#endif
            const auto error = m_port->error();
            if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError) {
                SetError(error == QSerialPort::ResourceError
                             ? "the device " + m_device + " went away"
                             : "cannot read from " + m_device + ": " + Text(m_port->errorString()));
                CloseLocked();
                return false;
            }
        }
        if (m_closeRequests.load() > 0) {
            // Let the waiting Close have the port before the next slice.
            std::this_thread::yield();
        }
    }
}

void QtSerialPort::Purge()
{
    std::scoped_lock lock(m_mutex);
    if (m_port) {
        m_port->clear(QSerialPort::AllDirections);
        m_port->readAll();
    }
}

std::string QtSerialPort::ErrorText() const
{
    std::scoped_lock lock(m_mutex);
    return m_error;
}

}  // namespace orv
