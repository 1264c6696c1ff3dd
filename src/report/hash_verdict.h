// -hashcheck: what the prefetch hash says about a file, in a few words. The texts are stable, so
// that scripts may match them:
//   "name and path match"             the name's digits and the path both give the header's hash
//   "name and path match on \DEVICE\HARDDISKVOLUMEn"   the same for a \VOLUME path, through that device
//   "renamed: name says XXXXXXXX"     the name's digits are not the header's hash
//   "renamed: name has no hash"       the name does not end in "-XXXXXXXX.pf"
//   "path differs: NAME.EXE hashes its command line"   the path does not give the hash, as expected
//                                     of this hosting program
//   "path differs"                    the path does not give the hash
//   "no path to check"                no module's file name is the executable's name
//   "no hash rule for this version"   a format version whose hash rule is not known
// The name is checked first: a renamed copy is reported as renamed whatever its path says.
#pragma once

#include <string>

#include "json_text.h"
#include "prefetch_record.h"

namespace runtrail {

std::string hash_verdict(const std::string& file_name, const prefetch_record& record);

// The path check as both JSON forms carry it: "path_hash_match" (true or false; null when there is
// no path, or no known hash rule for the version) and "path_hash_device" (the device a \VOLUME
// path hashed through, else null; named apart from the volumes' own "device_path").
void add_path_hash_members(json_object& object, const path_hash_check& check);

}  // namespace runtrail
