#include "common/type_symbol_table.h"

#include <new>

namespace zephyx {

const TypeName TypeNames[TypeNameCount] = {
    {TypeInt32, "int32"}, {TypeFloat32, "float32"}, {TypeString, "string"},
    {TypeBlob, "blob"},   {TypeArray, "array"},     {TypeBool, "bool"},
    {TypeChar, "char"},   {TypeDouble, "double"},   {TypeInfinitum, "infinitum"},
    {TypeInt64, "int64"}, {TypeMidi, "midi"},       {TypeNil, "nil"},
    {TypeRgba, "rgba"},   {TypeTime, "time"},
};

TypeSymbolTable* makeTypeSymbolTable(IHostValues* values) {
  auto* table = new (std::nothrow) TypeSymbolTable{};
  if (table == nullptr) return nullptr;
  for (const TypeName& entry : TypeNames) {
    values->stringToSymbol(entry.name, &table->symbols[entry.index]);
  }
  values->stringToSymbol("length", &table->length);
  values->stringToSymbol("bundlestart", &table->bundleStart);
  values->stringToSymbol("bundleend", &table->bundleEnd);
  values->stringToSymbol("streamopen", &table->streamOpen);
  values->stringToSymbol("streamclosed", &table->streamClosed);
  for (int32_t index = 0; index < TypeNameCount; ++index) {
    const HostSymbol symbol = table->symbols[index];
    // A name that did not intern, or one that repeats another's symbol,
    // is never found; the first of equal symbols is.
    if (symbol == NoSymbol || typeIndexOf(*table, symbol) != TypeNone) continue;
    uint32_t slot = typeIndexSlotOf(symbol);
    while (table->index[slot] != 0) slot = (slot + 1) % TypeSymbolTable::IndexSlots;
    table->index[slot] = static_cast<uint8_t>(index + 1);
  }
  return table;
}

}  // namespace zephyx
