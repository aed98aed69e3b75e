// What the checksum's tests hold it to, on Windows and natively alike: the
// definition a bit at a time, pseudo-random messages, and the stack that
// 32-bit Windows may call a window procedure on.
#pragma once

#include "package/Crc32c.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <span>
#include <vector>

// CRC-32C a bit at a time, as its definition reads: what each method (the
// instruction's three streams joined, folding, the table) must come to.
inline std::uint32_t ReferenceCrc32c(std::span<const std::byte> bytes) {
  std::uint32_t crc = ~0u;
  for (const std::byte byte : bytes) {
    crc ^= static_cast<std::uint8_t>(byte);
    for (int bit = 0; bit < 8; ++bit)
      crc = crc & 1 ? crc >> 1 ^ 0x82F63B78u : crc >> 1;
  }
  return ~crc;
}

// The methods this processor can run, whichever was timed the faster: the
// table always, folding with SSE2, the instruction with SSE4.2.
inline std::vector<Crc32c::Method> MethodsHere() {
  std::vector<Crc32c::Method> methods{Crc32c::Method::Table};
#if defined(__i386__) || defined(__x86_64__)
  if (__builtin_cpu_supports("sse2"))
    methods.push_back(Crc32c::Method::Folding);
  if (__builtin_cpu_supports("sse4.2"))
    methods.push_back(Crc32c::Method::Instruction);
#endif
  return methods;
}

// Pseudo-random bytes: a message with a period would let a skipped or
// repeated block, or two streams swapped, pass unseen.
inline std::vector<std::byte> RandomBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 generator(seed);
  std::vector<std::byte> bytes(size);
  for (std::byte &byte : bytes)
    byte = static_cast<std::byte>(generator());
  return bytes;
}

#if defined(__i386__)
// Runs `run` with the stack pointer `shift` bytes past a multiple of 16 at
// its call, as 32-bit Windows may call a window procedure (it promises 4;
// Wine and Linux give 16). On the thread's own stack, so that the system's
// stack bounds hold; `run` must let nothing be thrown through it.
inline void OnShiftedStack(std::size_t shift, const std::function<void()> &run) {
  struct Call {
    void (*function)(const std::function<void()> *);
    const std::function<void()> *argument;
    std::size_t drop; // after the and, before the argument is pushed
  } call{[](const std::function<void()> *run) { (*run)(); }, &run, (shift + 12) % 16};
  asm volatile("movl %%esp, %%esi\n\t"
               "andl $-16, %%esp\n\t"
               "subl 8(%%edi), %%esp\n\t"
               "pushl 4(%%edi)\n\t"
               "call *(%%edi)\n\t"
               "movl %%esi, %%esp"
               :
               : "D"(&call)
               : "esi", "eax", "ecx", "edx", "memory", "cc");
}
#endif
