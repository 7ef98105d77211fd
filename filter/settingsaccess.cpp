#include "settingsaccess.h"

#include <utility>

namespace {

std::function<void()> &hook()
{
    static std::function<void()> instance;
    return instance;
}

} // namespace

void beforeSettingsAccess()
{
    // The hook may itself make settings objects; it does not run inside itself.
    static bool running = false;
    if (running || !hook())
        return;
    running = true;
    hook()();
    running = false;
}

void setSettingsAccessHook(std::function<void()> f)
{
    hook() = std::move(f);
}
