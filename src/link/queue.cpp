#include "link/queue.h"

#include <algorithm>

namespace lorvane {

bool Job::mustReach() const {
  if (kind == JobKind::Stop || isOff()) return true;
  const Planned* p = current();
  return p && p->mustReach;
}

void CommandQueue::add(Job job, std::int64_t now) {
  job.queuedAt = now;
  if (job.kind == JobKind::Sequence) {
    for (Job& waiting : jobs_) {
      if (waiting.kind == JobKind::Sequence && waiting.button == job.button && !waiting.sent && waiting.step == 0) {
        job.id = waiting.id;
        waiting = std::move(job);
        return;
      }
    }
  }
  job.id = nextId_++;
  if (!job.mustReach()) {
    jobs_.push_back(std::move(job));
    return;
  }
  const auto pos = std::find_if(jobs_.begin(), jobs_.end(), [](const Job& j) { return !j.mustReach(); });
  jobs_.insert(pos, std::move(job));
}

void CommandQueue::cancel(const QList<Name>& buttons, int onLine) {
  std::erase_if(jobs_, [&](const Job& j) {
    return j.kind == JobKind::Sequence && buttons.contains(j.button) && j.id != onLine;
  });
}

void CommandQueue::leave(int onLine, std::int64_t now) {
  std::deque<Job> kept;
  for (Job& j : jobs_) {
    if (j.pulseCoil) {
      // Its coil may be ON: only its OFF is still sent.
      Job off{.kind = JobKind::PulseOff, .button = j.button, .coil = j.pulseCoil};
      const auto offStep = std::find_if(j.steps.begin() + j.step, j.steps.end(), [](const Planned& p) { return p.mustReach; });
      off.steps << (offStep != j.steps.end() ? *offStep : Planned{.request = Request::coil(j.pulseCoil, false), .repeat = true, .mustReach = true});
      off.id = j.id;  // a request of it on the line still counts as its answer
      off.queuedAt = now;
      kept.push_back(off);
    } else if (j.mustReach() || j.id == onLine) {
      kept.push_back(std::move(j));
    }
  }
  jobs_ = std::move(kept);
}

Job* CommandQueue::next(bool onlyMustReach) {
  for (Job& j : jobs_)
    if (!onlyMustReach || j.mustReach()) return &j;
  return nullptr;
}

Job* CommandQueue::find(int id) {
  for (Job& j : jobs_)
    if (j.id == id) return &j;
  return nullptr;
}

void CommandQueue::remove(int id) {
  std::erase_if(jobs_, [id](const Job& j) { return j.id == id; });
}

bool CommandQueue::hasMustReach() const {
  return std::any_of(jobs_.begin(), jobs_.end(), [](const Job& j) { return j.mustReach(); });
}

bool CommandQueue::waits(const Name& button) const {
  return std::any_of(jobs_.begin(), jobs_.end(), [&](const Job& j) {
    return (j.kind == JobKind::Sequence || j.kind == JobKind::Stop) && j.button == button;
  });
}

}  // namespace lorvane
