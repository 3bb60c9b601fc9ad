#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "cli_app.h"
#include "json_bytes.h"
#include "wav_builder.h"

namespace tracksieve {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::wavWithLevels;

std::string roundTrip(const std::string& text) {
    const nlohmann::json document = {{"text", cli::markInvalidBytes(text)}};
    return nlohmann::json::parse(cli::unmarkByteEscapes(document.dump())).at("text").get<std::string>();
}

TEST(JsonBytes, TextThatIsUtf8ComesBackAsItWas) {
    for (const std::string& text : {std::string("plain"),
                                    std::string("Szene 3 \xE2\x80\x93 Au\xC3\x9F"
                                                "en"),
                                    std::string("\xF0\x9F\x8E\xA4 mic"), std::string("a\0ff", 4),
                                    std::string("\0\0"
                                                "00",
                                                4),
                                    std::string("back\\u0000ab\\\\u0000ff"), std::string("quote\" tab\t nl\n")}) {
        EXPECT_EQ(roundTrip(text), text);
    }
}

TEST(JsonBytes, EachByteThatIsNotUtf8BecomesALoneSurrogate) {
    const struct {
        std::string bytes;
        std::string escaped;
    } cases[] = {
        {"take\xFF", "take\\udcff"},
        {"caf\xC3", "caf\\udcc3"},                             // cut short
        {"\xC0\xAF", "\\udcc0\\udcaf"},                        // overlong '/'
        {"\xED\xA0\x80", "\\udced\\udca0\\udc80"},             // an encoded surrogate
        {"\xF4\x90\x80\x80", "\\udcf4\\udc90\\udc80\\udc80"},  // past U+10FFFF
        {"\x80\xC3\xA9", "\\udc80\xC3\xA9"},                   // a stray continuation before a whole letter
    };
    for (const auto& [bytes, escaped] : cases) {
        const nlohmann::json document = {{"text", cli::markInvalidBytes(bytes)}};
        EXPECT_EQ(cli::unmarkByteEscapes(document.dump()), "{\"text\":\"" + escaped + "\"}");
    }
}

#ifndef _WIN32
// Python's own reader and os.fsencode, the convention the output follows, give the exact
// bytes of every name back.
TEST(JsonBytes, PathsThatAreNotUtf8ComeBackByteForByteThroughPython) {
    if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "no /usr/bin/python3";
    TempDir dir;
    const std::vector<std::string> names = {"take\xFF.wav", "caf\xC3.wav", "\xC0\xAF.wav", "\xED\xA0\x80.wav",
                                            "ok\xC3\xA9.wav"};
    for (const std::string& name : names) dir.write(name, wavWithLevels({1000, 0}));

    std::ostringstream out;
    std::ostringstream err;
    const std::string folder = dir.path().string();
    const char* argv[] = {"tracksieve-cli", "scan", "--json", folder.c_str()};
    ASSERT_EQ(cli::runCli(4, argv, out, err, {}), 0) << err.str();
    const fs::path json = dir.path() / "scan.json";
    dir.write("scan.json", out.str());

    const std::string command =
        "/usr/bin/python3 -c \"import json,os,sys\n"
        "for f in json.load(open(sys.argv[1]))['files']: print(os.fsencode(f['path']).hex())\" " +
        json.string();
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string hexPaths;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) hexPaths.append(buffer, n);
    ASSERT_EQ(pclose(pipe), 0);

    for (const std::string& name : names) {
        std::string hex;
        for (const char c : folder + "/" + name) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
            hex += digits;
        }
        EXPECT_NE(hexPaths.find(hex + "\n"), std::string::npos) << name;
    }
}
#endif

}  // namespace
}  // namespace tracksieve
