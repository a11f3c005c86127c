#include "receive/packet_validation.h"

#include <cstring>
#include <initializer_list>

namespace zephyx::receive {

namespace {

// The text of each fault, in the enumeration's order.
constexpr const char* FaultTexts[PacketFaultCount] = {
    "",
    "empty packet",
    "packet size not a multiple of 4",
    "packet too large",
    "empty message",
    "address pattern not terminated",
    "address pattern padding not zero",
    "type tags missing",
    "type tags not terminated",
    "type tags padding not zero",
    "unknown type tag",
    "4-byte argument past end of message",
    "8-byte argument past end of message",
    "string argument past end of message",
    "string argument not terminated",
    "string argument padding not zero",
    "blob size past end of message",
    "blob size too large",
    "blob data past end of message",
    "blob padding not zero",
    "array closed before it was opened",
    "array not closed",
    "bytes after the last argument",
    "bundle shorter than 16 bytes",
    "bundle does not start with #bundle",
    "bundles nested too deep",
    "bundle element size not a multiple of 4",
    "bundle element past end of bundle",
};

// Largest 4-byte aligned value an int32 holds; oscpack refuses packet,
// element and blob sizes above it.
constexpr std::uint32_t MaxElementSize = 0x7FFFFFFC;

std::uint32_t readUInt32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
         std::uint32_t{b[3]};
}

// True when the bytes [from, to) of `message` are all zero: an OSC-string's
// or a blob's padding.
bool zeroPadding(const char* message, std::size_t from, std::size_t to) {
  for (std::size_t at = from; at < to; ++at) {
    if (message[at] != '\0') return false;
  }
  return true;
}

// The faults of one kind of OSC-string.
struct StringFaults {
  PacketFault notTerminated;
  PacketFault paddingNotZero;
};
constexpr StringFaults AddressFaults{PacketFault::AddressNotTerminated,
                                     PacketFault::AddressPaddingNotZero};
constexpr StringFaults TypeTagFaults{PacketFault::TypeTagsNotTerminated,
                                     PacketFault::TypeTagsPaddingNotZero};
constexpr StringFaults ArgumentFaults{PacketFault::StringNotTerminated,
                                      PacketFault::StringPaddingNotZero};

// True when the OSC-string whose first NUL is at offset `nul` has only
// zeros after it in that NUL's 4-byte word, which starts at a multiple of
// four inside the message.
inline bool zeroAfterNul(const char* message, std::size_t nul) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // Loaded little-endian, the bytes from the NUL on are the word's highest.
  std::uint32_t word;
  std::memcpy(&word, message + (nul & ~std::size_t{3}), sizeof word);
  return (word >> (8 * (nul & 3))) == 0;
#else
  return zeroPadding(message, nul + 1, (nul | 3) + 1);
#endif
}

// Where the OSC-string at offset `at` of a message of `size` bytes ends, in
// `next`: after the 4-byte word that holds its first NUL, the rest of which
// is padding and must be zero. `at` and `size` are multiples of four, so the
// padding never passes the end, and oscpack, which looks for the end in the
// last byte of each word, finds the same one.
inline PacketFault findStringEnd(const char* message, std::size_t size, std::size_t at,
                                 const StringFaults& faults, std::size_t& next) {
  const void* found = at < size ? std::memchr(message + at, '\0', size - at) : nullptr;
  if (found == nullptr) return faults.notTerminated;
  const auto nul = static_cast<std::size_t>(static_cast<const char*>(found) - message);
  next = (nul | 3) + 1;
  return zeroAfterNul(message, nul) ? PacketFault::None : faults.paddingNotZero;
}

// What each type tag asks of the bytes after the tags.
enum class TagKind : std::uint8_t {
  Unknown,
  NoData,
  ArrayOpen,
  ArrayClose,
  Word,
  TwoWords,
  String,
  Blob
};

struct TagKinds {
  TagKind of[256];
};

// One lookup per tag instead of a chain of comparisons: a message of a
// hundred floats is checked a hundred times.
constexpr TagKinds makeTagKinds() {
  TagKinds kinds{};
  for (TagKind& kind : kinds.of) kind = TagKind::Unknown;
  for (char tag : {'T', 'F', 'N', 'I'}) kinds.of[static_cast<unsigned char>(tag)] = TagKind::NoData;
  for (char tag : {'i', 'f', 'c', 'r', 'm'})
    kinds.of[static_cast<unsigned char>(tag)] = TagKind::Word;
  for (char tag : {'h', 't', 'd'}) kinds.of[static_cast<unsigned char>(tag)] = TagKind::TwoWords;
  kinds.of[static_cast<unsigned char>('s')] = TagKind::String;
  kinds.of[static_cast<unsigned char>('S')] = TagKind::String;
  kinds.of[static_cast<unsigned char>('b')] = TagKind::Blob;
  kinds.of[static_cast<unsigned char>('[')] = TagKind::ArrayOpen;
  kinds.of[static_cast<unsigned char>(']')] = TagKind::ArrayClose;
  return kinds;
}

constexpr TagKinds tagKinds = makeTagKinds();

// A message of `size` bytes, a multiple of four.
PacketFault messageFault(const char* message, std::size_t size) {
  if (size == 0) return PacketFault::EmptyMessage;

  std::size_t at = 0;
  if (message[0] == '\0') {
    at = 4;  // the integer address: one word, whatever its other bytes
  } else if (const PacketFault fault = findStringEnd(message, size, 0, AddressFaults, at);
             fault != PacketFault::None) {
    return fault;
  }
  if (at == size) return PacketFault::None;  // address only: no type tags, no arguments
  if (message[at] != ',') return PacketFault::TypeTagsMissing;

  const std::size_t tags = at + 1;
  std::size_t argument = 0;
  if (const PacketFault fault = findStringEnd(message, size, at, TypeTagFaults, argument);
      fault != PacketFault::None) {
    return fault;
  }

  // The tags end with a NUL before `argument`, so this loop stays inside.
  std::size_t arrayDepth = 0;
  for (std::size_t tag = tags; message[tag] != '\0'; ++tag) {
    TagKind kind = tagKinds.of[static_cast<unsigned char>(message[tag])];
    // Most arguments are one word: a run of them is measured first and
    // checked once. The run cannot pass the end of `size_t`, since there
    // are fewer tags than bytes.
    if (kind == TagKind::Word) {
      do {
        argument += 4;
        kind = tagKinds.of[static_cast<unsigned char>(message[++tag])];
      } while (kind == TagKind::Word);
      if (argument > size) return PacketFault::WordArgumentPastEnd;
      if (message[tag] == '\0') break;
    }
    const std::size_t left = size - argument;
    switch (kind) {
      case TagKind::Word:
      case TagKind::NoData:
        break;
      case TagKind::ArrayOpen:
        ++arrayDepth;
        break;
      case TagKind::ArrayClose:
        // oscpack only checks that the count balances at the end, so it would
        // take "][" and leave its array walk with an unmatched close.
        if (arrayDepth == 0) return PacketFault::ArrayClosedBeforeOpened;
        --arrayDepth;
        break;
      case TagKind::TwoWords:
        if (left < 8) return PacketFault::TwoWordArgumentPastEnd;
        argument += 8;
        break;
      case TagKind::String:
        if (left == 0) return PacketFault::StringPastEnd;
        if (const PacketFault fault =
                findStringEnd(message, size, argument, ArgumentFaults, argument);
            fault != PacketFault::None) {
          return fault;
        }
        break;
      case TagKind::Blob: {
        if (left < 4) return PacketFault::BlobSizePastEnd;
        const std::uint32_t blobSize = readUInt32(message + argument);
        // oscpack's AsBlob reads the size as an int32 and refuses anything
        // outside 0..MaxElementSize.
        if (blobSize > MaxElementSize) return PacketFault::BlobSizeTooLarge;
        // oscpack's own checks here build an exception without throwing it,
        // so an overlong blob would be read past the datagram.
        const std::uint64_t padded = (std::uint64_t{blobSize} + 3) & ~std::uint64_t{3};
        if (padded > left - 4) return PacketFault::BlobDataPastEnd;
        const std::size_t data = argument + 4;
        argument = data + static_cast<std::size_t>(padded);
        if (!zeroPadding(message, data + blobSize, argument))
          return PacketFault::BlobPaddingNotZero;
        break;
      }
      case TagKind::Unknown:
        return PacketFault::UnknownTypeTag;
    }
  }
  if (arrayDepth != 0) return PacketFault::ArrayNotClosed;
  // A message is exactly its arguments; a sender that writes more means
  // something this reading would not deliver.
  if (argument != size) return PacketFault::BytesAfterArguments;
  return PacketFault::None;
}

const char* const BundleTag = "#bundle";  // with its NUL: 8 bytes

struct OpenBundle {
  std::size_t next;  // offset of the next element's size slot
  std::size_t end;
};

// Checks a bundle's header and, if it is fine, pushes it so that its elements
// are walked. An explicit stack keeps deep nesting off the call stack.
PacketFault openBundle(const char* data, std::size_t at, std::size_t size, OpenBundle* stack,
                       int& depth) {
  // Callers have already checked that size is a multiple of 4.
  if (size < 16) return PacketFault::BundleTooShort;
  if (std::memcmp(data + at, BundleTag, 8) != 0) return PacketFault::BundleTagMissing;
  if (depth == PacketMaxBundleDepth) return PacketFault::BundlesTooDeep;
  // Bytes 8..15 are the time tag; any value will do.
  stack[depth++] = OpenBundle{at + 16, at + size};
  return PacketFault::None;
}

}  // namespace

const char* faultText(PacketFault fault) {
  const auto index = static_cast<int>(fault);
  return index < PacketFaultCount ? FaultTexts[index] : "";
}

PacketFault findPacketFault(const char* data, std::size_t size) {
  if (size == 0) return PacketFault::EmptyPacket;
  if (size % 4 != 0) return PacketFault::PacketSizeNotMultipleOf4;
  if (size > MaxElementSize) return PacketFault::PacketTooLarge;
  if (data[0] != '#') return messageFault(data, size);

  OpenBundle stack[PacketMaxBundleDepth];
  int depth = 0;
  if (const PacketFault fault = openBundle(data, 0, size, stack, depth);
      fault != PacketFault::None) {
    return fault;
  }
  while (depth > 0) {
    OpenBundle& bundle = stack[depth - 1];
    if (bundle.next == bundle.end) {
      --depth;
      continue;
    }
    // Offsets are compared as sizes so no pointer is ever formed past the
    // end. Every size so far is a multiple of four, so the size slot fits.
    const std::size_t left = bundle.end - bundle.next;
    const std::uint32_t elementSize = readUInt32(data + bundle.next);
    if (elementSize % 4 != 0) return PacketFault::ElementSizeNotMultipleOf4;
    if (elementSize > left - 4) return PacketFault::ElementPastEnd;
    const std::size_t element = bundle.next + 4;
    bundle.next = element + elementSize;

    // A zero-size element is an empty message, which oscpack refuses.
    const PacketFault fault = elementSize > 0 && data[element] == '#'
                                  ? openBundle(data, element, elementSize, stack, depth)
                                  : messageFault(data + element, elementSize);
    if (fault != PacketFault::None) return fault;
  }
  return PacketFault::None;
}

}  // namespace zephyx::receive
