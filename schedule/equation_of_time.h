// The equation of time (apparent minus mean solar time) by calendar day, as
// an almanac table: it moves local solar noon away from mean noon by up to
// a quarter of an hour, which the sun-tied schedule must follow.
#pragma once

namespace orvanta::schedule {

// Seconds for month 1-12 and day 1-31, to a tenth of a second. 29 February
// holds the value of 28 February; days that do not exist (30 February,
// 31 April, ...) and arguments out of range give 0.
double EquationOfTime(int month, int day);

}  // namespace orvanta::schedule
