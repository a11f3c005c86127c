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
  if (context.objects->valueToObject(&value, object.slot()) != StatusOk) return array;
  return queryInterface<IHostByteArray>(object.get(), hostids::ByteArray);
}

// A string straight from the host's memory.
void writeString(const SendContext& context, PacketWriter& writer, const HostValue& value) {
  const LockedString text(context.values, value);
  writer.put(text.text());
}

// The "length" member of a byte array, 0 when it has none. Releases all it
// obtains.
int32_t lengthOf(const SendContext& context, IHostByteArray& array) {
  IHostValues* values = context.values;
  HostSymbol length = NoSymbol;
  if (context.typeSymbols != nullptr) {
    length = context.typeSymbols->length;
  } else {
    values->stringToSymbol("length", &length);
  }
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
void writeByteArrayBlob(const SendContext& context, PacketWriter& writer, const HostValue& value) {
  const InterfaceRef<IHostByteArray> array = byteArrayOf(context, value);
  const int32_t size = array ? lengthOf(context, *array.get()) : 0;
  const uint8_t* data = array ? bytesOf(*array.get()) : nullptr;
  if (size < 0 || (size > 0 && data == nullptr)) {
    writer.fail();
    return;
  }
  writer.put(osc::Blob(data, static_cast<osc::osc_bundle_element_size_t>(size)));
}

// A blob from a string: its bytes, NULs included.
void writeStringBlob(const SendContext& context, PacketWriter& writer, const HostValue& value) {
  int32_t size = 0;
  context.values->stringLength(&value, &size);
  const LockedString bytes(context.values, value);
  if (size < 0 || (size > 0 && bytes.bytes() == nullptr)) {
    writer.fail();
    return;
  }
  writer.put(osc::Blob(bytes.bytes(), static_cast<osc::osc_bundle_element_size_t>(size)));
}

// `[`, the nested container, `]`. A value that is no container gives
// empty brackets.
void writeArray(const SendContext& context, PacketWriter& writer, const HostValue& value) {
  if (!writer.put(osc::BeginArray) || !writer.enter()) return;
  const int32_t kind = kindOf(context, value);
  if (isArgumentContainer(kind)) appendArguments(context, writer, value, kind);
  writer.leave();
  writer.put(osc::EndArray);
}

// One element of a plain list. `values` is the context's, held in a local
// by the caller: every element makes three calls through it.
void writePlainElement(const SendContext& context, IHostValues* values, PacketWriter& writer,
                       const HostValue& element) {
  int32_t kind = KindVoid;
  values->valueType(&element, &kind);
  // Numbers before the dispatch: most elements are.
  if (kind == KindFloat) {
    double number = 0.0;
    values->valueToDouble(&element, &number);
    writer.put(float32FromDouble(number));
    return;
  }
  if (kind == KindInteger) {
    int32_t number = 0;
    values->valueToInteger(&element, &number);
    writer.put(static_cast<osc::int32>(number));
    return;
  }
  switch (kind) {
    case KindString:
      writeString(context, writer, element);
      return;
    case KindVoid:
      writer.put(osc::OscNil);
      return;
    case KindList:
      writeArray(context, writer, element);
      return;
    case KindByteArray:
      writeByteArrayBlob(context, writer, element);
      return;
    default:
      return;  // property lists, symbols and other kinds are passed over
  }
}

// One typed argument.
void writeTypedArgument(const SendContext& context, PacketWriter& writer, int32_t typeIndex,
                        const HostValue& value) {
  switch (typeIndex) {
    case TypeInt32:
      writer.put(static_cast<osc::int32>(integerOf(context, value)));
      return;
    case TypeFloat32:
      writer.put(float32FromDouble(doubleOf(context, value)));
      return;
    case TypeString:
      writeString(context, writer, value);
      return;
    case TypeBlob:
      if (kindOf(context, value) == KindByteArray) {
        writeByteArrayBlob(context, writer, value);
      } else {
        writeStringBlob(context, writer, value);
      }
      return;
    case TypeArray:
      writeArray(context, writer, value);
      return;
    case TypeBool:
      writer.put(integerOf(context, value) != 0);
      return;
    case TypeChar:
      // The low byte as a signed character: the codec sign-extends a char.
      writer.put(static_cast<char>(static_cast<int8_t>(integerOf(context, value) & 0xff)));
      return;
    case TypeDouble:
      writer.put(doubleOf(context, value));
      return;
    case TypeInfinitum:
      writer.put(osc::Infinitum);
      return;
    case TypeInt64:
      writer.put(static_cast<osc::int64>(int64FromDouble(doubleOf(context, value))));
      return;
    case TypeMidi:
      writer.put(osc::MidiMessage(packedWordFromDouble(doubleOf(context, value))));
      return;
    case TypeNil:
      writer.put(osc::OscNil);
      return;
    case TypeRgba:
      writer.put(osc::RgbaColor(packedWordFromDouble(doubleOf(context, value))));
      return;
    case TypeTime:
      writer.put(osc::TimeTag(timeTagFromDouble(doubleOf(context, value))));
      return;
    default:
      return;  // not a type name: passed over
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

void appendArguments(const SendContext& context, PacketWriter& writer, const HostValue& container,
                     int32_t kind) {
  IHostValues* const values = context.values;
  IHostLists* const lists = context.lists;
  int32_t count = 0;
  lists->listCount(&container, &count);
  // Each element is read, written and given back before the next; nothing
  // here throws, so a plain value needs no holder. The two loops keep the
  // container's kind out of the per-element work.
  if (kind == KindPropList) {
    for (int32_t position = 1; position <= count; ++position) {
      HostValue name = VoidValue;
      lists->propNameAt(&container, position, &name);
      const int32_t typeIndex = typeIndexOfName(context, name);
      if (!sameValue(name, VoidValue)) values->releaseValue(&name);
      HostValue element = VoidValue;
      lists->listGetAt(&container, position, &element);
      writeTypedArgument(context, writer, typeIndex, element);
      if (!sameValue(element, VoidValue)) values->releaseValue(&element);
      if (!writer.complete()) return;
    }
    return;
  }
  for (int32_t position = 1; position <= count; ++position) {
    HostValue element = VoidValue;
    lists->listGetAt(&container, position, &element);
    writePlainElement(context, values, writer, element);
    if (!sameValue(element, VoidValue)) values->releaseValue(&element);
    if (!writer.complete()) return;
  }
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
