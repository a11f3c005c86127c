#include "send/packet_assembly.h"

#include <optional>

#include "host/owned_value.h"
#include "send/argument_encoder.h"
#include "send/numeric_conversions.h"
#include "send/value_reading.h"

namespace {

ElementShape shapeOfKind(int32_t kind) {
  if (kind == KindString) return ElementShape::Message;
  if (kind == KindInteger || kind == KindFloat) return ElementShape::Bundle;
  return ElementShape::Other;
}

uint64_t timeTagOf(const XtraInstance& instance, const HostValue& value) {
  if (kindOf(instance, value) == KindInteger) return timeTagFromInteger(integerOf(instance, value));
  return timeTagFromDouble(doubleOf(instance, value));
}

// Writes the element and answers what its contents answered, or nothing
// when it had no contents to write (no element 2, or another shape).
std::optional<bool> writeElement(const XtraInstance& instance, PacketWriter& writer,
                                 const HostValue& list, int32_t count) {
  IHostValues* values = instance.valueServices;
  IHostLists* lists = instance.listServices;
  OwnedValue first(values);
  lists->listGetAt(&list, 1, first.out());
  const ElementShape shape = shapeOfKind(kindOf(instance, first.get()));
  if (shape == ElementShape::Other) return std::nullopt;

  std::optional<bool> answer;
  if (shape == ElementShape::Message) {
    char* address = nullptr;
    values->lockString(first.ptr(), &address);
    // Receivers take any packet that starts with '#' for a bundle, so a
    // message whose address does could never be read as one.
    const bool readable = address == nullptr || address[0] != '#';
    const bool opened = readable && writer.put(osc::BeginMessage(address != nullptr ? address : ""));
    values->unlockString(first.ptr());
    if (!readable) writer.fail();
    if (!opened) return false;
    if (count >= 2) {
      first.reset();
      OwnedValue arguments(values);
      lists->listGetAt(&list, 2, arguments.out());
      answer = appendArguments(instance, writer, arguments.get());
    }
    writer.put(osc::EndMessage);
  } else {
    if (!writer.put(osc::BeginBundle(timeTagOf(instance, first.get())))) return false;
    if (!writer.enter()) return false;
    if (count >= 2) {
      first.reset();
      OwnedValue contents(values);
      lists->listGetAt(&list, 2, contents.out());
      answer = appendBundleContents(instance, writer, contents.get());
    }
    writer.leave();
    writer.put(osc::EndBundle);
  }
  // A packet goes out whole or not at all: contents that were not written
  // as asked fail it, at any depth.
  if (answer.has_value() && !*answer) writer.fail();
  return answer;
}

}  // namespace

ElementShape shapeOfElement(const XtraInstance& instance, const HostValue& list) {
  OwnedValue first(instance.valueServices);
  instance.listServices->listGetAt(&list, 1, first.out());
  return shapeOfKind(kindOf(instance, first.get()));
}

void writePacketElement(const XtraInstance& instance, PacketWriter& writer, const HostValue& list,
                        int32_t count) {
  writeElement(instance, writer, list, count);
}

bool appendBundleContents(const XtraInstance& instance, PacketWriter& writer,
                          const HostValue& contents) {
  IHostValues* values = instance.valueServices;
  IHostLists* lists = instance.listServices;
  if (kindOf(instance, contents) != KindList) return false;

  bool result = true;
  int32_t count = 0;
  lists->listCount(&contents, &count);
  for (int32_t position = 1; position <= count; ++position) {
    OwnedValue item(values);
    lists->listGetAt(&contents, position, item.out());
    if (kindOf(instance, item.get()) != KindList) continue;
    int32_t itemCount = 0;
    lists->listCount(item.ptr(), &itemCount);
    if (itemCount == 0) continue;
    const std::optional<bool> answer = writeElement(instance, writer, item.get(), itemCount);
    if (answer.has_value()) result = *answer;
  }
  return result;
}
