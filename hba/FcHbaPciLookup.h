// Finds an adapter's PCI vendor and device identifiers in /sys by its PCI location and its
// subsystem identifiers, through shell pipelines over the sysfs device directories.
#pragma once

#include <cstdint>
#include <string>

// "%.4x%.4x" of the vendor and device identifiers of the first matching directory, or "N/A".
std::string FindSysfsPciId(uint8_t domain, uint8_t bus, uint8_t function,
                           uint32_t subsystemVendor, uint32_t subsystemDevice);
