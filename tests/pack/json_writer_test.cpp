// The pack tool's one JSON writer: a document streamed part by part reads
// exactly as the same document written whole.
#include <gtest/gtest.h>

#include <sstream>

#include "tools/pack/json_writer.h"

namespace trevan::pack {
namespace {

TEST(JsonWriter, AStreamedDocumentReadsAsTheWholeOne) {
    const json element = {{"index", 1}, {"text", "a \"quoted\"\nline"}, {"empty", json::array()}};
    const json whole = {{"list", {element, element}},
                        {"none", json::array()},
                        {"nested", {{"object", json::object()}, {"number", 3}}},
                        {"flag", true}};
    std::ostringstream expected;
    write_json(expected, whole);

    std::ostringstream streamed;
    json_stream out(streamed);
    out.begin_object();
    out.key("list");
    out.begin_array();
    out.value(element);
    out.value(element);
    out.end_array();
    out.key("none");
    out.begin_array();
    out.end_array();
    out.key("nested");
    out.value(whole["nested"]);
    out.key("flag");
    out.value(true);
    out.end_object();
    EXPECT_EQ(streamed.str(), expected.str());
    EXPECT_EQ(json::parse(streamed.str()), whole);
}

TEST(JsonWriter, OneLineElementsAndTextThatIsNoUtf8) {
    std::ostringstream streamed;
    json_stream out(streamed);
    out.begin_array();
    out.value({{"a", 1}, {"b", "x"}}, true);
    out.value(std::string("caf\xe9"), true);
    out.end_array();
    EXPECT_EQ(streamed.str(), "[\n  {\"a\":1,\"b\":\"x\"},\n  \"caf\xef\xbf\xbd\"\n]\n");
}

}  // namespace
}  // namespace trevan::pack
