#include "SiblingModule.h"

#include <dlfcn.h>

void* SiblingEntry(const char* fileName, const char* symbol, std::string& error)
{
    Dl_info self{};
    if (::dladdr(reinterpret_cast<void*>(&SiblingEntry), &self) == 0 || self.dli_fname == nullptr) {
        error = "can't tell where the fit module lives";
        return nullptr;
    }
    const std::string own = self.dli_fname;
    const std::string path = own.substr(0, own.rfind('/') + 1) + fileName;
    void* module = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    void* entry = module != nullptr ? ::dlsym(module, symbol) : nullptr;
    if (entry == nullptr)
        error = ::dlerror();
    return entry;
}
