// Fuzz target: the encoding of what the operator types into a field (encodeValue) and the
// planning of a write sequence from the screen's fields (plan).
//
// From the input: a register write (one 16-bit register or a signed 32-bit pair; the value sent
// is the typed number times 1, 10, 100 or 1000; an allowed range min..max or none; the range
// check on the leading number or on the whole text) and a text; then a few steps (writes, coils,
// waits, pulses) with the texts and states of their fields.
// The numbers are worked out here in exact decimal arithmetic from the text itself, by the rule
// the operator is given: full-width digits, sign and point count as their ASCII forms, blanks
// around are ignored, and a number is an optional sign then digits with at most one point.
// Invariants, any broken one traps:
//  1. No crash, no AddressSanitizer or UndefinedBehaviorSanitizer report.
//  2. Nothing unencodable is encoded: a text that is not such a plain number, a number whose
//     checked value (number x scale; the leading number unless the whole text is checked) is out
//     of the range, or whose rounded value does not fit 0..65535 (one register) or a signed 32-bit
//     value (a pair) gives a message, and the message is the one for the first rule broken (range
//     first, then "not a number", then negative / too large).
//  3. Everything encodable is encoded (no false refusal), as the value nearest number x scale,
//     an exact half to the even neighbour ("1.015" at hundredths is 102), either neighbour only
//     within double precision of a half; when the text has no more decimals than the field
//     shows, exactly number x scale. The value is within the range and fits the register(s).
//  4. The value decodes back as the screens show a read (scaledText(value, scale)) to a plain
//     number equal to value / scale, and that text encodes again to the same value.
//  5. plan(): its requests are the steps' in order; a write whose field was not edited is left
//     out when it is written only if edited; a write from a field not yet known refuses the whole
//     sequence with "not read yet", one whose text does not encode with that text's message;
//     otherwise every register write planned carries encodeValue's value for its field, and its
//     body on the line carries it too (one word, or low word then high word).
#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "frames/encode.h"
#include "frames/frames.h"
#include "reference.h"

using lorvane::Write;

namespace {

// ---- the operator's number, worked out exactly ---------------------------------------------------

struct Decimal {
  bool negative = false;
  std::string whole;     // digits before the point (may be empty: ".5")
  std::string fraction;  // digits after it
};

QString asciiForms(const QString& text) {
  QString out;
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u >= 0xFF01 && u <= 0xFF5E) out.append(QChar(static_cast<char16_t>(u - 0xFEE0)));
    else if (u == 0x3000) out.append(QLatin1Char(' '));
    else out.append(c);
  }
  return out;
}

// The number starting at `from`: optional sign, digits with at most one point, one digit at least.
std::optional<Decimal> numberAt(const QString& s, qsizetype from, qsizetype* end) {
  Decimal d;
  qsizetype i = from;
  if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) d.negative = s[i++] == QLatin1Char('-');
  bool point = false;
  for (; i < s.size(); ++i) {
    const char16_t u = s[i].unicode();
    if (u >= u'0' && u <= u'9') (point ? d.fraction : d.whole).push_back(static_cast<char>(u));
    else if (u == u'.' && !point) point = true;
    else break;
  }
  if (d.whole.empty() && d.fraction.empty()) return std::nullopt;
  *end = i;
  return d;
}

std::optional<Decimal> plainDecimal(const QString& text) {
  const QString s = asciiForms(text);
  qsizetype first = 0, last = s.size();
  while (first < last && s[first].isSpace()) ++first;
  while (last > first && s[last - 1].isSpace()) --last;
  qsizetype end = 0;
  const auto d = numberAt(s, first, &end);
  if (!d || end != last) return std::nullopt;
  return d;
}

Decimal leadingDecimal(const QString& text) {
  const QString s = asciiForms(text);
  qsizetype from = 0;
  while (from < s.size() && s[from].isSpace()) ++from;
  qsizetype end = 0;
  return numberAt(s, from, &end).value_or(Decimal{});
}

// number x 10^digits as a whole part (capped far beyond every limit) and what is left below 1.
struct Scaled {
  bool negative = false;
  std::int64_t magnitude = 0;  // the whole part; kHuge for anything at least that large
  bool exact = true;           // nothing below 1
  bool half = false;           // exactly one half below 1
  double below = 0;            // what is below 1, to double precision
};
constexpr std::int64_t kHuge = 1'000'000'000'000'000'000;  // 10^18

Scaled scaled(const Decimal& d, int digits) {
  std::string whole = d.whole + d.fraction.substr(0, static_cast<std::size_t>(digits));
  while (static_cast<int>(whole.size()) < static_cast<int>(d.whole.size()) + digits) whole.push_back('0');
  const std::string rest = d.fraction.size() > static_cast<std::size_t>(digits) ? d.fraction.substr(static_cast<std::size_t>(digits)) : "";
  const std::size_t nonZero = whole.find_first_not_of('0');
  whole = nonZero == std::string::npos ? "" : whole.substr(nonZero);
  Scaled s;
  s.negative = d.negative;
  if (whole.size() > 18) {
    s.magnitude = kHuge;
  } else {
    for (char c : whole) s.magnitude = s.magnitude * 10 + (c - '0');
  }
  s.exact = rest.find_first_not_of('0') == std::string::npos;
  s.half = !rest.empty() && rest[0] == '5' && rest.find_first_not_of('0', 1) == std::string::npos;
  double place = 0.1;
  for (std::size_t i = 0; i < rest.size() && i < 20; ++i, place /= 10) s.below += (rest[i] - '0') * place;
  return s;
}

// How far the program's double arithmetic may stray from the exact value (text to double, then
// times the scale): a few units in the last place.
double slack(const Scaled& s) { return 1e-15 * (static_cast<double>(s.magnitude) + 1); }

// The values the number may round to: the nearest whole number; at exactly a half the even
// neighbour; either neighbour when within double precision of a half.
QList<std::int64_t> roundings(const Scaled& s) {
  QList<std::int64_t> mags;
  if (s.exact) mags = {s.magnitude};
  else if (s.half && s.magnitude < (std::int64_t{1} << 52)) mags = {s.magnitude % 2 == 0 ? s.magnitude : s.magnitude + 1};
  else if (s.below < 0.5 - slack(s)) mags = {s.magnitude};
  else if (s.below > 0.5 + slack(s)) mags = {s.magnitude + 1};
  else mags = {s.magnitude, s.magnitude + 1};
  if (s.magnitude == kHuge) mags = {kHuge};
  QList<std::int64_t> out;
  for (std::int64_t m : mags) out << (s.negative ? -m : m);
  return out;
}

enum class Cmp { Below, Same, Above, Either };

// The exact value against a whole number bound.
Cmp compare(const Scaled& s, std::int64_t bound) {
  if (s.magnitude == kHuge) return s.negative ? Cmp::Below : Cmp::Above;
  if (s.exact) {
    const std::int64_t v = s.negative ? -s.magnitude : s.magnitude;
    return v < bound ? Cmp::Below : v > bound ? Cmp::Above : Cmp::Same;
  }
  // Strictly between two whole numbers: floor and floor + 1, at `up` above the floor.
  const std::int64_t floor = s.negative ? -s.magnitude - 1 : s.magnitude;
  const double up = s.negative ? 1 - s.below : s.below;
  if (bound <= floor) return bound == floor && up < slack(s) ? Cmp::Either : Cmp::Above;
  return bound == floor + 1 && 1 - up < slack(s) ? Cmp::Either : Cmp::Below;
}

// ---- what the program may answer ------------------------------------------------------------

int digitsOf(int scale) { return scale == 1000 ? 3 : scale == 100 ? 2 : scale == 10 ? 1 : 0; }

using Outcome = std::variant<std::int64_t, QString>;

QList<Outcome> allowedOutcomes(const Write& w, const QString& text) {
  const auto plain = plainDecimal(text);
  if (w.wholeText && !plain) return {lorvane::msg::notANumber()};
  QList<Outcome> allowed;
  if (w.range) {
    const Scaled checked = scaled(w.wholeText ? *plain : leadingDecimal(text), digitsOf(w.scale));
    const Cmp low = compare(checked, static_cast<std::int64_t>(w.range->min));
    const Cmp high = compare(checked, static_cast<std::int64_t>(w.range->max));
    const bool out = low == Cmp::Below || high == Cmp::Above;
    const bool maybeOut = low == Cmp::Either || high == Cmp::Either;
    if (out) return {w.range->message};
    if (maybeOut) allowed << w.range->message;
  }
  if (!plain) return allowed << lorvane::msg::notANumber();
  for (std::int64_t v : roundings(scaled(*plain, digitsOf(w.scale)))) {
    if (w.count == 1) {
      if (v < 0) allowed << lorvane::msg::negative();
      else if (v > 65535) allowed << lorvane::msg::tooLarge(lorvane::scaledText(65535, w.scale));
      else allowed << Outcome{v};
    } else if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) {
      allowed << lorvane::msg::tooLarge(lorvane::scaledText(std::numeric_limits<std::int32_t>::max(), w.scale));
    } else {
      allowed << Outcome{v};
    }
  }
  return allowed;
}

void checkEncoding(const Write& w, const QString& text) {
  const Outcome got = lorvane::encodeValue(w, text);
  FUZZ_CHECK(allowedOutcomes(w, text).contains(got), "encodeValue's answer is not one the text allows");
  const auto* value = std::get_if<std::int64_t>(&got);
  if (!value) return;
  const std::int64_t v = *value;
  if (w.count == 1) FUZZ_CHECK(v >= 0 && v <= 65535, "an encoded value does not fit a register");
  else FUZZ_CHECK(v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max(),
                  "an encoded value does not fit a register pair");
  if (w.range) FUZZ_CHECK(v >= w.range->min && v <= w.range->max, "an encoded value outside its range");
  const Scaled typed = scaled(*plainDecimal(text), digitsOf(w.scale));
  if (typed.exact) FUZZ_CHECK(v == (typed.negative ? -typed.magnitude : typed.magnitude), "an exact number not sent exactly");

  // Shown as a read shows it, the value reads back as itself and encodes to itself.
  const QString shown = lorvane::scaledText(v, w.scale);
  const auto back = plainDecimal(shown);
  FUZZ_CHECK(back.has_value(), "a value is shown as something that is not a number");
  const Scaled backScaled = scaled(*back, digitsOf(w.scale));
  FUZZ_CHECK(backScaled.exact && (backScaled.negative ? -backScaled.magnitude : backScaled.magnitude) == v,
             "a value shown is not value / scale");
  const Outcome again = lorvane::encodeValue(w, shown);
  FUZZ_CHECK(std::holds_alternative<std::int64_t>(again) && std::get<std::int64_t>(again) == v,
             "a value shown does not encode to itself");
}

Write writeFrom(FuzzedDataProvider& in) {
  static const int scales[] = {1, 10, 100, 1000};
  Write w;
  w.reg = in.ConsumeIntegral<std::uint16_t>();
  w.count = in.ConsumeBool() ? 2 : 1;
  w.scale = scales[in.ConsumeIntegralInRange(0, 3)];
  w.wholeText = in.ConsumeBool();
  w.onlyIfEdited = in.ConsumeBool();
  if (in.ConsumeBool()) {
    // Bounds as the screens give them; sometimes near the edges of what is sent.
    const int a = in.ConsumeBool() ? in.ConsumeIntegralInRange(-70000, 70000) : in.ConsumeIntegral<std::int32_t>();
    const int b = in.ConsumeBool() ? in.ConsumeIntegralInRange(-70000, 70000) : in.ConsumeIntegral<std::int32_t>();
    const int lo = std::min(a, b);
    const bool empty = in.ConsumeIntegralInRange(0, 7) == 0 && lo > std::numeric_limits<int>::min();
    w.range = lorvane::range(lo, empty ? lo - 1 : std::max(a, b));  // sometimes nothing is allowed
  }
  return w;
}

QString textFrom(FuzzedDataProvider& in) { return QString::fromUtf8(in.ConsumeRandomLengthString(48)); }

// ---- the plan of a sequence -----------------------------------------------------------------

void checkPlan(FuzzedDataProvider& in) {
  static const char* const names[] = {"a", "b", "c"};
  lorvane::Fields fields;
  for (const char* name : names) {
    if (!in.ConsumeBool()) continue;  // a field the engine has never heard of
    fields[QString::fromLatin1(name)] = lorvane::FieldState{.text = textFrom(in), .known = in.ConsumeBool(), .edited = in.ConsumeBool()};
  }
  QList<lorvane::Step> steps;
  const int n = in.ConsumeIntegralInRange(0, 5);
  for (int i = 0; i < n; ++i) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
      case 0: {
        Write w = writeFrom(in);
        w.field = QString::fromLatin1(names[in.ConsumeIntegralInRange(0, 2)]);
        steps << w;
        break;
      }
      case 1: steps << lorvane::Coil{.coil = in.ConsumeIntegral<std::uint16_t>(), .on = in.ConsumeBool(), .repeat = in.ConsumeBool()}; break;
      case 2: steps << lorvane::Wait{.ms = in.ConsumeIntegralInRange(0, 5000)}; break;
      default:
        steps << lorvane::Pulse{.coil = in.ConsumeIntegral<std::uint16_t>(), .onMs = in.ConsumeIntegralInRange(0, 5000),
                                .afterMs = in.ConsumeIntegralInRange(0, 5000)};
        break;
    }
  }
  const bool stop = in.ConsumeBool();
  const auto planned = lorvane::plan(steps, fields, stop);

  // What the steps call for, worked out step by step.
  QList<lorvane::Planned> want;
  std::optional<QString> refusal;
  for (const lorvane::Step& step : steps) {
    if (const auto* c = std::get_if<lorvane::Coil>(&step)) {
      want << lorvane::Planned{.request = lorvane::Request::coil(c->coil, c->on), .repeat = c->repeat || stop, .mustReach = stop};
    } else if (const auto* wait = std::get_if<lorvane::Wait>(&step)) {
      want << lorvane::Planned{.kind = lorvane::Planned::Kind::Wait, .waitMs = wait->ms};
    } else if (const auto* p = std::get_if<lorvane::Pulse>(&step)) {
      want << lorvane::Planned{.request = lorvane::Request::coil(p->coil, true), .repeat = true, .pulseOn = true}
           << lorvane::Planned{.kind = lorvane::Planned::Kind::Wait, .waitMs = p->onMs}
           << lorvane::Planned{.request = lorvane::Request::coil(p->coil, false), .repeat = true, .mustReach = true}
           << lorvane::Planned{.kind = lorvane::Planned::Kind::Wait, .waitMs = p->afterMs};
    } else {
      const Write& w = std::get<Write>(step);
      const lorvane::FieldState f = fields.value(w.field);
      if (w.onlyIfEdited && !f.edited) continue;
      if (!f.known) {
        refusal = lorvane::msg::unknown();
        break;
      }
      checkEncoding(w, f.text);
      const auto value = lorvane::encodeValue(w, f.text);
      if (const auto* message = std::get_if<QString>(&value)) {
        refusal = *message;
        break;
      }
      want << lorvane::Planned{.request = lorvane::Request::write(w.reg, w.count, std::get<std::int64_t>(value)),
                               .written = w.field, .repeat = true};
    }
  }

  if (refusal) {
    FUZZ_CHECK(std::holds_alternative<QString>(planned) && std::get<QString>(planned) == *refusal,
               "the sequence is not refused with the first step's message");
    return;
  }
  FUZZ_CHECK(std::holds_alternative<QList<lorvane::Planned>>(planned), "a sequence of encodable steps refused");
  const auto& got = std::get<QList<lorvane::Planned>>(planned);
  FUZZ_CHECK(got.size() == want.size(), "the plan has other steps than the sequence");
  for (qsizetype i = 0; i < got.size(); ++i) {
    const lorvane::Planned& g = got[i];
    const lorvane::Planned& e = want[i];
    FUZZ_CHECK(g.kind == e.kind && g.waitMs == e.waitMs, "a wait planned wrong");
    if (g.kind == lorvane::Planned::Kind::Wait) continue;
    FUZZ_CHECK(g.request == e.request && g.written == e.written, "a request planned is not its step's");
    FUZZ_CHECK(g.repeat == e.repeat && g.mustReach == e.mustReach && g.pulseOn == e.pulseOn,
               "a request planned with the wrong delivery");
    if (g.request.fn != lorvane::Request::Fn::Write) continue;
    // The body on the line carries the value: one word, or the low word then the high word.
    const QByteArray body = g.request.body();
    const auto word = [&](qsizetype at) {
      std::uint32_t v = 0;
      for (qsizetype k = at; k < at + 4; ++k) v = v * 16 + static_cast<std::uint32_t>(fuzzref::hexDigit(body[k]));
      return v;
    };
    if (g.request.count == 1) {
      FUZZ_CHECK(body.size() == 18 && word(14) == static_cast<std::uint32_t>(g.request.value), "a word written is not the value");
    } else {
      FUZZ_CHECK(body.size() == 22, "a pair written has the wrong length");
      const auto pair = static_cast<std::int32_t>(word(18) << 16 | word(14));
      FUZZ_CHECK(pair == g.request.value, "a pair written is not the value");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const QString text = textFrom(in);
  const Write w = writeFrom(in);
  checkEncoding(w, text);
  checkPlan(in);
  return 0;
}
