#include "receive/datagram_items.h"

namespace zephyx::receive {

void DatagramItems::add(const HostValue& head, const HostValue& body) {
  const ItemValues item{head, body, sender_};
  if (size_ < InPlace) {
    new (items_ + size_) ItemValues(item);
    ++size_;
    return;
  }
  try {
    if (size_ == InPlace) more_.assign(inPlace(), inPlace() + InPlace);
    more_.push_back(item);
    items_ = more_.data();
  } catch (...) {
    values_->releaseValue(&item.head);
    values_->releaseValue(&item.body);
    throw;
  }
  ++size_;
}

void DatagramItems::giveBack() {
  ItemValues* held = items();
  for (size_t i = 0; i < size_; ++i) {
    values_->releaseValue(&held[i].head);
    values_->releaseValue(&held[i].body);
  }
  handedOver();
}

}  // namespace zephyx::receive
