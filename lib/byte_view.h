// Bounds-checked, read-only access to untrusted bytes (a prefetch image, a compressed container).
// Every read names its offset and returns std::nullopt when any byte of it lies outside the
// view, so a bad offset read from a file fails here, in one place, and never reads past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace qn {

class byte_view {
public:
    constexpr byte_view() = default;
    constexpr byte_view(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
    explicit byte_view(const std::vector<uint8_t>& bytes) : byte_view(bytes.data(), bytes.size()) {}

    constexpr size_t size() const { return size_; }
    constexpr bool empty() const { return size_ == 0; }
    constexpr const uint8_t* data() const { return data_; }

    // True when [offset, offset + length) lies inside the view (overflow-safe).
    constexpr bool contains(uint64_t offset, uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    std::optional<uint8_t> u8(uint64_t offset) const { return read<uint8_t>(offset); }
    std::optional<uint16_t> u16(uint64_t offset) const { return read<uint16_t>(offset); }
    std::optional<uint32_t> u32(uint64_t offset) const { return read<uint32_t>(offset); }
    std::optional<uint64_t> u64(uint64_t offset) const { return read<uint64_t>(offset); }

    // The sub-range [offset, offset + length), or nullopt when it does not fit.
    std::optional<byte_view> sub(uint64_t offset, uint64_t length) const {
        if (!contains(offset, length)) return std::nullopt;
        return byte_view(data_ + offset, static_cast<size_t>(length));
    }
    // Everything from offset to the end (empty at offset == size), or nullopt past the end.
    std::optional<byte_view> tail(uint64_t offset) const {
        if (offset > size_) return std::nullopt;
        return byte_view(data_ + offset, size_ - static_cast<size_t>(offset));
    }

private:
    // Little-endian decode; the host is little-endian (x86-64, AArch64 Linux), so memcpy is exact.
    template <typename T>
    std::optional<T> read(uint64_t offset) const {
        if (!contains(offset, sizeof(T))) return std::nullopt;
        T value;
        std::memcpy(&value, data_ + offset, sizeof(T));
        return value;
    }

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "runtrail decodes little-endian records with memcpy");

}  // namespace qn
