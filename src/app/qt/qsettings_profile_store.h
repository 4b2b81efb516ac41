#pragma once
#include <QSettings>
#include <QString>
#include <memory>

#include "app/profile_store.h"

namespace kirvo {

// ProfileStore over QSettings: on Windows the registry key
// HKEY_CURRENT_USER\Software\Orvane\Kirvo, elsewhere ~/.config/Orvane/Kirvo.conf.
// Sections are groups; integers are written as integers.
class QSettingsProfileStore : public ProfileStore {
public:
    // The program's own store ("Orvane", "Kirvo").
    QSettingsProfileStore();
    // An INI file at the given path (tests, portable use).
    explicit QSettingsProfileStore(const QString& iniFile);

    int32_t GetProfileInt(std::string_view section, std::string_view entry,
                          int32_t defaultValue) override;
    void WriteProfileInt(std::string_view section, std::string_view entry, int32_t value) override;
    std::string GetProfileString(std::string_view section, std::string_view entry,
                                 std::string_view defaultValue = {}) override;
    void WriteProfileString(std::string_view section, std::string_view entry,
                            std::string_view value) override;

    // Writes pending changes to disk; failures are ignored.
    void Sync();
    QSettings& settings() { return *settings_; }

private:
    static QString Key(std::string_view section, std::string_view entry);
    std::unique_ptr<QSettings> settings_;
};

}  // namespace kirvo
