// Writes <count> values "<prefix>N" = "value N" into the program's key of an
// INI file, one store call each, as a second process would.
#include "app/SettingsStore.h"

#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    SettingsStore store(QString::fromLocal8Bit(argv[1]));
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    const int count = std::atoi(argv[3]);
    for (int i = 0; i < count; ++i) {
        if (!store.Write(prefix + QString::number(i), QStringLiteral("value %1").arg(i)))
            return 1;
    }
    return 0;
}
