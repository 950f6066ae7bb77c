#include "graph/DirectShowGraph.h"

#include <stdexcept>
#include <string>

#include "platform/Diagnostics.h"

namespace {

const TGraphLogStyle kDirectShowGraphStyle = {"TDirectShowGraph",
                                              "",
                                              &LogMessage,
                                              /*WarnOnIntermediate*/ true,
                                              /*WarnWhileStopping*/ true,
                                              /*PeerlessDisconnectSucceeds*/ false,
                                              "Error disconnecting pins."};

}  // namespace

TDirectShowGraph::TDirectShowGraph(TGraphClock clock) : TGraphCommon(kDirectShowGraphStyle) {
    const bool systemClock = clock == TGraphClock::System;
    try {
        CheckDXError(CreateGraphBuilder(), "Error creating GraphBuilder.");
        CheckDXError(AddToRunningObjectTable(), "Error adding graph to ROT.");
        if (FAILED(ObtainInterfaces())) {
            throw std::runtime_error("graph interfaces");
        }
        if (systemClock) {
            CheckDXError(CreateReferenceClock(), "Error creating Reference clock.");
            CheckDXError(SetSyncSource(), "Error setting SyncSource.");
        }
    } catch (...) {
        LogMessage(systemClock ? "Error in TDirectShowGraph.Create call..."
                               : "Error in TDirectShowGraph.CreateNoClock call...");
    }
}

TDirectShowGraph::~TDirectShowGraph() {
    Teardown();
}

std::unique_ptr<TDirectShowGraph> TDirectShowGraph::Create() {
    return std::make_unique<TDirectShowGraph>(TGraphClock::System);
}

std::unique_ptr<TDirectShowGraph> TDirectShowGraph::CreateNoClock() {
    return std::make_unique<TDirectShowGraph>(TGraphClock::Own);
}
