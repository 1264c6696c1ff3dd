#include "hash_verdict.h"

#include "prefetch_hash.h"
#include "hex_text.h"

namespace runtrail {

std::string hash_verdict(const std::string& file_name, const prefetch_record& record) {
    const std::optional<uint32_t> name_hash = name_hash_of(file_name);
    if (!name_hash) return "renamed: name has no hash";
    if (*name_hash != record.prefetch_hash) return "renamed: name says " + upper_hex_text(*name_hash);
    switch (record.path_check.outcome) {
        case path_hash_outcome::no_path:
            return "no path to check";
        case path_hash_outcome::no_rule:
            return "no hash rule for this version";
        case path_hash_outcome::matches:
            if (record.path_check.device_path.empty()) return "name and path match";
            return "name and path match on " + record.path_check.device_path;
        case path_hash_outcome::differs:
            break;
    }
    if (hashes_its_command_line(record.exe_name)) return "path differs: " + record.exe_name + " hashes its command line";
    return "path differs";
}

void add_path_hash_members(json_object& object, const path_hash_check& check) {
    if (check.outcome == path_hash_outcome::matches || check.outcome == path_hash_outcome::differs)
        object.boolean("path_hash_match", check.outcome == path_hash_outcome::matches);
    else
        object.null("path_hash_match");
    if (check.device_path.empty())
        object.null("path_hash_device");
    else
        object.text("path_hash_device", check.device_path);
}

}  // namespace runtrail
