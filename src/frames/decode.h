#pragma once
// What a frame on the line says, in the operator's terms: the function, the register or coil, the
// count and the values, ON/OFF, or the controller's refusal with its code and name; and, for
// bytes that are not a whole frame with a right LRC from slave 01, why not. Used by the traffic
// monitor and the trace file; it decides nothing about the exchange.
#include <QByteArray>
#include <QString>

namespace lorvane {

// Why a frame from the line is not a frame the program can take (not a whole ":" ... CR LF
// frame, not hex, too short, wrong LRC, not slave 01); empty when it is well formed. Agrees with
// isWellFormed().
QString malformedReason(const QByteArray& frame);

// The name of an exception code ("非法数据地址" for 02).
QString exceptionName(int code);

struct FrameMeaning {
  QString text;      // e.g. "03 读寄存器 1025，1个"; empty when the bytes say nothing readable
  int address = -1;  // the first register or coil it concerns, -1 when not known
  int count = 0;     // how many registers (or coils) from there
};

// Decodes a frame sent to the controller (sent) or received from it. A read reply names no
// register: `request`, the body of the request it answers (hex text, as Exchange keeps it), says
// which. The LRC and the address are not checked here (a corrupted reply still shows what it
// carries); malformedReason() says whether the frame counts.
FrameMeaning decodeFrame(const QByteArray& frame, bool sent, const QByteArray& request = {});
// The same for a request body without ":" and LRC (what a time-out note concerns).
FrameMeaning decodeRequest(const QByteArray& body);

}  // namespace lorvane
