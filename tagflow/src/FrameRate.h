// The frame rate of a video stream, told from its pictures' own times.
#pragma once

#include <cstdint>
#include <vector>

// Frames per second from the presentation times (ms, any order) of the
// pictures: the usual spacing between neighbouring times, so that a stray or
// damaged time, a gap or sound that runs on past the last picture does not
// move it. Sorts `times`. 0 when no spacing can be told.
double MeasureFrameRate(std::vector<uint32_t>& times);

// The rate to report: the measured one, or the one the file's metadata
// declares when it agrees with it (or when nothing could be measured), close
// to a common rate (15, 23.976, 24, 25, 29.97, 30, 50, 59.94, 60) taken as
// the nearest of them.
double ChooseFrameRate(double measured, double declared);
