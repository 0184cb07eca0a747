#include "code128/c128_table.h"

#include <gtest/gtest.h>

#include "code128/barcode128.h"
#include "base/run_time_error.h"
#include "testing/fake_host.h"

namespace kalvenor {

class BarCode128Peer {
 public:
  static Text BuscarPatrón(const BarCode128& b, const Text& s) { return b.BuscarPatrón(s); }
  static int16_t BuscarValor(const BarCode128& b, const Text& s) { return b.BuscarValor(s); }
};

namespace {

int ErrorNumberOf(const std::function<void()>& f) { return Raised(f).first; }

TEST(colC128, PositionsKeysAndRemoval) {
  colC128 col;
  col.Add(u"a");
  col.Add(u"b", u"Key");
  col.Add(u"c", u"");
  // Keys ignore letter case.
  EXPECT_EQ(std::tuple(col.Count(), col.Item(2)->Código, col.Item(u"KEY")->Código),
            std::tuple(3, Text(u"b"), Text(u"b")));
  EXPECT_EQ(ErrorNumberOf([&] { col.Add(u"d", u"key"); }), 457);
  col.Remove(u"key");
  EXPECT_EQ(std::pair(col.Count(), col.Item(2)->Código), std::pair(2, Text(u"c")));
  EXPECT_EQ(ErrorNumberOf([&] { col.Item(u"key"); }), kInvalidProcedureCall);
  col.Add(u"e", u"key");  // the key is free again
  EXPECT_EQ(col.Item(u"KEY")->Código, u"e");
  BarCode128 engine;
  for (int32_t position : {0, 108}) {
    EXPECT_EQ(ErrorNumberOf([&] { engine.Tabla()->Item(position); }), kSubscriptOutOfRange);
    EXPECT_EQ(ErrorNumberOf([&] { engine.Tabla()->Remove(position); }), kSubscriptOutOfRange);
  }
}

// Lookups by character: the first matching row, -1 and "" for none.
TEST(InicializarTabla, RowsFoundByCharacter) {
  const struct {
    Text s;
    int16_t valor;
    Text patrón;
  } cases[] = {
      {u" ", 0, u"212222"}, {u"~", 94, u"131141"}, {u"é", -1, u""}, {u"\t", -1, u""},
      {u"", 95, u"114113"},  // the first row without a character
  };
  BarCode128 engine;
  ASSERT_EQ(engine.Tabla()->Count(), 107);
  for (const auto& c : cases) {
    EXPECT_EQ(std::pair(BarCode128Peer::BuscarValor(engine, c.s), BarCode128Peer::BuscarPatrón(engine, c.s)),
              std::pair(c.valor, c.patrón)) << ToUtf8(c.s);
  }
  engine.InicializarTabla();  // a second run appends; lookups keep the first
  EXPECT_EQ(std::pair(engine.Tabla()->Count(), BarCode128Peer::BuscarValor(engine, u"~")), std::pair(214, int16_t{94}));
}

}  // namespace
}  // namespace kalvenor
