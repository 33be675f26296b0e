#pragma once
// A request to the controller as a typed value: what it asks and of which register or coil. Its
// hex text is made only when it goes on the line; timing and reply checks read the fields.
#include <QByteArray>
#include <cstdint>

namespace lorvane {

struct Request {
  enum class Fn : std::uint8_t { Read = 0x03, WriteCoil = 0x05, Write = 0x10 };
  Fn fn = Fn::Read;
  std::uint16_t address = 0;  // register, or coil
  int count = 1;              // registers read or written
  std::int64_t value = 0;     // written: one register, or a signed 32-bit pair; coil: 1 ON, 0 OFF

  static Request read(std::uint16_t reg, int count = 1) { return {Fn::Read, reg, count, 0}; }
  static Request write(std::uint16_t reg, int count, std::int64_t value) { return {Fn::Write, reg, count, value}; }
  static Request coil(std::uint16_t coil, bool on) { return {Fn::WriteCoil, coil, 1, on ? 1 : 0}; }
  // A request from its hex body (a read, a write of one or two registers, a coil); a read of 0
  // registers when the body is none of these.
  static Request fromBody(const QByteArray& body);

  QByteArray body() const;  // "0103..." without ":" and LRC
  int replyChars() const;   // the whole answer on the line, ":" to LF
  bool isCoil() const { return fn == Fn::WriteCoil; }
  bool isRead() const { return fn == Fn::Read; }
  // Requests whose answers cannot be told apart: reads of as many registers, writes to the same
  // registers (their echo carries no value), the same coil command.
  bool answerLooksLike(const Request& other) const;
  bool operator==(const Request&) const = default;
};

}  // namespace lorvane
