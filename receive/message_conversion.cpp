#include "receive/message_conversion.h"

#include <cstring>
#include <string>
#include <vector>

#include "common/locked_string.h"
#include "common/owned_value.h"
#include "host/host_status.h"

namespace zephyx::receive {

namespace {

// Builds the argument containers: the body at the bottom of the stack, one
// more container for each array that is open. An explicit stack, because
// one datagram can open thousands of arrays; the first few levels live in
// place, so that a typical message allocates nothing here. Every container
// on the stack holds one reference, given back if the conversion stops
// half-way.
// The statuses of the host's calls are gathered, not tested one by one:
// a message is either converted whole or not at all, and that is decided
// once at the end.
// `AsPropList` is a parameter of the type, so that no argument pays for
// asking which container it goes into.
template <bool AsPropList>
class ArgumentBuilder {
 public:
  ArgumentBuilder(const ReceiveSettings& settings, const ReceivingServices& services)
      : settings_(settings), values_(services.values()), lists_(services.lists()) {
    open();
  }
  ~ArgumentBuilder() {
    while (depth_ > 0) {
      const HostValue container = pop();
      values_->releaseValue(&container);
    }
    // Keys are made only for property lists.
    if constexpr (AsPropList) {
      for (int32_t index = 0; index < TypeNameCount; ++index) {
        if (keyMade_[index] && !sameValue(keys_[index], VoidValue)) {
          values_->releaseValue(&keys_[index]);
        }
      }
    }
  }
  ArgumentBuilder(const ArgumentBuilder&) = delete;
  ArgumentBuilder& operator=(const ArgumentBuilder&) = delete;

  void addInteger(int32_t number, int32_t typeIndex) {
    HostValue made = VoidValue;
    failures_ |= values_->integerToValue(number, &made);
    add(made, typeIndex);
  }
  void addDouble(double number, int32_t typeIndex) {
    HostValue made = VoidValue;
    failures_ |= values_->doubleToValue(number, &made);
    add(made, typeIndex);
  }
  void addString(const char* text) {
    HostValue made = VoidValue;
    failures_ |= values_->stringToValue(text, &made);
    add(made, TypeString);
  }
  // A value made elsewhere, VOID when it could not be made.
  void addMade(const HostValue& made, int32_t typeIndex) {
    if (sameValue(made, VoidValue)) failures_ |= ResultHostFailure;
    add(made, typeIndex);
  }

  void openArray() { open(); }

  void closeArray() {
    if (depth_ < 2) return;  // unbalanced: cannot pass validation
    add(pop(), TypeArray);
  }

  // The body, owned by the caller, or VOID when any value could not be
  // made or added; arrays left open (none after validation) are given back.
  HostValue finish() {
    while (depth_ > 1) {
      const HostValue container = pop();
      values_->releaseValue(&container);
    }
    if (depth_ == 0) return VoidValue;
    const HostValue body = pop();
    if (failures_ == StatusOk) return body;
    values_->releaseValue(&body);
    return VoidValue;
  }

 private:
  static constexpr size_t InPlace = 8;

  // Adds a value made for the current container and gives back the
  // reference it was made with: the container holds its own.
  void add(const HostValue& made, int32_t typeIndex) {
    if constexpr (AsPropList) {
      failures_ |= lists_->addProp(&current_, &keyOf(typeIndex), &made);
    } else {
      static_cast<void>(typeIndex);
      failures_ |= lists_->appendToList(&current_, &made);
    }
    values_->releaseValue(&made);
  }

  void open() {
    HostValue container = VoidValue;
    if constexpr (AsPropList) {
      failures_ |= lists_->newPropList(&container);
    } else {
      failures_ |= lists_->newList(&container);
    }
    if (depth_ >= InPlace) {
      // Out of memory here leaves the container to be given back now.
      try {
        deeper_.push_back(container);
      } catch (...) {
        values_->releaseValue(&container);
        throw;
      }
    } else {
      inPlace_[depth_] = container;
    }
    ++depth_;
    current_ = container;
  }
  HostValue pop() {
    --depth_;
    HostValue container;
    if (depth_ < InPlace) {
      container = inPlace_[depth_];
    } else {
      container = deeper_.back();
      deeper_.pop_back();
    }
    if (depth_ > 0) current_ = depth_ <= InPlace ? inPlace_[depth_ - 1] : deeper_.back();
    return container;
  }
  // One key value per type name and message, made at its first use: each
  // pair holds its own reference to it, so arguments of one type cost no
  // value each for their key.
  const HostValue& keyOf(int32_t typeIndex) {
    HostValue& key = keys_[typeIndex];
    if (!keyMade_[typeIndex]) {
      key = VoidValue;
      failures_ |= values_->symbolToValue(settings_.typeSymbols->symbols[typeIndex], &key);
      keyMade_[typeIndex] = true;
    }
    return key;
  }

  const ReceiveSettings& settings_;
  IHostValues* values_;
  IHostLists* lists_;
  // Every status the host answered, or'ed together: StatusOk while all succeeded.
  HostStatus failures_ = StatusOk;
  size_t depth_ = 0;
  HostValue current_ = VoidValue;  // the innermost container, where arguments go
  HostValue inPlace_[InPlace];
  std::vector<HostValue> deeper_;
  // Property names by type index, each owned here once made.
  bool keyMade_[TypeNameCount] = {};
  HostValue keys_[TypeNameCount];
};

// A blob as the settings ask: a byte array, or a string of its bytes. VOID
// when the host could not make it or fill it in.
HostValue makeBlob(const ReceiveSettings& settings, const ReceivingServices& services,
                   const osc::ReceivedMessageArgument& argument) {
  const void* data = nullptr;
  osc::osc_bundle_element_size_t size = 0;
  argument.AsBlobUnchecked(data, size);
  HostValue made = VoidValue;
  if (settings.blobsAsByteArrays) {
    // A byte array that the host could not open for writing is still
    // added, empty, as hosts that cannot write one behave.
    services.objects()->newByteArray(data, size, &made);
    return made;
  }
  // A string of the right length first, then its bytes overwritten, so
  // that NUL bytes in the blob survive.
  const std::string spaces(static_cast<size_t>(size), ' ');
  if (services.values()->stringToValue(spaces.c_str(), &made) != StatusOk) return VoidValue;
  bool written = size == 0;
  {
    const LockedString bytes(services.values(), made);
    if (bytes.bytes() != nullptr && size > 0) {
      std::memcpy(bytes.bytes(), data, static_cast<size_t>(size));
      written = true;
    }
  }
  if (written) return made;
  services.values()->releaseValue(&made);
  return VoidValue;
}

template <bool AsPropList>
bool convert(const osc::ReceivedMessage& message, const ReceiveSettings& settings,
             const ReceivingServices& services, DatagramItems& items) {
  IHostValues* values = services.values();
  OwnedValue head(values);
  if (values->stringToValue(message.AddressPattern(), head.out()) != StatusOk) return false;

  ArgumentBuilder<AsPropList> builder(settings, services);
  for (auto argument = message.ArgumentsBegin(); argument != message.ArgumentsEnd(); ++argument) {
    const char tag = argument->TypeTag();
    // The commonest arguments before the dispatch.
    if (tag == osc::FLOAT_TYPE_TAG) {
      builder.addDouble(argument->AsFloatUnchecked(), TypeFloat32);
      continue;
    }
    if (tag == osc::INT32_TYPE_TAG) {
      builder.addInteger(argument->AsInt32Unchecked(), TypeInt32);
      continue;
    }
    switch (tag) {
      case osc::STRING_TYPE_TAG:
        builder.addString(argument->AsStringUnchecked());
        break;
      case osc::BLOB_TYPE_TAG:
        builder.addMade(makeBlob(settings, services, *argument), TypeBlob);
        break;
      case osc::TRUE_TYPE_TAG:
        builder.addInteger(1, TypeBool);
        break;
      case osc::FALSE_TYPE_TAG:
        builder.addInteger(0, TypeBool);
        break;
      case osc::CHAR_TYPE_TAG:
        // The last byte of the word, sign-extended.
        builder.addInteger(
            static_cast<int32_t>(static_cast<int8_t>(argument->AsInt32Unchecked() & 0xff)),
            TypeChar);
        break;
      case osc::DOUBLE_TYPE_TAG:
        builder.addDouble(argument->AsDoubleUnchecked(), TypeDouble);
        break;
      case osc::INFINITUM_TYPE_TAG:
        builder.addInteger(0, TypeInfinitum);
        break;
      case osc::INT64_TYPE_TAG:
        builder.addDouble(static_cast<double>(argument->AsInt64Unchecked()), TypeInt64);
        break;
      case osc::MIDI_MESSAGE_TYPE_TAG:
        builder.addDouble(argument->AsMidiMessageUnchecked(), TypeMidi);
        break;
      case osc::NIL_TYPE_TAG:
        builder.addInteger(0, TypeNil);
        break;
      case osc::RGBA_COLOR_TYPE_TAG:
        builder.addDouble(argument->AsRgbaColorUnchecked(), TypeRgba);
        break;
      case osc::TIME_TAG_TYPE_TAG:
        builder.addDouble(static_cast<double>(argument->AsTimeTagUnchecked()), TypeTime);
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
  const HostValue body = builder.finish();
  if (sameValue(body, VoidValue)) return false;
  items.add(head.take(), body);
  return true;
}

}  // namespace

bool convertMessage(const osc::ReceivedMessage& message, const ReceiveSettings& settings,
                    const ReceivingServices& services, DatagramItems& items) {
  return settings.asPropList ? convert<true>(message, settings, services, items)
                             : convert<false>(message, settings, services, items);
}

}  // namespace zephyx::receive
