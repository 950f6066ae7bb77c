#pragma once

#include <atomic>
#include <cstddef>
#include <cstring>

// The run-time choice among the implementations of one kernel: the fastest the CPU runs, or one
// picked by name (tests and benchmarks). An implementation is a struct with a `const char* Name`
// and a `bool NeedsAvx2`; the list is ordered fastest first and ends with one every CPU runs.
//
// Only the dispatching files include this header: the files compiled with -mavx2 must not
// instantiate functions that other files share, or the linker could keep their AVX2 copy.
namespace KernelChoice {

inline bool CpuRuns(bool NeedsAvx2) {
#if defined(__x86_64__) || defined(_M_X64)
    return !NeedsAvx2 || __builtin_cpu_supports("avx2");
#else
    return !NeedsAvx2;
#endif
}

template <typename TImplementation, size_t N>
const TImplementation* Best(const TImplementation* const (&Implementations)[N]) {
    for (const TImplementation* implementation : Implementations) {
        if (CpuRuns(implementation->NeedsAvx2)) {
            return implementation;
        }
    }
    return Implementations[N - 1];
}

// The current choice; null until first use, so static initialisation order does not matter,
// and racing first uses only store the same pointer twice.
template <typename TImplementation, size_t N>
const TImplementation& Current(std::atomic<const TImplementation*>& Choice,
                               const TImplementation* const (&Implementations)[N]) {
    const TImplementation* implementation = Choice.load(std::memory_order_acquire);
    if (implementation == nullptr) {
        implementation = Best(Implementations);
        Choice.store(implementation, std::memory_order_release);
    }
    return *implementation;
}

// "default" (or nullptr) returns to the fastest; a name the CPU cannot run is refused (false).
// The switch is atomic: a conversion running meanwhile finishes with either implementation.
template <typename TImplementation, size_t N>
bool Select(std::atomic<const TImplementation*>& Choice,
            const TImplementation* const (&Implementations)[N], const char* Name) {
    if (Name == nullptr || std::strcmp(Name, "default") == 0) {
        Choice.store(Best(Implementations), std::memory_order_release);
        return true;
    }
    for (const TImplementation* implementation : Implementations) {
        if (std::strcmp(Name, implementation->Name) == 0 && CpuRuns(implementation->NeedsAvx2)) {
            Choice.store(implementation, std::memory_order_release);
            return true;
        }
    }
    return false;
}

}  // namespace KernelChoice
