#include "send/packet_assembly.h"

#include <optional>

#include "common/locked_string.h"
#include "common/owned_value.h"
#include "send/argument_encoder.h"
#include "send/numeric_conversions.h"
#include "send/value_reading.h"

namespace zephyx::send {
namespace {

ElementShape shapeOfKind(int32_t kind) {
  if (kind == KindString) return ElementShape::Message;
  if (kind == KindInteger || kind == KindFloat) return ElementShape::Bundle;
  return ElementShape::Other;
}

uint64_t timeTagOf(const SendContext& context, const HostValue& value) {
  if (kindOf(context, value) == KindInteger) return timeTagFromInteger(integerOf(context, value));
  return timeTagFromDouble(doubleOf(context, value));
}

// Writes the element and answers what its contents answered, or nothing
// when it had no contents to write (no element 2, or another shape).
std::optional<bool> writeElement(const SendContext& context, PacketWriter& writer,
                                 const HostValue& list, int32_t count) {
  IHostValues* values = context.values;
  IHostLists* lists = context.lists;
  OwnedValue first(values);
  lists->listGetAt(&list, 1, first.out());
  const ElementShape shape = shapeOfKind(kindOf(context, first.get()));
  if (shape == ElementShape::Other) return std::nullopt;

  std::optional<bool> answer;
  if (shape == ElementShape::Message) {
    // Receivers take any packet that starts with '#' for a bundle, so a
    // message whose address does could never be read as one.
    bool opened = false;
    {
      const LockedString address(values, first.get());
      if (address.text()[0] == '#') {
        writer.fail();
      } else {
        opened = writer.put(osc::BeginMessage(address.text()));
      }
    }
    if (!opened) return false;
    if (count >= 2) {
      first.reset();
      OwnedValue arguments(values);
      lists->listGetAt(&list, 2, arguments.out());
      answer = appendArguments(context, writer, arguments.get());
    }
    writer.put(osc::EndMessage);
  } else {
    if (!writer.put(osc::BeginBundle(timeTagOf(context, first.get())))) return false;
    if (!writer.enter()) return false;
    if (count >= 2) {
      first.reset();
      OwnedValue contents(values);
      lists->listGetAt(&list, 2, contents.out());
      answer = appendBundleContents(context, writer, contents.get());
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

ElementShape shapeOfElement(const SendContext& context, const HostValue& list) {
  OwnedValue first(context.values);
  context.lists->listGetAt(&list, 1, first.out());
  return shapeOfKind(kindOf(context, first.get()));
}

void writePacketElement(const SendContext& context, PacketWriter& writer, const HostValue& list,
                        int32_t count) {
  writeElement(context, writer, list, count);
}

bool appendBundleContents(const SendContext& context, PacketWriter& writer,
                          const HostValue& contents) {
  IHostValues* values = context.values;
  IHostLists* lists = context.lists;
  if (kindOf(context, contents) != KindList) return false;

  bool result = true;
  int32_t count = 0;
  lists->listCount(&contents, &count);
  for (int32_t position = 1; position <= count; ++position) {
    OwnedValue item(values);
    lists->listGetAt(&contents, position, item.out());
    if (kindOf(context, item.get()) != KindList) continue;
    int32_t itemCount = 0;
    lists->listCount(item.ptr(), &itemCount);
    if (itemCount == 0) continue;
    const std::optional<bool> answer = writeElement(context, writer, item.get(), itemCount);
    if (answer.has_value()) result = *answer;
  }
  return result;
}

}  // namespace zephyx::send
