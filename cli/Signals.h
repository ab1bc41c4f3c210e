#pragma once

#include <csignal>

// The signals that stop oxlip-convert as an Abort would (the incomplete output deleted): Ctrl-C, kill,
// a closed terminal, Ctrl-\. The process then ends with 128 + the signal's number.
void InstallInterruptHandlers();
// The interrupt that came, or one waiting to be delivered while they are blocked; 0 when none did.
int InterruptSignal();
// Holds the interrupts back while a finished run's result is judged, so that none slips between the
// check and what follows from it.
void BlockInterrupts(bool block);
