// UTF-16LE names to UTF-8, and UTF-8 validation.
#include "unicode_text.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace runtrail {
namespace {

constexpr char32_t k_replacement_character = 0xFFFD;
constexpr char32_t k_max_code_point = 0x10FFFF;
constexpr size_t k_max_utf8_bytes_per_unit = 3;

bool is_high_surrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
char32_t combine_surrogates(uint32_t high, uint32_t low) {
    return static_cast<char32_t>(((high - 0xD800) << 10) + (low - 0xDC00) + 0x10000);
}

// Length of the well-formed UTF-8 sequence at text[i] (1 to 4), or 0 when it is malformed,
// overlong, a surrogate or above U+10FFFF.
size_t valid_utf8_sequence(std::string_view text, size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t n;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        n = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - i < n) return 0;
    for (size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > k_max_code_point || is_high_surrogate(cp) || is_low_surrogate(cp)) return 0;
    return n;
}

// ASCII text is narrowed eight units at a time into a small local block, which is appended to
// the result block-wise.
constexpr size_t k_units_per_step = 8;
constexpr size_t k_narrow_block = 256;
static_assert(k_narrow_block % k_units_per_step == 0);

#if defined(__SSE2__)
// Narrows eight units at `src` into eight bytes at `dst` when every one of them is ASCII and not
// zero (a unit in 1..0x7F, which as a signed 16-bit value is above 0 and below 0x80); false
// otherwise, with `dst` undefined.
bool narrow_ascii_step(const uint8_t* src, char* dst) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i ascii = _mm_and_si128(_mm_cmpgt_epi16(units, _mm_setzero_si128()),
                                        _mm_cmplt_epi16(units, _mm_set1_epi16(0x80)));
    if (_mm_movemask_epi8(ascii) != 0xFFFF) return false;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(units, units));
    return true;
}
#else
// Four little-endian UTF-16 units in one 64-bit word. A unit is ASCII when none of the
// k_non_ascii_units bits is set; a unit is zero when subtracting 1 borrows out of it into its
// top bit while that bit was clear (exact for telling whether any unit of the word is zero).
constexpr uint64_t k_non_ascii_units = 0xFF80FF80FF80FF80ULL;
constexpr uint64_t k_unit_ones = 0x0001000100010001ULL;
constexpr uint64_t k_unit_tops = 0x8000800080008000ULL;

bool narrow_ascii_step(const uint8_t* src, char* dst) {
    for (size_t half = 0; half < 2; ++half) {
        uint64_t word;
        std::memcpy(&word, src + sizeof word * half, sizeof word);
        if ((word & k_non_ascii_units) != 0 || ((word - k_unit_ones) & ~word & k_unit_tops) != 0) return false;
        const auto narrowed = static_cast<uint32_t>((word & 0xFF) | ((word >> 8) & 0xFF00) |
                                                    ((word >> 16) & 0xFF0000) | ((word >> 24) & 0xFF000000));
        std::memcpy(dst + sizeof narrowed * half, &narrowed, sizeof narrowed);
    }
    return true;
}
#endif

// Appends the UTF-8 form of `count` UTF-16LE units (any values; rules of utf16_units_to_utf8).
void append_utf16le(std::string& out, const uint8_t* bytes, size_t count) {
    auto unit_at = [bytes](size_t i) { return static_cast<uint32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)); };
    const size_t kept = out.size();
    // One unit never needs more than three bytes (a surrogate pair: four bytes for two units).
    out.resize(kept + count * k_max_utf8_bytes_per_unit);
    char* const start = out.data() + kept;
    char* dst = start;
    for (size_t i = 0; i < count; ++i) {
        uint32_t cp = unit_at(i);
        if (cp < 0x80) {
            *dst++ = static_cast<char>(cp);
            continue;
        }
        if (is_high_surrogate(cp) && i + 1 < count && is_low_surrogate(unit_at(i + 1))) {
            cp = combine_surrogates(cp, unit_at(i + 1));
            ++i;
        } else if (is_high_surrogate(cp) || is_low_surrogate(cp)) {
            cp = k_replacement_character;  // a lone surrogate
        }
        if (cp < 0x800) {
            *dst++ = static_cast<char>(0xC0 | (cp >> 6));
            *dst++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *dst++ = static_cast<char>(0xE0 | (cp >> 12));
            *dst++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *dst++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            *dst++ = static_cast<char>(0xF0 | (cp >> 18));
            *dst++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *dst++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *dst++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    out.resize(kept + static_cast<size_t>(dst - start));
}

}  // namespace

size_t utf16le_name_to_utf8(std::string& out, const uint8_t* bytes, size_t max_units) {
    out.clear();
    // Most names in prefetch files are ASCII: while eight units at a time are ASCII and not zero,
    // they are narrowed in one pass that also looks for the terminator.
    char block[k_narrow_block];
    size_t filled = 0;
    size_t i = 0;
    for (; i + k_units_per_step <= max_units; i += k_units_per_step) {
        if (!narrow_ascii_step(bytes + 2 * i, block + filled)) break;
        filled += k_units_per_step;
        if (filled == sizeof block) {
            out.append(block, filled);
            filled = 0;
        }
    }
    // The last few units of an ASCII name one at a time.
    for (; i < max_units && filled < sizeof block; ++i) {
        const uint8_t low = bytes[2 * i];
        if (bytes[2 * i + 1] != 0 || low == 0 || low >= 0x80) break;
        block[filled++] = static_cast<char>(low);
    }
    out.append(block, filled);
    // The rest, from the first non-ASCII unit, through the general encoder. Every unit before i is
    // ASCII, so no surrogate pair is cut here.
    size_t end = i;
    while (end < max_units && (bytes[2 * end] | bytes[2 * end + 1]) != 0) ++end;
    if (end > i) append_utf16le(out, bytes + 2 * i, end - i);
    return end;
}

size_t utf8_sequence_length(std::string_view text, size_t at, char32_t& code_point) {
    return valid_utf8_sequence(text, at, code_point);
}

}  // namespace runtrail
