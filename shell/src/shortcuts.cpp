// The refresh of the shortcut descriptions.
#include "shell/shortcuts.h"

#include <exception>
#include <filesystem>
#include <optional>

namespace shell {

namespace {

// One step: a folder that does not exist here, a shortcut that is missing, unreadable or does not resolve,
// or a save that is refused, concerns this step alone and is not reported. The refresh is the last thing
// before the completion message, and a stale tooltip is not worth a box, so every failure of the step is
// dropped here, whatever its kind.
void RefreshStep(const ShortcutStep& step) noexcept {
  try {
    const std::optional<std::filesystem::path> folder = GetSpecialFolderPath(step.csidl);
    if (!folder) return;
    for (const std::filesystem::path& file : ShortcutFiles(step.csidl, *folder, step.part)) {
      try {
        SetShortcutDescription(file, step.description);
      } catch (const std::exception&) {
        // the other file of the step (a shell link beside a desktop entry) is independent of this one
      }
    }
  } catch (const std::exception&) {
  }
}

}  // namespace

void RefreshShortcuts() noexcept {
  for (const ShortcutStep& step : ShortcutSteps()) RefreshStep(step);
}

}  // namespace shell
