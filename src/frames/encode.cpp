#include "frames/encode.h"

#include <QCoreApplication>
#include <limits>

#include "frames/frames.h"

namespace lorvane {

QString rangeMessage(const QString& range) {
  return QStringLiteral("输入的信号范围不在") + range + QStringLiteral("内");
}

Range range(int min, int max) {
  return Range{double(min), double(max), rangeMessage(QStringLiteral("%1-%2").arg(min).arg(max))};
}

QString msg::notANumber() { return QCoreApplication::translate("lorvane", "输入的数据不是有效数字"); }
QString msg::negative() { return QCoreApplication::translate("lorvane", "输入的数据不能为负数"); }
QString msg::unknown() { return QCoreApplication::translate("lorvane", "数据尚未读取完毕，请稍后再试"); }
QString msg::tooLarge(const QString& max) {
  return QCoreApplication::translate("lorvane", "输入的数据超出0-%1范围").arg(max);
}

std::variant<std::int64_t, QString> encodeValue(const Write& w, const QString& text) {
  // The range check on the leading number comes first, as operators are taught; then the text
  // must be a plain number that fits what is sent.
  const std::optional<double> plain = plainNumber(text, w.scale);
  if (w.wholeText && !plain) return msg::notANumber();
  const double checked = w.wholeText ? *plain : leadingNumber(text, w.scale);
  if (w.range && (checked < w.range->min || checked > w.range->max)) return w.range->message;
  if (!plain) return msg::notANumber();
  const double v = roundHalfEven(*plain);
  if (w.count == 1) {
    if (v < 0) return msg::negative();
    if (v > 65535) return msg::tooLarge(scaledText(65535, w.scale));
  } else if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) {
    return msg::tooLarge(scaledText(std::numeric_limits<std::int32_t>::max(), w.scale));
  }
  return static_cast<std::int64_t>(v);
}

std::variant<QList<Planned>, QString> plan(const QList<Step>& steps, const Fields& fields, bool stop) {
  QList<Planned> out;
  for (const Step& step : steps) {
    if (const auto* c = std::get_if<Coil>(&step)) {
      out << Planned{.request = Request::coil(c->coil, c->on), .repeat = c->repeat || stop, .mustReach = stop};
    } else if (const auto* wait = std::get_if<Wait>(&step)) {
      out << Planned{.kind = Planned::Kind::Wait, .waitMs = wait->ms};
    } else if (const auto* p = std::get_if<Pulse>(&step)) {
      out << Planned{.request = Request::coil(p->coil, true), .repeat = true, .pulseOn = true}
          << Planned{.kind = Planned::Kind::Wait, .waitMs = p->onMs}
          << Planned{.request = Request::coil(p->coil, false), .repeat = true, .mustReach = true,
                     .undelivered = p->undelivered}
          << Planned{.kind = Planned::Kind::Wait, .waitMs = p->afterMs};
    } else {
      const auto& w = std::get<Write>(step);
      const FieldState f = fields.value(w.field);
      if (w.onlyIfEdited && !f.edited) continue;
      if (!f.known) return msg::unknown();
      const auto value = encodeValue(w, f.text);
      if (const auto* refusal = std::get_if<QString>(&value)) return *refusal;
      // Register writes go out again at every tick until answered.
      out << Planned{.request = Request::write(w.reg, w.count, std::get<std::int64_t>(value)), .written = w.field,
                     .repeat = true};
    }
  }
  return out;
}

QList<Name> namesUsed(const ScreenDecl& d) {
  QList<Name> names;
  const auto add = [&](const Name& n) {
    if (!n.isEmpty() && !names.contains(n)) names << n;
  };
  for (const Read& r : d.reads) {
    add(r.field);
    for (const Show& s : r.also) add(s.control);
  }
  for (const Sequence& s : d.sequences) {
    add(s.button);
    for (const Name& n : s.cancels) add(n);
    for (const Guard& g : s.guards)
      for (const Name& n : g.names) add(n);
    const auto steps = s.whenChanged ? s.steps + s.whenChanged->steps : s.steps;
    for (const Step& step : steps)
      if (const auto* w = std::get_if<Write>(&step)) add(w->field);
    if (s.whenChanged) add(s.whenChanged->field);
    for (const ClickEffect& e : s.onClick)
      if (const auto* b = std::get_if<Blank>(&e)) for (const Name& n : b->controls) add(n);
    for (const DoneEffects& effects : {s.onDone, s.whenChanged ? s.whenChanged->done : DoneEffects{}}) {
      for (const DoneEffect& e : effects) {
        if (const auto* r = std::get_if<Restore>(&e)) for (const Name& n : r->buttons) add(n);
        if (const auto* r = std::get_if<ResumeAt>(&e)) add(r->field);
        if (const auto* st = std::get_if<StartSequence>(&e)) add(st->button);
        if (const auto* b = std::get_if<Blank>(&e)) for (const Name& n : b->controls) add(n);
      }
    }
  }
  for (const Momentary& m : d.momentaries) add(m.button);
  return names;
}

}  // namespace lorvane
