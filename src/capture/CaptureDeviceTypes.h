#pragma once

#include <cstdint>
#include <string>

#include "capture/CaptureDeviceDescription.h"
#include "platform/MediaType.h"

// The device type one offered media type stands for, tested in the order HDV, DV, AnalogHW,
// Analog, DVVideo; CaptureDeviceType_Unrecognised when no rule matches.
int32_t DeviceTypeOfMediaType(const TMediaType& MediaType);

// True when the friendly name marks a Blackmagic DeckLink card (any letter case).
bool IsDeckLinkName(const std::string& FriendlyName);

// Name of a crossbar connector (PhysicalConnectorType value): "Tuner", "Composite", ...;
// "Unknown" for any value outside the table.
std::string GetPhysicalConnectorName(int32_t PhysicalConnectorType);

// The description line logged for a media type that no device-type rule recognises.
std::string DescribeMediaType(const TMediaType& MediaType);
