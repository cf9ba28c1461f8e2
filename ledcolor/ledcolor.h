// ledcolor: the pure functions of an LED-strip controller, one header per stage of a frame's path
// through one, included here in that order:
//   color.h     the colour and its text form;
//   adalight.h  the wire: Adalight frames, their encoder and decoder, and the stream reader;
//   net.h       the network: DDP, E1.31 and Art-Net packets, assembled into frames of a row;
//   light.h     the light: tables, ceilings, power;
//   strip.h     the strip: the bytes its chips take.
// Include this one for everything, or a family header for just that stage.
//
// Every function here is free of I/O, heap allocation and global state, and safe on any input.
// The same words mean the same things throughout:
//   row       the colours of a strip's LEDs, a span of Rgb (`leds`), N of them;
//   frame     the bytes of one Adalight frame, as a host sends them (over the network: a row's
//             worth of packets);
//   storage   the caller's Rgb into which the receiving functions write the colours they read;
//   rejected  the input is not one the function takes: it returns 0 (or false) and writes
//             nothing -- never out of bounds, never aborting.
#pragma once

#include "ledcolor/adalight.h"  // IWYU pragma: export
#include "ledcolor/color.h"     // IWYU pragma: export
#include "ledcolor/light.h"     // IWYU pragma: export
#include "ledcolor/net.h"       // IWYU pragma: export
#include "ledcolor/strip.h"     // IWYU pragma: export
