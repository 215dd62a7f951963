#pragma once
// The debug command channel: 32-bit command words sent to the target's debug port as nibble
// bytes over the adapter link, in write, execute and read transactions.
//
// Every operation returns 0 (success) or 1 (failure); a short transfer of the link is a
// failure here. None throws. The channel has no state of its own: it works on the one
// adapter link and reads the link's autoFlush, which EiceBatch sets for a scope.

#include <cstdint>
#include <string>

namespace tarnel {

// Bit 31: read flag (cleared by write transactions). Bits 30..24: operation or space.
// Bits 23..0: address or parameter.
using CommandWord = std::uint32_t;

inline constexpr CommandWord kReadFlag = 0x80000000u;

inline constexpr CommandWord CmdSetup = 0x03100001u;
inline constexpr CommandWord CmdHalt = 0x02000001u;
inline constexpr CommandWord CmdRun = 0x02000004u;
inline constexpr CommandWord CmdReset = 0x02000000u;
inline constexpr CommandWord CmdStatus = 0x82000400u;
// Families: add the register or word address in the low bits.
inline constexpr CommandWord CmdRegister = 0x90000000u;
inline constexpr CommandWord CmdProgramWord = 0x81000000u;
inline constexpr CommandWord CmdDataWord = 0x80000000u;
inline constexpr CommandWord CmdDataPair = 0x84000000u;

// The value written with CmdSetup.
inline constexpr std::uint32_t SetupValue = 0x00000DBEu;
// Bit of the CmdStatus answer that tells that the target is running.
inline constexpr std::uint32_t RunningFlag = 0x20u;

// Bytes of the channel.
inline constexpr std::uint8_t kWordMarker = 0xCA;
inline constexpr std::uint8_t kNibbleHigh = 0x30;
inline constexpr std::uint8_t kAnswerNibbleRequest = 0x70;
inline constexpr std::uint8_t TransactionTerminator[6] = {0xA7, 0xEB, 0x8F, 0xE3, 0x86, 0xA3};

// 4-bit bit reversal; its own inverse, so it serves encoding and decoding.
inline constexpr std::uint8_t NibbleReverse[16] = {0x0, 0x8, 0x4, 0xC, 0x2, 0xA, 0x6, 0xE,
                                                   0x1, 0x9, 0x5, 0xD, 0x3, 0xB, 0x7, 0xF};

// Attaches to the target's debug port: opens the adapter link, sends the attach bytes,
// sets one-second time-outs and turns autoFlush on. 0 attached, 1 failed; a failure
// leaves no device open.
int EiceAttach();
// The driver status of the call that made the last attach fail ("driver status 4"); empty
// when no driver call failed (no adapter was found, or it did not answer).
std::string EiceAttachFault();
// Sends the detach bytes and closes the link, every step whatever the earlier returned.
// 0 when every step succeeded, otherwise 1.
int EiceDetach();

// For the life of the scope, writes and executes gather in the link's out buffer and leave
// when it fills or a read or EiceFlush sends them (batched), or each goes out at once (not
// batched). The mode before is restored at the end of the scope.
class EiceBatch {
public:
    explicit EiceBatch(bool batched = true);
    ~EiceBatch();
    EiceBatch(const EiceBatch&) = delete;
    EiceBatch& operator=(const EiceBatch&) = delete;

private:
    int saved_;
};

// Puts the word marker and the 8 nibble bytes of word, most significant nibble first.
int EiceSendWord(std::uint32_t word);
// Puts the 6 terminator bytes in one block.
int EiceSendTerminator();
// Requests, reads and decodes one answer word. A failed or short read runs the adapter's
// recovery and line-idle sequence and leaves answer untouched.
int EiceReceiveWord(std::uint32_t& answer);

// Write transaction: the value goes first on the wire, then the command with bit 31
// cleared, then the terminator; flushes when autoFlush is set.
int EiceWrite(CommandWord command, std::uint32_t value);
// Execute transaction: the command unchanged and the terminator; flushes when autoFlush
// is set.
int EiceExecute(CommandWord command);
// Read transaction: the command unchanged, the terminator, then the answer (the read
// flushes everything queued). answer is written only on success.
int EiceRead(CommandWord command, std::uint32_t& answer);
// Sends whatever the link's out buffer holds.
int EiceFlush();

}  // namespace tarnel
