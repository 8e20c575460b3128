#pragma once
// How a settings dialog reaches the values it edits: it reloads the live values from the
// settings file when it opens (so it shows what is stored) and hands them back on save. The
// chat window binds these to the station's live settings; tests and tools may bind them to a
// plain object.

#include "settings/CLiveSettings.h"

#include <functional>

namespace palaverly {

template <class Values> struct CSettingsBinding {
    /// Reloads the live values from the settings file and gives them.
    std::function<Values()> reload;
    /// Makes `values` the live ones and writes them; the store's result (0 or -1).
    std::function<int(const Values&)> save;

    /// A binding to the live settings through their reload and save of these values.
    static CSettingsBinding Live(CLiveSettings& settings, const Values& (CLiveSettings::*reload)(),
                                 int (CLiveSettings::*save)(const Values&)) {
        return {[&settings, reload] { return (settings.*reload)(); },
                [&settings, save](const Values& values) { return (settings.*save)(values); }};
    }

    /// A binding to `values` and `store` themselves.
    static CSettingsBinding Direct(Values& values, CSettingsStore& store) {
        return {[&values, &store] {
                    values.LoadSettings(store);
                    return values;
                },
                [&values, &store](const Values& taken) {
                    values = taken;
                    return values.SaveSettings(store);
                }};
    }
};

} // namespace palaverly
