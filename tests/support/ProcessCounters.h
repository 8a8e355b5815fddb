#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace hourlink::testing {

// What the kernel counts for this process, for tests that promise a bound on memory or on reading.

// The value of one "name: value" line of a /proc/self file, or nothing when the line is missing.
inline std::optional<std::uint64_t> ProcSelfField(const std::string& file, const std::string& name) {
    std::ifstream in("/proc/self/" + file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(name + ":", 0) == 0) {
            std::istringstream value(line.substr(name.size() + 1));
            std::uint64_t n = 0;
            if (value >> n) {
                return n;
            }
        }
    }
    return std::nullopt;
}

// Sets the peak resident size back to the present one; false when the kernel refuses.
inline bool ResetPeakResident() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return static_cast<bool>(out);
}

// The peak resident size in KiB since the process started or since ResetPeakResident().
inline std::optional<std::uint64_t> PeakResidentKiB() {
    return ProcSelfField("status", "VmHWM");
}

// Bytes this process has asked read() and its kind for, whether from disk, cache or a pipe.
inline std::optional<std::uint64_t> BytesRead() {
    return ProcSelfField("io", "rchar");
}

} // namespace hourlink::testing
