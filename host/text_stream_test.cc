#include "host/text_stream.h"

#include <gtest/gtest.h>

#include "base/run_time_error.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

// Lines end at CR LF or a lone LF (a lone CR stays in its line); the bytes decode from the stream's
// character set; ReadAll takes what ReadLine left.
TEST(TextStream, LinesAndCharacterSets) {
  struct Case {
    const char* name;
    Text charset;
    std::string bytes;
    int lines_first;  // ReadLine calls before ReadAll
    std::vector<Text> lines;
    Text rest;
  } cases[] = {
      {"CR LF and LF", u"cp437", "A\r\nB\nC", 3, {u"A", u"B", u"C"}, u""},
      {"a lone CR stays", u"cp437", "A\rB\r\n", 1, {u"A\rB"}, u""},
      {"empty lines", u"cp437", "\r\n\n", 2, {u"", u""}, u""},
      {"code page 437", u"CP437", "Mart\xA1n \xA5\r\n", 1, {u"Mart\u00edn \u00d1"}, u""},
      {"windows-1252", u"Windows-1252", "Mart\xEDn \x80\r\n", 1, {u"Mart\u00edn \u20ac"}, u""},
      {"the rest whole", u"cp437", "A\r\nB\r\nC\r\n", 1, {u"A"}, u"B\r\nC\r\n"},
      {"all at once", u"cp437", "\x82\r\n", 0, {}, u"\u00e9\r\n"},
  };
  Sandbox sandbox;
  std::unique_ptr<FileSystem> files = MakeRealFileSystem(EnvOf({}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sandbox.Write("file", c.bytes);
    TextStream stream(c.charset);
    stream.LoadFromFile(*files, sandbox.Path("file"));
    EXPECT_EQ(stream.EOS(), c.bytes.empty());
    std::vector<Text> lines;
    for (int i = 0; i < c.lines_first; ++i) lines.push_back(stream.ReadLine());
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(stream.ReadAll(), c.rest);
    EXPECT_TRUE(stream.EOS());
  }
  // Reloading starts over; an unknown character set raises.
  sandbox.Write("file", "X\r\nY");
  TextStream stream;
  stream.LoadFromFile(*files, sandbox.Path("file"));
  EXPECT_EQ(stream.ReadLine(), u"X");
  stream.LoadFromFile(*files, sandbox.Path("file"));
  EXPECT_EQ(stream.ReadLine(), u"X");
  TextStream utf8(u"utf-8");
  EXPECT_THROW(utf8.LoadFromFile(*files, sandbox.Path("file")), RunTimeError);
}

}  // namespace
}  // namespace kalvenor
