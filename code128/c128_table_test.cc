#include "code128/c128_table.h"

#include <gtest/gtest.h>

#include "code128/barcode128.h"
#include "platform/run_time_error.h"

namespace kalvenor {

class BarCode128Peer {
 public:
  static Text BuscarPatrón(const BarCode128& b, const Text& s) { return b.BuscarPatrón(s); }
  static int16_t BuscarValor(const BarCode128& b, const Text& s) { return b.BuscarValor(s); }
};

namespace {

int ErrorNumberOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const RunTimeError& e) {
    return e.number();
  }
  return 0;
}

TEST(colC128, PositionsKeysAndRemoval) {
  colC128 col;
  col.Add(u"a");
  col.Add(u"b", u"Key");
  col.Add(u"c", u"");
  EXPECT_EQ(col.Count(), 3);
  EXPECT_EQ(col.Item(2)->Código, u"b");
  EXPECT_EQ(col.Item(u"KEY")->Código, u"b");  // keys ignore letter case
  EXPECT_EQ(ErrorNumberOf([&] { col.Add(u"d", u"key"); }), 457);

  col.Remove(u"key");
  EXPECT_EQ(col.Count(), 2);
  EXPECT_EQ(col.Item(2)->Código, u"c");
  EXPECT_EQ(ErrorNumberOf([&] { col.Item(u"key"); }), kInvalidProcedureCall);
  col.Add(u"e", u"key");  // the key is free again
  EXPECT_EQ(col.Item(3)->Código, u"e");

  std::u16string walked;
  for (const auto& entry : col) walked += entry->Código;
  EXPECT_EQ(walked, u"ace");

  BarCode128 engine;
  for (int32_t position : {0, 108}) {
    EXPECT_EQ(ErrorNumberOf([&] { engine.Tabla()->Item(position); }), kSubscriptOutOfRange);
    EXPECT_EQ(ErrorNumberOf([&] { engine.Tabla()->Remove(position); }), kSubscriptOutOfRange);
  }
}

TEST(InicializarTabla, TellingRows) {
  struct Row {
    int32_t position;
    int16_t valor;
    Text código;
    Text patrón;
  };
  // Rows of the ISO/IEC 15417 symbol table.
  const Row rows[] = {
      {1, 0, u" ", u"212222"},     {2, 1, u"!", u"222122"},     {3, 2, u"\"", u"222221"},
      {17, 16, u"0", u"123122"},   {34, 33, u"A", u"111323"},   {64, 63, u"_", u"111224"},
      {65, 64, u"`", u"111422"},   {66, 65, u"a", u"121124"},   {95, 94, u"~", u"131141"},
      {96, 95, u"", u"114113"},    {103, 102, u"", u"411131"},  {104, 103, u"", u"211412"},
      {105, 104, u"", u"211214"},  {106, 105, u"", u"211232"},  {107, 106, u"", u"2331112"},
  };
  BarCode128 engine;
  ASSERT_EQ(engine.Tabla()->Count(), 107);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.position);
    auto entry = engine.Tabla()->Item(row.position);
    EXPECT_EQ(entry->Valor, row.valor);
    EXPECT_EQ(entry->Código, row.código);
    EXPECT_EQ(entry->Patrón, row.patrón);
  }
  // Every symbol is 11 modules of three bars and three spaces; Stop is 13.
  for (int v = 0; v <= 106; ++v) {
    Text p = engine.Tabla()->Item(v + 1)->Patrón;
    int sum = 0;
    for (char16_t c : p) sum += c - u'0';
    EXPECT_EQ(sum, v == 106 ? 13 : 11) << v;
  }
}

TEST(InicializarTabla, SecondRunAppendsAndLookupsKeepTheFirst) {
  BarCode128 engine;
  engine.InicializarTabla();
  EXPECT_EQ(engine.Tabla()->Count(), 214);
  EXPECT_EQ(engine.Tabla()->Item(108)->Código, u" ");
  EXPECT_EQ(BarCode128Peer::BuscarValor(engine, u"~"), 94);
}

TEST(BarCode128, LookupsByCharacter) {
  BarCode128 engine;
  struct Case {
    Text s;
    int16_t valor;
    Text patrón;
  };
  const Case cases[] = {
      {u"~", 94, u"131141"}, {u"a", 65, u"121124"}, {u"A", 33, u"111323"},
      {u"é", -1, u""},       {u"\t", -1, u""},      {u"", 95, u"114113"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BarCode128Peer::BuscarValor(engine, c.s), c.valor) << ToUtf8(c.s);
    EXPECT_EQ(BarCode128Peer::BuscarPatrón(engine, c.s), c.patrón) << ToUtf8(c.s);
  }
}

}  // namespace
}  // namespace kalvenor
