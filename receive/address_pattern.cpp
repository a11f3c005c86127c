#include "receive/address_pattern.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace zephyx::receive {

namespace {

// Parts that have up to this many nodes are matched in stack storage; parts
// of routes are far shorter than that.
constexpr std::size_t InlineNodes = 128;

constexpr std::string_view Wildcards = "?*[]{}";

unsigned char byteAt(const std::string& text, std::size_t at) {
  return static_cast<unsigned char>(text[at]);
}

std::uint16_t index16(std::size_t index) { return static_cast<std::uint16_t>(index); }

void addRange(std::array<std::uint64_t, 4>& set, unsigned low, unsigned high) {
  for (unsigned b = low; b <= high; ++b) set[b >> 6] |= std::uint64_t{1} << (b & 63);
}

bool contains(const std::array<std::uint64_t, 4>& set, unsigned char b) {
  return ((set[b >> 6] >> (b & 63)) & 1) != 0;
}

}  // namespace

// The active nodes of the step being read and of the one being built, and
// which nodes the one being built already holds (one bit per node of the
// part), so that each node is entered at most once per step.
struct AddressPattern::Scratch {
  struct Step {
    std::uint16_t* nodes;
    std::size_t count;
    std::size_t lastStar;  // the highest star among the nodes, or 0
  };
  Step* current;
  Step* next;
  std::uint64_t* marks;
  std::size_t markWords;
  std::size_t base;

  // False when `node` was already marked.
  bool mark(std::size_t node) {
    const std::size_t bit = node - base;
    const std::uint64_t mask = std::uint64_t{1} << (bit & 63);
    if ((marks[bit >> 6] & mask) != 0) return false;
    marks[bit >> 6] |= mask;
    return true;
  }
  bool marked(std::size_t node) const {
    const std::size_t bit = node - base;
    return ((marks[bit >> 6] >> (bit & 63)) & 1) != 0;
  }
  void startStep() {
    marks[0] = 0;
    for (std::size_t word = 1; word < markWords; ++word) marks[word] = 0;
    next->count = 0;
    next->lastStar = 0;
  }
  void push(std::uint16_t node) { next->nodes[next->count++] = node; }
};

std::optional<AddressPattern> AddressPattern::compile(std::string_view pattern) {
  if (pattern.empty() || pattern.size() > AddressPatternMaxLength || pattern[0] != '/') {
    return std::nullopt;
  }
  AddressPattern compiled(pattern);
  if (!compiled.parse()) return std::nullopt;
  return compiled;
}

// Parts without wildcards join the plain stretch around them. A '/' inside
// a set or a list splits it into two parts, each of which is then refused
// as unclosed or unopened.
bool AddressPattern::parse() {
  std::size_t plainFrom = 0;
  for (std::size_t at = 0; at < text_.size();) {
    const std::size_t begin = at + 1;
    const std::size_t end = std::min(text_.find('/', begin), text_.size());
    at = end;
    const std::string_view part = std::string_view(text_).substr(begin, end - begin);
    if (part.find_first_of(Wildcards) == std::string_view::npos) continue;
    segments_.push_back({SegmentKind::Plain, index16(plainFrom), index16(begin)});
    plainFrom = end;
    if (part.find_first_not_of('*') == std::string_view::npos) {
      segments_.push_back({SegmentKind::AnyPart, 0, 0});
      continue;
    }
    const std::size_t first = nodes_.size();
    if (!parsePart(begin, end)) return false;
    nodes_.push_back({Kind::Accept, 0, 0});
    segments_.push_back({SegmentKind::Automaton, index16(first), index16(nodes_.size() - 1)});
  }
  if (plainFrom < text_.size()) {
    segments_.push_back({SegmentKind::Plain, index16(plainFrom), index16(text_.size())});
  }
  return true;
}

// One node per plain byte, '?', run of '*', set, '{' and ',' after a
// nonempty alternative, plus one per part for its end, so node indices of a
// pattern of AddressPatternMaxLength bytes fit in 16 bits.
bool AddressPattern::parsePart(std::size_t at, std::size_t end) {
  while (at < end) {
    const unsigned char c = byteAt(text_, at);
    if (c == '[') {
      if (!parseSet(at, end)) return false;
    } else if (c == '{') {
      if (!parseGroup(at, end)) return false;
    } else if (c == ']' || c == '}') {
      return false;
    } else {
      if (c == '?') {
        nodes_.push_back({Kind::Any, 0, 0});
      } else if (c == '*') {
        // "**" matches what "*" does; folding the run keeps a pattern of
        // many stars from making every step enter each of them.
        if (nodes_.empty() || nodes_.back().kind != Kind::Star) {
          nodes_.push_back({Kind::Star, 0, 0});
        }
      } else {
        nodes_.push_back({Kind::Byte, c, 0});
      }
      ++at;
    }
  }
  return true;
}

// `at` is on the '['. The first ']' closes the set, a '!' right after the
// '[' negates it, and a '-' between two members makes a range; any other
// byte is a member.
bool AddressPattern::parseSet(std::size_t& at, std::size_t end) {
  std::size_t i = at + 1;
  const bool negated = i < end && text_[i] == '!';
  if (negated) ++i;
  const std::size_t first = i;
  ByteSet set{};
  while (i < end && text_[i] != ']') {
    const unsigned low = byteAt(text_, i);
    if (i + 2 < end && text_[i + 1] == '-' && text_[i + 2] != ']') {
      const unsigned high = byteAt(text_, i + 2);
      if (high < low) return false;
      addRange(set, low, high);
      i += 3;
    } else {
      addRange(set, low, low);
      ++i;
    }
  }
  if (i == end || i == first) return false;
  if (negated) {
    for (std::uint64_t& word : set) word = ~word;
  }
  sets_.push_back(set);
  nodes_.push_back({Kind::Set, 0, index16(sets_.size() - 1)});
  at = i + 1;
  return true;
}

// `at` is on the '{'. The alternatives are laid out one after another, each
// nonempty one but the last ending in a jump past the group; the split
// names where each starts and whether one is empty.
bool AddressPattern::parseGroup(std::size_t& at, std::size_t end) {
  const std::size_t split = nodes_.size();
  nodes_.push_back({Kind::Split, 0, index16(groups_.size())});
  Group group{index16(starts_.size()), 0, 0, false};
  bool empty = true;  // the alternative being read has no byte yet
  for (std::size_t i = at + 1; i < end; ++i) {
    const unsigned char c = byteAt(text_, i);
    if (c == '{' || c == '[') return false;
    if (c != ',' && c != '}') {
      if (empty) starts_.push_back(index16(nodes_.size()));
      empty = false;
      nodes_.push_back({Kind::Byte, c, 0});
      continue;
    }
    if (empty) {
      group.hasEmpty = true;
    } else if (c == ',') {
      nodes_.push_back({Kind::Jump, 0, 0});
    }
    empty = true;
    if (c == '}') {
      group.last = index16(starts_.size());
      group.after = index16(nodes_.size());
      for (std::size_t n = split + 1; n < nodes_.size(); ++n) {
        if (nodes_[n].kind == Kind::Jump) nodes_[n].arg = group.after;
      }
      groups_.push_back(group);
      at = i + 1;
      return true;
    }
  }
  return false;
}

bool AddressPattern::matches(std::string_view address) const {
  std::size_t at = 0;
  for (const Segment& segment : segments_) {
    if (segment.kind == SegmentKind::Plain) {
      const std::size_t length = std::size_t{segment.last} - segment.first;
      if (address.size() - at < length ||
          std::memcmp(address.data() + at, text_.data() + segment.first, length) != 0) {
        return false;
      }
      at += length;
      continue;
    }
    // A plain stretch ending in '/' comes first, so `at` starts a part.
    const std::size_t end = std::min(address.find('/', at), address.size());
    if (segment.kind == SegmentKind::Automaton &&
        !matchesPart(segment, address.substr(at, end - at))) {
      return false;
    }
    at = end;
  }
  return at == address.size();
}

bool AddressPattern::matchesPart(const Segment& part, std::string_view piece) const {
  const std::size_t reach = std::size_t{part.last} - part.first + 1;
  const std::size_t words = (reach + 63) / 64;
  // Scratch on the stack, or per call for long parts: no shared state, so any thread may match.
  if (reach <= InlineNodes) {
    std::uint16_t lists[2][InlineNodes];
    std::uint64_t marks[InlineNodes / 64];
    Scratch::Step steps[2] = {{lists[0], 0, 0}, {lists[1], 0, 0}};
    Scratch scratch{&steps[0], &steps[1], marks, words, part.first};
    return run(part, piece, scratch);
  }
  std::vector<std::uint16_t> lists(2 * reach);
  std::vector<std::uint64_t> marks(words);
  Scratch::Step steps[2] = {{lists.data(), 0, 0}, {lists.data() + reach, 0, 0}};
  Scratch scratch{&steps[0], &steps[1], marks.data(), words, part.first};
  return run(part, piece, scratch);
}

// One step per byte: every active node that takes the byte enters its
// successor into the next step. No node is entered twice in a step, so a
// step costs at most the part's node count.
//
// Active nodes below the highest active star are skipped: every path from
// one of them runs through that star, which can take whatever the path takes
// on the way and go on from there, so they add no match. That keeps runs of
// stars such as "*a*a*a" linear.
bool AddressPattern::run(const Segment& part, std::string_view piece, Scratch& scratch) const {
  scratch.startStep();
  enter(part.first, scratch);
  std::swap(scratch.current, scratch.next);
  for (const char c : piece) {
    const Scratch::Step& current = *scratch.current;
    if (current.count == 0) return false;
    const auto b = static_cast<unsigned char>(c);
    scratch.startStep();
    for (std::size_t i = 0; i < current.count; ++i) {
      const std::uint16_t active = current.nodes[i];
      if (active < current.lastStar) continue;
      const Node& node = nodes_[active];
      switch (node.kind) {
        case Kind::Byte:
          if (b == node.byte) enter(index16(active + 1u), scratch);
          break;
        case Kind::Any:
          enter(index16(active + 1u), scratch);
          break;
        case Kind::Set:
          if (contains(sets_[node.arg], b)) enter(index16(active + 1u), scratch);
          break;
        case Kind::Star:
          enter(active, scratch);
          break;
        case Kind::Split:
        case Kind::Jump:
        case Kind::Accept:
          break;
      }
    }
    std::swap(scratch.current, scratch.next);
  }
  return scratch.marked(part.last);
}

// Marks `node` and every node reachable from it without taking a byte, and
// lists those that take one in the step being built. Only a split branches,
// and its branches all start with a plain byte, so following the one path on
// needs no stack.
void AddressPattern::enter(std::uint16_t node, Scratch& scratch) const {
  while (scratch.mark(node)) {
    const Node& entered = nodes_[node];
    switch (entered.kind) {
      case Kind::Byte:
      case Kind::Any:
      case Kind::Set:
        scratch.push(node);
        return;
      case Kind::Accept:
        return;
      case Kind::Star:
        scratch.push(node);
        scratch.next->lastStar = std::max<std::size_t>(scratch.next->lastStar, node);
        ++node;
        break;
      case Kind::Jump:
        node = entered.arg;
        break;
      case Kind::Split: {
        const Group& group = groups_[entered.arg];
        for (std::uint16_t k = group.first; k < group.last; ++k) {
          if (scratch.mark(starts_[k])) scratch.push(starts_[k]);
        }
        if (!group.hasEmpty) return;
        node = group.after;
        break;
      }
    }
  }
}

}  // namespace zephyx::receive
