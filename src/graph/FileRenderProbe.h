#pragma once

#include <string>

// True when the file holds a video or audio stream that decodes: the file is rendered in a
// temporary graph, prerolled (bounded wait) and checked for a video or audio sink.
bool CanFileRender(const std::string& fileName);
