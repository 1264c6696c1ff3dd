#include "file_facts.h"

namespace runtrail {

std::string file_name_of(const std::string& path) {
    size_t at = path.rfind('\\');
    if (at == std::string::npos) at = path.rfind('/');
    if (at == std::string::npos || at == 0) return path;
    std::string name = path.substr(at + 1);
    return name == ".." ? std::string(".") : name;
}

}  // namespace runtrail
