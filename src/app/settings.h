// The per-user settings store's key: the desktop program keeps its recent-file list and
// window layout under it.
#pragma once

namespace tessmol {

inline constexpr const char* kSettingsKey = "Tessmol - Orrinwell Productions";

}  // namespace tessmol
