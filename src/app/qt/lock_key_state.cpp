#include "app/qt/lock_key_state.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace kirvo {

LockKeyState::LockKeyState() {
#if defined(Q_OS_LINUX)
    const QDir leds(QStringLiteral("/sys/class/leds"));
    const char* suffixes[] = {"::capslock", "::numlock", "::scrolllock"};
    for (const QString& name : leds.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        for (int key = 0; key < 3; ++key) {
            if (name.endsWith(QLatin1String(suffixes[key]))) {
                ledFiles_[key].append(leds.filePath(name + QStringLiteral("/brightness")));
            }
        }
    }
#endif
}

bool LockKeyState::readable() const {
#ifdef Q_OS_WIN
    return true;
#else
    return !ledFiles_[0].isEmpty() || !ledFiles_[1].isEmpty() || !ledFiles_[2].isEmpty();
#endif
}

std::optional<bool> LockKeyState::isOn(Key key) const {
#ifdef Q_OS_WIN
    const int virtualKey = key == Key::Caps ? VK_CAPITAL : key == Key::Num ? VK_NUMLOCK : VK_SCROLL;
    return (GetKeyState(virtualKey) & 1) != 0;
#else
    const QStringList& files = ledFiles_[static_cast<int>(key)];
    if (files.isEmpty()) return std::nullopt;
    for (const QString& path : files) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && file.readAll().trimmed() != "0") return true;
    }
    return false;
#endif
}

}  // namespace kirvo
