#include "prefetch_hash.h"

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

// The path as Windows hashes it: in upper case. Windows stores the paths upper-cased already;
// folding a-z as well keeps a path whose letters were lowered by hand comparable.
std::u16string upper_case_units(byte_span bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        const auto unit = static_cast<char16_t>(bytes.data()[2 * i] | (bytes.data()[2 * i + 1] << 8));
        units[i] = unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - u'a' + u'A') : unit;
    }
    return units;
}

uint32_t seed_of(pl::path_hash_rule rule) { return rule == pl::path_hash_rule::xp ? k_xp_seed : k_vista_seed; }

// Folds the units in, low byte first. The fold is linear: folding a text into h gives
// h * 37^(2 * units) + the fold of the text into 0, which lets the part after "\VOLUME{...}" be
// folded once for every device tried.
uint32_t fold(uint32_t h, std::u16string_view units) {
    for (const char16_t unit : units) {
        h = h * k_hash_multiplier + (unit & 0xFFu);
        h = h * k_hash_multiplier + (unit >> 8);
    }
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

std::u16string device_path_units(unsigned volume_number) {
    std::u16string units;
    for (const char c : std::string(k_device_prefix) + std::to_string(volume_number)) units.push_back(static_cast<char16_t>(c));
    return units;
}

}  // namespace

path_hash_check check_path_hash(uint32_t version, uint32_t header_hash, byte_span path_units) {
    path_hash_check check;
    const pl::path_hash_rule rule = pl::traits_of(version).hash_rule;
    const std::u16string path = upper_case_units(path_units);
    if (path.empty()) return check;
    if (rule == pl::path_hash_rule::unknown) {
        check.outcome = path_hash_outcome::no_rule;
        return check;
    }
    check.outcome = path_hash_outcome::differs;
    const size_t volume_end = path.find(k_volume_end);
    if (!path.starts_with(k_volume_prefix) || volume_end == std::u16string::npos) {
        if (finish(rule, fold(seed_of(rule), path)) == header_hash) check.outcome = path_hash_outcome::matches;
        return check;
    }
    const std::u16string_view rest = std::u16string_view(path).substr(volume_end + 1);
    const uint32_t rest_fold = fold(0, rest);
    const uint32_t rest_multiplier = fold_multiplier(rest.size());
    for (unsigned n = 1; n <= k_max_volume_number; ++n) {
        const uint32_t device_fold = fold(seed_of(rule), device_path_units(n));
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
