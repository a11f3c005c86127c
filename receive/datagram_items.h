// The items of one received datagram, while they are being made.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

#include "receive/received_item.h"

namespace zephyx::receive {

// Holds the items of one datagram in the order they are queued, one
// reference on each of their values, until they are handed over whole; what
// it still holds when it goes is given back. A datagram of a few items
// allocates nothing here. One thread at a time.
class DatagramItems {
 public:
  // `values` gives back what is not handed over; every item is stamped
  // with `sender`.
  DatagramItems(IHostValues* values, const Sender& sender)
      : values_(values), sender_(sender), items_(inPlace()) {}
  ~DatagramItems() {
    if (size_ != 0) giveBack();
  }
  DatagramItems(const DatagramItems&) = delete;
  DatagramItems& operator=(const DatagramItems&) = delete;

  // Takes over the references of `head` and `body`. When there is no room
  // for them, gives them back and throws std::bad_alloc.
  void add(const HostValue& head, const HostValue& body);

  size_t size() const { return size_; }
  // The items, for whoever takes them over: entries [0, size()).
  ItemValues* items() { return items_; }
  // Forgets every item without giving it back: their references now belong
  // to whoever took them.
  void handedOver() {
    size_ = 0;
    items_ = inPlace();
  }
  // Gives back every item held, leaving none.
  void giveBack();

 private:
  // A message, and a bundle of up to 62 messages with its markers, fit in
  // place: a kilobyte and a half of the receiving thread's stack.
  static constexpr size_t InPlace = 64;

  // Left unwritten until used: a datagram pays only for its own items.
  ItemValues* inPlace() { return std::launder(reinterpret_cast<ItemValues*>(inPlace_)); }

  IHostValues* values_;
  Sender sender_;
  size_t size_ = 0;
  // inPlace_, or more_'s storage once the items have moved there.
  ItemValues* items_;
  alignas(ItemValues) unsigned char inPlace_[InPlace * sizeof(ItemValues)];
  // Every item once there are more than InPlace; what it holds after a
  // hand-over is overwritten when it is next needed.
  std::vector<ItemValues> more_;
};

}  // namespace zephyx::receive
