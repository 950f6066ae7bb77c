#include "videolog/StreamNames.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(StreamNamesTest, NamesKnownSubtypes) {
    const struct {
        TGUID subtype;
        const char* label;
    } cases[] = {
        {MEDIASUBTYPE_YUY2, "YUY2"},
        {MEDIASUBTYPE_UYVY, "UYVY"},
        {MEDIASUBTYPE_RGB24, "RGB24"},
        {MEDIASUBTYPE_RGB32, "RGB32"},
        {MEDIASUBTYPE_MJPG, "MJPG"},
        {MEDIASUBTYPE_MPEG2_VIDEO, "MPEG2 Video"},
        {MEDIASUBTYPE_MPEG2_PROGRAM, "MPEG2 PROGRAM"},
        {MEDIASUBTYPE_MPEG2_TRANSPORT, "MPEG2 TRANSPORT"},
        {MEDIASUBTYPE_MPEG1Payload, "MPEG1"},
        {MEDIASUBTYPE_MP4V, "MPEG4 Video"},
        {MEDIASUBTYPE_WMV1, "WMV1"},
        {MEDIASUBTYPE_WMV2, "WMV2"},
        {MEDIASUBTYPE_WMV3, "WMV3"},
        {MEDIASUBTYPE_WVC1, "VC1"},
        {MEDIASUBTYPE_WMVA, "WMVA"},
        {MEDIASUBTYPE_H264, "H264/AVC"},
        {MEDIASUBTYPE_AVC1, "H264/AVC"},
        // Both spellings of DV: the FOURCC "DVSD" and the usual "dvsd".
        {MEDIASUBTYPE_DVSD, "DVSD"},
        {MEDIASUBTYPE_dvsd, "DVSD"},
        {MEDIASUBTYPE_dvhd, "DVHD"},
        {MEDIASUBTYPE_dvsl, "DVSL"},
        {MEDIASUBTYPE_PCM, "PCM"},
        {GUID_NULL, "NULL"},
        {FourCCGuid(0x0055), "MP3"},
        {FourCCGuid(0x0161), "WMAudioV8"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StreamNameOfSubtype(c.subtype), c.label) << c.label;
    }
}

TEST(StreamNamesTest, UnknownSubtypeReadsAsItsBracedText) {
    const TGUID unknown = {
        0x0A1B2C3D, 0x4E5F, 0xA6B7, {0xC8, 0xD9, 0xEA, 0xFB, 0x0C, 0x1D, 0x2E, 0x3F}};
    EXPECT_EQ(StreamNameOfSubtype(unknown), "{0A1B2C3D-4E5F-A6B7-C8D9-EAFB0C1D2E3F}");
    // A FOURCC outside the table (HEVC) keeps the FOURCC range's text.
    EXPECT_EQ(StreamNameOfSubtype(FourCCGuid(MakeFourCC('H', 'E', 'V', 'C'))),
              "{43564548-0000-0010-8000-00AA00389B71}");
}

// Every row can be reached: no subtype is listed twice, so no row hides behind an earlier one.
// Only DVSD, MPEG1Audio and H264/AVC label more than one subtype.
TEST(StreamNamesTest, TableRowsAreDistinctSubtypes) {
    const auto rows = StreamNameRows();
    ASSERT_EQ(rows.size(), 144u);
    EXPECT_STREQ(rows.front().Label, "NULL");
    EXPECT_STREQ(rows.back().Label, "MSS2");
    std::map<std::string, int> labels;
    for (size_t i = 0; i < rows.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            EXPECT_FALSE(rows[i].Subtype == rows[j].Subtype)
                << rows[i].Label << " repeats the subtype of " << rows[j].Label;
        }
        EXPECT_EQ(StreamNameOfSubtype(rows[i].Subtype), rows[i].Label);
        ++labels[rows[i].Label];
    }
    std::map<std::string, int> shared;
    for (const auto& [label, count] : labels) {
        if (count > 1) {
            shared[label] = count;
        }
    }
    EXPECT_EQ(shared,
              (std::map<std::string, int>{{"DVSD", 2}, {"H264/AVC", 3}, {"MPEG1Audio", 2}}));
}

}  // namespace
