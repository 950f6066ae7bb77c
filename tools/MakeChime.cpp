// Writes the default zone alarm: a soft two-tone chime of about one second, 16-bit PCM mono WAV.
// Usage: make_chime <output.wav>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSampleRate = 44100;
constexpr double kPi = 3.14159265358979323846;

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// A bell-like tone: the fundamental with two soft partials, a short attack and an exponential
// decay, so the chime sounds pleasant rather than like a test tone.
double Bell(double t, double frequency) {
    if (t < 0) {
        return 0;
    }
    const double attack = std::min(1.0, t / 0.005);
    const double decay = std::exp(-t * 4.0);
    return attack * decay *
           (std::sin(2 * kPi * frequency * t) + 0.35 * std::sin(2 * kPi * 2.0 * frequency * t) +
            0.12 * std::sin(2 * kPi * 3.0 * frequency * t));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_chime <output.wav>\n");
        return 2;
    }
    const int samples = kSampleRate * 11 / 10;  // 1.1 s
    std::vector<int16_t> pcm(samples);
    for (int i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        // E6 then C6, the second tone starting 0.35 s later; fade out over the last 50 ms.
        double v = 0.45 * Bell(t, 1318.51) + 0.45 * Bell(t - 0.35, 1046.50);
        const double tail = (samples - i) / (0.05 * kSampleRate);
        v *= std::min(1.0, tail);
        pcm[i] = static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 30000.0));
    }

    std::vector<uint8_t> file;
    const uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
    file.insert(file.end(), {'R', 'I', 'F', 'F'});
    PutLE(file, 36 + dataBytes, 4);
    file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLE(file, 16, 4);
    PutLE(file, 1, 2);  // PCM
    PutLE(file, 1, 2);  // mono
    PutLE(file, kSampleRate, 4);
    PutLE(file, kSampleRate * 2, 4);
    PutLE(file, 2, 2);
    PutLE(file, 16, 2);
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    PutLE(file, dataBytes, 4);
    for (int16_t s : pcm) {
        PutLE(file, static_cast<uint16_t>(s), 2);
    }

    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && ok ? 0 : 1;
}
