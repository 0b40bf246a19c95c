// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/strict_yaml.hpp"

#include <sys/stat.h>

#include <functional>
#include <utility>

#include <gtest/gtest.h>

#include "../platform/temp_files.hpp"
#include "orvik_plan/input_file.hpp"
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

TEST(StrictYaml, ValuesOfAnotherTypeAreErrorsNamingFilePositionAndKey) {
  const auto s = section("q: '1.0'\nw: abc\nl: [1, 2]\nf: 1.5\nb: maybe\nm: {x: 1}\nn: .inf\n");
  EXPECT_EQ(errorOf([&] { s.getDouble("q"); }),
            "test.yaml:1:4: q: expected a number, got a quoted string");
  EXPECT_EQ(errorOf([&] { s.getDouble("w"); }),
            "test.yaml:2:4: w: expected a number, got a string");
  EXPECT_EQ(errorOf([&] { s.getDouble("l"); }), "test.yaml:3:4: l: expected a number, got a list");
  EXPECT_EQ(errorOf([&] { s.getInt("f"); }), "test.yaml:4:4: f: expected an integer, got a number");
  EXPECT_EQ(errorOf([&] { s.getBool("b"); }),
            "test.yaml:5:4: b: expected true or false, got a string");
  EXPECT_EQ(errorOf([&] { s.getBool("m"); }),
            "test.yaml:6:4: m: expected true or false, got a mapping");
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
            "test.yaml:2:1: unknown key 'beta' (known keys: alpha, gamma)");
}

TEST(StrictYaml, SectionsNestTheirNamesIntoErrors) {
  const auto s = section("outer:\n  inner:\n    x: nope\nflat: 3\n");
  const auto inner = s.getSection("outer").getSection("inner");
  EXPECT_EQ(errorOf([&] { inner.getDouble("x"); }),
            "test.yaml:3:8: outer: inner: x: expected a number, got a string");
  EXPECT_NE(errorOf([&] { s.getSection("flat"); }).find("expected a mapping"), std::string::npos);
  EXPECT_TRUE(s.getSection("absent").keys().empty());
}

TEST(StrictYaml, ListsOfNumbersReportTheBadElement) {
  const auto s = section("good: [1, 2.5]\nbad: [1, x]\n");
  EXPECT_EQ(*s.getDoubleList("good"), (std::vector<double>{1.0, 2.5}));
  EXPECT_EQ(errorOf([&] { s.getDoubleList("bad"); }),
            "test.yaml:2:10: bad[1]: expected a number, got a string");
}

TEST(StrictYaml, FilesThatAreNotMappingsAreRefused) {
  EXPECT_NE(errorOf([] { YamlSection::loadFile("/nonexistent.yaml"); }).find("cannot read"),
            std::string::npos);
}

TEST(StrictYaml, HugeValuesAreRefusedWithTheKeyAndRange) {
  const auto s = section("ok: 2.0\nhuge: 1e10\n");
  EXPECT_EQ(*s.getDoubleIn("ok", 0.0, 3600.0), 2.0);
  EXPECT_EQ(errorOf([&] { s.getDoubleIn("huge", 0.0, 3600.0); }),
            "test.yaml:2:7: huge: must be between 0 and 3600, not 1e10");
  EXPECT_FALSE(s.getDoubleIn("absent", 0.0, 1.0).has_value());
}

TEST(StrictYaml, SyntaxErrorsNameLineAndColumn) {
  orvik_test::TempDir tmp;
  const std::string error =
      errorOf([&] { YamlSection::loadFile(tmp.write("bad.yaml", "a: 1\nb: [1, 2\n")); });
  EXPECT_NE(error.find("bad.yaml:3:1: not valid YAML"), std::string::npos) << error;
}

// Every reader of the tool goes through readInputFile or YamlSection::loadFile: a directory
// once read as an empty file (defaults used), /dev/zero grew memory without end and a FIFO
// blocked forever.
TEST(InputFiles, WhatIsNotARegularFileIsRefusedInOneLine) {
  orvik_test::TempDir tmp;
  const std::string fifo = tmp.path() + "/pipe.yaml";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, std::string> cases[] = {
      {tmp.path(), "is a directory, not a regular file"},
      {"/dev/zero", "is a device, not a regular file"},
      {fifo, "is a FIFO, not a regular file"},
      {tmp.path() + "/absent.yaml", "cannot read"},
  };
  for (const auto& [path, expected] : cases) {
    const std::string from_yaml = errorOf([&] { YamlSection::loadFile(path); });
    EXPECT_EQ(from_yaml.find(path + ": " + expected), 0u) << from_yaml;
    const std::string from_text = errorOf([&] { orvik_plan::readInputFile(path, 1000); });
    EXPECT_EQ(from_text.find(path + ": " + expected), 0u) << from_text;
    EXPECT_EQ(from_text.find('\n'), std::string::npos);
  }
}

TEST(InputFiles, ReadingStopsAtTheCap) {
  orvik_test::TempDir tmp;
  const std::string path = tmp.write("big.csv", std::string(1001, 'x'));
  EXPECT_EQ(orvik_plan::readInputFile(path, 1001).size(), 1001u);
  EXPECT_NE(errorOf([&] { orvik_plan::readInputFile(path, 1000); }).find("is larger than"),
            std::string::npos);
}

}  // namespace
