#pragma once
// What each plugin stand-in keeps: how often it was registered. Every plugin library also exports
// TidvalePluginRegistrationCount so a test can read its record.

#include <atomic>

#include "engine/flutter_windows_api.h"

namespace tidvale::engine::plugins {

struct RegistrationRecord {
  std::atomic<int> count{0};

  // Any thread; a null registrar is not a registration.
  void record(FlutterDesktopPluginRegistrarRef registrar) {
    if (!registrar) return;
    count.fetch_add(1);
  }
};

}  // namespace tidvale::engine::plugins

extern "C" __declspec(dllexport) int TidvalePluginRegistrationCount();
