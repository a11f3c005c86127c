#include "common/type_symbol_table.h"

#include <new>

namespace zephyx {

const TypeName TypeNames[TypeNameCount] = {
    {TypeInt32, "int32"},         {TypeFloat32, "float32"}, {TypeString, "string"},
    {TypeBlob, "blob"},           {TypeArray, "array"},     {TypeBool, "bool"},
    {TypeChar, "char"},           {TypeDouble, "double"},   {TypeInfinitum, "infinitum"},
    {TypeInt64, "int64"},         {TypeMidi, "midi"},       {TypeNil, "nil"},
    {TypeRgba, "rgba"},           {TypeTime, "time"},
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
  return table;
}

int32_t typeIndexOf(const TypeSymbolTable& table, HostSymbol symbol) {
  if (symbol == NoSymbol) return TypeNone;
  for (int32_t index = 0; index < TypeNameCount; ++index) {
    if (table.symbols[index] == symbol) return index;
  }
  return TypeNone;
}

}  // namespace zephyx
