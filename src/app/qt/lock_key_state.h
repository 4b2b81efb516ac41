#pragma once
#include <QStringList>
#include <optional>

namespace kirvo {

// Reads the state of Caps Lock, Num Lock and Scroll Lock where the platform
// lets a program read it: on Windows from the keyboard state, on Linux from
// the keyboard LEDs in /sys/class/leds. Elsewhere, and where no LED is
// found, the state is unknown.
class LockKeyState {
public:
    enum class Key { Caps, Num, Scroll };

    LockKeyState();
    // Whether any state can be read at all (worth polling).
    bool readable() const;
    std::optional<bool> isOn(Key key) const;

private:
    QStringList ledFiles_[3];
};

}  // namespace kirvo
