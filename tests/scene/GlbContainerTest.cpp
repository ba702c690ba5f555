// The outer layer of GLB files: header and chunks checked against the
// file's real size, and the JSON's nesting measured before any parser runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/scene/gltf/GlbContainer.h"

namespace {
using scene::gltf::Limits;
using scene::gltf::scanJson;
using scene::gltf::splitGlb;

void put32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
}

struct Chunk {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
};

constexpr std::uint32_t json = 0x4E4F534A, bin = 0x004E4942;

std::vector<std::uint8_t> glb(const std::vector<Chunk>& chunks, std::uint32_t version = 2) {
    std::vector<std::uint8_t> body;
    for (const auto& chunk : chunks) {
        put32(body, static_cast<std::uint32_t>(chunk.data.size()));
        put32(body, chunk.type);
        body.insert(body.end(), chunk.data.begin(), chunk.data.end());
    }
    std::vector<std::uint8_t> out{'g', 'l', 'T', 'F'};
    put32(out, version);
    put32(out, static_cast<std::uint32_t>(12 + body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<std::uint8_t> text(const std::string& s) { return {s.begin(), s.end()}; }

std::string refusal(const std::vector<std::uint8_t>& bytes, const Limits& limits = {}) {
    auto result = splitGlb(bytes, limits);
    return result.ok() ? "accepted" : result.error();
}

// --- Files that split ---------------------------------------------------------------

TEST(GlbSplits, JsonAlone) {
    auto bytes = glb({{json, text("{}  ")}});
    auto chunks = splitGlb(bytes, {});
    ASSERT_TRUE(chunks.ok()) << chunks.error();
    EXPECT_EQ(chunks.value().json.size(), 4u);
    EXPECT_FALSE(chunks.value().bin.has_value());
}

TEST(GlbSplits, JsonAndBinarySkippingUnknownChunks) {
    auto bytes =
        glb({{json, text("{}  ")}, {bin, {1, 2, 3, 4, 5, 6, 7, 8}}, {0x12345678, {9, 9, 9, 9}}});
    auto chunks = splitGlb(bytes, {});
    ASSERT_TRUE(chunks.ok()) << chunks.error();
    ASSERT_TRUE(chunks.value().bin.has_value());
    EXPECT_EQ(chunks.value().bin->size(), 8u);
    EXPECT_EQ((*chunks.value().bin)[7], 8);
}

// --- Files that do not ------------------------------------------------------------

TEST(GlbRefuses, HeadersThatAreWrong) {
    auto good = glb({{json, text("{}  ")}});
    EXPECT_NE(refusal({good.begin(), good.begin() + 11}).find("too short"), std::string::npos);
    auto magic = good;
    magic[0] = 'G';
    EXPECT_NE(refusal(magic).find("not a glTF binary file"), std::string::npos);
    EXPECT_NE(refusal(glb({{json, text("{}  ")}}, 1)).find("version 1"), std::string::npos);
    auto longer = good;
    longer.push_back(0);
    EXPECT_NE(refusal(longer).find("header gives a length of 24 bytes, but the file has 25"),
              std::string::npos);
}

TEST(GlbRefuses, ChunksThatDoNotFit) {
    auto bytes = glb({{json, text("{}  ")}});
    bytes[12] = 8;  // The JSON chunk now claims 8 bytes; 4 are there.
    EXPECT_NE(refusal(bytes).find("chunk 0 claims 8 bytes"), std::string::npos) << refusal(bytes);

    auto cut = glb({{json, text("{}  ")}, {bin, {1, 2, 3, 4}}});
    cut.resize(cut.size() - 8);
    cut[8] = static_cast<std::uint8_t>(cut.size());
    EXPECT_NE(refusal(cut).find("cut off"), std::string::npos) << refusal(cut);

    EXPECT_NE(refusal(glb({{json, text("{} ")}})).find("multiple of 4"), std::string::npos);
}

TEST(GlbRefuses, ChunksOfTheWrongKindOrOrder) {
    EXPECT_NE(refusal(glb({{bin, {1, 2, 3, 4}}})).find("first chunk is not JSON"),
              std::string::npos);
    EXPECT_NE(refusal(glb({{json, {}}})).find("JSON chunk is empty"), std::string::npos);
    EXPECT_NE(refusal(glb({})).find("no JSON chunk"), std::string::npos);
    EXPECT_NE(refusal(glb({{json, text("{}  ")}, {json, text("{}  ")}})).find("more than one JSON"),
              std::string::npos);
    EXPECT_NE(refusal(glb({{json, text("{}  ")}, {bin, {1, 2, 3, 4}}, {bin, {1, 2, 3, 4}}}))
                  .find("does not follow"),
              std::string::npos);
}

TEST(GlbRefuses, JsonLargerThanTheLimit) {
    Limits limits;
    limits.maxJsonBytes = 8;
    EXPECT_NE(refusal(glb({{json, text("{\"a\": 12345}    ")}}), limits).find("more than the 8"),
              std::string::npos);
}

// --- The JSON scan ----------------------------------------------------------------

TEST(JsonScan, MeasuresNestingAndValues) {
    auto shape = scanJson(text(R"({"a": [1, 2, {"b": [[3]]}], "c": "x"})"), {});
    ASSERT_TRUE(shape.ok()) << shape.error();
    EXPECT_EQ(shape.value().depth, 5);
    EXPECT_EQ(shape.value().values, 8u);
}

TEST(JsonScan, IgnoresBracketsInStrings) {
    auto shape = scanJson(text(R"({"a": "[[[[{{{{\"]]]", "b": "\\"})"), {});
    ASSERT_TRUE(shape.ok()) << shape.error();
    EXPECT_EQ(shape.value().depth, 1);
}

TEST(JsonScan, RefusesDeepNestingBeforeAnyParserSeesIt) {
    Limits limits;
    std::string deep(100000, '[');
    deep += std::string(100000, ']');
    auto shape = scanJson(text(deep), limits);
    ASSERT_FALSE(shape.ok());
    EXPECT_NE(shape.error().find("more than 64 levels deep"), std::string::npos);
    std::string justRight = std::string(64, '[') + std::string(64, ']');
    EXPECT_TRUE(scanJson(text(justRight), limits).ok());
}

TEST(JsonScan, RefusesTooManyValues) {
    Limits limits;
    limits.maxJsonValues = 100;
    std::string many = "[";
    for (int i = 0; i < 200; ++i) many += "0,";
    many += "0]";
    auto shape = scanJson(text(many), limits);
    ASSERT_FALSE(shape.ok());
    EXPECT_NE(shape.error().find("more than 100 values"), std::string::npos);
}

TEST(JsonScan, RefusesMoreClosingThanOpening) {
    auto shape = scanJson(text("]]][[["), {});
    ASSERT_FALSE(shape.ok());
    EXPECT_NE(shape.error().find("closes more"), std::string::npos);
}

}  // namespace
