#pragma once

#include "platform/MediaType.h"

// The class ids of the decoder and splitter filters that both the capture graph and playback
// prefer, each standing for the GStreamer element that does its work.
// {AFB6C280-2C41-11D3-8A60-0000F81E0E4A}
constexpr TGUID CLSID_MPEG2Demultiplexer = {
    0xAFB6C280, 0x2C41, 0x11D3, {0x8A, 0x60, 0x00, 0x00, 0xF8, 0x1E, 0x0E, 0x4A}};
// {4EB31670-9FC6-11CF-AF6E-00AA00B67A42}
constexpr TGUID CLSID_DVSplitter = {
    0x4EB31670, 0x9FC6, 0x11CF, {0xAF, 0x6E, 0x00, 0xAA, 0x00, 0xB6, 0x7A, 0x42}};
// {B1B77C00-C3E4-11CF-AF79-00AA00B67A42}
constexpr TGUID CLSID_DVVideoCodec = {
    0xB1B77C00, 0xC3E4, 0x11CF, {0xAF, 0x79, 0x00, 0xAA, 0x00, 0xB6, 0x7A, 0x42}};
// {212690FB-83E5-4526-8FD7-74478B7939CD}: the MPEG-2 video decoder class; avdec_mpeg2video here.
constexpr TGUID CLSID_CMPEG2VidDecoderDS = {
    0x212690FB, 0x83E5, 0x4526, {0x8F, 0xD7, 0x74, 0x47, 0x8B, 0x79, 0x39, 0xCD}};
