#include "app/in_memory_profile_store.h"

namespace kirvo {

int32_t InMemoryProfileStore::GetProfileInt(std::string_view section, std::string_view entry,
                                            int32_t defaultValue) {
    const Value* value = Find(section, entry);
    if (value == nullptr) return defaultValue;
    if (const auto* number = std::get_if<int32_t>(value)) return *number;
    int32_t parsed = 0;
    return ParseProfileInt(std::get<std::string>(*value), parsed) ? parsed : defaultValue;
}

void InMemoryProfileStore::WriteProfileInt(std::string_view section, std::string_view entry,
                                           int32_t value) {
    values_[Key(section, entry)] = value;
}

std::string InMemoryProfileStore::GetProfileString(std::string_view section,
                                                   std::string_view entry,
                                                   std::string_view defaultValue) {
    const Value* value = Find(section, entry);
    if (value == nullptr) return std::string(defaultValue);
    if (const auto* number = std::get_if<int32_t>(value)) return std::to_string(*number);
    return std::get<std::string>(*value);
}

void InMemoryProfileStore::WriteProfileString(std::string_view section, std::string_view entry,
                                              std::string_view value) {
    values_[Key(section, entry)] = std::string(value);
}

bool InMemoryProfileStore::Contains(std::string_view section, std::string_view entry) const {
    return Find(section, entry) != nullptr;
}

const InMemoryProfileStore::Value* InMemoryProfileStore::Find(std::string_view section,
                                                              std::string_view entry) const {
    auto it = values_.find(Key(section, entry));
    return it == values_.end() ? nullptr : &it->second;
}

void InMemoryProfileStore::Remove(std::string_view section, std::string_view entry) {
    values_.erase(Key(section, entry));
}

}  // namespace kirvo
