#pragma once
// The status strip above the pages: the link state, fix age and batteries of
// session/StatusStrip.h, refreshed twice a second from what the window gathers. Items that need an
// eye are amber, items that stop the work red; the strip wraps rather than widening the window.

#include <QBasicTimer>
#include <QLabel>

#include <functional>
#include <vector>

namespace orv {

// session/StatusStrip.h; moc does not read the core's C++20 headers.
struct StripInput;
struct StripItem;

class CStatusStrip final : public QLabel
{
    Q_OBJECT

public:
    // `gather` is called at every refresh, on the window's thread.
    CStatusStrip(std::function<StripInput()> gather, QWidget* parent = nullptr);
    ~CStatusStrip() override;

    // Gathers and shows now (tests and screenshots).
    void Refresh();
    const std::vector<StripItem>& Items() const { return m_items; }

    static constexpr int kRefreshMs = 500;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    std::function<StripInput()> m_gather;
    std::vector<StripItem> m_items;
    QBasicTimer m_timer;
};

}  // namespace orv
