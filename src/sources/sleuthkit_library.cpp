#include "sleuthkit_library.h"

#include <dlfcn.h>

namespace runtrail {
namespace {

struct loaded_library {
    sleuthkit_functions functions;
    std::string problem;  // empty when every function was found
};

loaded_library load() {
    loaded_library library;
    // The library's own name (its SONAME), as found when runtrail was built; it stays loaded until
    // the process ends.
    void* handle = ::dlopen(RUNTRAIL_SLEUTHKIT_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        library.problem = std::string("sleuthkit's library cannot be loaded: ") + (why ? why : RUNTRAIL_SLEUTHKIT_SONAME);
        return library;
    }
#define RUNTRAIL_SLEUTHKIT_LOOKUP(name)                                                            \
    library.functions.name = reinterpret_cast<decltype(library.functions.name)>(::dlsym(handle, #name)); \
    if (!library.functions.name && library.problem.empty())                                        \
        library.problem = "sleuthkit's library " RUNTRAIL_SLEUTHKIT_SONAME " lacks " #name;
    RUNTRAIL_SLEUTHKIT_FUNCTIONS(RUNTRAIL_SLEUTHKIT_LOOKUP)
#undef RUNTRAIL_SLEUTHKIT_LOOKUP
    return library;
}

const loaded_library& library() {
    static const loaded_library loaded = load();
    return loaded;
}

}  // namespace

bool load_sleuthkit(std::string& problem) {
    problem = library().problem;
    return problem.empty();
}

const sleuthkit_functions& sleuthkit() { return library().functions; }

}  // namespace runtrail
