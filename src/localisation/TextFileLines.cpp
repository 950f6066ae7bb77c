#include "localisation/TextFileLines.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

constexpr char32_t ReplacementChar = 0xFFFD;

void AppendUtf8(std::string& Out, char32_t Cp) {
    if (Cp < 0x80) {
        Out += static_cast<char>(Cp);
    } else if (Cp < 0x800) {
        Out += static_cast<char>(0xC0 | (Cp >> 6));
        Out += static_cast<char>(0x80 | (Cp & 0x3F));
    } else if (Cp < 0x10000) {
        Out += static_cast<char>(0xE0 | (Cp >> 12));
        Out += static_cast<char>(0x80 | ((Cp >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (Cp & 0x3F));
    } else {
        Out += static_cast<char>(0xF0 | (Cp >> 18));
        Out += static_cast<char>(0x80 | ((Cp >> 12) & 0x3F));
        Out += static_cast<char>(0x80 | ((Cp >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (Cp & 0x3F));
    }
}

struct TUtf8Step {
    size_t Length;  // bytes of the sequence, or of its longest ill-formed start
    bool Valid;
};

// Classifies the UTF-8 sequence at Pos by the table of well-formed byte sequences (no overlong
// forms, no surrogates, nothing above U+10FFFF). An ill-formed sequence covers the longest
// prefix that could still have become well-formed, so it is replaced by one U+FFFD.
TUtf8Step NextUtf8(std::string_view Bytes, size_t Pos) {
    const auto lead = static_cast<unsigned char>(Bytes[Pos]);
    if (lead < 0x80) {
        return {1, true};
    }
    size_t trail;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1;
    } else if (lead == 0xE0) {
        trail = 2;
        low = 0xA0;
    } else if ((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF) {
        trail = 2;
    } else if (lead == 0xED) {
        trail = 2;
        high = 0x9F;
    } else if (lead == 0xF0) {
        trail = 3;
        low = 0x90;
    } else if (lead >= 0xF1 && lead <= 0xF3) {
        trail = 3;
    } else if (lead == 0xF4) {
        trail = 3;
        high = 0x8F;
    } else {
        return {1, false};
    }
    for (size_t k = 1; k <= trail; ++k) {
        if (Pos + k >= Bytes.size()) {
            return {k, false};
        }
        const auto b = static_cast<unsigned char>(Bytes[Pos + k]);
        if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) {
            return {k, false};
        }
    }
    return {trail + 1, true};
}

bool IsValidUtf8(std::string_view Bytes) {
    for (size_t pos = 0; pos < Bytes.size();) {
        const TUtf8Step step = NextUtf8(Bytes, pos);
        if (!step.Valid) {
            return false;
        }
        pos += step.Length;
    }
    return true;
}

std::string RepairUtf8(std::string_view Bytes) {
    std::string out;
    out.reserve(Bytes.size());
    for (size_t pos = 0; pos < Bytes.size();) {
        const TUtf8Step step = NextUtf8(Bytes, pos);
        if (step.Valid) {
            out.append(Bytes.substr(pos, step.Length));
        } else {
            AppendUtf8(out, ReplacementChar);
        }
        pos += step.Length;
    }
    return out;
}

std::string DecodeUtf16(std::string_view Bytes, bool BigEndian) {
    auto unitAt = [&](size_t pos) -> char16_t {
        const auto b0 = static_cast<unsigned char>(Bytes[pos]);
        const auto b1 = static_cast<unsigned char>(Bytes[pos + 1]);
        return static_cast<char16_t>(BigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
    };
    std::string out;
    out.reserve(Bytes.size());
    const size_t end = Bytes.size() & ~size_t{1};
    for (size_t pos = 0; pos < end; pos += 2) {
        const char16_t unit = unitAt(pos);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (pos + 2 < end) {
                const char16_t next = unitAt(pos + 2);
                if (next >= 0xDC00 && next <= 0xDFFF) {
                    AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) +
                                        (char32_t{next} - 0xDC00));
                    pos += 2;
                    continue;
                }
            }
            AppendUtf8(out, ReplacementChar);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            AppendUtf8(out, ReplacementChar);
        } else {
            AppendUtf8(out, unit);
        }
    }
    if (end != Bytes.size()) {
        AppendUtf8(out, ReplacementChar);
    }
    return out;
}

// Windows-1252 bytes 0x80..0x9F; 0 marks the five bytes the code page leaves undefined.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

std::string DecodeWindows1252(std::string_view Bytes) {
    std::string out;
    out.reserve(Bytes.size() + Bytes.size() / 2);
    for (const char c : Bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b <= 0x9F) {
            const char16_t cp = Cp1252High[b - 0x80];
            AppendUtf8(out, cp != 0 ? cp : ReplacementChar);
        } else {
            AppendUtf8(out, b);
        }
    }
    return out;
}

std::string DecodeText(std::string_view Bytes) {
    if (Bytes.starts_with("\xEF\xBB\xBF")) {
        return RepairUtf8(Bytes.substr(3));
    }
    if (Bytes.starts_with("\xFF\xFE")) {
        return DecodeUtf16(Bytes.substr(2), false);
    }
    if (Bytes.starts_with("\xFE\xFF")) {
        return DecodeUtf16(Bytes.substr(2), true);
    }
    if (IsValidUtf8(Bytes)) {
        return std::string(Bytes);
    }
    return DecodeWindows1252(Bytes);
}

std::vector<std::string> SplitLines(std::string_view Text) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t pos = 0;
    while (pos < Text.size()) {
        const char c = Text[pos];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(Text.substr(start, pos - start));
            pos += (c == '\r' && pos + 1 < Text.size() && Text[pos + 1] == '\n') ? 2 : 1;
            start = pos;
        } else {
            ++pos;
        }
    }
    if (start < Text.size()) {
        lines.emplace_back(Text.substr(start));
    }
    return lines;
}

}  // namespace

std::vector<std::string> DecodeTextLines(std::string_view Bytes) {
    return SplitLines(DecodeText(Bytes));
}

bool ReadTextFileLines(const std::string& FileName, std::vector<std::string>& Lines) {
    Lines.clear();
    try {
        namespace fs = std::filesystem;
        std::error_code error;
        const fs::path path(FileName);
        // Only regular files: a FIFO or device named like a text file would block or never end.
        if (!fs::is_regular_file(path, error)) {
            return false;
        }
        const std::uintmax_t size = fs::file_size(path, error);
        if (error || size > MaxTextFileSize) {
            return false;
        }
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            return false;
        }
        // The size may change between the check and the read, so the cap holds for the read too.
        std::string bytes;
        bytes.reserve(static_cast<size_t>(size));
        char buffer[65536];
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
            bytes.append(buffer, static_cast<size_t>(in.gcount()));
            if (bytes.size() > MaxTextFileSize) {
                return false;
            }
        }
        if (in.bad()) {
            return false;
        }
        Lines = DecodeTextLines(bytes);
        return true;
    } catch (...) {
        Lines.clear();
        return false;
    }
}
