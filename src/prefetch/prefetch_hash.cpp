#include "prefetch_hash.h"

#include <charconv>
#include <cstdint>
#include <string>

#include "ascii_text.h"
#include "filename_strings.h"
#include "layout.h"

namespace runtrail {
namespace {

namespace pl = prefetch_layout;

// Both rules fold every byte of the UTF-16LE path in as h = h * 37 + byte (mod 2^32). The XP rule
// starts from 0 and scrambles the result; later versions start from 314159 and keep it as it is.
constexpr uint32_t k_hash_multiplier = 37;
constexpr uint32_t k_vista_seed = 314159;
constexpr uint32_t k_xp_seed = 0;
constexpr uint32_t k_xp_scramble_multiplier = 314159269;
constexpr uint32_t k_xp_fold_above = 0x80000000;  // larger values are mirrored: 2^32 - h
constexpr uint32_t k_xp_modulus = 1000000007;

// Windows 10 and later record "\VOLUME{<creation time>-<serial>}" where the hash was taken over
// "\DEVICE\HARDDISKVOLUMEn"; the volume numbers tried for n.
constexpr std::u16string_view k_volume_prefix = u"\\VOLUME{";
constexpr char16_t k_volume_end = u'}';
constexpr std::string_view k_device_prefix = "\\DEVICE\\HARDDISKVOLUME";
constexpr unsigned k_max_volume_number = 32;

constexpr std::string_view k_name_extension = ".pf";
constexpr size_t k_name_hash_digits = 8;
constexpr char k_name_hash_separator = '-';

constexpr std::string_view k_command_line_hosts[] = {
    "SVCHOST.EXE",     "DLLHOST.EXE",  "RUNDLL32.EXE",  "MMC.EXE",     "BACKGROUNDTASKHOST.EXE",
    "RUNTIMEBROKER.EXE", "TASKHOST.EXE", "TASKHOSTW.EXE", "WWAHOST.EXE",
};

// The path's units as Windows hashes them: in upper case. Windows stores the paths upper-cased
// already; folding a-z as well keeps a path whose letters were lowered by hand comparable.
class upper_case_units {
public:
    explicit upper_case_units(byte_span bytes) : bytes_(bytes) {}
    size_t size() const { return bytes_.size() / 2; }
    char16_t operator[](size_t i) const {
        const auto unit = static_cast<char16_t>(bytes_.data()[2 * i] | (bytes_.data()[2 * i + 1] << 8));
        return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - u'a' + u'A') : unit;
    }
    bool starts_with(std::u16string_view prefix) const {
        if (size() < prefix.size()) return false;
        for (size_t i = 0; i < prefix.size(); ++i)
            if ((*this)[i] != prefix[i]) return false;
        return true;
    }
    size_t find(char16_t unit) const {
        for (size_t i = 0; i < size(); ++i)
            if ((*this)[i] == unit) return i;
        return npos;
    }
    static constexpr size_t npos = SIZE_MAX;

private:
    byte_span bytes_;
};

uint32_t seed_of(pl::path_hash_rule rule) { return rule == pl::path_hash_rule::xp ? k_xp_seed : k_vista_seed; }

// Folds one unit in, low byte first. The fold is linear: folding a text into h gives
// h * 37^(2 * units) + the fold of the text into 0, which lets the part after "\VOLUME{...}" be
// folded once for every device tried.
uint32_t fold_unit(uint32_t h, char16_t unit) {
    h = h * k_hash_multiplier + (unit & 0xFFu);
    return h * k_hash_multiplier + (unit >> 8);
}

// Folds the path's units [from, to) in.
uint32_t fold(uint32_t h, const upper_case_units& path, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) h = fold_unit(h, path[i]);
    return h;
}

// Folds "\DEVICE\HARDDISKVOLUMEn" in.
uint32_t fold_device_path(uint32_t h, unsigned volume_number) {
    for (const char c : k_device_prefix) h = fold_unit(h, static_cast<char16_t>(c));
    char digits[12];
    const char* end = std::to_chars(digits, digits + sizeof digits, volume_number).ptr;
    for (const char* c = digits; c < end; ++c) h = fold_unit(h, static_cast<char16_t>(*c));
    return h;
}

// 37^(2 * units) mod 2^32: what folding that many units multiplies the starting value by.
uint32_t fold_multiplier(size_t units) {
    uint32_t m = 1;
    for (size_t i = 0; i < 2 * units; ++i) m *= k_hash_multiplier;
    return m;
}

uint32_t finish(pl::path_hash_rule rule, uint32_t h) {
    if (rule != pl::path_hash_rule::xp) return h;
    h *= k_xp_scramble_multiplier;
    if (h > k_xp_fold_above) h = 0u - h;
    return h % k_xp_modulus;
}

}  // namespace

path_hash_check check_path_hash(uint32_t version, uint32_t header_hash, byte_span path_units) {
    path_hash_check check;
    const pl::path_hash_rule rule = pl::traits_of(version).hash_rule;
    const upper_case_units path(path_units);
    if (path.size() == 0) return check;
    if (rule == pl::path_hash_rule::unknown) {
        check.outcome = path_hash_outcome::no_rule;
        return check;
    }
    check.outcome = path_hash_outcome::differs;
    const size_t volume_end = path.find(k_volume_end);
    if (!path.starts_with(k_volume_prefix) || volume_end == upper_case_units::npos) {
        if (finish(rule, fold(seed_of(rule), path, 0, path.size())) == header_hash) check.outcome = path_hash_outcome::matches;
        return check;
    }
    const size_t rest_units = path.size() - (volume_end + 1);
    const uint32_t rest_fold = fold(0, path, volume_end + 1, path.size());
    const uint32_t rest_multiplier = fold_multiplier(rest_units);
    for (unsigned n = 1; n <= k_max_volume_number; ++n) {
        const uint32_t device_fold = fold_device_path(seed_of(rule), n);
        if (finish(rule, device_fold * rest_multiplier + rest_fold) != header_hash) continue;
        check.outcome = path_hash_outcome::matches;
        check.device_path = std::string(k_device_prefix) + std::to_string(n);
        break;
    }
    return check;
}

path_hash_check check_program_path_hash(uint32_t version, uint32_t header_hash, std::string_view exe_name,
                                        const std::vector<std::string>& modules,
                                        const std::vector<byte_span>& module_units) {
    path_hash_check check;
    for (size_t i = 0; i < modules.size() && i < module_units.size(); ++i) {
        if (!is_program_file_name(modules[i], exe_name)) continue;
        check = check_path_hash(version, header_hash, module_units[i]);
        if (check.outcome != path_hash_outcome::differs) break;
    }
    return check;
}

std::optional<uint32_t> name_hash_of(std::string_view file_name) {
    const size_t suffix = k_name_hash_digits + k_name_extension.size();
    if (file_name.size() <= suffix) return std::nullopt;
    if (!equals_ignore_case(file_name.substr(file_name.size() - k_name_extension.size()), k_name_extension))
        return std::nullopt;
    if (file_name[file_name.size() - suffix - 1] != k_name_hash_separator) return std::nullopt;
    uint32_t hash = 0;
    for (const char c : file_name.substr(file_name.size() - suffix, k_name_hash_digits)) {
        const char digit = ascii_lower(c);
        if (digit >= '0' && digit <= '9')
            hash = hash << 4 | static_cast<uint32_t>(digit - '0');
        else if (digit >= 'a' && digit <= 'f')
            hash = hash << 4 | static_cast<uint32_t>(digit - 'a' + 10);
        else
            return std::nullopt;
    }
    return hash;
}

bool hashes_its_command_line(std::string_view exe_name) {
    for (const std::string_view host : k_command_line_hosts)
        if (equals_ignore_case(exe_name, host)) return true;
    return false;
}

}  // namespace runtrail
