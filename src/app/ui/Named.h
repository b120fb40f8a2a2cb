#pragma once

#include <QString>
#include <utility>

// A new widget carrying its control name as its object name (tests and the
// window find controls by it).
template <typename T, typename... Args>
T* Named(const QString& name, Args&&... args)
{
    T* w = new T(std::forward<Args>(args)...);
    w->setObjectName(name);
    return w;
}

template <typename T, typename... Args>
T* Named(const char* name, Args&&... args)
{
    return Named<T>(QString::fromLatin1(name), std::forward<Args>(args)...);
}
