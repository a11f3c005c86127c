#include "send/argument_encoder.h"

#include "host/host_ids.h"
#include "host/owned_value.h"
#include "send/numeric_conversions.h"
#include "send/value_reading.h"
#include "xtra/type_symbol_table.h"

namespace {

// The byte-array facet of a value's object; released when done.
class ByteArrayAccess {
 public:
  ByteArrayAccess(const XtraInstance& instance, const HostValue& value) {
    if (instance.objectServices == nullptr) return;
    if (instance.objectServices->valueToObject(&value, &object_) != StatusOk || !object_) return;
    object_->queryInterface(&hostids::ByteArray, reinterpret_cast<void**>(&array_));
  }
  ~ByteArrayAccess() {
    if (array_ != nullptr) array_->release();
    if (object_ != nullptr) object_->release();
  }
  ByteArrayAccess(const ByteArrayAccess&) = delete;
  ByteArrayAccess& operator=(const ByteArrayAccess&) = delete;

  IHostByteArray* get() const { return array_; }

 private:
  IMoaUnknown* object_ = nullptr;
  IHostByteArray* array_ = nullptr;
};



// A string straight from the host's memory.
bool writeString(const XtraInstance& instance, PacketWriter& writer, const HostValue& value) {
  IHostValues* values = instance.valueServices;
  char* text = nullptr;
  values->lockString(&value, &text);
  const bool written = writer.put(text != nullptr ? text : "");
  values->unlockString(&value);
  return written;
}

// A blob from a byte array, straight from the host's memory. A size the
// codec cannot take (negative would wrap around) fails the packet.
bool writeByteArrayBlob(const XtraInstance& instance, PacketWriter& writer,
                        const HostValue& value) {
  const int32_t size = byteArrayLength(instance, value);
  const uint8_t* data = byteArrayData(instance, value);
  if (size < 0 || (size > 0 && data == nullptr)) {
    writer.fail();
    return false;
  }
  return writer.put(osc::Blob(data, size));
}

// A blob from a string: its bytes, NULs included.
bool writeStringBlob(const XtraInstance& instance, PacketWriter& writer, const HostValue& value) {
  IHostValues* values = instance.valueServices;
  int32_t size = 0;
  values->stringLength(&value, &size);
  char* bytes = nullptr;
  values->lockString(&value, &bytes);
  bool written = false;
  if (size < 0 || (size > 0 && bytes == nullptr)) {
    writer.fail();
  } else {
    written = writer.put(osc::Blob(bytes, size));
  }
  values->unlockString(&value);
  return written;
}

// `[`, the nested container, `]`. What the nested container itself
// answers does not matter here: a value that is no container gives empty
// brackets, and an overflow inside has already failed the packet.
bool writeArray(const XtraInstance& instance, PacketWriter& writer, const HostValue& value) {
  if (!writer.put(osc::BeginArray)) return false;
  if (!writer.enter()) return false;
  appendArguments(instance, writer, value);
  writer.leave();
  return writer.put(osc::EndArray);
}

// One element of a plain list; false only when it did not fit.
bool writePlainElement(const XtraInstance& instance, PacketWriter& writer,
                       const HostValue& element) {
  switch (kindOf(instance, element)) {
    case KindVoid:
      return writer.put(osc::OscNil);
    case KindInteger:
      return writer.put(static_cast<osc::int32>(integerOf(instance, element)));
    case KindFloat:
      return writer.put(float32FromDouble(doubleOf(instance, element)));
    case KindString:
      return writeString(instance, writer, element);
    case KindList:
      return writeArray(instance, writer, element);
    case KindByteArray:
      return writeByteArrayBlob(instance, writer, element);
    default:
      return true;  // property lists, symbols and other kinds are passed over
  }
}

// One typed argument; false only when it did not fit.
bool writeTypedArgument(const XtraInstance& instance, PacketWriter& writer, int32_t typeIndex,
                        const HostValue& value) {
  switch (typeIndex) {
    case TypeInt32:
      return writer.put(static_cast<osc::int32>(integerOf(instance, value)));
    case TypeFloat32:
      return writer.put(float32FromDouble(doubleOf(instance, value)));
    case TypeString:
      return writeString(instance, writer, value);
    case TypeBlob:
      if (kindOf(instance, value) == KindByteArray) {
        return writeByteArrayBlob(instance, writer, value);
      }
      return writeStringBlob(instance, writer, value);
    case TypeArray:
      return writeArray(instance, writer, value);
    case TypeBool:
      return writer.put(integerOf(instance, value) != 0);
    case TypeChar:
      // The low byte as a signed character: the codec sign-extends a char.
      return writer.put(static_cast<char>(static_cast<int8_t>(integerOf(instance, value) & 0xff)));
    case TypeDouble:
      return writer.put(doubleOf(instance, value));
    case TypeInfinitum:
      return writer.put(osc::Infinitum);
    case TypeInt64:
      return writer.put(static_cast<osc::int64>(int64FromDouble(doubleOf(instance, value))));
    case TypeMidi:
      return writer.put(osc::MidiMessage(packedWordFromDouble(doubleOf(instance, value))));
    case TypeNil:
      return writer.put(osc::OscNil);
    case TypeRgba:
      return writer.put(osc::RgbaColor(packedWordFromDouble(doubleOf(instance, value))));
    case TypeTime:
      return writer.put(osc::TimeTag(timeTagFromDouble(doubleOf(instance, value))));
    default:
      return true;  // not a type name: passed over
  }
}

int32_t typeIndexOfName(const XtraInstance& instance, const HostValue& name) {
  if (kindOf(instance, name) == KindString) return typeIndexOfString(instance, name);
  return typeIndexOfSymbol(instance, name);
}

}  // namespace

bool appendArguments(const XtraInstance& instance, PacketWriter& writer,
                     const HostValue& container) {
  IHostValues* values = instance.valueServices;
  IHostLists* lists = instance.listServices;
  const int32_t kind = kindOf(instance, container);
  if (kind != KindList && kind != KindPropList) return false;

  int32_t count = 0;
  lists->listCount(&container, &count);
  for (int32_t position = 1; position <= count; ++position) {
    OwnedValue value(values);
    if (kind == KindPropList) {
      OwnedValue name(values);
      lists->propNameAt(&container, position, name.out());
      const int32_t typeIndex = typeIndexOfName(instance, name.get());
      lists->listGetAt(&container, position, value.out());
      if (!writeTypedArgument(instance, writer, typeIndex, value.get())) return false;
    } else {
      lists->listGetAt(&container, position, value.out());
      if (!writePlainElement(instance, writer, value.get())) return false;
    }
  }
  return true;
}

int32_t typeIndexOfSymbol(const XtraInstance& instance, const HostValue& name) {
  if (instance.typeSymbols == nullptr) return TypeNone;
  HostSymbol symbol = NoSymbol;
  instance.valueServices->valueToSymbol(&name, &symbol);
  return typeIndexOf(*instance.typeSymbols, symbol);
}

int32_t typeIndexOfString(const XtraInstance& instance, const HostValue& name) {
  if (instance.typeSymbols == nullptr) return TypeNone;
  IHostValues* values = instance.valueServices;
  char* text = nullptr;
  values->lockString(&name, &text);
  HostSymbol symbol = NoSymbol;
  values->stringToSymbol(text != nullptr ? text : "", &symbol);
  values->unlockString(&name);
  return typeIndexOf(*instance.typeSymbols, symbol);
}

const uint8_t* byteArrayData(const XtraInstance& instance, const HostValue& value) {
  ByteArrayAccess access(instance, value);
  if (access.get() == nullptr) return nullptr;
  uint8_t* bytes = nullptr;
  access.get()->getBytes(&bytes);
  return bytes;
}

int32_t byteArrayLength(const XtraInstance& instance, const HostValue& value) {
  ByteArrayAccess access(instance, value);
  if (access.get() == nullptr) return 0;
  IHostValues* values = instance.valueServices;
  HostSymbol length = NoSymbol;
  values->stringToSymbol("length", &length);
  OwnedValue size(values);
  access.get()->getProp(length, size.out());
  int32_t number = 0;
  values->valueToInteger(size.ptr(), &number);
  return number;
}
