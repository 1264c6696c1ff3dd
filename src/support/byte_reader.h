// Bounds-checked access to untrusted bytes: a file as read, a container, a decompressed prefetch
// image. Every read of such bytes goes through a byte_reader. A read that does not fit inside the
// bytes yields 0 (or an empty span) and marks the reader failed, and the mark stays: a record is
// read field by field and checked once with ok(), so a bad offset fails in this one place and no
// read ever leaves the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace runtrail {

// A read-only view of bytes.
class byte_span {
public:
    constexpr byte_span() = default;
    constexpr byte_span(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

    constexpr const uint8_t* data() const { return data_; }
    constexpr size_t size() const { return size_; }
    constexpr bool empty() const { return size_ == 0; }

    // True when [offset, offset + length) lies inside the view (without overflow).
    constexpr bool contains(uint64_t offset, uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    std::string_view as_chars() const { return {reinterpret_cast<const char*>(data_), size_}; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

class byte_reader {
public:
    constexpr explicit byte_reader(byte_span bytes) : bytes_(bytes) {}
    constexpr byte_reader(const uint8_t* data, size_t size) : bytes_(data, size) {}

    uint8_t u8(uint64_t offset) { return read<uint8_t>(offset); }
    uint16_t u16(uint64_t offset) { return read<uint16_t>(offset); }
    uint32_t u32(uint64_t offset) { return read<uint32_t>(offset); }
    uint64_t u64(uint64_t offset) { return read<uint64_t>(offset); }

    // The bytes [offset, offset + length), or an empty span (and failure) when they do not fit.
    byte_span span(uint64_t offset, uint64_t length) {
        if (!bytes_.contains(offset, length)) return fail<byte_span>();
        return {bytes_.data() + offset, static_cast<size_t>(length)};
    }
    // Everything from offset to the end (empty at the end itself).
    byte_span tail(uint64_t offset) {
        if (offset > bytes_.size()) return fail<byte_span>();
        return {bytes_.data() + offset, bytes_.size() - static_cast<size_t>(offset)};
    }

    bool ok() const { return !failed_; }
    size_t size() const { return bytes_.size(); }
    byte_span bytes() const { return bytes_; }

private:
    template <typename T>
    T fail() {
        failed_ = true;
        return T{};
    }
    // Little-endian values; the host is little-endian, so a plain copy is exact.
    template <typename T>
    T read(uint64_t offset) {
        if (!bytes_.contains(offset, sizeof(T))) return fail<T>();
        T value;
        std::memcpy(&value, bytes_.data() + offset, sizeof(T));
        return value;
    }

    byte_span bytes_;
    bool failed_ = false;
};

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "runtrail decodes little-endian records with memcpy");

}  // namespace runtrail
