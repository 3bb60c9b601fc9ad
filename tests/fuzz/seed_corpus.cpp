#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tracksieve/track_list_rewrite.h"
#include "wav_builder.h"

// Writes the seed inputs of the fuzz targets into DIR: wav/ for the analysis and the slim (files
// from the fixture builder, and the real recordings of the test data cut to a few frames), and
// track_list/ for the iXML target (a channel count, a kept-channel mask, then the text).
namespace {

namespace fs = std::filesystem;
using namespace tracksieve::testing;
using Levels = std::vector<std::int32_t>;

std::string framesOf(int bitsPerSample, const Levels& levels, std::size_t frames = 6) {
    return pcmFrames(bitsPerSample, std::vector<Levels>(frames, levels));
}

std::string le32(std::uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
    return out;
}

std::string peakChunk(const std::vector<float>& peaks) {
    std::string body = le32(1) + le32(0);
    for (std::size_t c = 0; c < peaks.size(); ++c) {
        body += floatFrames({{peaks[c]}});
        body += le32(static_cast<std::uint32_t>(c));
    }
    return body;
}

std::string chnaChunk(std::uint16_t tracks) {
    std::string body;
    body += std::string{static_cast<char>(tracks), 0, static_cast<char>(tracks), 0};
    for (std::uint16_t t = 1; t <= tracks; ++t) {
        body += std::string{static_cast<char>(t), 0};
        body += "ATU_0000000" + std::to_string(t) + "AT_00031001_0" + std::to_string(t) + "AP_00031001" +
                std::string(1, '\0');
    }
    return body;
}

const std::vector<std::string> kNames = {"Boom", "Lav 1", "Lav 2", "Lav 3"};

std::vector<std::pair<std::string, std::string>> builtWavs() {
    const std::string list = tracksieve::buildTrackListIxml(kNames);
    const std::string timecode =
        "<BWFXML><SPEED><TIMECODE_RATE>30000/1001</TIMECODE_RATE>"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>0</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>"
        "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>172800000</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO></SPEED></BWFXML>";
    const std::string unclosed =
        "<BWFXML><TRACK_LIST><TRACK><NAME>Mic1</NAME></TRACK><TRACK><NAME>Mic2</NAME></TRACK>"
        "<TRACK><NAME>Mic3</NAME></TRACK></BWFXML>";
    return {
        {"stereo_one_silent.wav", WavBuilder().fmt({}).data(framesOf(16, {1000, 0})).bytes()},
        {"bext_ixml_ond_24bit.wav", WavBuilder()
                                        .chunk("bext", bextBody(48000 * 3600))
                                        .chunk("iXML", list + std::string(64, '\0'))
                                        .fmt({.channels = 4, .bitsPerSample = 24})
                                        .chunk("ond1", "a")
                                        .chunk("ond2", "b")
                                        .chunk("ond3", "c")
                                        .chunk("ond4", "d")
                                        .data(framesOf(24, {0x10000, 0, 0x20000, 0}))
                                        .chunk("umid", "xyz")
                                        .bytes()},
        {"extensible_ixml_after_data.wav",
         WavBuilder()
             .fmt({.channels = 6, .bitsPerSample = 24, .extensible = true, .channelMask = 0x3F})
             .data(framesOf(24, {500000, 0, 9000, 9000, 0, 70000}, 5))
             .chunk("iXML", timecode)
             .bytes()},
        {"float_peak.wav", WavBuilder()
                               .fmt({.formatTag = 3, .channels = 3, .bitsPerSample = 32})
                               .chunk("PEAK", peakChunk({0.5f, 0.0f, 0.25f}))
                               .data(floatFrames({{0.5f, 0.0f, -0.25f}, {-0.5f, 0.0f, 0.25f}}))
                               .bytes()},
        {"pcm32.wav", WavBuilder().fmt({.bitsPerSample = 32}).data(framesOf(32, {1 << 24, 0})).bytes()},
        {"chna.wav", WavBuilder()
                         .fmt({.channels = 3, .bitsPerSample = 24})
                         .chunk("chna", chnaChunk(3))
                         .data(framesOf(24, {0x7000, 0, 0x7000}))
                         .bytes()},
        {"crashed_take.wav", WavBuilder().fmt({}).chunkDeclaring("data", framesOf(16, {1000, 0}), 0xFFFFFFFFu).bytes()},
        {"data_past_end.wav", WavBuilder().fmt({}).chunkDeclaring("data", framesOf(16, {0, 900}), 1000).bytes()},
        {"ixml_cut_short.wav", WavBuilder()
                                   .fmt({})
                                   .data(framesOf(16, {0, 900}))
                                   .chunkDeclaring("iXML", "<BWFXML><TRACK_LIST>", 2'000'000)
                                   .bytes()},
        {"ixml_unclosed_list.wav",
         WavBuilder().chunk("iXML", unclosed).fmt({.channels = 3}).data(framesOf(16, {0, 900, 900})).bytes()},
        {"padded_frames.wav", WavBuilder().fmt({.blockAlign = 6}).data(std::string(36, '\x40')).bytes()},
        {"wide_containers.wav",
         WavBuilder().fmt({.bitsPerSample = 24, .blockAlign = 8}).data(framesOf(32, {0x5a0c, 0})).bytes()},
        {"data_before_fmt.wav", WavBuilder().data(framesOf(16, {0, 900})).fmt({}).bytes()},
        {"two_data_chunks.wav", WavBuilder()
                                    .fmt({})
                                    .data(framesOf(16, {900, 900}))
                                    .chunk("LIST", "INFO")
                                    .data(framesOf(16, {900, 0}))
                                    .bytes()},
        {"rf64_bext_ixml.wav", inWideForm(WavBuilder()
                                              .chunk("bext", bextBody(48000 * 3600))
                                              .fmt({.channels = 4, .bitsPerSample = 24})
                                              .chunk("iXML", list)
                                              .data(framesOf(24, {0x10000, 0, 0x20000, 0}))
                                              .chunk("LIST", "INFO")
                                              .bytes(),
                                          "RF64")},
        {"bw64_chna_axml.wav", inWideForm(WavBuilder()
                                              .fmt({.channels = 3, .bitsPerSample = 24})
                                              .chunk("chna", chnaChunk(3))
                                              .chunk("axml", "<ebuCoreMain><coreMetadata/></ebuCoreMain>")
                                              .data(framesOf(24, {0x7000, 0, 0x7000}))
                                              .bytes(),
                                          "BW64")},
        {"rf64_table.wav", WavBuilder()
                               .signature("RF64", "WAVE")
                               .chunk("ds64", ds64Body(0, 24, 6, {{"LIST", 4}}))
                               .chunkDeclaring("LIST", "INFO", 0xFFFFFFFFu)
                               .fmt({})
                               .chunkDeclaring("data", framesOf(16, {0, 900}), 0xFFFFFFFFu)
                               .bytes()},
        {"unfinalised_take.wav",
         WavBuilder().riffSizeField(0).fmt({}).chunkDeclaring("data", framesOf(16, {1000, 0}), 0).bytes()},
        {"sound_devices_bext_levl.wav",
         WavBuilder()
             .chunk("bext", "sTRK1=Boom\r\nsTRK2=Lav\r\nsNOTE=\r\n" + bextBody(0).substr(31))
             .fmt({})
             .chunk("levl", le32(1) + le32(1) + le32(1) + le32(256) + le32(2) + le32(2) + le32(0) + le32(128) +
                                std::string(88, '\0') + "abcd")
             .chunk("fact", le32(6))
             .data(framesOf(16, {0, 900}))
             .bytes()},
    };
}

std::uint16_t le16At(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1])
                                                                                  << 8);
}

// A real recording with its sample data cut to a few frames; with `silenceFirst`, the first
// channel is silenced and the others made loud, so that the slim has something to remove.
std::string cutDown(const std::string& file, bool silenceFirst) {
    std::size_t blockAlign = 1;
    std::size_t sampleBytes = 1;
    WavBuilder out;
    for (const RiffChunk& chunk : parseChunks(file)) {
        if (chunk.id == "fmt ") {
            blockAlign = le16At(chunk.body, 12);
            sampleBytes = le16At(chunk.body, 14) / 8;
        }
        if (chunk.id != "data") {
            out.chunk(chunk.id, chunk.body);
            continue;
        }
        std::string samples = chunk.body.substr(0, 16 * blockAlign);
        if (silenceFirst) {
            for (std::size_t i = 0; i < samples.size(); ++i) {
                const std::size_t inFrame = i % blockAlign;
                samples[i] = inFrame < sampleBytes ? '\0' : inFrame % sampleBytes == sampleBytes - 1 ? '\x30' : '\0';
            }
        }
        out.data(samples);
    }
    return out.bytes();
}

std::string trackListInput(std::uint8_t channels, std::uint16_t keptMask, const std::string& text) {
    std::string input{static_cast<char>(channels - 1), static_cast<char>(keptMask & 0xFF),
                      static_cast<char>(keptMask >> 8)};
    return input + text;
}

std::vector<std::pair<std::string, std::string>> trackListTexts(const fs::path& testData) {
    const std::string list = tracksieve::buildTrackListIxml(kNames);
    const std::string inner = tracksieve::buildTrackListInner(kNames);
    std::string lowerCase = list;
    for (std::size_t at = lowerCase.find("TRACK"); at != std::string::npos; at = lowerCase.find("TRACK", at)) {
        lowerCase.replace(at, 5, "track");
    }
    std::vector<std::pair<std::string, std::string>> texts = {
        {"reserved_space", trackListInput(4, 0b0101, list + std::string(200, '\0'))},
        {"lower_case", trackListInput(4, 0b1001, lowerCase)},
        {"repeated_list", trackListInput(4, 0b0110, "<BWFXML>" + inner + inner + "</BWFXML>")},
        {"unclosed_list", trackListInput(4, 0b0011,
                                         "<BWFXML><TRACK_LIST><TRACK><NAME>Mic1</NAME></TRACK>"
                                         "<TRACK><NAME>Mic2</NAME></TRACK></BWFXML>")},
        {"no_list", trackListInput(2, 0b10, "<BWFXML><SCENE>12A</SCENE></BWFXML>")},
        {"plain_text", trackListInput(2, 0b01, "just some text")},
        {"only_nuls", trackListInput(3, 0b101, std::string(64, '\0'))},
        {"dollar_and_references", trackListInput(2, 0b11,
                                                 "<TRACK_LIST><TRACK><NAME>$1 &amp; $&amp;</NAME></TRACK>"
                                                 "<TRACK><NAME> $$ </NAME></TRACK></TRACK_LIST>")},
        {"indexes", trackListInput(3, 0b110,
                                   "<TRACK_LIST><TRACK><INTERLEAVE_INDEX>3</INTERLEAVE_INDEX><NAME>C"
                                   "</NAME></TRACK><TRACK><CHANNEL_INDEX>99</CHANNEL_INDEX><NAME>X</NAME>"
                                   "</TRACK><TRACK><CHANNEL_INDEX>99999999999</CHANNEL_INDEX><NAME>Y"
                                   "</NAME></TRACK></TRACK_LIST>")},
    };
    for (const fs::directory_entry& entry : fs::directory_iterator(testData)) {
        if (entry.path().extension() != ".wav") continue;
        for (const RiffChunk& chunk : parseChunks(readFile(entry.path()))) {
            if (chunk.id == "iXML")
                texts.push_back({"real_" + entry.path().stem().string(), trackListInput(6, 0b101010, chunk.body)});
        }
    }
    return texts;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tracksieve-fuzz-seeds DIR\n";
        return 2;
    }
    const fs::path dir = argv[1];
    const fs::path testData = TRACKSIEVE_TEST_DATA;
    for (const auto& [name, bytes] : builtWavs()) writeFile(dir / "wav" / name, bytes);
    for (const fs::directory_entry& entry : fs::directory_iterator(testData)) {
        if (entry.path().extension() != ".wav") continue;
        const std::string file = readFile(entry.path());
        const std::string stem = entry.path().stem().string();
        writeFile(dir / "wav" / ("real_" + stem + ".wav"), cutDown(file, false));
        writeFile(dir / "wav" / ("real_" + stem + "_first_silent.wav"), cutDown(file, true));
    }
    for (const auto& [name, input] : trackListTexts(testData)) writeFile(dir / "track_list" / name, input);
    return 0;
}
