// Where the cable's USB-serial adapter (vendor 067B, product 2303) appears in
// the registry, and how a port's name gives its number. Port discovery reads
// the registry through these; the Linux registry view builds its keys with them.
#pragma once

#include <string>

namespace orvalink {

// The base keys of the adapter, below HKEY_LOCAL_MACHINE: NT family, then
// Windows 95 family.
inline constexpr const char* kNtAdapterKey = "System\\CurrentControlSet\\Enum\\USB\\Vid_067b&Pid_2303";
inline constexpr const char* k95AdapterKey = "Enum\\USBPORTS\\Vid_067b&Pid_2303";

// The port number of a name such as "COM3" (all digits after the first three
// characters); 0 when there is none.
int PortNumberFromName(const std::string& name);

}  // namespace orvalink
