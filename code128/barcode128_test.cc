#include "code128/barcode128.h"

#include <gtest/gtest.h>

#include <tuple>

#include "base/run_time_error.h"
#include "testing/barcode_testing.h"

namespace kalvenor {
namespace {

// "1" dark, "0" light modules from element widths, bar first.
std::string Modules(const Text& widths) {
  std::string out;
  for (size_t p = 0; p < widths.size(); ++p) out.append(widths[p] - u'0', p % 2 == 0 ? '1' : '0');
  return out;
}

Text Concat(std::initializer_list<int> values) {
  Text out;
  for (int v : values) {
    const char* w = Code128Widths(v);
    out += Text(w, w + std::char_traits<char>::length(w));
  }
  return out;
}

TEST(Barras, SymbolsOfEachSet) {
  struct Case {
    const char* why;
    Text data;
    int32_t set;
    std::initializer_list<int> symbols;  // start, data, check, stop
  };
  const Case cases[] = {
      {"AB: 104 + 33 + 68 = 205, check 102", u"AB", kCode128SetB, {104, 33, 34, 102, 106}},
      {"empty: check (104) mod 103 = 1", u"", kCode128SetB, {104, 1, 106}},
      {"tab skipped in set B", u"A\tB", kCode128SetB, {104, 33, 34, 102, 106}},
      {"tab is 73 in set A: 103+33+146+102", u"A\tB", kCode128SetA, {103, 33, 73, 34, 75, 106}},
      {"lower case skipped in set A", u"AbB", kCode128SetA, {103, 33, 34, 101, 106}},
      {"DEL and euro sign, codes 127 and 128: 104 + 95 + 192", u"\x7f\u20ac", kCode128SetB,
       {104, 95, 96, 82, 106}},
      {"set C digit pairs", u"123456", kCode128SetC, {105, 12, 34, 56, 44, 106}},
      {"set C lone last digit, non-numeric pair", u"12a45", kCode128SetC,
       {105, 12, 0, 5, 29, 106}},
      {"shortest: letters in set B", u"AB", kCode128Shortest, {104, 33, 34, 102, 106}},
      {"shortest: digits in set C", u"123456", kCode128Shortest, {105, 12, 34, 56, 44, 106}},
      {"shortest: six digits to set C and back (four would save nothing): 1625 mod 103", u"A123456B",
       kCode128Shortest, {104, 33, 99, 12, 34, 56, 100, 34, 80, 106}},
      {"shortest: an odd run starts with one digit in set B", u"12345", kCode128Shortest,
       {104, 17, 99, 23, 45, 53, 106}},
  };
  BarCode128 engine;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(engine.Barras(c.data, c.set), Concat(c.symbols));
  }
  EXPECT_EQ(engine.Barras(u"AB", 0), u"");
  EXPECT_EQ(engine.Barras(u"AB", 5), u"");
  // Data past the 16-bit weights is refused.
  EXPECT_NO_THROW(engine.Barras(Text(300, u'~'), kCode128SetB));
  EXPECT_EQ(Raised([&] { engine.Barras(Text(400, u'~'), kCode128SetB); }).first, kOverflow);
}

TEST(Texto, FontText) {
  BarCode128 engine;
  // Start B (204), the data, check 102 (char 202), Stop (206).
  EXPECT_EQ(engine.Texto(u"AB", 2), u"\u00CCAB\u00CA\u00CE");
  // Class 1 keeps values below 64: "b" and the tab are skipped, check 101.
  EXPECT_EQ(engine.Texto(u"A\tbB", 1), u"\u00CBAB\u00C9\u00CE");
  // Class 3: 12 and 34, check (105 + 12 + 68) mod 103 = 82.
  EXPECT_EQ(engine.Texto(u"1234", 3), Text(u"\u00CD,Br\u00CE"));
  EXPECT_EQ(engine.Texto(u"AB"), u"");
}

TEST(GenerarBarras, GeometryAndText) {
  FakeCanvas dc(511, 85, 15, 0xFFFFFF);
  BarCode128 engine;
  float y;
  engine.GenerarBarras(u"AB", dc, kCode128SetB, 0, y = 2, 15, 600, true, u"System", 4);
  // 10 quiet modules, 57 modules from x = 150, 10 white quiet lines.
  std::string drawn;
  for (const RecordedLine& line : dc.lines) drawn += line.color == 0 ? '1' : '0';
  EXPECT_EQ(drawn, Modules(engine.Barras(u"AB", kCode128SetB)) + std::string(10, '0'));
  EXPECT_EQ(std::tie(dc.lines.front().x1, dc.lines.back().x1, dc.lines.front().y1, dc.lines.front().y2),
            std::make_tuple(150.f, 1140.f, 2.f, 602.f));
  ASSERT_EQ(dc.prints.size(), 1u);
  dc.Font.Size = 4;
  EXPECT_FLOAT_EQ(dc.prints[0].x, 150 + (1155 - dc.TextWidth(u"AB")) / 2);
  EXPECT_EQ(std::tie(dc.prints[0].y, dc.prints[0].font, dc.prints[0].size, dc.prints[0].end_line),
            std::make_tuple(602.f, Text(u"System"), 4.f, true));
  // From the current position, no text; on paper no trailing quiet zone.
  FakeCanvas at(511, 85, 15, 0xFFFFFF);
  std::tie(at.CurrentX, at.CurrentY, y) = std::make_tuple(300.f, 45.f, -1.f);
  engine.GenerarBarras(u"", at, kCode128SetB, -1, y, 15, 600, false, u"System", 4);
  EXPECT_EQ(y, 45);  // written back
  EXPECT_EQ(at.lines.front().x1, 300 + 150);
  EXPECT_EQ(at.lines.size(), 35u + 10u);
  EXPECT_TRUE(at.prints.empty());
  FakeCanvas printer(600, 100, 15, 0xFFFFFF);
  engine.GenerarBarrasImpresora(u"AB", kCode128SetB, 0, y = 0, 15, 600, false, u"", 4, printer);
  EXPECT_EQ(printer.lines.size(), 57u);
}

class FontListCanvas : public FakeCanvas {
 public:
  FontListCanvas() : FakeCanvas(10, 10, 15, 0xFFFFFF) {}
  int FontCount() override { return 2; }
  Text Fonts(int index) override { return index == 0 ? u"DejaVu Sans" : u" pf_c128.TTF "; }
};

TEST(BarCode128, Fonts) {
  BarCode128 engine([] { return std::vector<Text>{u"DejaVu Sans", u"Liberation Mono"}; });
  EXPECT_FALSE(engine.AsignarFuente(u"Nope"));
  EXPECT_EQ(engine.Fuente(), u"PF_C128.ttf");
  FakeCanvas no_list(10, 10, 15, 0xFFFFFF);
  EXPECT_FALSE(engine.PonerFuente(no_list));
  FontListCanvas with_list;  // matches ignoring case and blanks, keeps the name as given
  EXPECT_TRUE(engine.PonerFuente(with_list));
  EXPECT_EQ(with_list.Font.Name, u"PF_C128.ttf");
  EXPECT_TRUE(engine.AsignarFuente(u" dejavu sans"));
  EXPECT_EQ(engine.Fuente(), u" dejavu sans");
  EXPECT_FALSE(BarCode128().AsignarFuente(u"DejaVu Sans"));  // no screen
}

// Every printable character; a lower-case letter first keeps zint in set B.
TEST(Barras, AgreesWithAnIndependentEncoder) {
  if (!HaveZint()) GTEST_SKIP() << "zint is not installed";
  const std::string data = "azAZ09 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
  std::string ours = Modules(BarCode128().Barras(FromUtf8(data), kCode128SetB));
  std::string theirs = ZintModules(20, data);
  ASSERT_GE(theirs.size(), ours.size());
  EXPECT_EQ(theirs.substr(0, ours.size()), ours);
  EXPECT_EQ(theirs.find('1', ours.size()), std::string::npos);
  // Its own choice of sets is the shortest too.
  ours = Modules(BarCode128().Barras(u"ab123456cd", kCode128Shortest));
  EXPECT_EQ(ZintModules(20, "ab123456cd").substr(0, ours.size() + 1), ours + "0");
}

}  // namespace
}  // namespace kalvenor
