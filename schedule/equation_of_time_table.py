#!/usr/bin/env python3
"""Prints the rows of kEquationOfTime (equation_of_time.cpp).

The equation of time (apparent minus mean solar time, seconds) at 0h UT of
each day of 1959, from the sun's apparent right ascension (Meeus, Astronomical
Algorithms, chapters 25 and 28, with the main nutation terms). That epoch
matches the station's almanac anchors to within 0.7 s; the remaining
differences at the anchor days are spread linearly between them, so the
anchors come out exactly and no day moves by more than 0.7 s.
"""
import datetime
import math

YEAR = 1959
ANCHORS = [(1, 1, -187.8), (2, 12, -859.8), (3, 21, -455.0), (5, 15, 223.8),
           (6, 21, -83.8), (7, 27, -384.8), (11, 4, 983.3), (12, 31, -152.9)]
DAYS = [31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]


def julian_day(y, m, d):
    if m <= 2:
        y, m = y - 1, m + 12
    a = y // 100
    return int(365.25 * (y + 4716)) + int(30.6001 * (m + 1)) + d + 2 - a + a // 4 - 1524.5


def equation_of_time(jd):
    t = (jd - 2451545.0) / 36525
    l0 = (280.46646 + 36000.76983 * t + 0.0003032 * t * t) % 360
    m = math.radians(357.52911 + 35999.05029 * t - 0.0001537 * t * t)
    c = ((1.914602 - 0.004817 * t - 0.000014 * t * t) * math.sin(m)
         + (0.019993 - 0.000101 * t) * math.sin(2 * m) + 0.000289 * math.sin(3 * m))
    omega = math.radians(125.04 - 1934.136 * t)
    lam = math.radians(l0 + c - 0.00569 - 0.00478 * math.sin(omega))
    eps0 = 23 + 26 / 60 + 21.448 / 3600 - (46.8150 * t + 0.00059 * t * t - 0.001813 * t ** 3) / 3600
    eps = math.radians(eps0 + 0.00256 * math.cos(omega))
    alpha = math.degrees(math.atan2(math.cos(eps) * math.sin(lam), math.cos(lam)))
    ls = math.radians(280.4665 + 36000.7698 * t)
    lm = math.radians(218.3165 + 481267.8813 * t)
    dpsi = (-17.20 * math.sin(omega) - 1.32 * math.sin(2 * ls) - 0.23 * math.sin(2 * lm)
            + 0.21 * math.sin(2 * omega)) / 3600
    e = (l0 - 0.0057183 - alpha + dpsi * math.cos(eps) + 180) % 360 - 180
    return e * 240


def day_of_year(m, d):
    return (datetime.date(YEAR, m, d) - datetime.date(YEAR, 1, 1)).days


def correction(n, points):
    ring = points + [(points[0][0] + 365, points[0][1])]
    for (a, ca), (b, cb) in zip(ring, ring[1:]):
        if a <= n <= b:
            return ca + (cb - ca) * (n - a) / (b - a)
    raise ValueError(n)


def main():
    points = [(day_of_year(m, d), v - equation_of_time(julian_day(YEAR, m, d)))
              for m, d, v in ANCHORS]
    for m in range(1, 13):
        row = []
        for d in range(1, 32):
            if d <= DAYS[m - 1]:
                n = day_of_year(m, d)
                row.append(round(equation_of_time(julian_day(YEAR, m, d)) + correction(n, points), 1))
            elif m == 2 and d == 29:
                row.append(row[27])
            else:
                row.append(0.0)
        print("    {" + ", ".join(f"{v:.1f}" for v in row) + "},")


if __name__ == "__main__":
    main()
