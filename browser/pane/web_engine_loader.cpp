#include "browser/web_engine.h"

#include <dlfcn.h>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include <wx/app.h>

namespace lumo {
namespace {

std::optional<WebEngineFactory>& Factory()
{
    static std::optional<WebEngineFactory> factory;
    return factory;
}

std::future<void>& Preload()
{
    static std::future<void> preload;
    return preload;
}

// What waits on the main loop for the load to end.
struct Waiting
{
    std::mutex lock;
    bool loaded = false;
    std::vector<std::function<void()>> calls;
};

Waiting& Waiters()
{
    static Waiting waiting;
    return waiting;
}

void RunWaitingCalls()
{
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard<std::mutex> hold(Waiters().lock);
        calls.swap(Waiters().calls);
    }
    for (auto& call : calls)
        call();
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

void PreloadWebEngine()
{
    if (Preload().valid() || Factory() || std::string_view(LUMO_WEBKIT_SONAME).empty())
        return;
    // Loading the engine's libraries is mostly the dynamic linker binding
    // their symbols, about a tenth of a second, which no longer waits for the
    // window. Only the engine's own libraries load here: they touch neither
    // the toolkit nor its class tables at load time, which the module itself
    // does and so loads on the main thread.
    Preload() = std::async(std::launch::async, [] {
        // Held for the life of the process, as the module that uses it.
        dlopen(LUMO_WEBKIT_SONAME, RTLD_NOW | RTLD_LOCAL);
        std::lock_guard<std::mutex> hold(Waiters().lock);
        Waiters().loaded = true;
        // Only a plain call crosses to the main loop; what waits stays there.
        if (!Waiters().calls.empty() && wxTheApp)
            wxTheApp->CallAfter([] { RunWaitingCalls(); });
    });
}

void WhenWebEngineLoaded(std::function<void()> then)
{
    {
        std::lock_guard<std::mutex> hold(Waiters().lock);
        if (Preload().valid() && !Waiters().loaded) {
            Waiters().calls.push_back(std::move(then));
            return;
        }
    }
    if (wxTheApp)
        wxTheApp->CallAfter(std::move(then));
}

void FinishWebEnginePreload()
{
    if (Preload().valid())
        Preload().wait();
}

WebEngineFactory CurrentWebEngineFactory()
{
    FinishWebEnginePreload();
    if (!Factory())
        Factory() = LoadModule();
    return *Factory();
}

void SetWebEngineFactory(WebEngineFactory factory)
{
    Factory() = factory;
}

} // namespace lumo
