#include "send/argument_encoder.h"

#include "common/interface_ref.h"
#include "common/locked_string.h"
#include "common/owned_value.h"
#include "host/host_ids.h"
#include "send/numeric_conversions.h"
#include "send/value_reading.h"
#include "common/type_symbol_table.h"

namespace zephyx::send {
namespace {

// The byte-array facet of a value's object, or an empty holder.
InterfaceRef<IHostByteArray> byteArrayOf(const SendContext& context, const HostValue& value) {
  InterfaceRef<IHostByteArray> array;
  if (context.objects == nullptr) return array;
  InterfaceRef<IMoaUnknown> object;
  if (context.objects->valueToObject(&value, object.slot()) != StatusOk || !object) {
    return array;
  }
  object->queryInterface(&hostids::ByteArray, array.out());
  return array;
}

// A string straight from the host's memory.
bool writeString(const SendContext& context, PacketWriter& writer, const HostValue& value) {
  const LockedString text(context.values, value);
  return writer.put(text.text());
}

// The "length" member of a byte array, 0 when it has none. Releases all it
// obtains.
int32_t lengthOf(const SendContext& context, IHostByteArray& array) {
  IHostValues* values = context.values;
  HostSymbol length = NoSymbol;
  values->stringToSymbol("length", &length);
  OwnedValue size(values);
  array.getProp(length, size.out());
  int32_t number = 0;
  values->valueToInteger(size.ptr(), &number);
  return number;
}

// The contents of a byte array, valid while the value lives, or null.
const uint8_t* bytesOf(IHostByteArray& array) {
  uint8_t* bytes = nullptr;
  array.getBytes(&bytes);
  return bytes;
}

// A blob from a byte array, straight from the host's memory. A size the
// codec cannot take (negative would wrap around) fails the packet. The
// array's facet is taken once for both its length and its bytes.
bool writeByteArrayBlob(const SendContext& context, PacketWriter& writer,
                        const HostValue& value) {
  const InterfaceRef<IHostByteArray> array = byteArrayOf(context, value);
  const int32_t size = array ? lengthOf(context, *array.get()) : 0;
  const uint8_t* data = array ? bytesOf(*array.get()) : nullptr;
  if (size < 0 || (size > 0 && data == nullptr)) {
    writer.fail();
    return false;
  }
  return writer.put(osc::Blob(data, static_cast<osc::osc_bundle_element_size_t>(size)));
}

// A blob from a string: its bytes, NULs included.
bool writeStringBlob(const SendContext& context, PacketWriter& writer, const HostValue& value) {
  int32_t size = 0;
  context.values->stringLength(&value, &size);
  const LockedString bytes(context.values, value);
  if (size < 0 || (size > 0 && bytes.bytes() == nullptr)) {
    writer.fail();
    return false;
  }
  return writer.put(osc::Blob(bytes.bytes(), static_cast<osc::osc_bundle_element_size_t>(size)));
}

// `[`, the nested container, `]`. What the nested container itself
// answers does not matter here: a value that is no container gives empty
// brackets, and an overflow inside has already failed the packet.
bool writeArray(const SendContext& context, PacketWriter& writer, const HostValue& value) {
  if (!writer.put(osc::BeginArray)) return false;
  if (!writer.enter()) return false;
  appendArguments(context, writer, value);
  writer.leave();
  return writer.put(osc::EndArray);
}

// One element of a plain list; false only when it did not fit.
bool writePlainElement(const SendContext& context, PacketWriter& writer,
                       const HostValue& element) {
  switch (kindOf(context, element)) {
    case KindVoid:
      return writer.put(osc::OscNil);
    case KindInteger:
      return writer.put(static_cast<osc::int32>(integerOf(context, element)));
    case KindFloat:
      return writer.put(float32FromDouble(doubleOf(context, element)));
    case KindString:
      return writeString(context, writer, element);
    case KindList:
      return writeArray(context, writer, element);
    case KindByteArray:
      return writeByteArrayBlob(context, writer, element);
    default:
      return true;  // property lists, symbols and other kinds are passed over
  }
}

// One typed argument; false only when it did not fit.
bool writeTypedArgument(const SendContext& context, PacketWriter& writer, int32_t typeIndex,
                        const HostValue& value) {
  switch (typeIndex) {
    case TypeInt32:
      return writer.put(static_cast<osc::int32>(integerOf(context, value)));
    case TypeFloat32:
      return writer.put(float32FromDouble(doubleOf(context, value)));
    case TypeString:
      return writeString(context, writer, value);
    case TypeBlob:
      if (kindOf(context, value) == KindByteArray) {
        return writeByteArrayBlob(context, writer, value);
      }
      return writeStringBlob(context, writer, value);
    case TypeArray:
      return writeArray(context, writer, value);
    case TypeBool:
      return writer.put(integerOf(context, value) != 0);
    case TypeChar:
      // The low byte as a signed character: the codec sign-extends a char.
      return writer.put(static_cast<char>(static_cast<int8_t>(integerOf(context, value) & 0xff)));
    case TypeDouble:
      return writer.put(doubleOf(context, value));
    case TypeInfinitum:
      return writer.put(osc::Infinitum);
    case TypeInt64:
      return writer.put(static_cast<osc::int64>(int64FromDouble(doubleOf(context, value))));
    case TypeMidi:
      return writer.put(osc::MidiMessage(packedWordFromDouble(doubleOf(context, value))));
    case TypeNil:
      return writer.put(osc::OscNil);
    case TypeRgba:
      return writer.put(osc::RgbaColor(packedWordFromDouble(doubleOf(context, value))));
    case TypeTime:
      return writer.put(osc::TimeTag(timeTagFromDouble(doubleOf(context, value))));
    default:
      return true;  // not a type name: passed over
  }
}

int32_t typeIndexOfName(const SendContext& context, const HostValue& name) {
  if (context.typeSymbols == nullptr) return TypeNone;
  // Names are nearly always symbols, and only a symbol converts to one:
  // one call settles those, and only the rest need their kind read.
  HostSymbol symbol = NoSymbol;
  if (context.values->valueToSymbol(&name, &symbol) == StatusOk) {
    return typeIndexOf(*context.typeSymbols, symbol);
  }
  if (kindOf(context, name) == KindString) return typeIndexOfString(context, name);
  return TypeNone;
}

}  // namespace

bool appendArguments(const SendContext& context, PacketWriter& writer,
                     const HostValue& container) {
  IHostValues* values = context.values;
  IHostLists* lists = context.lists;
  const int32_t kind = kindOf(context, container);
  if (kind != KindList && kind != KindPropList) return false;

  int32_t count = 0;
  lists->listCount(&container, &count);
  for (int32_t position = 1; position <= count; ++position) {
    OwnedValue value(values);
    if (kind == KindPropList) {
      OwnedValue name(values);
      lists->propNameAt(&container, position, name.out());
      const int32_t typeIndex = typeIndexOfName(context, name.get());
      lists->listGetAt(&container, position, value.out());
      if (!writeTypedArgument(context, writer, typeIndex, value.get())) return false;
    } else {
      lists->listGetAt(&container, position, value.out());
      if (!writePlainElement(context, writer, value.get())) return false;
    }
  }
  return true;
}

int32_t typeIndexOfSymbol(const SendContext& context, const HostValue& name) {
  if (context.typeSymbols == nullptr) return TypeNone;
  HostSymbol symbol = NoSymbol;
  context.values->valueToSymbol(&name, &symbol);
  return typeIndexOf(*context.typeSymbols, symbol);
}

int32_t typeIndexOfString(const SendContext& context, const HostValue& name) {
  if (context.typeSymbols == nullptr) return TypeNone;
  HostSymbol symbol = NoSymbol;
  {
    const LockedString text(context.values, name);
    context.values->stringToSymbol(text.text(), &symbol);
  }
  return typeIndexOf(*context.typeSymbols, symbol);
}

const uint8_t* byteArrayData(const SendContext& context, const HostValue& value) {
  const InterfaceRef<IHostByteArray> array = byteArrayOf(context, value);
  return array ? bytesOf(*array.get()) : nullptr;
}

int32_t byteArrayLength(const SendContext& context, const HostValue& value) {
  const InterfaceRef<IHostByteArray> array = byteArrayOf(context, value);
  return array ? lengthOf(context, *array.get()) : 0;
}

}  // namespace zephyx::send
