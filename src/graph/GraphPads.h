#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/GstHandle.h"
#include "platform/HResult.h"

// Pin directions and graph states with the values the graph wrappers hand out.
enum TPinDirection : int32_t { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
enum TFilterState : int32_t { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

// Pad ("pin") helpers shared by the graph wrappers and their free functions.
namespace GraphPads {

GstPadDirection ToPadDirection(TPinDirection dir);

// The element's pads in the order they were added (inputs and outputs mixed), each with
// a reference; a snapshot, so the list stays valid while pads are linked or removed.
std::vector<TGstPadHandle> ElementPads(GstElement* element);

// The first pad of `dir` named exactly `name` (case-sensitive; any pad of `dir` when `name`
// is empty). When no existing pad matches a non-empty name and `allowRequest` is set, a pad is
// requested from the element's request templates of that direction by that name (a template
// name such as "sink_%u" or a concrete name such as "sink_1"); `requested` tells the caller it
// owns that request (release with gst_element_release_request_pad).
TGstPadHandle FindPad(GstElement* element, const std::string& name, TPinDirection dir,
                      bool allowRequest, bool* requested = nullptr);

TGstPadHandle Peer(GstPad* pad);
// The real pad at the other end of `pad`'s link, seen across bin borders: a ghost pad on the
// far side is followed down to the element pad it stands for, and a ghost pad's inner proxy
// is followed out through the ghost pad to whatever that is linked to. Empty when the link
// ends at a ghost pad without a target or an unlinked ghost pad.
TGstPadHandle PeerAcrossBins(GstPad* pad);
TGstElementHandle ParentElement(GstPad* pad);

// Links an output to an input with the default hierarchy and caps checks.
HRESULT LinkPads(GstPad* src, GstPad* sink);
// Unlinks a pad from its peer; VFW_E_NOT_CONNECTED when it has none.
HRESULT UnlinkPad(GstPad* pad);

enum class TStreamKind { RawVideo, RawAudio, Other };
// The kind of the first structure of `caps`.
TStreamKind KindOfCaps(const GstCaps* caps);
// The negotiated caps of a pad, or (not negotiated yet) what its link allows.
TGstCapsHandle ConnectionCaps(GstPad* pad);

}  // namespace GraphPads
