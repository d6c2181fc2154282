// Working memory of many megabytes (decoded photos, band buffers) taken from the system in whole pages and
// given back the moment it is released. Left to malloc, such blocks raise its threshold for mapping memory of
// its own, after which freed blocks of a few megabytes stay in its heaps: a grid page that decodes photo
// after photo then holds several times what it uses at any one moment.
#pragma once

#include <cstddef>

namespace PrintKit {

// Owned, move-only, not cleared by the program (pages mapped from the system arrive zeroed; small blocks from
// the heap hold whatever they held). Throws std::bad_alloc when the memory cannot be had.
class PageBuffer {
public:
    PageBuffer() noexcept = default;
    // hugePages asks the system to back the block with large pages where it can: passes that walk down
    // columns many rows apart then spend far fewer address translations. Only a hint.
    explicit PageBuffer(std::size_t bytes, bool hugePages = false);
    PageBuffer(PageBuffer&& other) noexcept;
    PageBuffer& operator=(PageBuffer&& other) noexcept;
    PageBuffer(const PageBuffer&) = delete;
    PageBuffer& operator=(const PageBuffer&) = delete;
    ~PageBuffer();

    void* data() noexcept { return data_; }
    const void* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }

    template <typename T> T* as() noexcept { return static_cast<T*>(data_); }
    template <typename T> const T* as() const noexcept { return static_cast<const T*>(data_); }

private:
    void release() noexcept;

    void* data_ = nullptr;
    std::size_t size_ = 0;
    void* mapping_ = nullptr; // the mapped range that holds data_, when mapped
    std::size_t mapped_ = 0;
};

} // namespace PrintKit
