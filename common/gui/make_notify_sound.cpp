// Writes the programs' notification sound: a short two-note chime as a 16-bit mono WAV. The
// build runs it so that the sound is ours and needs no recording in the source tree.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <vector>

namespace {

constexpr int kRate = 22050;

void put16(std::vector<char>& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void put32(std::vector<char>& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

void putText(std::vector<char>& out, const char* text) {
    while (*text != '\0') out.push_back(*text++);
}

// One struck note: a quick rise, then a ring that dies away, with a soft octave above.
void note(std::vector<std::int16_t>& samples, double hz, double start, double length) {
    const auto first = static_cast<std::size_t>(start * kRate);
    const auto count = static_cast<std::size_t>(length * kRate);
    if (samples.size() < first + count) samples.resize(first + count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double rise = std::min(1.0, t / 0.004);
        const double ring = std::exp(-t * 7.0);
        const double wave =
            std::sin(2 * std::numbers::pi * hz * t) + 0.3 * std::sin(4 * std::numbers::pi * hz * t);
        const double value = samples[first + i] + 9000.0 * rise * ring * wave;
        samples[first + i] = static_cast<std::int16_t>(std::clamp(value, -32000.0, 32000.0));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    std::vector<std::int16_t> samples;
    note(samples, 880.0, 0.0, 0.35);
    note(samples, 1318.5, 0.12, 0.45);

    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<char> out;
    putText(out, "RIFF");
    put32(out, 36 + dataBytes);
    putText(out, "WAVE");
    putText(out, "fmt ");
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // mono
    put32(out, kRate);
    put32(out, kRate * 2);
    put16(out, 2);
    put16(out, 16);
    putText(out, "data");
    put32(out, dataBytes);
    for (std::int16_t s : samples) put16(out, static_cast<std::uint16_t>(s));

    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    if (!file) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
