#include "core/platform/settings_store.h"

#include <atomic>

namespace varda {

std::optional<int> MemorySettingsStore::get_int(std::string_view group, std::string_view name) const {
    std::lock_guard lock(mutex_);
    const auto it = values_.find(Key(group, name));
    if (it == values_.end()) return std::nullopt;
    if (const int* value = std::get_if<int>(&it->second)) return *value;
    return std::nullopt;
}

void MemorySettingsStore::set_int(std::string_view group, std::string_view name, int value) {
    std::lock_guard lock(mutex_);
    values_.insert_or_assign(Key(group, name), value);
}

std::optional<std::string> MemorySettingsStore::get_string(std::string_view group,
                                                           std::string_view name) const {
    std::lock_guard lock(mutex_);
    const auto it = values_.find(Key(group, name));
    if (it == values_.end()) return std::nullopt;
    if (const std::string* value = std::get_if<std::string>(&it->second)) return *value;
    return std::nullopt;
}

void MemorySettingsStore::set_string(std::string_view group, std::string_view name, std::string_view value) {
    std::lock_guard lock(mutex_);
    values_.insert_or_assign(Key(group, name), std::string(value));
}

bool MemorySettingsStore::contains(std::string_view group, std::string_view name) const {
    std::lock_guard lock(mutex_);
    return values_.contains(Key(group, name));
}

void MemorySettingsStore::clear() {
    std::lock_guard lock(mutex_);
    values_.clear();
}

namespace {

std::atomic<SettingsStore*> installed_store{nullptr};

}  // namespace

SettingsStore& settings_store() {
    if (SettingsStore* store = installed_store.load()) return *store;
    static MemorySettingsStore fallback;
    return fallback;
}

void set_settings_store(SettingsStore* store) {
    installed_store.store(store);
}

}  // namespace varda
