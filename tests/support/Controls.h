#pragma once

#include <QObject>
#include <QString>
#include <gtest/gtest.h>

// A control below parent (a window, a tab, or a smart pointer to one) found by
// its object name; indexed controls are named "name(index)".
template <typename T, typename Parent>
T* Control(const Parent& parent, const char* name)
{
    T* found = (&*parent)->template findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

template <typename T, typename Parent, typename Index>
T* Control(const Parent& parent, const char* name, Index index)
{
    const QString indexed = QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(qint64(index));
    T* found = (&*parent)->template findChild<T*>(indexed);
    EXPECT_NE(found, nullptr) << qPrintable(indexed);
    return found;
}
