// A write sequence checked whole and turned into its requests: field texts in, requests or the
// refusing message out.
#include <gtest/gtest.h>

#include "frames/encode.h"

using namespace lorvane;

namespace {

Fields typed(std::initializer_list<std::pair<const char*, const char*>> texts) {
  Fields f;
  for (const auto& [name, text] : texts) f[QString::fromUtf8(name)] = FieldState{.text = QString::fromUtf8(text), .known = true, .edited = true};
  return f;
}

QStringList bodies(const std::variant<QList<Planned>, QString>& planned) {
  QStringList out;
  if (const auto* refusal = std::get_if<QString>(&planned)) return {QStringLiteral("refused: ") + *refusal};
  for (const Planned& p : std::get<QList<Planned>>(planned))
    out << (p.kind == Planned::Kind::Wait ? QStringLiteral("wait %1").arg(p.waitMs) : QString::fromLatin1(p.request.body()));
  return out;
}

TEST(Encode, FieldTextsBecomeRequestsOrOneMessage) {
  const Write count{.reg = 0x10DE, .field = "n", .range = range(0, 65535)};
  const Write mm{.reg = 0x10F0, .field = "x", .count = 2, .scale = 100};
  const Write lead{.reg = 0x1007, .field = "l", .scale = 1000, .wholeText = true};
  const Write angle{.reg = 0x1005, .field = "h", .scale = 100, .range = range(29, 435)};
  struct Case { Write w; const char* text; QStringList expect; };
  const Case cases[] = {
      {count, "100", {"011010DE0001020064"}},
      {count, "65535", {"011010DE000102FFFF"}},
      {count, "12.5", {"011010DE000102000C"}},  // halves to even
      {count, "１３.5", {"011010DE000102000E"}},  // full-width digits
      {count, "70000", {"refused: " + rangeMessage("0-65535")}},
      {count, "70000abc", {"refused: " + rangeMessage("0-65535")}},  // the range on the leading number first
      {count, "12abc", {"refused: " + msg::notANumber()}},
      {count, "", {"refused: " + msg::notANumber()}},
      {mm, "-1.5", {"011010F0000204FF6AFFFF"}},
      {mm, "20", {"011010F000020407D00000"}},
      {mm, "-20", {"011010F0000204F830FFFF"}},
      {mm, "21474836.48", {"refused: " + msg::tooLarge("21474836.47")}},
      {lead, "5", {"011010070001021388"}},
      {lead, "65.536", {"refused: " + msg::tooLarge("65.535")}},
      {lead, "5mm", {"refused: " + msg::notANumber()}},
      // Scaled by moving the point, not by multiplying a double (0.29 * 100 = 28.999999999999996).
      {angle, "0.29", {"01101005000102001D"}},   // the lower bound itself is allowed
      {angle, "4.35", {"0110100500010201B3"}},   // and the upper
      {angle, "1.015", {"011010050001020066"}},  // 101.5: the half goes to the even 102
      {angle, ".575", {"01101005000102003A"}},   // 57.5 -> 58
      {angle, "0.28", {"refused: " + rangeMessage("29-435")}},
      {Write{.reg = 0x1006, .field = "m"}, "-5", {"refused: " + msg::negative()}},
  };
  for (const Case& c : cases) {
    Fields f;
    f[c.w.field] = FieldState{.text = QString::fromUtf8(c.text), .known = true};
    EXPECT_EQ(bodies(plan({c.w}, f)), c.expect) << c.text;
  }
}

TEST(Encode, TheWholeSequenceIsCheckedBeforeAnythingIsPlanned) {
  const QList<Step> steps = {Write{.reg = 0x106E, .field = "a", .range = range(0, 13)},
                             Write{.reg = 0x106F, .field = "b", .range = range(0, 13)}, Coil{.coil = 0x080A}};
  EXPECT_EQ(bodies(plan(steps, typed({{"a", "3"}, {"b", "14"}}))), QStringList{"refused: " + rangeMessage("0-13")});
  Fields unread = typed({{"a", "3"}});
  unread["b"] = FieldState{.text = "0"};  // a placeholder, never read or typed
  EXPECT_EQ(bodies(plan(steps, unread)), QStringList{"refused: " + msg::unknown()});
  EXPECT_EQ(bodies(plan(steps, typed({{"a", "3"}, {"b", "0"}}))),
            (QStringList{"0110106E0001020003", "0110106F0001020000", "0105080AFF00"}));
}

TEST(Encode, PulsesWaitsAndWritesOnlyOfEditedFields) {
  Fields f = typed({{"a", "1"}});
  f["limit"] = FieldState{.text = "7", .known = true, .edited = false, .lastRead = 5};
  const QList<Step> steps = {Write{.reg = 0x10E3, .field = "limit", .range = range(0, 1), .onlyIfEdited = true},
                             Write{.reg = 0x10E4, .field = "a", .range = range(0, 1), .onlyIfEdited = true},
                             Pulse{.coil = 0x0808, .onMs = 2000, .afterMs = 2000}, Wait{.ms = 300}};
  EXPECT_EQ(bodies(plan(steps, f)), (QStringList{"011010E40001020001", "01050808FF00", "wait 2000", "010508080000",
                                                 "wait 2000", "wait 300"}))
      << "a field not edited is not written, nor checked";
  const auto planned = std::get<QList<Planned>>(plan(steps, f));
  EXPECT_TRUE(planned[1].pulseOn);
  EXPECT_TRUE(planned[3].mustReach) << "the OFF of a pulse is never given up";
}

}  // namespace
