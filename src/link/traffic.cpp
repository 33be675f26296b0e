#include "link/traffic.h"

namespace lorvane {

Traffic& Traffic::instance() {
  static Traffic traffic;
  return traffic;
}

void Traffic::record(TrafficEvent event) {
  switch (event.outcome) {
    case Outcome::Resent: ++counters_.resends; [[fallthrough]];
    case Outcome::Sent: ++counters_.requests; break;
    case Outcome::Answered:
    case Outcome::Refused: ++counters_.replies; break;
    case Outcome::TimedOut: ++counters_.timeouts; break;
    case Outcome::Late:
    case Outcome::LateTaken:
    case Outcome::Stray: ++counters_.late; break;
    case Outcome::Unmatched:
    case Outcome::OutOfStep:
    case Outcome::Malformed: ++counters_.malformed; break;
  }
  if (event.replyTimeoutMs > 0) replyTimeoutMs_ = event.replyTimeoutMs;
  history_.push_back(event);
  if (history_.size() > kHistory) history_.pop_front();
  emit recorded(history_.back());
}

}  // namespace lorvane
