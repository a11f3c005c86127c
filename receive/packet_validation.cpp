#include "receive/packet_validation.h"

#include <cstdint>
#include <initializer_list>

namespace zephyx::receive {

namespace {

// Largest 4-byte aligned value an int32 holds; oscpack refuses packet,
// element and blob sizes above it.
constexpr std::uint32_t MaxElementSize = 0x7FFFFFFC;

std::uint32_t readUInt32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
         std::uint32_t{b[3]};
}

// Finds where a padded string starting at offset `at` of a message of `size`
// bytes ends, the way oscpack's FindStr4End does, so that we and oscpack
// agree on where every later field starts. oscpack looks only at the last
// byte of each 4-byte word: a NUL elsewhere does not end the string, and the
// bytes after a NUL need not be zero. A string whose first byte is NUL takes
// exactly one word (SuperCollider's integer address pattern).
bool findStringEnd(const char* message, std::size_t size, std::size_t at, std::size_t& next) {
  if (at >= size || size - at < 4) {
    return false;
  }
  if (message[at] == '\0') {
    next = at + 4;
    return true;
  }
  for (std::size_t last = at + 3; last < size; last += 4) {
    if (message[last] == '\0') {
      next = last + 1;
      return true;
    }
  }
  return false;
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

const char* messageFault(const char* message, std::size_t size) {
  if (size == 0) {
    return "empty message";
  }
  if (size % 4 != 0) {
    return "message size not a multiple of 4";
  }

  std::size_t at = 0;
  if (!findStringEnd(message, size, 0, at)) {
    return "address pattern not terminated";
  }
  if (at == size) {
    return nullptr;  // address only: no type tags, no arguments
  }
  if (message[at] != ',') {
    return "type tags missing";
  }
  // `at` and `size` are both multiples of 4, so at + 1 is inside.
  if (message[at + 1] == '\0') {
    return nullptr;  // "," alone: no arguments
  }

  const std::size_t tags = at + 1;
  std::size_t argument = 0;
  if (!findStringEnd(message, size, at, argument)) {
    return "type tags not terminated";
  }

  // The string ends with a NUL at argument - 1, so this loop stays inside.
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
      if (argument > size) {
        return "4-byte argument past end of message";
      }
      if (message[tag] == '\0') break;
    }
    const std::size_t left = size - argument;
    switch (kind) {
      case TagKind::Word:
        break;
      case TagKind::NoData:
        break;
      case TagKind::ArrayOpen:
        ++arrayDepth;
        break;
      case TagKind::ArrayClose:
        // oscpack only checks that the count balances at the end, so it would
        // take "][" and leave its array walk with an unmatched close.
        if (arrayDepth == 0) {
          return "array closed before it was opened";
        }
        --arrayDepth;
        break;
      case TagKind::TwoWords:
        if (left < 8) {
          return "8-byte argument past end of message";
        }
        argument += 8;
        break;
      case TagKind::String:
        if (left == 0) {
          return "string argument past end of message";
        }
        if (!findStringEnd(message, size, argument, argument)) {
          return "string argument not terminated";
        }
        break;
      case TagKind::Blob: {
        if (left < 4) {
          return "blob size past end of message";
        }
        const std::uint32_t blobSize = readUInt32(message + argument);
        // oscpack's AsBlob reads the size as an int32 and refuses anything
        // outside 0..MaxElementSize.
        if (blobSize > MaxElementSize) {
          return "blob size too large";
        }
        // oscpack's own checks here build an exception without throwing it,
        // so an overlong blob would be read past the datagram.
        const std::uint64_t padded = (std::uint64_t{blobSize} + 3) & ~std::uint64_t{3};
        if (padded > left - 4) {
          return "blob data past end of message";
        }
        argument += 4 + static_cast<std::size_t>(padded);
        break;
      }
      case TagKind::Unknown:
        return "unknown type tag";
    }
  }
  if (arrayDepth != 0) {
    return "array not closed";
  }
  // Bytes left over after the last argument are ignored, as oscpack does.
  return nullptr;
}

const char* const BundleTag = "#bundle";  // with its NUL: 8 bytes

struct OpenBundle {
  std::size_t next;  // offset of the next element's size slot
  std::size_t end;
};

// Checks a bundle's header and, if it is fine, pushes it so that its elements
// are walked. An explicit stack keeps deep nesting off the call stack.
const char* openBundle(const char* data, std::size_t at, std::size_t size, OpenBundle* stack,
                       int& depth) {
  // Callers have already checked that size is a multiple of 4.
  if (size < 16) {
    return "bundle shorter than 16 bytes";
  }
  for (std::size_t i = 0; i < 8; ++i) {
    if (data[at + i] != BundleTag[i]) {
      return "bundle does not start with #bundle";
    }
  }
  if (depth == PacketMaxBundleDepth) {
    return "bundles nested too deep";
  }
  // Bytes 8..15 are the time tag; any value will do.
  stack[depth++] = OpenBundle{at + 16, at + size};
  return nullptr;
}

}  // namespace

const char* packetFault(const char* data, std::size_t size) {
  if (size == 0) {
    return "empty packet";
  }
  if (size % 4 != 0) {
    return "packet size not a multiple of 4";
  }
  if (size > MaxElementSize) {
    return "packet too large";
  }
  if (data[0] != '#') {
    return messageFault(data, size);
  }

  OpenBundle stack[PacketMaxBundleDepth];
  int depth = 0;
  if (const char* fault = openBundle(data, 0, size, stack, depth)) {
    return fault;
  }
  while (depth > 0) {
    OpenBundle& bundle = stack[depth - 1];
    if (bundle.next == bundle.end) {
      --depth;
      continue;
    }
    // Offsets are compared as sizes so no pointer is ever formed past the end.
    const std::size_t left = bundle.end - bundle.next;
    if (left < 4) {
      return "bundle element size past end of bundle";
    }
    const std::uint32_t elementSize = readUInt32(data + bundle.next);
    if (elementSize % 4 != 0) {
      return "bundle element size not a multiple of 4";
    }
    if (elementSize > left - 4) {
      return "bundle element past end of bundle";
    }
    const std::size_t element = bundle.next + 4;
    bundle.next = element + elementSize;

    const char* fault = nullptr;
    if (elementSize > 0 && data[element] == '#') {
      fault = openBundle(data, element, elementSize, stack, depth);
    } else {
      // A zero-size element is an empty message, which oscpack refuses.
      fault = messageFault(data + element, elementSize);
    }
    if (fault) {
      return fault;
    }
  }
  return nullptr;
}

bool isWellFormedPacket(const char* data, std::size_t size) {
  return packetFault(data, size) == nullptr;
}

}  // namespace zephyx::receive
