#pragma once
// What each plugin stand-in keeps: how often it was registered. The real plugins' work (screen
// queries, URL launching, window management) has no place in the headless engine.

#include <atomic>

#include "engine/flutter_windows_api.h"

namespace tidvale::engine::plugins {

struct RegistrationRecord {
  std::atomic<int> count{0};

  // Any thread; a null registrar is not a registration.
  void record(FlutterDesktopPluginRegistrarRef registrar) {
    if (registrar) count.fetch_add(1);
  }
};

}  // namespace tidvale::engine::plugins
