#include "receive/packet_validation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iostream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "osc/OscReceivedElements.h"
#include "tests/support/osc_bytes.h"

namespace zephyx::receive {
namespace {

using namespace std::string_literals;
using Bytes = std::vector<char>;

// --- Assembling packets byte by byte --------------------------------------

Bytes raw(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A string with its NUL, padded with NULs to a 4-byte boundary.
Bytes padded(const std::string& text) {
  Bytes out = raw(text);
  out.push_back('\0');
  while (out.size() % 4 != 0) {
    out.push_back('\0');
  }
  return out;
}

Bytes be32(std::uint32_t value) {
  return Bytes{static_cast<char>(value >> 24), static_cast<char>(value >> 16),
               static_cast<char>(value >> 8), static_cast<char>(value)};
}

Bytes be64(std::uint64_t value) {
  Bytes out = be32(static_cast<std::uint32_t>(value >> 32));
  const Bytes low = be32(static_cast<std::uint32_t>(value));
  out.insert(out.end(), low.begin(), low.end());
  return out;
}

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) {
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

// Size slot, contents, then zero padding to a 4-byte boundary.
Bytes blob(const Bytes& contents) {
  Bytes out = join({be32(static_cast<std::uint32_t>(contents.size())), contents});
  while (out.size() % 4 != 0) {
    out.push_back('\0');
  }
  return out;
}

Bytes message(const std::string& address, const std::string& typeTags,
              std::initializer_list<Bytes> arguments = {}) {
  Bytes out = join({padded(address), padded(typeTags)});
  for (const Bytes& argument : arguments) {
    out.insert(out.end(), argument.begin(), argument.end());
  }
  return out;
}

Bytes bundleHeader(std::uint64_t timeTag = 1) { return join({padded("#bundle"), be64(timeTag)}); }

Bytes bundle(std::initializer_list<Bytes> elements, std::uint64_t timeTag = 1) {
  Bytes out = bundleHeader(timeTag);
  for (const Bytes& element : elements) {
    const Bytes size = be32(static_cast<std::uint32_t>(element.size()));
    out.insert(out.end(), size.begin(), size.end());
    out.insert(out.end(), element.begin(), element.end());
  }
  return out;
}

std::uint32_t floatBits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

std::uint64_t doubleBits(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// --- Checking -------------------------------------------------------------

// A heap copy of exactly the packet's size, so AddressSanitizer reports any
// read past its end (a vector's spare capacity would hide one).
class HeapPacket {
 public:
  explicit HeapPacket(const Bytes& bytes) : data_(new char[bytes.size()]), size_(bytes.size()) {
    if (size_ > 0) {
      std::memcpy(data_.get(), bytes.data(), size_);
    }
  }
  const char* data() const { return data_.get(); }
  std::size_t size() const { return size_; }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t size_;
};

std::string faultText(const char* fault) { return fault ? fault : "(none)"; }

std::uint64_t walkMessage(const osc::ReceivedMessage& message) {
  std::uint64_t sum = message.AddressPatternIsUInt32() ? message.AddressPatternAsUInt32()
                                                       : std::strlen(message.AddressPattern());
  sum += message.ArgumentCount();
  for (auto it = message.ArgumentsBegin(); it != message.ArgumentsEnd(); ++it) {
    switch (it->TypeTag()) {
      case 'T':
      case 'F':
        sum += it->AsBool();
        break;
      case 'N':
        sum += it->IsNil();
        break;
      case 'I':
        sum += it->IsInfinitum();
        break;
      case '[':
        sum += it->ComputeArrayItemCount();
        break;
      case ']':
        sum += it->IsArrayEnd();
        break;
      case 'i':
        sum += static_cast<std::uint32_t>(it->AsInt32());
        break;
      case 'f':
        sum += floatBits(it->AsFloat());
        break;
      case 'c':
        sum += static_cast<unsigned char>(it->AsChar());
        break;
      case 'r':
        sum += it->AsRgbaColor();
        break;
      case 'm':
        sum += it->AsMidiMessage();
        break;
      case 'h':
        sum += static_cast<std::uint64_t>(it->AsInt64());
        break;
      case 't':
        sum += it->AsTimeTag();
        break;
      case 'd':
        sum += doubleBits(it->AsDouble());
        break;
      case 's':
        sum += std::strlen(it->AsString());
        break;
      case 'S':
        sum += std::strlen(it->AsSymbol());
        break;
      case 'b': {
        const void* data = nullptr;
        osc::osc_bundle_element_size_t size = 0;
        it->AsBlob(data, size);
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (osc::osc_bundle_element_size_t i = 0; i < size; ++i) {
          sum += bytes[i];
        }
        break;
      }
      default:
        throw std::runtime_error("argument with unexpected type tag "s + it->TypeTag());
    }
  }
  return sum;
}

std::uint64_t walkBundle(const osc::ReceivedBundle& bundle) {
  std::uint64_t sum = bundle.TimeTag();
  for (auto it = bundle.ElementsBegin(); it != bundle.ElementsEnd(); ++it) {
    sum += it->IsBundle() ? walkBundle(osc::ReceivedBundle(*it))
                          : walkMessage(osc::ReceivedMessage(*it));
  }
  return sum;
}

// Converts every part of the packet with oscpack, reading every byte that a
// receiver could reach. Returns what oscpack threw, or "" when it threw
// nothing.
std::string oscpackFault(const HeapPacket& packet) {
  try {
    const osc::ReceivedPacket received(packet.data(), packet.size());
    volatile std::uint64_t sum = received.IsBundle() ? walkBundle(osc::ReceivedBundle(received))
                                                     : walkMessage(osc::ReceivedMessage(received));
    (void)sum;
    return "";
  } catch (const std::exception& e) {
    return std::string("oscpack threw: ") + e.what();
  } catch (...) {
    return "oscpack threw a non-standard exception";
  }
}

struct Case {
  std::string name;
  Bytes bytes;
};

struct BadCase {
  std::string name;
  Bytes bytes;
  const char* fault;  // part of the reason the validator should give
};

void expectWellFormed(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const HeapPacket packet(c.bytes);
    const char* fault = packetFault(packet.data(), packet.size());
    EXPECT_EQ(fault, nullptr) << faultText(fault);
    EXPECT_TRUE(isWellFormedPacket(packet.data(), packet.size()));
    EXPECT_EQ(oscpackFault(packet), "");
  }
}

void expectMalformed(const std::vector<BadCase>& cases) {
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const HeapPacket packet(c.bytes);
    EXPECT_FALSE(isWellFormedPacket(packet.data(), packet.size()));
    const std::string fault = faultText(packetFault(packet.data(), packet.size()));
    EXPECT_NE(fault.find(c.fault), std::string::npos)
        << "fault: " << fault << "\nexpected it to mention: " << c.fault;
  }
}

// --- Corpus ---------------------------------------------------------------

const Bytes simpleMessage = message("/a", ",i", {be32(1)});

std::vector<Case> wellFormedMessages() {
  return {
      {"address only, no type tags", padded("/a/b")},
      {"address filling one word exactly", padded("/ab")},
      {"comma only", message("/x", ",")},
      {"every tag with its data",
       message("/all", ",ifsbTFcdIhmNrtS",
               {be32(static_cast<std::uint32_t>(-5)), be32(floatBits(1.5f)), padded("hi"),
                blob({1, 2, 3}), be32('x'), be64(doubleBits(-2.25)),
                be64(static_cast<std::uint64_t>(-7)), be32(0x00903C7F), be32(0xFF8000FF),
                be64(0x0123456789ABCDEFull), padded("sym")})},
      {"nested arrays", message("/a", ",[[i]]", {be32(7)})},
      {"empty array", message("/a", ",[]")},
      {"arrays beside other arguments",
       message("/a", ",s[i[s]f]T", {padded("x"), be32(1), padded("yz"), be32(floatBits(2.0f))})},
      {"blob of 0 bytes then an int", message("/b", ",bi", {blob({}), be32(9)})},
      {"blob of 3 bytes then an int", message("/b", ",bi", {blob({1, 2, 3}), be32(9)})},
      {"blob of 4 bytes then an int", message("/b", ",bi", {blob({1, 2, 3, 4}), be32(9)})},
      {"blob of 5 bytes then an int", message("/b", ",bi", {blob({1, 2, 3, 4, 5}), be32(9)})},
      {"blob filling the message exactly",
       message("/b", ",b", {blob({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'})})},
      {"empty string arguments", message("/s", ",sSs", {padded(""), padded(""), padded("")})},
      {"string of 3 characters fills one word", message("/s", ",si", {padded("abc"), be32(1)})},
      {"SuperCollider integer address", join({raw("\0\0\0\x07"s), padded(",i"), be32(42)})},
      {"SuperCollider integer address alone", raw("\0\0\0\x07"s)},
  };
}

std::vector<Case> wellFormedBundles() {
  return {
      {"empty bundle", bundle({})},
      {"bundle holding messages",
       bundle({simpleMessage, message("/b", ",sf", {padded("hello"), be32(floatBits(0.5f))}),
               padded("/c")})},
      {"nested bundles", bundle({bundle({simpleMessage}), simpleMessage,
                                 bundle({bundle({}), message("/deep", ",b", {blob({9, 9})})})})},
      {"bundle holding only an empty bundle", bundle({bundle({})})},
      {"any time tag", bundle({simpleMessage}, 0xFFFFFFFFFFFFFFFFull)},
  };
}

// A bundle nested `depth` levels deep, counting itself, holding one message.
Bytes nestedBundles(int depth) {
  Bytes packet = bundle({simpleMessage});
  for (int level = 1; level < depth; ++level) {
    packet = join({bundleHeader(), be32(static_cast<std::uint32_t>(packet.size())), packet});
  }
  return packet;
}

// --- Tests ----------------------------------------------------------------

// --- One row per rule ------------------------------------------------------

constexpr auto* hex = &testsupport::charsOfHex;

struct RuleRow {
  PacketFault rule;
  const char* refused;   // breaks the rule and no other before it
  const char* accepted;  // the same mended
};

// "#bundle" and the time tag 1, in hex.
#define BUNDLE "2362756e 646c6500 00000000 00000001 "

const RuleRow RuleRows[] = {
    {PacketFault::EmptyPacket, "", "2f610000"},
    {PacketFault::PacketSizeNotMultipleOf4, "2f6100", "2f610000"},
    {PacketFault::EmptyMessage, BUNDLE "00000000", BUNDLE "00000004 2f610000"},
    {PacketFault::AddressNotTerminated, "2f616263 64656667", "2f616263 64656600"},
    // The pad byte 4f would have swallowed the type tags into the address.
    {PacketFault::AddressPaddingNotZero, "2f75004f 2c460000", "2f750000 2c460000"},
    {PacketFault::TypeTagsMissing, "2f610000 69000000 00000001", "2f610000 2c690000 00000001"},
    {PacketFault::TypeTagsNotTerminated, "2f610000 2c696969 69696969",
     "2f610000 2c696900 00000001 00000002"},
    {PacketFault::TypeTagsPaddingNotZero,
     "2f610000 2c696969 69007800 00000001 00000002 00000003 00000004",
     "2f610000 2c696969 69000000 00000001 00000002 00000003 00000004"},
    {PacketFault::UnknownTypeTag, "2f610000 2c710000 00000001", "2f610000 2c690000 00000001"},
    {PacketFault::WordArgumentPastEnd, "2f610000 2c690000", "2f610000 2c690000 00000001"},
    {PacketFault::TwoWordArgumentPastEnd, "2f610000 2c640000 00000000",
     "2f610000 2c640000 00000000 00000000"},
    {PacketFault::StringPastEnd, "2f610000 2c697300 00000001",
     "2f610000 2c697300 00000001 78000000"},
    {PacketFault::StringNotTerminated, "2f610000 2c730000 61626364", "2f610000 2c730000 61626300"},
    // Read up to its first NUL, the string is "ab" and the int32 after it
    // would have been the zeros that follow.
    {PacketFault::StringPaddingNotZero, "2f610000 2c736900 61620063 00000000 00000001",
     "2f610000 2c736900 61620000 00000001"},
    {PacketFault::BlobSizePastEnd, "2f610000 2c620000", "2f610000 2c620000 00000000"},
    {PacketFault::BlobSizeTooLarge, "2f610000 2c620000 80000000 61626364",
     "2f610000 2c620000 00000004 61626364"},
    {PacketFault::BlobDataPastEnd, "2f610000 2c620000 00000064 61626364",
     "2f610000 2c620000 00000004 61626364"},
    {PacketFault::BlobPaddingNotZero, "2f610000 2c620000 00000001 61ffffff",
     "2f610000 2c620000 00000001 61000000"},
    {PacketFault::ArrayClosedBeforeOpened, "2f610000 2c5d5b00", "2f610000 2c5b5d00"},
    {PacketFault::ArrayNotClosed, "2f610000 2c5b6900 00000001",
     "2f610000 2c5b695d 00000000 00000001"},
    {PacketFault::BytesAfterArguments, "2f610000 2c690000 00000001 deadbeef",
     "2f610000 2c690000 00000001"},
    // An element of 12 bytes whose message ends after 8.
    {PacketFault::BytesAfterArguments, BUNDLE "0000000c 2f610000 2c000000 00000000",
     BUNDLE "00000008 2f610000 2c000000"},
    {PacketFault::BundleTooShort, "2362756e 646c6500 00000000", BUNDLE},
    {PacketFault::BundleTagMissing, "2362756e 646c7800 00000000 00000001", BUNDLE},
    {PacketFault::ElementSizeNotMultipleOf4, BUNDLE "00000006 2f610000 00000000",
     BUNDLE "00000004 2f610000"},
    {PacketFault::ElementPastEnd, BUNDLE "00000008 2f610000", BUNDLE "00000004 2f610000"},
};

// What peers send that the rules must leave alone.
const char* const KeptByTheRules[] = {
    "00000000 2c690000 00000001",  // an empty address (Pure Data's oscformat)
    "00000007 2c690000 0000002a",  // SuperCollider's integer address
    "61626300 2c690000 00000001",  // an address without '/', sent as a script wrote it
    "2f610000",                    // no type tags at all
    "2f610000 2c000000",           // type tags and no argument
};

TEST(PacketValidation, EachRuleRefusesItsRowAndAcceptsItMended) {
  bool covered[PacketFaultCount] = {};
  for (const RuleRow& row : RuleRows) {
    SCOPED_TRACE(faultText(row.rule));
    const HeapPacket refused(hex(row.refused));
    EXPECT_EQ(faultText(findPacketFault(refused.data(), refused.size())), faultText(row.rule))
        << row.refused;
    const HeapPacket accepted(hex(row.accepted));
    EXPECT_EQ(faultText(findPacketFault(accepted.data(), accepted.size())), std::string())
        << row.accepted;
    EXPECT_EQ(oscpackFault(accepted), "");
    covered[static_cast<int>(row.rule)] = true;
  }
  // Rules whose datagrams are too large to write out have their own tests.
  covered[static_cast<int>(PacketFault::None)] = true;
  covered[static_cast<int>(PacketFault::PacketTooLarge)] = true;
  covered[static_cast<int>(PacketFault::BundlesTooDeep)] = true;
  for (int rule = 0; rule < PacketFaultCount; ++rule) {
    EXPECT_TRUE(covered[rule]) << "no row for " << faultText(static_cast<PacketFault>(rule));
  }
  for (const char* kept : KeptByTheRules) {
    const HeapPacket packet(hex(kept));
    EXPECT_EQ(packetFault(packet.data(), packet.size()), nullptr) << kept;
    EXPECT_EQ(oscpackFault(packet), "") << kept;
  }
}

TEST(PacketValidation, AcceptsWellFormedMessages) { expectWellFormed(wellFormedMessages()); }

TEST(PacketValidation, AcceptsWellFormedBundles) { expectWellFormed(wellFormedBundles()); }

TEST(PacketValidation, RejectsBadPacketSizes) {
  expectMalformed({
      {"size 0", {}, "empty packet"},
      {"size 3", raw("/ab"), "multiple of 4"},
      {"size 5", join({padded("/a"), raw("x")}), "multiple of 4"},
      {"bundle of size 18", join({bundle({}), raw("xy")}), "multiple of 4"},
  });

  // Refused on its size alone, before any byte is read.
  const HeapPacket small(padded("/a"));
  EXPECT_EQ(faultText(packetFault(small.data(), 0x80000000u)), "packet too large");
}

TEST(PacketValidation, RejectsMalformedAddressesAndTypeTags) {
  expectMalformed({
      {"address without NUL", raw("/abcdefg"), "address pattern not terminated"},
      {"bytes after the NUL that ends the address", raw("/abc\0xyz"s),
       "address pattern padding not zero"},
      {"NUL inside a word ends the address",
       join({raw("/a\0b"s), raw("cd\0\0"s), padded(",i"), be32(1)}),
       "address pattern padding not zero"},
      {"bytes left after the last argument", message("/x", ",i", {be32(1), be32(0xDEADBEEF)}),
       "bytes after the last argument"},
      {"address only but for bytes after the tags", message("/x", ",", {be32(5)}),
       "bytes after the last argument"},
      {"type tags without comma", join({padded("/a"), padded("if"), be32(1), be32(2)}),
       "type tags missing"},
      {"type tags without NUL", join({padded("/a"), raw(",iiiiiii")}), "type tags not terminated"},
      {"unknown type tag", message("/a", ",iq", {be32(1), be32(2)}), "unknown type tag"},
      {"comma as a type tag", message("/a", ",i,", {be32(1)}), "unknown type tag"},
  });
}

TEST(PacketValidation, RejectsArgumentDataPastTheEnd) {
  std::vector<BadCase> cases;
  // Each tag that carries data, given one word less than it needs.
  static const std::string tags[] = {"i", "f", "c", "r", "m", "h", "t", "d"};
  for (const std::string& tag : tags) {
    const bool eightBytes = tag == "h" || tag == "t" || tag == "d";
    cases.push_back({"too little data for " + tag,
                     eightBytes ? message("/a", "," + tag, {be32(0)}) : message("/a", "," + tag),
                     eightBytes ? "8-byte argument past end" : "4-byte argument past end"});
  }
  expectMalformed(cases);

  expectMalformed({
      {"second int missing", message("/a", ",ii", {be32(1)}), "4-byte argument past end"},
      {"string without NUL", message("/a", ",s", {raw("abcd")}), "string argument not terminated"},
      {"symbol without NUL", message("/a", ",S", {raw("abcdefgh")}),
       "string argument not terminated"},
      {"bytes after the NUL that ends a string", message("/a", ",s", {raw("ab\0c"s)}),
       "string argument padding not zero"},
      {"string starting exactly at the end", message("/a", ",is", {be32(1)}),
       "string argument past end"},
  });
}

TEST(PacketValidation, RejectsBlobsThatDoNotFit) {
  expectMalformed({
      {"size slot past the end", message("/a", ",b"), "blob size past end"},
      {"size slot past the end after an int", message("/a", ",ib", {be32(1)}),
       "blob size past end"},
      {"declared 100 bytes, 4 present", message("/a", ",b", {be32(100), raw("abcd")}),
       "blob data past end"},
      {"declared 5 bytes, padding missing", message("/a", ",b", {be32(5), raw("abcd")}),
       "blob data past end"},
      {"declared the largest legal size", message("/a", ",b", {be32(0x7FFFFFFC), raw("abcd")}),
       "blob data past end"},
      {"declared 0x7FFFFFFD", message("/a", ",b", {be32(0x7FFFFFFD), raw("abcd")}),
       "blob size too large"},
      {"declared 0x80000000", message("/a", ",b", {be32(0x80000000), raw("abcd")}),
       "blob size too large"},
      {"declared 0xFFFFFFFF", message("/a", ",b", {be32(0xFFFFFFFF), raw("abcd")}),
       "blob size too large"},
      {"second blob past the end", message("/a", ",bb", {blob({1}), be32(8), raw("abcd")}),
       "blob data past end"},
  });
}

TEST(PacketValidation, RejectsArrayBracketsOutOfOrder) {
  expectMalformed({
      {"close before open", message("/a", ",]["), "closed before it was opened"},
      {"close alone", message("/a", ",]"), "closed before it was opened"},
      {"one close too many", message("/a", ",[i]]", {be32(1)}), "closed before it was opened"},
      {"open never closed", message("/a", ",[i", {be32(1)}), "array not closed"},
      {"inner closed, outer not", message("/a", ",[[]"), "array not closed"},
  });
}

TEST(PacketValidation, RejectsMalformedBundles) {
  expectMalformed({
      {"bundle of 12 bytes", join({padded("#bundle"), be32(0)}), "shorter than 16"},
      {"# alone", raw("#\0\0\0"s), "shorter than 16"},
      {"misspelt #bundle", join({raw("#bundlx\0"s), be64(1)}), "#bundle"},
      {"#bundle without its NUL", join({raw("#bundles"), be64(1)}), "#bundle"},
      {"message whose address starts with #", message("#foo", ",i", {be32(1), be32(2)}), "#bundle"},
      {"element size not a multiple of 4", join({bundleHeader(), be32(6), raw("/a\0\0xyzw"s)}),
       "element size not a multiple of 4"},
      {"bundle element size not a multiple of 4",
       join({bundleHeader(), be32(18), bundleHeader(), raw("xyzw")}),
       "element size not a multiple of 4"},
      {"element size past the end", join({bundleHeader(), be32(8), padded("/a")}),
       "past end of bundle"},
      {"element size 0xFFFFFFFC", join({bundleHeader(), be32(0xFFFFFFFC), padded("/a")}),
       "past end of bundle"},
      {"element size 0x80000000", join({bundleHeader(), be32(0x80000000), padded("/a")}),
       "past end of bundle"},
      {"zero-size element", join({bundleHeader(), be32(0)}), "empty message"},
      {"zero-size element between good ones", bundle({simpleMessage, {}, simpleMessage}),
       "empty message"},
      {"element bundle shorter than 16", join({bundleHeader(), be32(4), raw("#abc")}),
       "shorter than 16"},
      {"malformed message in the element", bundle({simpleMessage, message("/a", ",i")}),
       "4-byte argument past end"},
  });
}

TEST(PacketValidation, FindsFaultsInsideNestedBundles) {
  const Bytes good = message("/ok", ",s", {padded("fine")});
  const Bytes bad = message("/bad", ",ib", {be32(1), be32(64), raw("abcd")});
  // The inner bundle claims an element that runs past its own end, though the
  // enclosing bundle has bytes enough to hold it.
  const Bytes overrunningInner = join({bundleHeader(), be32(12), padded("/a")});
  expectMalformed({
      {"bad message two bundles down",
       bundle({good, bundle({good, bundle({good, bad, good}), good}), good}), "blob data past end"},
      {"bad message last in the deepest bundle", bundle({bundle({good, bundle({good, bad})})}),
       "blob data past end"},
      {"element overrunning its own bundle",
       join({bundleHeader(), be32(static_cast<std::uint32_t>(overrunningInner.size())),
             overrunningInner, be32(8), padded("/z"), padded("/y")}),
       "past end of bundle"},
  });
}

TEST(PacketValidation, LimitsBundleNesting) {
  expectWellFormed({{"nested as deep as allowed", nestedBundles(PacketMaxBundleDepth)}});
  expectMalformed(
      {{"nested one level too deep", nestedBundles(PacketMaxBundleDepth + 1), "nested too deep"}});
}

// Bytes and words that steer oscpack's parser into its corner cases.
const char interestingBytes[] = {'\0', '#', ',', '[', ']', 's',    'S',
                                 'b',  'i', 'd', 'h', 'T', '\x7F', '\xFF'};
const std::uint32_t interestingWords[] = {
    0, 1, 4, 8, 12, 16, 100, 0x7FFFFFFC, 0x7FFFFFFD, 0x80000000, 0xFFFFFFFC, 0xFFFFFFFF};

Bytes mutate(Bytes packet, std::mt19937& random) {
  const int changes = std::uniform_int_distribution<int>(1, 3)(random);
  for (int change = 0; change < changes; ++change) {
    if (packet.empty()) {
      packet = padded("/a");
    }
    std::uniform_int_distribution<std::size_t> anyByte(0, packet.size() - 1);
    std::uniform_int_distribution<std::size_t> anyWord(0, packet.size() / 4 - 1);
    switch (std::uniform_int_distribution<int>(0, 5)(random)) {
      case 0:
        packet[anyByte(random)] = static_cast<char>(random());
        break;
      case 1:
        packet[anyByte(random)] = interestingBytes[std::uniform_int_distribution<std::size_t>(
            0, sizeof interestingBytes - 1)(random)];
        break;
      case 2: {
        const std::uint32_t value = interestingWords[std::uniform_int_distribution<std::size_t>(
            0, sizeof interestingWords / sizeof interestingWords[0] - 1)(random)];
        const Bytes word = be32(value);
        std::copy(word.begin(), word.end(), packet.begin() + 4 * anyWord(random));
        break;
      }
      case 3:
        packet.resize(packet.size() - 4);
        break;
      case 4: {
        const Bytes word = be32(static_cast<std::uint32_t>(random()));
        packet.insert(packet.begin() + 4 * anyWord(random), word.begin(), word.end());
        break;
      }
      default:
        packet.insert(packet.end(), 4, '\0');
        break;
    }
  }
  return packet;
}

TEST(PacketValidation, OscpackConvertsEveryAcceptedMutationWithoutFault) {
  std::vector<Case> seeds = wellFormedMessages();
  for (Case& c : wellFormedBundles()) {
    seeds.push_back(std::move(c));
  }
  std::mt19937 random(20240611);
  int accepted = 0;
  int rejected = 0;
  for (int round = 0; round < 3000; ++round) {
    const Case& seed = seeds[round % seeds.size()];
    const Bytes bytes = mutate(seed.bytes, random);
    const HeapPacket packet(bytes);
    if (!isWellFormedPacket(packet.data(), packet.size())) {
      ++rejected;
      continue;
    }
    ++accepted;
    const std::string fault = oscpackFault(packet);
    EXPECT_EQ(fault, "") << "mutant " << round << " of \"" << seed.name << "\"";
  }
  std::cout << "mutants accepted: " << accepted << ", rejected: " << rejected << "\n";
  // Without accepted mutants the loop above would check nothing.
  EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace zephyx::receive
