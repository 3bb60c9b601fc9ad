#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_checks.h"
#include "recorder_metadata.h"
#include "tracksieve/track_list_rewrite.h"

namespace {

using namespace tracksieve;
using fuzz::require;

constexpr std::size_t kMaxChannels = 16;
constexpr std::size_t kPerChannelChunks = 9;  // ond1..ond9

std::vector<std::string> namesRead(std::string_view ixml, std::size_t channels) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < channels; ++i) names.push_back("Track " + std::to_string(i + 1));
    readIxmlTrackNames(ixml, names);
    require(names.size() == channels, "one name per channel");
    for (const std::string& name : names) {
        require(!name.empty(), "no empty name");
        require(name.find_first_of(" \t\r\n") != 0 && name.find_last_of(" \t\r\n") != name.size() - 1,
                "names are trimmed");
    }
    return names;
}

}  // namespace

// Input: a channel count, a 16-bit mask of the kept channels, then the iXML text. The names read
// from the text, rewritten for the kept channels and read again, must be the kept names in order.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::size_t channels = 1 + data[0] % kMaxChannels;
    const unsigned keptMask = data[1] | (data[2] << 8);
    const std::string ixml = fuzz::bytesOf(data + 3, size - 3);

    const std::vector<std::string> names = namesRead(ixml, channels);
    std::vector<std::string> keptNames;
    std::vector<std::int32_t> channelMap(channels, -1);
    for (std::size_t c = 0; c < channels; ++c) {
        if ((keptMask >> c & 1) == 0) continue;
        channelMap[c] = static_cast<std::int32_t>(keptNames.size());
        keptNames.push_back(names[c]);
    }

    std::vector<MetaChunk> chunks{{"iXML", ixml}};
    for (std::size_t c = 0; c < kPerChannelChunks; ++c) {
        const std::string digit(1, static_cast<char>('1' + c));
        chunks.push_back({"ond" + digit, digit});
    }
    rewriteMetaChunks(chunks, keptNames, channelMap);

    require(!chunks.empty() && chunks.front().id == "iXML", "the XML chunk stays first, as iXML");
    const std::string& rewritten = chunks.front().body;
    const bool onlyNuls = ixml.find_first_not_of('\0') == std::string::npos;
    require(onlyNuls || rewritten.size() >= ixml.size(), "an XML chunk with text never shrinks");
    require(namesRead(rewritten, keptNames.size()) == keptNames, "the rewritten list names the kept tracks in order");

    const auto keptWithChunks = static_cast<std::size_t>(
        std::count_if(channelMap.begin(), channelMap.begin() + std::min(channels, kPerChannelChunks),
                      [](std::int32_t position) { return position >= 0; }));
    require(chunks.size() == 1 + keptWithChunks, "a per-channel chunk stays exactly when its channel is kept");
    for (std::size_t i = 1; i < chunks.size(); ++i) {
        const std::size_t sourceChannel = static_cast<std::size_t>(chunks[i].body[0] - '1');
        require(chunks[i].id == "ond" + std::string(1, static_cast<char>('1' + channelMap[sourceChannel])),
                "a per-channel chunk is renumbered to its channel's output position");
    }
    return 0;
}
