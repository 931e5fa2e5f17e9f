#pragma once
// The hidden message-only window "TidvaleDispatcher" whose window procedure drains the
// dispatcher queue on the platform thread.

namespace tidvale {

inline constexpr unsigned kDispatchMessage = 0x8011;  // WM_APP + 17, both parameters 0

// Platform thread. Creates the window once and points the queue's wake-up at it; later calls do
// nothing. Returns false when the window cannot be created (nothing handed over would run).
bool ensureDispatcherWindow();

}  // namespace tidvale
