// atan and hypot computed by the engine itself, so that a frame never
// depends on which C runtime runs it: the C libraries of different
// platforms (and Windows' msvcrt.dll, which a MinGW build would import
// these two from) differ in the last bit for some arguments. Both are
// correctly rounded but for arguments astronomically close to a rounding
// boundary, as glibc's results are for every argument the show uses.
#pragma once

// The arctangent in radians, -pi/2..pi/2; the sign of a zero is kept.
double ExactAtan(double x);

// sqrt(x^2 + y^2) without overflow or underflow on the way; infinity when
// either is infinite, NaN when either is NaN and neither infinite.
double ExactHypot(double x, double y);
