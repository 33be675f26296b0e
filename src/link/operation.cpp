#include "link/operation.h"

#include "link/exchange.h"

namespace lorvane {

Operation::Operation(Exchange* engine, int total) : QObject(engine), engine_(engine), total_(total) {}

// Deleted while it runs (its caller gone): nothing more of it goes out.
Operation::~Operation() {
  if (!isFinished() && engine_) engine_->dropOperation(this);
}

void Operation::cancel() {
  if (isFinished()) return;
  if (engine_) engine_->dropOperation(this);
  end(Result::Cancelled);
}

void Operation::end(Result result) {
  if (isFinished()) return;
  result_ = result;
  emit finished();
}

void Operation::take(std::int64_t value, std::int64_t at) {
  values_ << value;
  takenAt_ << at;
}

}  // namespace lorvane
