#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace orvi {

// Option bits of a process activity, with the values the program has always
// used for them.
namespace ActivityOptions {
constexpr uint64_t idleSystemSleepDisabled = 1ULL << 20;
constexpr uint64_t suddenTerminationDisabled = 1ULL << 14;
constexpr uint64_t automaticTerminationDisabled = 1ULL << 15;
// Contains the three bits above.
constexpr uint64_t userInitiated = 0x00FFFFFFULL;
constexpr uint64_t idleDisplaySleepDisabled = 1ULL << 40;
} // namespace ActivityOptions

// An activity begun with ProcessInfo::beginActivity. Opaque to the program.
class ActivityToken {
public:
    virtual ~ActivityToken() = default;
};

class ProcessInfo {
public:
    virtual ~ProcessInfo() = default;

    // Tells the system what the process is doing so it keeps the machine (and,
    // with idleDisplaySleepDisabled, the display) awake. Never blocks for long
    // and never fails: mechanisms the system lacks are skipped.
    virtual std::unique_ptr<ActivityToken> beginActivity(
        uint64_t options, const std::string& reason)
        = 0;
    // Ends what beginActivity began. Ending the same token again does nothing.
    virtual void endActivity(ActivityToken&) = 0;
    // Seconds since some fixed moment; never goes back.
    virtual double systemUptime() const = 0;
    // The machine's memory, in bytes.
    virtual uint64_t physicalMemory() const = 0;
};

} // namespace orvi
