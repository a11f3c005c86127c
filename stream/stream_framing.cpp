#include "stream/stream_framing.h"

#include <algorithm>
#include <cstring>

namespace zephyx::stream {
namespace {

constexpr char SlipEnd = static_cast<char>(0xC0);
constexpr char SlipEsc = static_cast<char>(0xDB);
constexpr char SlipEscEnd = static_cast<char>(0xDC);
constexpr char SlipEscEsc = static_cast<char>(0xDD);

bool isSlipSpecial(char byte) { return byte == SlipEnd || byte == SlipEsc; }

size_t distance(const char* from, const char* to) { return static_cast<size_t>(to - from); }

}  // namespace

bool appendFrame(Framing framing, const char* packet, size_t size, std::vector<char>& out) {
  if (size > MaxFrameSize) return false;
  const char* const end = packet + size;
  if (framing == Framing::Length) {
    const auto value = static_cast<uint32_t>(size);
    const char prefix[LengthPrefixSize] = {static_cast<char>(value >> 24),
                                           static_cast<char>(value >> 16),
                                           static_cast<char>(value >> 8), static_cast<char>(value)};
    out.insert(out.end(), prefix, prefix + LengthPrefixSize);
    out.insert(out.end(), packet, end);
    return true;
  }
  // Runs of plain bytes go in whole; only END and ESC are written byte by byte.
  out.push_back(SlipEnd);
  const char* run = packet;
  for (const char* p = packet; p < end; ++p) {
    if (!isSlipSpecial(*p)) continue;
    out.insert(out.end(), run, p);
    out.push_back(SlipEsc);
    out.push_back(*p == SlipEnd ? SlipEscEnd : SlipEscEsc);
    run = p + 1;
  }
  out.insert(out.end(), run, end);
  out.push_back(SlipEnd);
  return true;
}

bool FrameReader::feed(const char* data, size_t size, FrameSink& sink) {
  if (failed_) return false;
  return framing_ == Framing::Length ? feedLength(data, size, sink) : feedSlip(data, size, sink);
}

void FrameReader::reset() {
  clearFrame();
  failed_ = false;
  damagedFrames_ = 0;
}

void FrameReader::clearFrame() {
  buffer_.clear();
  prefixHeld_ = 0;
  frameSize_ = 0;
  escaped_ = false;
  dropping_ = false;
  droppedLength_ = 0;
}

bool FrameReader::fail() {
  clearFrame();
  failed_ = true;
  return false;
}

void FrameReader::hold(const char* data, size_t size) {
  const size_t needed = buffer_.size() + size;
  // Grows by doubling as a vector would, but never past the largest frame.
  if (needed > buffer_.capacity()) {
    buffer_.reserve(std::min(std::max(needed, 2 * buffer_.capacity()), MaxFrameSize));
  }
  buffer_.insert(buffer_.end(), data, data + size);
}

bool FrameReader::feedLength(const char* data, size_t size, FrameSink& sink) {
  const char* p = data;
  const char* const end = data + size;
  while (p < end) {
    if (prefixHeld_ < LengthPrefixSize) {
      const size_t take = std::min(LengthPrefixSize - prefixHeld_, distance(p, end));
      std::memcpy(prefix_ + prefixHeld_, p, take);
      prefixHeld_ += take;
      p += take;
      if (prefixHeld_ < LengthPrefixSize) break;
      const uint32_t announced = uint32_t{prefix_[0]} << 24 | uint32_t{prefix_[1]} << 16 |
                                 uint32_t{prefix_[2]} << 8 | uint32_t{prefix_[3]};
      // A negative int32 reads as more than 0x7FFFFFFF here, so it is refused too.
      if (announced > MaxFrameSize) return fail();
      frameSize_ = announced;
      if (frameSize_ == 0) {
        prefixHeld_ = 0;
        continue;
      }
      if (distance(p, end) >= frameSize_) {
        sink.frame(p, frameSize_);
        p += frameSize_;
        prefixHeld_ = 0;
        continue;
      }
    }
    const size_t take = std::min(frameSize_ - buffer_.size(), distance(p, end));
    hold(p, take);
    p += take;
    if (buffer_.size() == frameSize_) {
      sink.frame(buffer_.data(), buffer_.size());
      buffer_.clear();
      prefixHeld_ = 0;
    }
  }
  return true;
}

bool FrameReader::feedSlip(const char* data, size_t size, FrameSink& sink) {
  const char* p = data;
  const char* const end = data + size;
  while (p < end) {
    if (dropping_) {
      const auto* stop = static_cast<const char*>(std::memchr(p, SlipEnd, distance(p, end)));
      const size_t dropped = distance(p, stop ? stop : end);
      if (dropped > MaxFrameSize - droppedLength_) return fail();
      droppedLength_ += dropped;
      if (stop == nullptr) break;
      p = stop + 1;
      dropping_ = false;
      droppedLength_ = 0;
      continue;
    }
    if (escaped_) {
      escaped_ = false;
      if (*p == SlipEscEnd || *p == SlipEscEsc) {
        if (buffer_.size() == MaxFrameSize) return fail();
        const char byte = *p == SlipEscEnd ? SlipEnd : SlipEsc;
        hold(&byte, 1);
        ++p;
        continue;
      }
      // The rest of the frame is dropped from this byte on, which may be
      // the END that closes it.
      ++damagedFrames_;
      dropping_ = true;
      droppedLength_ = buffer_.size();
      buffer_.clear();
      continue;
    }
    const char* const run = p;
    while (p < end && !isSlipSpecial(*p)) ++p;
    const size_t runSize = distance(run, p);
    if (runSize > MaxFrameSize - buffer_.size()) return fail();
    if (p < end && *p == SlipEnd && buffer_.empty()) {
      // The whole frame lies in this piece and needs no unescaping.
      if (runSize > 0) sink.frame(run, runSize);
      ++p;
      continue;
    }
    hold(run, runSize);
    if (p == end) break;
    if (*p == SlipEnd) {
      sink.frame(buffer_.data(), buffer_.size());
      buffer_.clear();
    } else {
      escaped_ = true;
    }
    ++p;
  }
  return true;
}

}  // namespace zephyx::stream
