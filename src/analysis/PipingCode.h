// The process-piping code's factors for fittings (ASME B31.3, Appendix D, Table D300):
// flexibility characteristic, flexibility factor and stress intensification factors.
#pragma once

namespace ketra::analysis {

struct BendFactors {
    double h = 0;          // flexibility characteristic T·R / r²
    double flexibility = 1; // k = 1.65 / h, at least 1
    double inPlane = 1;    // i_i = 0.9 / h^(2/3), at least 1
    double outOfPlane = 1; // i_o = 0.75 / h^(2/3), at least 1
};

// A welding elbow or pipe bend of outer diameter `od`, wall `wall` and bend radius `radius`
// (r, the mean radius of the pipe, is (od − wall) / 2). Without pressure or end-flange
// corrections.
BendFactors ElbowFactors(double od, double wall, double radius);

// A welding tee to ASME B16.9 (h = 3.1·T / r): i_o = 0.9 / h^(2/3), i_i = 0.75·i_o + 0.25,
// each at least 1; its flexibility factor is 1.
BendFactors TeeFactors(double od, double wall);

} // namespace ketra::analysis
