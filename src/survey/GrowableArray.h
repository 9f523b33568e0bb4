#pragma once
// The growable arrays of a survey: its slots, the positions of a track and their local
// coordinates. Each keeps a count, a capacity and a grow step (0 = automatic). Setting the
// count to n keeps the first elements, makes every new one empty (value-initialised: an empty
// slot is all zero) and drops those beyond n. When n exceeds the capacity the new capacity is
// the larger of n and capacity + step, the automatic step being count / 8 kept within 4..1024,
// so a survey that grows one station at a time reallocates rarely.
//
// Growing can fail for lack of memory: SetCount and Reserve then return false and leave the
// array as it was.

#include <algorithm>
#include <cassert>
#include <new>
#include <span>
#include <stdexcept>
#include <vector>

namespace orv {

template <typename T>
class GrowableArray
{
public:
    explicit GrowableArray(int growStep = 0) : m_growStep(growStep) {}

    [[nodiscard]] int Count() const { return static_cast<int>(m_items.size()); }
    [[nodiscard]] int Capacity() const { return m_capacity; }
    [[nodiscard]] bool Empty() const { return m_items.empty(); }

    [[nodiscard]] bool SetCount(int n)
    {
        if (n < 0) {
            return false;
        }
        if (n > m_capacity && !SetCapacityFor(n)) {
            return false;
        }
        m_items.resize(static_cast<size_t>(n));
        return true;
    }
    // SetCount, with each new element i made by make(i) where SetCount would make an empty one:
    // an array filled from a file is written once, not emptied first and then overwritten.
    template <typename Make>
    [[nodiscard]] bool SetCountWith(int n, const Make& make)
    {
        const int old = Count();
        if (n <= old) {
            return SetCount(n);
        }
        if (n > m_capacity && !SetCapacityFor(n)) {
            return false;
        }
        for (int i = old; i < n; ++i) {
            m_items.push_back(make(i));  // within the capacity: no reallocation, no throw
        }
        return true;
    }
    // Raises the capacity to at least n; the count stays.
    [[nodiscard]] bool Reserve(int n) { return n <= m_capacity || Grow(n); }

    T& operator[](int i)
    {
        assert(i >= 0 && i < Count());
        return m_items[static_cast<size_t>(i)];
    }
    const T& operator[](int i) const
    {
        assert(i >= 0 && i < Count());
        return m_items[static_cast<size_t>(i)];
    }
    [[nodiscard]] std::span<const T> View() const { return m_items; }
    [[nodiscard]] std::span<T> Items() { return m_items; }

private:
    // The capacity SetCount(n) would choose.
    bool SetCapacityFor(int n)
    {
        const int step = m_growStep > 0 ? m_growStep : std::clamp(Count() / 8, 4, 1024);
        return Grow(std::max(n, m_capacity + step));
    }

    bool Grow(int capacity)
    {
        try {
            m_items.reserve(static_cast<size_t>(capacity));
        } catch (const std::bad_alloc&) {
            return false;
        } catch (const std::length_error&) {
            return false;
        }
        m_capacity = capacity;
        return true;
    }

    std::vector<T> m_items;
    int m_capacity = 0;
    int m_growStep;
};

}  // namespace orv
