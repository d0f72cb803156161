// Signals that a poll loop waits for: the handler notes which signal came
// and writes a byte into a pipe that the loop polls beside its other
// descriptors (the self-pipe trick). The first CatchSignals of a signal
// installs the handler; its last ReleaseSignals puts the previous one back.
#pragma once

#include <span>

namespace orvo::platform::x11 {

void CatchSignals(std::span<const int> numbers);
void ReleaseSignals(std::span<const int> numbers);

// The pipe's reading end, readable after a caught signal; -1 while no
// signal is caught (or when no pipe could be made).
int SignalDescriptor();
// Reads the pipe empty.
void DrainSignalPipe();

// Whether `number` came since it was last cleared.
bool SignalCaught(int number);
void ClearSignal(int number);

}  // namespace orvo::platform::x11
