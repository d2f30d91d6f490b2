#include "browser/web_engine.h"

#include <dlfcn.h>
#include <optional>
#include <string>
#include <unistd.h>

namespace lumo {
namespace {

std::optional<WebEngineFactory>& Factory()
{
    static std::optional<WebEngineFactory> factory;
    return factory;
}

std::string ExecutableDirectory()
{
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    std::string exe(path, static_cast<size_t>(length));
    return exe.substr(0, exe.rfind('/'));
}

WebEngineFactory LoadModule()
{
    std::string module = ExecutableDirectory() + "/liblumo_web_engine.so";
    // The module stays loaded for the life of the process.
    void* handle = dlopen(module.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    return reinterpret_cast<WebEngineFactory>(dlsym(handle, "lumo_create_web_engine"));
}

} // namespace

WebEngineFactory CurrentWebEngineFactory()
{
    if (!Factory())
        Factory() = LoadModule();
    return *Factory();
}

void SetWebEngineFactory(WebEngineFactory factory)
{
    Factory() = factory;
}

} // namespace lumo
