#include "base/SharedLibrary.h"

#include <dlfcn.h>

#include "base/DebugOutput.h"

namespace tavrel {

SharedLibrary::SharedLibrary(std::initializer_list<const char*> sonames) {
    for (const char* soname : sonames) {
        void* handle = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = ::dlerror();
            DebugOutput(std::string("SharedLibrary: cannot load ") + soname + ": " +
                        (why ? why : "unknown reason") + "\n");
            open_ = false;
            continue;
        }
        handles_.push_back(handle);
    }
}

void* SharedLibrary::Lookup(const char* name) const {
    for (void* handle : handles_) {
        if (void* symbol = ::dlsym(handle, name)) return symbol;
    }
    DebugOutput(std::string("SharedLibrary: no function ") + name + "\n");
    return nullptr;
}

}  // namespace tavrel
