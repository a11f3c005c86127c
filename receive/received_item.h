// One item waiting for delivery: a converted message or a bundle marker.
#pragma once

#include "host/host_values.h"

// Holds one reference on each of its two values and gives both back when
// it is destroyed, on whichever thread that happens.
struct ReceivedItem {
  ReceivedItem(IHostValues* valueServices, HostValue itemHead, HostValue itemBody)
      : head(itemHead), body(itemBody), values(valueServices) {}
  ReceivedItem(const ReceivedItem&) = delete;
  ReceivedItem& operator=(const ReceivedItem&) = delete;
  ~ReceivedItem() {
    values->releaseValue(&head);
    values->releaseValue(&body);
  }

  // For a message, the address as a string; for a bundle marker, a symbol.
  HostValue head;
  // For a message, its arguments as a list or property list; for a marker,
  // an integer.
  HostValue body;
  IHostValues* values;
};
