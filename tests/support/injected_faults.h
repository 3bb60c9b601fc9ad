#pragma once

#include <utility>

#include "platform_file.h"

namespace tracksieve::testing {

/// Makes the platform's file calls fail as `injector` says, for the lifetime of the object.
class InjectedFaults {
public:
    explicit InjectedFaults(platform::FaultInjector injector) { platform::setFaultInjector(std::move(injector)); }
    ~InjectedFaults() { platform::setFaultInjector({}); }
    InjectedFaults(const InjectedFaults&) = delete;
    InjectedFaults& operator=(const InjectedFaults&) = delete;
};

/// Makes the platform's reads fail or fall short as `injector` says, for the lifetime of the
/// object.
class InjectedReadFaults {
public:
    explicit InjectedReadFaults(platform::ReadFaultInjector injector) {
        platform::setReadFaultInjector(std::move(injector));
    }
    ~InjectedReadFaults() { platform::setReadFaultInjector({}); }
    InjectedReadFaults(const InjectedReadFaults&) = delete;
    InjectedReadFaults& operator=(const InjectedReadFaults&) = delete;
};

}  // namespace tracksieve::testing
