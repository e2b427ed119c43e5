// The scheduler of the sim backend: every blocking seam call of a program waits
// here. With a manual clock the machine's time moves only when every thread taking
// part waits: it then jumps to the earliest deadline (a timer, a time-out, the end
// of a Sleep) and wakes the threads waiting for it. When every such thread waits
// without a deadline, the program can never go on: the process ends with a
// message naming the waits. With a real clock the waits take real time.
//
// Threads take part from their first blocking call, threads started with
// plat::CreateThread (and the thread starting them) from the start.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace sim::sched {

// The lock over every object threads wait for (events, message queues, windows).
// Take it before the machine's lock, never after.
std::mutex& Lock();
// The machine clock in milliseconds (GetTickCount64).
uint64_t Now();
// Makes the calling thread take part (no-op when it does already).
void Join();
// With Lock() held in lk: waits until something changes (Kick) or the deadline
// (machine milliseconds) passes. `what` names the wait in a deadlock report.
// Callers loop, checking their condition under the lock.
void Block(std::unique_lock<std::mutex>& lk, std::optional<uint64_t> deadline,
           const std::string& what);
// With Lock() held: the state a waiter may be waiting for changed.
void Kick();
// Sleep(ms) on the machine clock.
void SleepFor(uint32_t ms);
// The calling thread's id (GetCurrentThreadId), unique within the process.
uint32_t ThreadId();

}  // namespace sim::sched
