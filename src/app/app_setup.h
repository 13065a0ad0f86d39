#pragma once
// Process-wide set-up shared by kx9monitor and whatever else hosts the window.

namespace kx9 {

// Qt's own texts (standard buttons "キャンセル", "はい", "いいえ") in Japanese.
// False when Qt's Japanese translation is not installed.
bool InstallQtJapanese();

} // namespace kx9
