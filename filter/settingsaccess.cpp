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

bool settingsBool(const QVariant &value, bool fallback)
{
    switch (value.userType()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toBool();
    case QMetaType::QString: {
        const QString text = value.toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1"))
            return true;
        if (text == QLatin1String("false") || text == QLatin1String("0"))
            return false;
        return fallback;
    }
    default:
        return fallback;
    }
}

QString settingsString(const QVariant &value, const QString &fallback)
{
    switch (value.userType()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toString();
    default:
        return fallback;
    }
}
