#include "send/packet_assembly.h"

#include "common/locked_string.h"
#include "common/owned_value.h"
#include "send/argument_encoder.h"
#include "send/numeric_conversions.h"
#include "send/value_reading.h"

namespace zephyx::send {
namespace {

uint64_t timeTagOf(const SendContext& context, const HostValue& value, int32_t kind) {
  if (kind == KindInteger) return timeTagFromInteger(integerOf(context, value));
  return timeTagFromDouble(doubleOf(context, value));
}

void writeMessage(const SendContext& context, PacketWriter& writer, const HostValue& list,
                  const HostValue& address, int32_t count) {
  {
    // Receivers take any packet that starts with '#' for a bundle, so a
    // message whose address does could never be read as one.
    const LockedString text(context.values, address);
    if (text.text()[0] == '#') {
      writer.fail();
      return;
    }
    if (!writer.put(osc::BeginMessage(text.text()))) return;
  }
  if (count >= 2) {
    OwnedValue arguments(context.values);
    context.lists->listGetAt(&list, 2, arguments.out());
    const int32_t kind = kindOf(context, arguments.get());
    if (!isArgumentContainer(kind)) {
      writer.fail();
      return;
    }
    appendArguments(context, writer, arguments.get(), kind);
  }
  writer.put(osc::EndMessage);
}

void writeBundle(const SendContext& context, PacketWriter& writer, const HostValue& list,
                 const HostValue& timeTag, int32_t timeTagKind, int32_t count) {
  if (!writer.put(osc::BeginBundle(timeTagOf(context, timeTag, timeTagKind)))) return;
  if (!writer.enter()) return;
  if (count >= 2) {
    OwnedValue contents(context.values);
    context.lists->listGetAt(&list, 2, contents.out());
    appendBundleContents(context, writer, contents.get());
  }
  writer.leave();
  writer.put(osc::EndBundle);
}

}  // namespace

ElementShape shapeOfKind(int32_t firstKind) {
  if (firstKind == KindString) return ElementShape::Message;
  if (firstKind == KindInteger || firstKind == KindFloat) return ElementShape::Bundle;
  return ElementShape::Other;
}

void appendBundleContents(const SendContext& context, PacketWriter& writer,
                          const HostValue& contents) {
  if (kindOf(context, contents) != KindList) {
    writer.fail();
    return;
  }
  IHostValues* values = context.values;
  IHostLists* lists = context.lists;
  int32_t count = 0;
  lists->listCount(&contents, &count);
  for (int32_t position = 1; position <= count && writer.complete(); ++position) {
    OwnedValue item(values);
    lists->listGetAt(&contents, position, item.out());
    if (kindOf(context, item.get()) != KindList) continue;
    int32_t itemCount = 0;
    lists->listCount(item.ptr(), &itemCount);
    if (itemCount == 0) continue;
    OwnedValue first(values);
    lists->listGetAt(item.ptr(), 1, first.out());
    writePacketElement(context, writer, item.get(), first.get(), kindOf(context, first.get()),
                       itemCount);
  }
}

void writePacketElement(const SendContext& context, PacketWriter& writer, const HostValue& list,
                        const HostValue& first, int32_t firstKind, int32_t count) {
  switch (shapeOfKind(firstKind)) {
    case ElementShape::Message:
      writeMessage(context, writer, list, first, count);
      return;
    case ElementShape::Bundle:
      writeBundle(context, writer, list, first, firstKind, count);
      return;
    case ElementShape::Other:
      return;
  }
}

}  // namespace zephyx::send
