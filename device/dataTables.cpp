#include "orvelDevice.h"

// Calibration tables kept for the library's clients; the library itself reads
// none of them. Only the two leading values of each table are calibrated: the
// voltage tables hold nothing else, and behind the leading pair of a current
// table the even entries decay towards that band's floor current while the odd
// entries are zero.

const double V200[32] = {
    28.2821, 0.347092, 0, 0,
    0, 0, 0, 0,
    0, 0, 0, 0,
    0, 0, 0, 0,
    0, 0, 0, 0,
    0, 0, 0, 0,
    0, 0, 0, 0,
    0, 0, 0, 0,
};

const double I200[32] = {
    0.00303285, 0.00714619, 0.00111583, 0,
    0.000410599, 0, 0.000151159, 0,
    5.57158e-05, 0, 2.06044e-05, 0,
    7.68764e-06, 0, 2.93583e-06, 0,
    1.18773e-06, 0, 5.44642e-07, 0,
    3.08063e-07, 0, 2.21031e-07, 0,
    1.89013e-07, 0, 1.77235e-07, 0,
    1.72902e-07, 0, 1.71308e-07, 0,
};

const double V400[32] = {
    28.2821, 0.347092, 0, 0,
    0, 0, 0, 0,
    0, 0, 0, 0,
    0, 0, 0, 0,
    0, 0, 0, 0,
    0, 0, 0, 0,
    0, 0, 0, 0,
    0, 0, 0, 0,
};

const double I400[32] = {
    0.0029894, 0.0142546, 0.00109995, 0,
    0.000404866, 0, 0.000149157, 0,
    5.50873e-05, 0, 2.04809e-05, 0,
    7.7499e-06, 0, 3.06643e-06, 0,
    1.34348e-06, 0, 7.0964e-07, 0,
    4.76464e-07, 0, 3.90683e-07, 0,
    3.59126e-07, 0, 3.47517e-07, 0,
    3.43246e-07, 0, 3.41675e-07, 0,
};
