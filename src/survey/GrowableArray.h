#pragma once
// The growable arrays of a survey: its slots, the positions of a track and their local
// coordinates. Each keeps a count, a capacity and a grow step (0 = automatic). Setting the
// count to n keeps the first elements, makes every new one empty (value-initialised: an empty
// slot is all zero) and drops those beyond n. When n exceeds the capacity the new capacity is
// the larger of n and capacity + step, the automatic step being count / 8 kept within 4..1024,
// so a survey that grows one station at a time reallocates rarely.
//
// The elements are kept in one block of memory. A large block grows by moving its pages rather
// than copying them (where the system allows it): a survey of 100 000 stations that takes one
// more does not copy 20 MB while the crew waits.
//
// Growing can fail for lack of memory: SetCount and Reserve then return false and leave the
// array as it was.

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

namespace orv {

namespace growable_block {
// A block of `bytes` (at least 1), or null. Blocks of kMappedBytes and more are whole pages of
// their own.
void* Allocate(size_t bytes);
// The block made `newBytes` long (more than `oldBytes`), its first oldBytes kept; it may move.
// Null when memory ran out: the old block is then untouched.
void* Grow(void* block, size_t oldBytes, size_t newBytes);
void Free(void* block, size_t bytes);
constexpr size_t kMappedBytes = size_t{1} << 20;
}  // namespace growable_block

template <typename T>
class GrowableArray
{
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                  "the elements move with their block's bytes");

public:
    explicit GrowableArray(int growStep = 0) : m_growStep(growStep) {}
    ~GrowableArray() { Release(); }
    GrowableArray(const GrowableArray& other) : m_growStep(other.m_growStep)
    {
        if (other.m_count > 0) {
            if (!Grow(other.m_count)) {
                throw std::bad_alloc();
            }
            std::memcpy(static_cast<void*>(m_data), other.m_data, Bytes(other.m_count));
            m_count = other.m_count;
        }
    }
    GrowableArray& operator=(const GrowableArray& other)
    {
        if (this != &other) {
            GrowableArray copy(other);
            Swap(copy);
        }
        return *this;
    }
    GrowableArray(GrowableArray&& other) noexcept : m_growStep(other.m_growStep) { Swap(other); }
    GrowableArray& operator=(GrowableArray&& other) noexcept
    {
        if (this != &other) {
            Release();
            Swap(other);
        }
        return *this;
    }

    [[nodiscard]] int Count() const { return m_count; }
    [[nodiscard]] int Capacity() const { return m_capacity; }
    [[nodiscard]] bool Empty() const { return m_count == 0; }

    [[nodiscard]] bool SetCount(int n)
    {
        if (n < 0) {
            return false;
        }
        if (n > m_capacity && !SetCapacityFor(n)) {
            return false;
        }
        for (int i = m_count; i < n; ++i) {
            ::new (static_cast<void*>(m_data + i)) T();
        }
        m_count = n;
        return true;
    }
    // SetCount, with each new element i made by make(i) where SetCount would make an empty one:
    // an array filled from a file is written once, not emptied first and then overwritten.
    template <typename Make>
    [[nodiscard]] bool SetCountWith(int n, const Make& make)
    {
        if (n <= m_count) {
            return SetCount(n);
        }
        if (n > m_capacity && !SetCapacityFor(n)) {
            return false;
        }
        for (int i = m_count; i < n; ++i) {
            ::new (static_cast<void*>(m_data + i)) T(make(i));
            m_count = i + 1;  // made so far, should make throw
        }
        return true;
    }
    // Raises the capacity to at least n; the count stays.
    [[nodiscard]] bool Reserve(int n) { return n <= m_capacity || Grow(n); }

    T& operator[](int i)
    {
        assert(i >= 0 && i < Count());
        return m_data[i];
    }
    const T& operator[](int i) const
    {
        assert(i >= 0 && i < Count());
        return m_data[i];
    }
    [[nodiscard]] std::span<const T> View() const { return {m_data, static_cast<size_t>(m_count)}; }
    [[nodiscard]] std::span<T> Items() { return {m_data, static_cast<size_t>(m_count)}; }

private:
    static size_t Bytes(int n) { return static_cast<size_t>(n) * sizeof(T); }

    // The capacity SetCount(n) would choose.
    bool SetCapacityFor(int n)
    {
        const int step = m_growStep > 0 ? m_growStep : std::clamp(Count() / 8, 4, 1024);
        const int capacity = m_capacity > std::numeric_limits<int>::max() - step
                                 ? std::numeric_limits<int>::max()
                                 : m_capacity + step;
        return Grow(std::max(n, capacity));
    }

    bool Grow(int capacity)
    {
        if (capacity <= 0 ||
            static_cast<size_t>(capacity) > std::numeric_limits<size_t>::max() / sizeof(T)) {
            return false;
        }
        void* block = m_data == nullptr
                          ? growable_block::Allocate(Bytes(capacity))
                          : growable_block::Grow(m_data, Bytes(m_capacity), Bytes(capacity));
        if (block == nullptr) {
            return false;
        }
        m_data = static_cast<T*>(block);
        m_capacity = capacity;
        return true;
    }

    void Release()
    {
        if (m_data != nullptr) {
            growable_block::Free(m_data, Bytes(m_capacity));
        }
        m_data = nullptr;
        m_count = 0;
        m_capacity = 0;
    }

    void Swap(GrowableArray& other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_count, other.m_count);
        std::swap(m_capacity, other.m_capacity);
        std::swap(m_growStep, other.m_growStep);
    }

    T* m_data = nullptr;
    int m_count = 0;
    int m_capacity = 0;
    int m_growStep;
};

}  // namespace orv
