#include "receive/message_conversion.h"

#include <cstring>
#include <string>
#include <vector>

#include "common/locked_string.h"
#include "common/owned_value.h"

namespace zephyx::receive {

namespace {

// The containers a message has open: the first few in place, since nearly
// every message nests only a few arrays deep and the receiving thread then
// allocates nothing for them; deeper ones on the heap.
class ContainerStack {
 public:
  void push(OwnedValue value) {
    if (size_ < InPlace) {
      inPlace_[size_] = std::move(value);
    } else {
      deeper_.push_back(std::move(value));
    }
    ++size_;
  }
  // The innermost container, removed. Only when size() > 0.
  OwnedValue pop() {
    --size_;
    if (size_ < InPlace) return std::move(inPlace_[size_]);
    OwnedValue top = std::move(deeper_.back());
    deeper_.pop_back();
    return top;
  }
  const OwnedValue& top() const { return size_ <= InPlace ? inPlace_[size_ - 1] : deeper_.back(); }
  size_t size() const { return size_; }

 private:
  static constexpr size_t InPlace = 8;
  OwnedValue inPlace_[InPlace];
  std::vector<OwnedValue> deeper_;
  size_t size_ = 0;
};

// Builds the argument containers: `body` at the bottom of the stack, one
// more container for each array that is open. An explicit stack, because
// one datagram can open thousands of arrays.
class ArgumentBuilder {
 public:
  ArgumentBuilder(const ConversionSettings& settings, const ReceivingServices& services)
      : settings_(settings), values_(services.values), lists_(services.lists) {
    if (settings_.asPropList) {
      for (HostValue& key : keys_) key = VoidValue;
    }
    open();
  }
  ~ArgumentBuilder() {
    if (!settings_.asPropList) return;
    for (const HostValue& key : keys_) {
      if (!sameValue(key, VoidValue)) values_->releaseValue(&key);
    }
  }
  ArgumentBuilder(const ArgumentBuilder&) = delete;
  ArgumentBuilder& operator=(const ArgumentBuilder&) = delete;

  // Adds a value made for the current container; takes over its reference.
  void add(HostValue made, int32_t typeIndex) {
    OwnedValue value = OwnedValue::adopt(values_, made);
    const HostValue& container = stack_.top().get();
    if (!settings_.asPropList) {
      lists_->appendToList(&container, value.ptr());
      return;
    }
    // One key value per type name and message, made at its first use:
    // each pair holds its own reference to it, so arguments of one type
    // cost no value each for their key.
    HostValue& key = keys_[typeIndex];
    if (sameValue(key, VoidValue)) {
      values_->symbolToValue(settings_.typeSymbols->symbols[typeIndex], &key);
    }
    lists_->addProp(&container, &key, value.ptr());
  }

  void openArray() { open(); }

  void closeArray() {
    if (stack_.size() < 2) return;  // unbalanced: cannot pass validation
    OwnedValue array = stack_.pop();
    add(array.release(), TypeArray);
  }

  // The body; empty arrays left open (none after validation) are dropped.
  HostValue finish() {
    while (stack_.size() > 1) stack_.pop();
    return stack_.pop().release();
  }

 private:
  void open() {
    OwnedValue container(values_);
    if (settings_.asPropList) {
      lists_->newPropList(container.out());
    } else {
      lists_->newList(container.out());
    }
    stack_.push(std::move(container));
  }

  const ConversionSettings& settings_;
  IHostValues* values_;
  IHostLists* lists_;
  ContainerStack stack_;
  // Property names by type index, each owned here once made; set up only
  // for a property list, so that a plain list pays nothing for them.
  HostValue keys_[TypeNameCount];
};

HostValue makeInteger(IHostValues* values, int32_t number) {
  HostValue made = VoidValue;
  values->integerToValue(number, &made);
  return made;
}

HostValue makeDouble(IHostValues* values, double number) {
  HostValue made = VoidValue;
  values->doubleToValue(number, &made);
  return made;
}

HostValue makeBlob(const ConversionSettings& settings, const ReceivingServices& services,
                   const osc::ReceivedMessageArgument& argument) {
  const void* data = nullptr;
  osc::osc_bundle_element_size_t size = 0;
  argument.AsBlobUnchecked(data, size);
  HostValue made = VoidValue;
  if (settings.blobsAsByteArrays) {
    services.objects->newByteArray(data, size, &made);
    return made;
  }
  // A string of the right length first, then its bytes overwritten, so
  // that NUL bytes in the blob survive.
  const std::string spaces(static_cast<size_t>(size), ' ');
  services.values->stringToValue(spaces.c_str(), &made);
  const LockedString bytes(services.values, made);
  if (bytes.bytes() != nullptr && size > 0) std::memcpy(bytes.bytes(), data, static_cast<size_t>(size));
  return made;
}

}  // namespace

std::unique_ptr<ReceivedItem> convertMessage(const osc::ReceivedMessage& message,
                                             const ConversionSettings& settings,
                                             const ReceivingServices& services) {
  IHostValues* values = services.values;
  OwnedValue head(values);
  values->stringToValue(message.AddressPattern(), head.out());

  ArgumentBuilder builder(settings, services);
  for (auto argument = message.ArgumentsBegin(); argument != message.ArgumentsEnd(); ++argument) {
    switch (argument->TypeTag()) {
      case osc::INT32_TYPE_TAG:
        builder.add(makeInteger(values, argument->AsInt32Unchecked()), TypeInt32);
        break;
      case osc::FLOAT_TYPE_TAG:
        builder.add(makeDouble(values, argument->AsFloatUnchecked()), TypeFloat32);
        break;
      case osc::STRING_TYPE_TAG: {
        HostValue made = VoidValue;
        values->stringToValue(argument->AsString(), &made);
        builder.add(made, TypeString);
        break;
      }
      case osc::BLOB_TYPE_TAG:
        builder.add(makeBlob(settings, services, *argument), TypeBlob);
        break;
      case osc::TRUE_TYPE_TAG:
        builder.add(makeInteger(values, 1), TypeBool);
        break;
      case osc::FALSE_TYPE_TAG:
        builder.add(makeInteger(values, 0), TypeBool);
        break;
      case osc::CHAR_TYPE_TAG:
        // The last byte of the word, sign-extended.
        builder.add(makeInteger(values, static_cast<int32_t>(static_cast<int8_t>(
                                            argument->AsInt32Unchecked() & 0xff))),
                    TypeChar);
        break;
      case osc::DOUBLE_TYPE_TAG:
        builder.add(makeDouble(values, argument->AsDoubleUnchecked()), TypeDouble);
        break;
      case osc::INFINITUM_TYPE_TAG:
        builder.add(makeInteger(values, 0), TypeInfinitum);
        break;
      case osc::INT64_TYPE_TAG:
        builder.add(makeDouble(values, static_cast<double>(argument->AsInt64Unchecked())),
                    TypeInt64);
        break;
      case osc::MIDI_MESSAGE_TYPE_TAG:
        builder.add(makeDouble(values, argument->AsMidiMessageUnchecked()), TypeMidi);
        break;
      case osc::NIL_TYPE_TAG:
        builder.add(makeInteger(values, 0), TypeNil);
        break;
      case osc::RGBA_COLOR_TYPE_TAG:
        builder.add(makeDouble(values, argument->AsRgbaColorUnchecked()), TypeRgba);
        break;
      case osc::TIME_TAG_TYPE_TAG:
        builder.add(makeDouble(values, static_cast<double>(argument->AsTimeTagUnchecked())),
                    TypeTime);
        break;
      case osc::ARRAY_BEGIN_TYPE_TAG:
        builder.openArray();
        break;
      case osc::ARRAY_END_TYPE_TAG:
        builder.closeArray();
        break;
      default:
        break;  // 'S' and anything else: passed over
    }
  }
  OwnedValue body = OwnedValue::adopt(values, builder.finish());
  return std::make_unique<ReceivedItem>(settings.itemValues, head.release(), body.release());
}

}  // namespace zephyx::receive
