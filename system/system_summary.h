#pragma once
// The method "systemInfo": the dashboard summary of the machine. Reads the system on every call;
// any thread (a background operation thread in the service); sends no progress events; nothing
// throws and no figure fails the call: what cannot be read is empty or zero.

#include <string>

#include "channels/encodable_value.h"
#include "system/summary_figures.h"

namespace tidvale::system {

// Where the processor's name is kept.
inline constexpr wchar_t kProcessorKey[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
inline constexpr wchar_t kProcessorNameValue[] = L"ProcessorNameString";

// The version from ntdll's RtlGetVersion, looked up at run time (GetVersionExW answers what the
// executable's manifest claims, not what runs); 0.0.0 when it cannot be found.
OsVersion readOsVersion();

// The processor name as stored (untrimmed), UTF-8; "" when it cannot be read or is too long.
std::string readProcessorName();

// The summary map (summaryMap) of the figures read now. Memory figures come from the physical
// memory status alone: no process is opened.
EncodableMap systemInfo();

}  // namespace tidvale::system
