#pragma once

#include <memory>

#include "graph/GraphCommon.h"

// The capture graph's filter-graph wrapper. Its lines go through LogMessage without a tag;
// a failing construction step logs its "DX Error" line and the constructor's catch-all line,
// and leaves the object as far as it was built (Valid() tells whether a pipeline exists).
// Created and destroyed on the same thread.
class TDirectShowGraph : public TGraphCommon {
public:
    // TGraphClock::System is Create, TGraphClock::Own is CreateNoClock.
    explicit TDirectShowGraph(TGraphClock clock = TGraphClock::System);
    ~TDirectShowGraph() override;

    static std::unique_ptr<TDirectShowGraph> Create();
    static std::unique_ptr<TDirectShowGraph> CreateNoClock();
};
