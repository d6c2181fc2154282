#include "PrintKit/support/PageBuffer.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#include <unistd.h>
#define QUILM_HAS_MMAP 1
#endif

namespace PrintKit {

namespace {

// Below this a block comes from the heap: a mapping per small image or caption would cost more in system
// calls than the heap keeps back.
constexpr std::size_t mappedFrom = std::size_t{1} << 18;
constexpr std::size_t hugePage = std::size_t{2} << 20;

} // namespace

PageBuffer::PageBuffer(std::size_t bytes, bool hugePages) {
    if (bytes == 0) {
        return;
    }
#if QUILM_HAS_MMAP
    if (bytes >= mappedFrom) {
        const bool huge = hugePages && bytes >= hugePage;
        const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        // A large page only backs a range that starts on its own boundary: map one more large page and keep
        // the aligned part.
        const std::size_t alignment = huge ? hugePage : page;
        const std::size_t rounded = (bytes + page - 1) / page * page;
        if (rounded < bytes || rounded > SIZE_MAX - alignment) {
            throw std::bad_alloc();
        }
        const std::size_t length = huge ? rounded + alignment : rounded;
        void* mapping = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED) {
            throw std::bad_alloc();
        }
        auto start = reinterpret_cast<std::uintptr_t>(mapping);
        const std::uintptr_t aligned = (start + alignment - 1) / alignment * alignment;
        if (huge) {
            // Give the unaligned head and the unused tail back at once.
            const std::size_t head = aligned - start;
            const std::size_t tail = length - head - rounded;
            if (head > 0) {
                ::munmap(mapping, head);
            }
            if (tail > 0) {
                ::munmap(reinterpret_cast<void*>(aligned + rounded), tail);
            }
            mapping = reinterpret_cast<void*>(aligned);
#if defined(MADV_HUGEPAGE)
            ::madvise(mapping, rounded, MADV_HUGEPAGE);
#endif
        }
        mapping_ = mapping;
        mapped_ = rounded;
        data_ = mapping;
        size_ = bytes;
        return;
    }
#endif
    (void)hugePages;
    data_ = std::malloc(bytes);
    if (!data_) {
        throw std::bad_alloc();
    }
    size_ = bytes;
}

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      mapping_(std::exchange(other.mapping_, nullptr)), mapped_(std::exchange(other.mapped_, 0)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapping_ = std::exchange(other.mapping_, nullptr);
        mapped_ = std::exchange(other.mapped_, 0);
    }
    return *this;
}

PageBuffer::~PageBuffer() {
    release();
}

void PageBuffer::release() noexcept {
#if QUILM_HAS_MMAP
    if (mapping_) {
        ::munmap(mapping_, mapped_);
    } else
#endif
    {
        std::free(data_);
    }
    data_ = nullptr;
    size_ = 0;
    mapping_ = nullptr;
    mapped_ = 0;
}

} // namespace PrintKit
