#pragma once

#include <span>
#include <string>

#include "platform/MediaType.h"

// Short names of media subtypes: how the preview names the compressed format of a video
// stream. The table pairs the published DirectShow and Windows Media subtype GUIDs with their
// labels; it is searched in order and the first match wins (a few labels name two subtypes).

struct TStreamNameRow {
    TGUID Subtype;
    const char* Label;
};

// The 144 rows in search order.
std::span<const TStreamNameRow> StreamNameRows();

// The label of Subtype; a GUID outside the table is named by its braced text form,
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
std::string StreamNameOfSubtype(const TGUID& Subtype);
