#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "app/command_id.h"

namespace kirvo {

class ProfileStore;

// The persisted on/off options, in their load and save order. Each is named
// after its entry in section "Optionen". The first eight are the program's
// classic ones; Papierkorb (deleting and replacing through the trash) came later.
enum class Option { Ueber5000, VorLoeschen, VorUeberschreiben, VorDir, SubOrdner, SystemOrdner,
                    OneSecond, Beep, Papierkorb };

struct OptionInfo {
    Option option;
    std::string_view entry;
    int32_t defaultValue;
    CommandId command;
};

// The options live in memory from the view's initial update to its
// destruction. A toggle changes only the value in memory; Save writes all
// of them. Values read from the store are used as they are: zero is off,
// anything else on.
class AppOptions {
public:
    static constexpr size_t kCount = 9;
    static const std::array<OptionInfo, kCount>& Table();
    // The option toggled by a command, or nullptr for any other command.
    static const OptionInfo* ForCommand(CommandId command);

    AppOptions();  // the defaults

    void Load(ProfileStore& store);
    void Save(ProfileStore& store) const;

    int32_t value(Option option) const { return values_[static_cast<size_t>(option)]; }
    bool isOn(Option option) const { return value(option) != 0; }
    void set(Option option, int32_t value) { values_[static_cast<size_t>(option)] = value; }
    // 0 becomes 1, anything else 0.
    void Toggle(Option option);

    bool ueber5000() const { return isOn(Option::Ueber5000); }
    bool vorLoeschen() const { return isOn(Option::VorLoeschen); }
    bool vorUeberschreiben() const { return isOn(Option::VorUeberschreiben); }
    bool vorDir() const { return isOn(Option::VorDir); }
    bool subOrdner() const { return isOn(Option::SubOrdner); }
    bool systemOrdner() const { return isOn(Option::SystemOrdner); }
    bool oneSecond() const { return isOn(Option::OneSecond); }
    bool beep() const { return isOn(Option::Beep); }
    bool papierkorb() const { return isOn(Option::Papierkorb); }

private:
    std::array<int32_t, kCount> values_{};
};

}  // namespace kirvo
