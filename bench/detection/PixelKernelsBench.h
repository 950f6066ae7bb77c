#pragma once

#include <string>
#include <vector>

// Pairs of benchmarks of PixelKernelsBench.cpp whose time ratio tells how a kernel does against
// the machine's memory limit (or against its scalar reference). Names are the registered
// benchmark names; Limit is the largest acceptable Subject / Baseline time ratio.
struct TKernelComparison {
    std::string Subject;
    std::string Baseline;
    double Limit;
};

const std::vector<TKernelComparison>& PixelKernelsComparisons();
