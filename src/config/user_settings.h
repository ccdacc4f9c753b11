#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kb {

// Choices the user makes while the program runs, kept for the next start in "settings.xml" of
// the data folder (config.xml stays as shipped): <settings language="cn"/> or "en".
inline constexpr const char* kSettingsFile = "settings.xml";

// The language chosen last: true for Chinese, false for English; none when nothing was chosen
// yet or the file is unreadable.
std::optional<bool> LoadChineseUiChoice(const std::string& dataFolder);

// The settings file when it is there but cannot be read (its choices are not taken), else
// empty. Its next save keeps it aside first.
std::filesystem::path UnreadableSettingsFile(const std::string& dataFolder);

// Keeps the choice, creating the data folder when needed; false when it could not be written.
// Other settings in the file are kept.
bool SaveChineseUiChoice(const std::string& dataFolder, bool chinese);

}  // namespace kb
