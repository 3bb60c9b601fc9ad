// Writes a folder of short demo takes shaped like a field recorder's card: polyphonic
// Broadcast Wave files with `bext` timecode and a Sound Devices style iXML track list, some
// tracks carrying sound and some silent, plus the odd files a real card holds.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "wav_builder.h"

namespace {

namespace fs = std::filesystem;
using tracksieve::testing::WavBuilder;

enum class Content {
    Dialogue,  // a voice-like tone with a syllable rhythm
    Ambience,  // room noise
    Hiss,      // a microphone channel left open with nothing plugged in, far below -60 dBFS
    Silence,   // a disarmed track: digital zero
};

struct Track {
    std::string name;
    Content content;
    double frequency = 0.0;
};

struct Timecode {
    int hours, minutes, seconds, frames;
};

struct FrameRate {
    int numerator, denominator;
    std::string text() const { return std::to_string(numerator) + "/" + std::to_string(denominator); }
};

struct Take {
    fs::path file;
    std::string scene;
    std::string take;
    std::uint16_t bitsPerSample;
    bool isFloat;
    double seconds;
    Timecode start;
    FrameRate rate;
    std::vector<Track> tracks;
    bool damagedHeader = false;
};

constexpr std::uint32_t kSampleRate = 48000;

// Samples since midnight at the start timecode, as recorders store it in bext and iXML: the
// whole seconds, then the frames as a fraction of a second at the timecode rate.
std::uint64_t samplesSinceMidnight(const Take& take) {
    const Timecode& tc = take.start;
    const std::uint64_t seconds = static_cast<std::uint64_t>(tc.hours) * 3600 + tc.minutes * 60 + tc.seconds;
    const std::uint64_t frameSamples =
        (static_cast<std::uint64_t>(tc.frames) * kSampleRate * take.rate.denominator + take.rate.numerator / 2) /
        take.rate.numerator;
    return seconds * kSampleRate + frameSamples;
}

float sampleAt(const Track& track, double t, std::mt19937& random) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    switch (track.content) {
    case Content::Dialogue: {
        const double syllables = std::pow(0.5 + 0.5 * std::sin(2 * std::numbers::pi * 3.1 * t), 2.0);
        return static_cast<float>(0.3 * syllables * std::sin(2 * std::numbers::pi * track.frequency * t)) +
               0.004f * unit(random);
    }
    case Content::Ambience: return 0.05f * unit(random);
    case Content::Hiss: return 0.0001f * unit(random);
    case Content::Silence: return 0.0f;
    }
    return 0.0f;
}

std::string samples(const Take& take) {
    std::mt19937 random(static_cast<unsigned>(take.tracks.size() * 7919 + take.start.seconds));
    const auto frameCount = static_cast<std::size_t>(take.seconds * kSampleRate);
    std::vector<std::vector<float>> frames(frameCount, std::vector<float>(take.tracks.size()));
    for (std::size_t f = 0; f < frameCount; ++f) {
        const double t = static_cast<double>(f) / kSampleRate;
        for (std::size_t c = 0; c < take.tracks.size(); ++c) frames[f][c] = sampleAt(take.tracks[c], t, random);
    }
    if (take.isFloat) return tracksieve::testing::floatFrames(frames);

    const double fullScale = std::ldexp(1.0, take.bitsPerSample - 1);
    std::vector<std::vector<std::int32_t>> integers(frameCount, std::vector<std::int32_t>(take.tracks.size()));
    for (std::size_t f = 0; f < frameCount; ++f) {
        for (std::size_t c = 0; c < take.tracks.size(); ++c) {
            const double scaled = std::round(static_cast<double>(frames[f][c]) * fullScale);
            integers[f][c] = static_cast<std::int32_t>(std::clamp(scaled, -fullScale, fullScale - 1));
        }
    }
    return tracksieve::testing::pcmFrames(take.bitsPerSample, integers);
}

std::string bext(const Take& take) {
    std::string body = tracksieve::testing::bextBody(samplesSinceMidnight(take));
    auto put = [&body](std::size_t offset, std::size_t size, const std::string& text) {
        body.replace(offset, std::min(text.size(), size), text, 0, size);
    };
    std::string description = "sSCENE=" + take.scene + "\r\nsTAKE=" + take.take + "\r\n";
    for (std::size_t i = 0; i < take.tracks.size(); ++i) {
        description += "sTRK" + std::to_string(i + 1) + "=" + take.tracks[i].name + "\r\n";
    }
    char time[9];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", take.start.hours, take.start.minutes, take.start.seconds);
    put(0, 256, description);
    put(256, 32, "Sound Dev: 888 S#DEMO0001");
    put(288, 32, "USSDVDEMO0001" + take.scene + take.take);
    put(320, 10, "2026-12-07");
    put(330, 8, time);
    return body;
}

std::string ixml(const Take& take) {
    const std::uint64_t timestamp = samplesSinceMidnight(take);
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n"
        "\t<IXML_VERSION>1.61</IXML_VERSION>\n"
        "\t<PROJECT>TRACKSIEVE DEMO</PROJECT>\n"
        "\t<SCENE>" +
        take.scene +
        "</SCENE>\n"
        "\t<TAKE>" +
        take.take +
        "</TAKE>\n"
        "\t<TAPE>26Y12M07</TAPE>\n"
        "\t<SPEED>\n"
        "\t\t<MASTER_SPEED>" +
        take.rate.text() +
        "</MASTER_SPEED>\n"
        "\t\t<CURRENT_SPEED>" +
        take.rate.text() +
        "</CURRENT_SPEED>\n"
        "\t\t<TIMECODE_FLAG>NDF</TIMECODE_FLAG>\n"
        "\t\t<TIMECODE_RATE>" +
        take.rate.text() +
        "</TIMECODE_RATE>\n"
        "\t\t<FILE_SAMPLE_RATE>48000</FILE_SAMPLE_RATE>\n"
        "\t\t<AUDIO_BIT_DEPTH>" +
        std::to_string(take.bitsPerSample) +
        "</AUDIO_BIT_DEPTH>\n"
        "\t\t<TIMESTAMP_SAMPLE_RATE>48000</TIMESTAMP_SAMPLE_RATE>\n"
        "\t\t<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>" +
        std::to_string(timestamp >> 32) +
        "</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>\n"
        "\t\t<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>" +
        std::to_string(timestamp & 0xFFFFFFFFu) +
        "</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>\n"
        "\t</SPEED>\n"
        "\t<TRACK_LIST>\n"
        "\t\t<TRACK_COUNT>" +
        std::to_string(take.tracks.size()) + "</TRACK_COUNT>\n";
    for (std::size_t i = 0; i < take.tracks.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        xml +=
            "\t\t<TRACK>\n"
            "\t\t\t<CHANNEL_INDEX>" +
            number +
            "</CHANNEL_INDEX>\n"
            "\t\t\t<INTERLEAVE_INDEX>" +
            number +
            "</INTERLEAVE_INDEX>\n"
            "\t\t\t<NAME>" +
            take.tracks[i].name +
            "</NAME>\n"
            "\t\t</TRACK>\n";
    }
    xml += "\t</TRACK_LIST>\n</BWFXML>\n";
    return xml;
}

std::string recording(const Take& take) {
    tracksieve::testing::Format format{.formatTag = static_cast<std::uint16_t>(take.isFloat ? 3 : 1),
                                       .channels = static_cast<std::uint16_t>(take.tracks.size()),
                                       .sampleRate = kSampleRate,
                                       .bitsPerSample = take.bitsPerSample};
    // Damage as a failing card leaves it: the frame size no longer fits the channel count.
    if (take.damagedHeader) format.blockAlign = static_cast<std::uint16_t>(take.bitsPerSample / 8);
    return WavBuilder().chunk("bext", bext(take)).chunk("iXML", ixml(take)).fmt(format).data(samples(take)).bytes();
}

std::vector<Take> demoTakes() {
    using enum Content;
    return {
        {"12A_T01.WAV",
         "12A",
         "1",
         24,
         false,
         3.0,
         {14, 32, 10, 5},
         {25, 1},
         {{"Boom", Dialogue, 220},
          {"Lav Anna", Dialogue, 330},
          {"Lav Ben", Dialogue, 185},
          {"Lav Clara", Hiss},
          {"Plant", Silence},
          {"Spare", Silence},
          {"Mix L", Dialogue, 247},
          {"Mix R", Dialogue, 262}}},
        {"12A_T02.WAV",
         "12A",
         "2",
         24,
         false,
         2.5,
         {14, 35, 42, 17},
         {25, 1},
         {{"Boom", Dialogue, 220}, {"Lav Anna", Dialogue, 330}, {"Lav Ben", Hiss}, {"Lav Clara", Silence}}},
        {"12A_T03.WAV",
         "12A",
         "3",
         24,
         false,
         1.0,
         {14, 39, 3, 0},
         {25, 1},
         {{"Boom", Dialogue, 220},
          {"Lav Anna", Dialogue, 330},
          {"Lav Ben", Hiss},
          {"Lav Clara", Silence},
          {"Plant", Silence},
          {"Spare", Silence},
          {"Mix L", Dialogue, 247},
          {"Mix R", Dialogue, 262}},
         true},
        {"12B_T01.WAV",
         "12B",
         "1",
         16,
         false,
         2.0,
         {15, 2, 0, 12},
         {30000, 1001},
         {{"Ambience L", Ambience}, {"Ambience R", Ambience}}},
        {"Day 2/14C_T03.WAV",
         "14C",
         "3",
         32,
         true,
         2.0,
         {9, 15, 30, 8},
         {24000, 1001},
         {{"Boom", Dialogue, 196},
          {"Lav Dev", Dialogue, 294},
          {"Lav Eve", Hiss},
          {"Plant", Silence},
          {"Mix L", Dialogue, 247},
          {"Mix R", Silence}}},
        {"WILD_01.WAV", "WILD", "1", 24, false, 1.5, {15, 10, 0, 0}, {25, 1}, {{"Boom", Ambience}}},
    };
}

// The resource-fork companion that macOS writes beside every file on a FAT or exFAT card.
std::string appleDoubleCompanion() {
    std::string bytes("\x00\x05\x16\x07\x00\x02\x00\x00Mac OS X        ", 24);
    bytes.resize(4096, '\0');
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s DIR\nWrites demo recordings into DIR.\n", argv[0]);
        return 2;
    }
    const fs::path dir = argv[1];
    try {
        const std::vector<Take> takes = demoTakes();
        for (const Take& take : takes) tracksieve::testing::writeFile(dir / take.file, recording(take));
        tracksieve::testing::writeFile(dir / "._12A_T01.WAV", appleDoubleCompanion());
        std::printf("Wrote %zu demo recordings to %s\n", takes.size(), dir.string().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Could not write the demo recordings: %s\n", e.what());
        return 1;
    }
    return 0;
}
