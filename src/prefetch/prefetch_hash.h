// The prefetch hash: Windows names a prefetch file "<EXE NAME>-<HASH>.pf", where HASH is the eight
// hex digits of a hash of the program's full device path, also stored in the header at 0x4C.
// Hosting programs (svchost.exe, dllhost.exe, ...) hash their command line too, so that each
// hosted service or object gets a file of its own: their paths alone do not give the hash.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "byte_reader.h"
#include "prefetch_record.h"

namespace runtrail {

// Checks the program's path (UTF-16LE units, as stored) against the header's hash under the hash
// rule of `version`. A "\VOLUME{...}\rest" path of Windows 10 and 11 is tried as
// "\DEVICE\HARDDISKVOLUMEn\rest" for n = 1 to 32; the first n that gives the hash names the device.
path_hash_check check_path_hash(uint32_t version, uint32_t header_hash, byte_span path_units);

// The same check of the program's own path: the modules (UTF-8, with their stored units) whose
// file name is the executable's. When several are, the first that gives the hash is the program's;
// no_path when none is (a "...\EN-US\PROGRAM.EXE.MUI" is not the program).
path_hash_check check_program_path_hash(uint32_t version, uint32_t header_hash, std::string_view exe_name,
                                        const std::vector<std::string>& modules,
                                        const std::vector<byte_span>& module_units);

// The hash in a prefetch file's name: the eight hex digits (either case) between the last '-'
// and a final ".pf" (either case). Nothing when the name does not end that way.
std::optional<uint32_t> name_hash_of(std::string_view file_name);

// True for the hosting programs whose hash includes their command line (matched by executable
// name, ignoring case).
bool hashes_its_command_line(std::string_view exe_name);

}  // namespace runtrail
