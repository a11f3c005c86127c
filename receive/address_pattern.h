// An OSC address pattern, compiled once when a route is added and matched
// against every received address on the host thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zephyx::receive {

// The longest pattern compile() takes: no received address can be longer,
// since a datagram is at most this many bytes.
constexpr std::size_t AddressPatternMaxLength = 4096;

// A pattern is compiled into stretches of plain bytes, slashes included,
// which are compared as they are, and parts holding wildcards. Since no
// wildcard, set or alternative matches '/', each such part takes exactly the
// address's bytes up to its next '/'; a part of stars alone takes any, and
// any other is matched by simulating it as a small automaton, one step per
// byte. That costs at most the address part's length times the pattern
// part's, whatever the pattern holds, and close to linear for runs of stars;
// it never recurses.
class AddressPattern {
 public:
  // Nothing for a malformed pattern: empty, longer than
  // AddressPatternMaxLength, not starting with '/', a '[' or '{' left open, a
  // ']' or '}' with no opener, an empty set ("[]", "[!]"), a range whose ends
  // are reversed, a '/' in a set or a list of alternatives, or a '{' or '['
  // in a list of alternatives.
  static std::optional<AddressPattern> compile(std::string_view pattern);

  // True when `address`, every byte of which stands for itself, matches.
  // Allocates nothing unless a part of the pattern is long. Keeps no state
  // between calls, so any number of threads may match against one pattern
  // at once.
  bool matches(std::string_view address) const;

  // The pattern as given to compile().
  const std::string& text() const { return text_; }

 private:
  enum class SegmentKind : std::uint8_t {
    Plain,      // text_[first, last), compared as it is
    AnyPart,    // a part of stars alone
    Automaton,  // a part whose nodes are nodes_[first, last], last its Accept
  };
  struct Segment {
    SegmentKind kind;
    std::uint16_t first;
    std::uint16_t last;
  };
  enum class Kind : std::uint8_t {
    Byte,    // one given byte
    Any,     // '?': any one byte
    Set,     // '[...]': any byte of sets_[arg]
    Star,    // '*': any run of bytes, then the next node
    Split,   // '{': the first byte of each alternative of groups_[arg]
    Jump,    // end of an alternative: on to node arg
    Accept,  // the end of the part
  };
  struct Node {
    Kind kind;
    std::uint8_t byte;
    std::uint16_t arg;
  };
  // A list of alternatives: its nonempty ones start at starts_[first, last);
  // `after` is the node after the closing '}'.
  struct Group {
    std::uint16_t first;
    std::uint16_t last;
    std::uint16_t after;
    bool hasEmpty;
  };
  using ByteSet = std::array<std::uint64_t, 4>;
  struct Scratch;

  explicit AddressPattern(std::string_view pattern) : text_(pattern) {}
  bool parse();
  bool parsePart(std::size_t at, std::size_t end);
  bool parseSet(std::size_t& at, std::size_t end);
  bool parseGroup(std::size_t& at, std::size_t end);
  bool matchesPart(const Segment& part, std::string_view piece) const;
  bool run(const Segment& part, std::string_view piece, Scratch& scratch) const;
  void enter(std::uint16_t node, Scratch& scratch) const;

  std::string text_;
  std::vector<Segment> segments_;
  std::vector<Node> nodes_;
  std::vector<ByteSet> sets_;
  std::vector<Group> groups_;
  std::vector<std::uint16_t> starts_;
};

}  // namespace zephyx::receive
