#pragma once

#include <gst/gst.h>

#include <cstdint>

#include "platform/GstHandle.h"
#include "platform/MediaType.h"

// Conversion between TMediaType and GstCaps. Mapped kinds:
//   video/x-raw BGRx (also BGRA on input)  <-> MEDIATYPE_Video / RGB32, 32 bits, BI_RGB
//   video/x-raw BGR                         <-> MEDIATYPE_Video / RGB24, 24 bits, BI_RGB
//   video/x-raw YUY2, UYVY                  <-> MEDIATYPE_Video / YUY2, UYVY, 16 bits, FOURCC
//   video/x-raw I420, NV12                  <-> MEDIATYPE_Video / I420, NV12, 12 bits, FOURCC
//                                               (image size w * h + 2 * ((w+1)/2 * (h+1)/2))
//   image/jpeg                              <-> MEDIATYPE_Video / MJPG
//   video/x-dv systemstream=false           <-> MEDIATYPE_Video / dvsd (FORMAT_VideoInfo)
//   video/x-dv systemstream=true            <-> MEDIATYPE_Interleaved / dvsd (FORMAT_DvInfo)
//   video/mpeg mpegversion=2                <-> MEDIATYPE_Video / MPEG2_VIDEO (FORMAT_MPEG2Video)
//   video/mpeg systemstream=true            <-> MEDIATYPE_Stream / MPEG2_PROGRAM
//   video/mpegts                            <-> MEDIATYPE_Stream / MPEG2_TRANSPORT
//   audio/x-raw U8, S16LE, S24LE, S32LE     <-> MEDIATYPE_Audio / PCM (FORMAT_WaveFormatEx)
// Compressed video is also named, one way only (caps -> media type), without a format block
// and with temporal compression set; CapsFromMediaType gives empty caps for these, so the
// capture path, which sets formats through caps, never offers them:
//   video/x-wmv wmvversion=1, 2              -> WMV1, WMV2
//   video/x-wmv wmvversion=3                 -> WMV3; format=WVC1 -> WVC1, format=WMVA -> WMVA
//   video/x-h264                             -> H264; stream-format=avc or avc3 -> AVC1
//   video/mpeg mpegversion=1                 -> MPEG1Payload
//   video/mpeg mpegversion=4                 -> MP4V
// Bitmap heights are written positive: bottom-up rows are a convention of our frames, not of
// the caps, and |biHeight| is read back. Image sizes use rows padded to 32 bits like Windows
// bitmaps; the bit rate is Trunc(10,000,000 / AvgTimePerFrame * image size * 8) where the
// image size is the real frame size (uncompressed video and DV), otherwise 0 unless the caps
// carry a "bitrate".

// Reads the first structure of fixed caps; false (and `mediaType` reset) for anything else.
bool MediaTypeFromCaps(const GstCaps* caps, TMediaType& mediaType);

// Caps of a media type; empty for a kind outside the table above.
TGstCapsHandle CapsFromMediaType(const TMediaType& mediaType);

// 10,000,000 * den / num rounded to the nearest 100 ns (halves up); 0 for a rate of 0.
int64_t AvgTimePerFrameFromFrameRate(int num, int den);

// The frame rate of an interval: the simplest fraction with denominator 1, 1001 or 2 that
// converts back to exactly `avgTimePerFrame`, otherwise 10,000,000 / interval reduced.
// 0/1 for an interval of 0 or less.
void FrameRateFromAvgTimePerFrame(int64_t avgTimePerFrame, int& num, int& den);
