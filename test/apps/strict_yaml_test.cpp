#include "orvik_plan/strict_yaml.hpp"

#include <gtest/gtest.h>

#include "orvik_plan/tool_error.hpp"

namespace {

using orvik_plan::ToolError;
using orvik_plan::YamlSection;

YamlSection section(const std::string& text) {
  return YamlSection(YAML::Load(text), "test.yaml");
}

std::string errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ToolError& e) {
    return e.what();
  }
  return "";
}

TEST(StrictYaml, IntegersAreAcceptedWhereANumberIsExpected) {
  const auto s = section("a: 1\nb: 2.5\nc: -3e-2\nd: .5\n");
  EXPECT_EQ(*s.getDouble("a"), 1.0);
  EXPECT_EQ(*s.getDouble("b"), 2.5);
  EXPECT_DOUBLE_EQ(*s.getDouble("c"), -0.03);
  EXPECT_EQ(*s.getDouble("d"), 0.5);
  EXPECT_FALSE(s.getDouble("missing").has_value());
}

TEST(StrictYaml, ValuesOfAnotherTypeAreErrorsNamingFileAndKey) {
  const auto s = section("q: '1.0'\nw: abc\nl: [1, 2]\nf: 1.5\nb: maybe\nm: {x: 1}\nn: .inf\n");
  EXPECT_EQ(errorOf([&] { s.getDouble("q"); }),
            "test.yaml: q: expected a number, got a quoted string");
  EXPECT_EQ(errorOf([&] { s.getDouble("w"); }), "test.yaml: w: expected a number, got a string");
  EXPECT_EQ(errorOf([&] { s.getDouble("l"); }), "test.yaml: l: expected a number, got a list");
  EXPECT_EQ(errorOf([&] { s.getInt("f"); }), "test.yaml: f: expected an integer, got a number");
  EXPECT_EQ(errorOf([&] { s.getBool("b"); }), "test.yaml: b: expected true or false, got a string");
  EXPECT_EQ(errorOf([&] { s.getBool("m"); }),
            "test.yaml: m: expected true or false, got a mapping");
  EXPECT_NE(errorOf([&] { s.getDouble("n"); }).find("finite"), std::string::npos);
}

TEST(StrictYaml, BooleansFollowTheRosParameterWords) {
  const auto s = section("a: true\nb: False\nc: yes\nd: off\n");
  EXPECT_TRUE(*s.getBool("a"));
  EXPECT_FALSE(*s.getBool("b"));
  EXPECT_TRUE(*s.getBool("c"));
  EXPECT_FALSE(*s.getBool("d"));
}

TEST(StrictYaml, IntegersOutsideInt32AreRefused) {
  const auto s = section("big: 2147483648\nok: -2147483648\n");
  EXPECT_NE(errorOf([&] { s.getInt("big"); }).find("out of range"), std::string::npos);
  EXPECT_EQ(*s.getInt("ok"), -2147483648LL);
}

TEST(StrictYaml, UnknownKeysAreNamedWithTheKnownOnes) {
  const auto s = section("alpha: 1\nbeta: 2\n");
  EXPECT_NO_THROW(s.requireOnlyKeys({"alpha", "beta", "gamma"}));
  EXPECT_EQ(errorOf([&] {
              s.requireOnlyKeys({"alpha", "gamma"});
            }),
            "test.yaml: unknown key 'beta' (known keys: alpha, gamma)");
}

TEST(StrictYaml, SectionsNestTheirNamesIntoErrors) {
  const auto s = section("outer:\n  inner:\n    x: nope\nflat: 3\n");
  const auto inner = s.getSection("outer").getSection("inner");
  EXPECT_EQ(errorOf([&] { inner.getDouble("x"); }),
            "test.yaml: outer: inner: x: expected a number, got a string");
  EXPECT_NE(errorOf([&] { s.getSection("flat"); }).find("expected a mapping"), std::string::npos);
  EXPECT_TRUE(s.getSection("absent").keys().empty());
}

TEST(StrictYaml, ListsOfNumbersReportTheBadElement) {
  const auto s = section("good: [1, 2.5]\nbad: [1, x]\n");
  EXPECT_EQ(*s.getDoubleList("good"), (std::vector<double>{1.0, 2.5}));
  EXPECT_EQ(errorOf([&] { s.getDoubleList("bad"); }),
            "test.yaml: bad[1]: expected a number, got a string");
}

TEST(StrictYaml, FilesThatAreNotMappingsAreRefused) {
  EXPECT_NE(errorOf([] { YamlSection::loadFile("/nonexistent.yaml"); }).find("cannot read"),
            std::string::npos);
}

}  // namespace
