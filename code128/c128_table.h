// Code 128 symbol table: the entry class C128 and the ordered collection
// colC128 that holds the 107 symbols of a BarCode128.
#ifndef KALVENOR_CODE128_C128_TABLE_H_
#define KALVENOR_CODE128_C128_TABLE_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "base/text.h"

namespace kalvenor {

// One symbol: its data character (empty for values 95 to 106), its value
// and its element widths ("1" to "4", bar first). Plain stores, no checks.
struct C128 {
  Text Código;
  int16_t Valor = 0;
  Text Patrón;
};

// An ordered collection of entries: positions count from 1, an entry may
// carry a unique key (compared ignoring letter case). A bad position or an
// unknown key raises RunTimeError.
class colC128 {
 public:
  using Items = std::vector<std::shared_ptr<C128>>;

  // Appends a new entry whose Código is `Código`; it is stored under `sKey`
  // only when `sKey` is not empty. A key already present raises.
  std::shared_ptr<C128> Add(const Text& Código, const Text& sKey = Text());
  // The entry at 1-based position `vntIndexKey` (subscript out of range
  // otherwise) or under key `vntIndexKey` (invalid argument otherwise).
  std::shared_ptr<C128> Item(int32_t vntIndexKey) const;
  std::shared_ptr<C128> Item(const Text& vntIndexKey) const;
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  void Remove(int32_t vntIndexKey);
  void Remove(const Text& vntIndexKey);

  // For-each in position order.
  Items::const_iterator begin() const { return items_.begin(); }
  Items::const_iterator end() const { return items_.end(); }

 private:
  size_t PositionOfKey(const Text& key) const;  // 0-based; raises when absent
  void CheckPosition(int32_t position) const;

  Items items_;
  std::vector<Text> keys_;  // parallel to items_, upper-cased, empty = none
};

}  // namespace kalvenor

#endif  // KALVENOR_CODE128_C128_TABLE_H_
