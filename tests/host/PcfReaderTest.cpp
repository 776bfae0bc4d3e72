// The PCF reader on small texts, one group per way real exporters write the format.
#include "PcfTestSupport.h"

#include "host/ModelFile.h"
#include "host/ModelWriter.h"
#include "host/PcfReader.h"
#include "host/SymbolScale.h"

#include <gtest/gtest.h>

using namespace ketra::host;
using namespace ketra::host::test;

namespace {

constexpr double kOd100 = 4.5 * 25.4;   // DN100 / NPS 4
constexpr double kOd150 = 6.625 * 25.4; // DN150 / NPS 6
constexpr double kOd200 = 8.625 * 25.4; // DN200 / NPS 8

const char* kElbowRun = "UNITS-BORE MM\n"
                        "UNITS-CO-ORDS MM\n"
                        "PIPELINE-REFERENCE L-1\n"
                        "PIPE\n"
                        "    END-POINT 0 0 0 100\n"
                        "    END-POINT 1000 0 0 100\n"
                        "ELBOW\n"
                        "    END-POINT 1000 0 0 100\n"
                        "    END-POINT 1152.4 0 152.4 100\n"
                        "    CENTRE-POINT 1152.4 0 0\n"
                        "    ANGLE 9000\n"
                        "PIPE\n"
                        "    END-POINT 1152.4 0 152.4 100\n"
                        "    END-POINT 1152.4 0 1000 100\n";

std::string Pipe(const std::string& a, const std::string& b, const std::string& bore = "100") {
    return "PIPE\n    END-POINT " + a + " " + bore + "\n    END-POINT " + b + " " + bore + "\n";
}

// The bend element ending at the corner and the element it turns onto.
void ExpectBendAt(const PipingModel& m, const Vec3& corner, double radius, double degrees) {
    int c = NodeAt(m, corner);
    ASSERT_NE(c, 0);
    const Element* bend = nullptr;
    for (const Element& e : m.elements)
        if (e.bendRadius && e.to == c)
            bend = &e;
    ASSERT_NE(bend, nullptr);
    EXPECT_NEAR(*bend->bendRadius, radius, 1e-9);
    const Element* next = m.FirstFrom(c);
    ASSERT_NE(next, nullptr);
    EXPECT_NEAR(Deflection(*bend, *next), degrees, 1e-6);
}

void ExpectSameModel(const PipingModel& a, const PipingModel& b) {
    EXPECT_EQ(a.title, b.title);
    EXPECT_EQ(a.units, b.units);
    EXPECT_EQ(a.up, b.up);
    EXPECT_EQ(a.origin, b.origin);
    EXPECT_EQ(a.nodes, b.nodes);
    ASSERT_EQ(a.elements.size(), b.elements.size());
    for (std::size_t i = 0; i < a.elements.size(); ++i) {
        const Element &x = a.elements[i], &y = b.elements[i];
        EXPECT_EQ(x.from, y.from);
        EXPECT_EQ(x.to, y.to);
        EXPECT_EQ(x.delta, y.delta);
        EXPECT_EQ(x.od, y.od);
        EXPECT_EQ(x.bendRadius, y.bendRadius);
        EXPECT_EQ(x.reducerOd, y.reducerOd);
        EXPECT_EQ(x.rigid, y.rigid);
    }
    ASSERT_EQ(a.restraints.size(), b.restraints.size());
    for (std::size_t i = 0; i < a.restraints.size(); ++i) {
        EXPECT_EQ(a.restraints[i].node, b.restraints[i].node);
        EXPECT_EQ(a.restraints[i].direction, b.restraints[i].direction);
        EXPECT_EQ(a.restraints[i].cosines, b.restraints[i].cosines);
    }
    ASSERT_EQ(a.hangers.size(), b.hangers.size());
    for (std::size_t i = 0; i < a.hangers.size(); ++i)
        EXPECT_EQ(a.hangers[i].can, b.hangers[i].can);
    auto nodesOf = [](const std::vector<NodeItem>& v) {
        std::vector<int> out;
        for (const NodeItem& n : v)
            out.push_back(n.node);
        return out;
    };
    EXPECT_EQ(nodesOf(a.anchors), nodesOf(b.anchors));
    EXPECT_EQ(nodesOf(a.tees), nodesOf(b.tees));
}

} // namespace

TEST(PcfReader, SplitsOnAnyRunOfBlanksAndIgnoresTrailingOnes) {
    PcfLoadResult plain = Read("UNITS-BORE MM\nUNITS-CO-ORDS MM\n" + Pipe("0 0 0", "1000 0 0"));
    PcfLoadResult spaced =
        Read("UNITS-BORE              MM\nUNITS-CO-ORDS  MM   \nPIPE\n"
             "    END-POINT    0.0000    0.0000   0   100   \n\tEND-POINT\t1000  0\t 0 100\n");
    ASSERT_EQ(plain.model.elements.size(), 1u);
    ExpectSameModel(plain.model, spaced.model);
    const Element& e = spaced.model.elements[0];
    EXPECT_EQ(FileAt(spaced.model, e.from), (Vec3{0, 0, 0}));
    EXPECT_EQ(FileAt(spaced.model, e.to), (Vec3{1000, 0, 0}));
    EXPECT_NEAR(e.od, kOd100, 1e-9); // a DN100 bore is drawn at its outer diameter
    EXPECT_FALSE(e.rigid);
}

TEST(PcfReader, BoreAndCoordinateUnitsAreSeparate) {
    PcfLoadResult inchBore =
        Read("UNITS-BORE INCH\nUNITS-CO-ORDS MM\n" + Pipe("0 0 0", "500 0 0", "4.0000"));
    EXPECT_EQ(inchBore.model.units, Units::Millimetres);
    EXPECT_NEAR(inchBore.model.elements[0].od, kOd100, 1e-9);
    EXPECT_EQ(inchBore.report.boreUnits, "INCH");

    PcfLoadResult inchCoords =
        Read("UNITS-BORE MM\nUNITS-CO-ORDS INCH\n" + Pipe("0 0 0", "20 0 0", "100") +
             Pipe("20 0 0", "40 0 0", "123"));
    EXPECT_EQ(inchCoords.model.units, Units::Inches);
    EXPECT_NEAR(inchCoords.model.elements[0].od, 4.5, 1e-9);        // standard size, in inches
    EXPECT_NEAR(inchCoords.model.elements[1].od, 123 / 25.4, 1e-9); // no standard size: the bore
    EXPECT_EQ(FileAt(inchCoords.model, inchCoords.model.elements[0].to), (Vec3{20, 0, 0}));

    PcfLoadResult sixteenths = Read("UNITS-BORE INCH-SIXTEENTH\n" + Pipe("0 0 0", "500 0 0", "64"));
    EXPECT_NEAR(sixteenths.model.elements[0].od, kOd100, 1e-9);
}

// Every spelling read maps to its unit: the model's size in millimetres is the same whatever the
// file wrote, and its supports are sized from its pipes (no symbol scale in PCF).
TEST(PcfReader, MapsEveryUnitSpellingToItsUnit) {
    const double kPi = 3.14159265358979323846;
    struct Case {
        const char *keyword, *spelling, *unit;
        double mm;
    };
    for (const Case& u : std::initializer_list<Case>{
             {"CO-ORDS", "MM", "MM", 1},          {"CO-ORDS", "millimetre", "MM", 1},
             {"CO-ORDS", "MILLIMETRES", "MM", 1}, {"CO-ORDS", "MILLIMETER", "MM", 1},
             {"CO-ORDS", "millimeters", "MM", 1}, {"CO-ORDS", "INCH", "INCH", 25.4},
             {"CO-ORDS", "Inches", "INCH", 25.4}, {"CO-ORDS", "IN", "INCH", 25.4},
             {"CO-ORDS", "METRE", "METRE", 1000}, {"CO-ORDS", "metres", "METRE", 1000},
             {"CO-ORDS", "METER", "METRE", 1000}, {"CO-ORDS", "METERS", "METRE", 1000},
             {"CO-ORDS", "M", "METRE", 1000},     {"BORE", "MM", "MM", 1},
             {"BORE", "Millimetre", "MM", 1},     {"BORE", "MILLIMETRES", "MM", 1},
             {"BORE", "MILLIMETER", "MM", 1},     {"BORE", "MILLIMETERS", "MM", 1},
             {"BORE", "INCH", "INCH", 25.4},      {"BORE", "INCHES", "INCH", 25.4},
             {"BORE", "in", "INCH", 25.4},        {"BORE", "INCH-SIXTEENTH", "INCH-SIXTEENTH", 25.4 / 16}}) {
        SCOPED_TRACE(std::string(u.keyword) + " " + u.spelling);
        const bool coords = u.keyword[0] == 'C';
        const double c = coords ? 1000 / u.mm : 1000, bore = coords ? 100 : 101.6 / u.mm;
        // A run of 1000 mm, a quarter bend of radius 500 mm with a support on it, 1000 mm more.
        char text[512];
        std::snprintf(text, sizeof text,
                      "UNITS-%s %s\nPIPE\n    END-POINT 0 0 0 %g\n    END-POINT %.9g 0 0\n"
                      "BEND\n    END-POINT %.9g 0 0\n    END-POINT %.9g 0 %.9g\n"
                      "    CENTRE-POINT %.9g 0 0\nPIPE\n    END-POINT %.9g 0 %.9g\n"
                      "    END-POINT %.9g 0 %.9g\nSUPPORT\n    CO-ORDS %.9g 0 %.9g\n",
                      u.keyword, u.spelling, bore, c, c, 1.5 * c, 0.5 * c, 1.5 * c, 1.5 * c,
                      0.5 * c, 1.5 * c, 1.5 * c, c + 0.5 * c * std::sin(kPi / 6),
                      0.5 * c * (1 - std::cos(kPi / 6)));
        PcfLoadResult r = Read(text);
        EXPECT_EQ(coords ? r.report.coordUnits : r.report.boreUnits, u.unit);
        const double mm = r.model.units == Units::Inches ? 25.4 : 1;
        EXPECT_EQ(r.model.units, u.mm == 25.4 && coords ? Units::Inches : Units::Millimetres);
        if (r.model.elements.size() != 3u) {
            ADD_FAILURE() << r.model.elements.size() << " elements " << FormatPcfWarnings(r.report);
            continue;
        }
        EXPECT_NEAR(Length(r.model.elements[0].delta) * mm, 1000, 1e-4);
        EXPECT_NEAR(*r.model.elements[2].bendRadius * mm, 500, 1e-4);
        EXPECT_NEAR(r.model.elements[0].od * mm, kOd100, 1e-9); // DN100, 4 in: 114.3 mm
        EXPECT_EQ(r.model.restraints.size(), 1u);
        EXPECT_TRUE(r.model.symbolScaleChosen);
        EXPECT_NEAR(r.model.symbolScale * mm, kSymbolScalePerDiameter * kOd100, 1e-6);
    }
    EXPECT_EQ(ErrorOf("UNITS-BORE M\n"),
              "t.pcf:1:12: unknown bore unit \"M\" (MM, INCH or INCH-SIXTEENTH)");
    EXPECT_EQ(ErrorOf("UNITS-CO-ORDS INCH-SIXTEENTH\n"),
              "t.pcf:1:15: unknown co-ordinate unit \"INCH-SIXTEENTH\" (MM, INCH or METRE)");
}

TEST(PcfReader, DefaultsToMillimetresAndTakesUnitsInsideThePipeline) {
    PcfLoadResult headerless = Read("CAP\n    END-POINT -28346.93 53009.56 3817.22 125 BW\n"
                                    "    END-POINT -28346.93 53009.56 3919.22 125 BW\n");
    EXPECT_EQ(headerless.model.units, Units::Millimetres);
    EXPECT_NEAR(headerless.model.elements[0].od, 5.563 * 25.4, 1e-9);

    PcfLoadResult inside =
        Read("PIPELINE-REFERENCE MOCK-LINE-100\n    PIPING-SPEC CS150\n    UNITS-BORE INCH\n"
             "    UNITS-CO-ORDS MM\n" +
             Pipe("0 0 0", "100 0 0", "4"));
    EXPECT_NEAR(inside.model.elements[0].od, kOd100, 1e-9);
    EXPECT_EQ(inside.report.pipelines, std::vector<std::string>{"MOCK-LINE-100"});

    // A later pipeline in other units is converted into the model's unit.
    PcfLoadResult mixed =
        Read("UNITS-CO-ORDS MM\nPIPELINE-REFERENCE A\n" + Pipe("0 0 0", "0 0 254") +
             "PIPELINE-REFERENCE B\nUNITS-CO-ORDS INCH\n" + Pipe("0 0 10", "0 0 20"));
    EXPECT_EQ(mixed.model.units, Units::Millimetres);
    EXPECT_NE(NodeAt(mixed.model, {0, 0, 508}), 0);
    EXPECT_EQ(mixed.model.elements.size(), 2u);
    EXPECT_EQ(mixed.report.pipelines, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(mixed.model.title, "A, B");
}

TEST(PcfReader, ReadsUnindentedFilesWithKeywordsInAnyCase) {
    PcfLoadResult r = Read(
        "PIPELINE-REFERENCE TMP-2\nPIPE\nCOMPONENT-IDENTIFIER 1\nend-point 0 0 0 152.4\n"
        "End-Point 0 0 1000 152.4\nITEM-DESCRIPTION 6\" STD Pipe\nSUPPORT\nCO-ORDS 0 0 500 152.4\n"
        "Skey SKID\nSUPPORT-DIRECTION north\n");
    // The support stands in the middle of the pipe, which is split there.
    ASSERT_EQ(r.model.elements.size(), 2u);
    int mid = NodeAt(r.model, {0, 0, 500});
    ASSERT_NE(mid, 0);
    ASSERT_EQ(r.model.restraints.size(), 1u);
    EXPECT_EQ(r.model.restraints[0].node, mid);
    EXPECT_EQ(r.model.restraints[0].direction, 2); // NORTH is +Y
    EXPECT_NEAR(r.model.elements[0].od, kOd150, 1e-9);
}

TEST(PcfReader, KeepsIndentedComponentKeywordsInsideTheirComponent) {
    PcfLoadResult r =
        Read(Pipe("0 0 0", "1000 0 0", "200") +
             "FILTER\n    END-POINT 1000 0 0 200\n    END-POINT 1580 0 0 200\n    SKEY FIBW\n"
             "    TAP-CONNECTION\n    CO-ORDS 1290 0 -310 25\n    END-POSITION-CLOSED \n"
             "    CO-ORDS 1290 0 500\n" +
             Pipe("1580 0 0", "2000 0 0", "200"));
    // The tap's CO-ORDS join a branch to the filter; the end position's are only a mark.
    int tap = NodeAt(r.model, {1290, 0, -310});
    ASSERT_NE(tap, 0);
    int onAxis = NodeAt(r.model, {1290, 0, 0});
    ASSERT_NE(onAxis, 0);
    EXPECT_TRUE(ElementBetween(r.model, onAxis, tap)->rigid);
    EXPECT_NEAR(ElementBetween(r.model, onAxis, tap)->od, 1.315 * 25.4, 1e-9);
    EXPECT_TRUE(ElementBetween(r.model, NodeAt(r.model, {1000, 0, 0}), onAxis)->rigid);
    EXPECT_EQ(NodeAt(r.model, {1290, 0, 500}), 0);
    EXPECT_EQ(r.model.elements.size(), 5u);
    EXPECT_EQ(r.report.components, (std::map<std::string, int>{{"FILTER", 1}, {"PIPE", 2}}));
    EXPECT_EQ(ConnectedPieces(r.model), 1);
}

TEST(PcfReader, ReadsEndPointsWithConnectionTypesAndAnyNumberFormat) {
    PcfLoadResult r =
        Read("UNITS-BORE INCH\nUNITS-CO-ORDS MM\nVALVE\n"
             "    END-POINT        -57.5897    210.9282    -0.0000    4.0000  Universal_ET\n"
             "    END-POINT 14073.6744314497 210.9282 0 BW\n");
    ASSERT_EQ(r.model.elements.size(), 1u);
    const Element& e = r.model.elements[0];
    EXPECT_TRUE(e.rigid);
    EXPECT_NEAR(e.od, kOd100, 1e-9); // the second end's bore is missing: the first one's
    EXPECT_NE(NodeAt(r.model, {14073.6744314497, 210.9282, 0}), 0);
    EXPECT_NE(NodeAt(r.model, {-57.5897, 210.9282, 0}), 0);
}

TEST(PcfReader, ComputesBendsFromEndPointsAndCorner) {
    PcfLoadResult r = Read(kElbowRun);
    EXPECT_TRUE(r.report.warnings.empty()) << r.report.warnings.front();
    // The elbow ends at its corner and the pipe after it starts there, as the model format
    // draws bends; the elbow's far end is no longer a node.
    ASSERT_EQ(r.model.elements.size(), 3u);
    EXPECT_EQ(r.model.nodes.size(), 4u);
    ExpectBendAt(r.model, {1152.4, 0, 0}, 152.4, 90);
    EXPECT_EQ(NodeAt(r.model, {1152.4, 0, 152.4}), 0);

    // A centre point with a bore, ANGLE in degrees: the same.
    std::string withBore = kElbowRun;
    withBore.replace(withBore.find("CENTRE-POINT 1152.4 0 0"), 23, "CENTRE-POINT 1152.4 0 0 100");
    withBore.replace(withBore.find("ANGLE 9000"), 10, "ANGLE 90");
    PcfLoadResult r2 = Read(withBore);
    EXPECT_TRUE(r2.report.warnings.empty());
    ExpectSameModel(r.model, r2.model);
}

TEST(PcfReader, UsesAngleOnlyAsACheckInAnyUnitAndConvention) {
    // A 45 degree bend of radius 100: tangent 41.421356 from the corner.
    const double t = 100 * std::tan(22.5 * 3.14159265358979323846 / 180);
    const double x2 = t + t * std::sqrt(0.5), z2 = t * std::sqrt(0.5);
    auto bend = [&](const std::string& extra) {
        char text[512];
        std::snprintf(text, sizeof text,
                      "BEND\n    END-POINT 0 0 0 100\n    END-POINT %.12f 0 %.12f 100\n    "
                      "CENTRE-POINT %.12f 0 0\n%s",
                      x2, z2, t, extra.c_str());
        return Read(Pipe("-500 0 0", "0 0 0") + text);
    };
    for (const char* angle : {"    ANGLE 4500\n", "    ANGLE 13500\n", "    ANGLE 45\n", ""}) {
        PcfLoadResult r = bend(angle);
        EXPECT_TRUE(r.report.warnings.empty()) << angle;
        ExpectBendAt(r.model, {t, 0, 0}, 100, 45);
    }
    PcfLoadResult wrong = bend("    ANGLE 3000\n");
    ASSERT_EQ(wrong.report.warnings.size(), 1u);
    EXPECT_EQ(wrong.report.warnings[0],
              "t.pcf:8:11: ANGLE 3000 does not match the bend's deflection of 45.00 degrees");
    ExpectBendAt(wrong.model, {t, 0, 0}, 100, 45);

    // BEND-RADIUS is taken when it fits the geometry, else the geometry's radius is.
    ExpectBendAt(bend("    BEND-RADIUS 100.0004\n").model, {t, 0, 0}, 100.0004, 45);
    PcfLoadResult misfit = bend("    BEND-RADIUS 150\n");
    ASSERT_EQ(misfit.report.warnings.size(), 1u);
    EXPECT_NE(misfit.report.warnings[0].find("BEND-RADIUS 150.00 does not fit"), std::string::npos);
    ExpectBendAt(misfit.model, {t, 0, 0}, 100, 45);
}

TEST(PcfReader, DrawsReducersInEitherDirection) {
    PcfLoadResult r =
        Read("REDUCER-CONCENTRIC\n    END-POINT 0 0 0 150\n    END-POINT 300 0 0 100\n");
    ASSERT_EQ(r.model.elements.size(), 1u);
    EXPECT_NEAR(r.model.elements[0].od, kOd150, 1e-9);
    EXPECT_NEAR(*r.model.elements[0].reducerOd, kOd100, 1e-9);

    PcfLoadResult back =
        Read("REDUCER-ECCENTRIC\n    END-POINT 300 0 0 100\n    END-POINT 0 0 0 150\n"
             "    FLAT-DIRECTION UP\n");
    const Element& e = back.model.elements[0];
    EXPECT_EQ(FileAt(back.model, e.from), (Vec3{300, 0, 0}));
    EXPECT_NEAR(e.od, kOd100, 1e-9);
    EXPECT_NEAR(*e.reducerOd, kOd150, 1e-9);
}

TEST(PcfReader, JoinsTeeCrossAndYPieceLegsAtTheirCentre) {
    PcfLoadResult tee = Read(
        Pipe("0 0 0", "1000 0 0", "200") +
        "TEE\n    END-POINT 1000 0 0 200\n    END-POINT 1356 0 0 200\n    CENTRE-POINT 1178 0 0\n"
        "    BRANCH1-POINT 1178 0 -168 150\n    SKEY TEBW\n" +
        Pipe("1356 0 0", "2000 0 0", "200") + Pipe("1178 0 -168", "1178 0 -1000", "150"));
    int centre = NodeAt(tee.model, {1178, 0, 0});
    ASSERT_EQ(tee.model.tees.size(), 1u);
    EXPECT_EQ(tee.model.tees[0].node, centre);
    EXPECT_EQ(tee.model.ElementsAt(centre).size(), 3u);
    EXPECT_NEAR(ElementBetween(tee.model, centre, NodeAt(tee.model, {1178, 0, -168}))->od, kOd150,
                1e-9);
    EXPECT_EQ(tee.model.elements.size(), 6u);
    EXPECT_EQ(ConnectedPieces(tee.model), 1);

    PcfLoadResult cross = Read(
        "CROSS\n    END-POINT -100 0 0 100\n    END-POINT 100 0 0 100\n    CENTRE-POINT 0 0 0\n"
        "    BRANCH1-POINT 0 100 0 100\n    BRANCH2-POINT 0 -100 0 100\n");
    EXPECT_EQ(cross.model.ElementsAt(NodeAt(cross.model, {0, 0, 0})).size(), 4u);
    EXPECT_TRUE(cross.model.tees.empty());

    PcfLoadResult y = Read("Y-PIECE-FITTING\n    END-POINT 0 0 -100 25.4\n    CENTRE-POINT 0 0 0\n"
                           "    BRANCH1-POINT 70 0 70 203.2\n    BRANCH2-POINT -70 0 70 203.2\n");
    EXPECT_EQ(y.model.ElementsAt(NodeAt(y.model, {0, 0, 0})).size(), 3u);
    EXPECT_NEAR(y.model.elements[0].od, 1.315 * 25.4, 1e-9);
    EXPECT_NEAR(y.model.elements[1].od, kOd200, 1e-9);
    EXPECT_TRUE(y.model.tees.empty());
}

TEST(PcfReader, SplitsTheHeaderWhereAnOletOrStubInBranchStands) {
    PcfLoadResult olet =
        Read(Pipe("0 0 0", "1000 0 0", "200") +
             "OLET\n    CENTRE-POINT 400 0 0\n    BRANCH1-POINT 400 0 150 25\n    ANGLE 9000\n" +
             Pipe("400 0 150", "400 0 400", "25"));
    int at = NodeAt(olet.model, {400, 0, 0});
    ASSERT_NE(at, 0);
    EXPECT_EQ(olet.model.ElementsAt(at).size(), 3u);
    ASSERT_EQ(olet.model.tees.size(), 1u);
    EXPECT_EQ(olet.model.elements.size(), 4u);
    EXPECT_EQ(ConnectedPieces(olet.model), 1);

    // An olet written at the header's surface starts on its centre-line.
    PcfLoadResult surface =
        Read(Pipe("0 0 0", "1000 0 0", "200") +
             "OLET\n    CENTRE-POINT 400 0 109.55\n    BRANCH1-POINT 400 0 250 25\n");
    int under = NodeAt(surface.model, {400, 0, 0});
    ASSERT_NE(under, 0);
    EXPECT_EQ(surface.model.ElementsAt(under).size(), 3u);
    EXPECT_EQ(NodeAt(surface.model, {400, 0, 109.55}), 0);
    EXPECT_EQ(ConnectedPieces(surface.model), 1);

    // Two stub-in tees, all their points one, and a branch pipe 0.47 mm away from them.
    const std::string stub = "TEE\n    END-POINT 0 0 1000 152.4\n    END-POINT 0 0 1000 152.4\n"
                             "    CENTRE-POINT 0 0 1000\n    BRANCH1-POINT 0 0 1000 101.6\n";
    PcfLoadResult stubs = Read(Pipe("0 0 0", "0 0 1000", "152.4") + stub + stub +
                               Pipe("0 0 1000", "0 0 2000", "152.4") +
                               Pipe("0.33 -0.3 1000.15", "0.33 -600 1000.15", "101.6"));
    int joint = NodeAt(stubs.model, {0, 0, 1000});
    EXPECT_EQ(stubs.model.ElementsAt(joint).size(), 3u);
    EXPECT_EQ(stubs.model.elements.size(), 3u);
    EXPECT_EQ(ConnectedPieces(stubs.model), 1);
    EXPECT_EQ(stubs.model.tees.size(), 1u);
    EXPECT_TRUE(stubs.report.warnings.empty());
}

TEST(PcfReader, MapsSupportsToRestraintsHangersAndAnchors) {
    PcfLoadResult r =
        Read(Pipe("0 0 0", "1000 0 0") +
             "SUPPORT\n    CO-ORDS 1000 0 0 100\n    SKEY SKID\n    SUPPORT-DIRECTION DOWN\n"
             "SUPPORT\n    CO-ORDS 1000 0 0 100\n    SKEY GUID\n    SUPPORT-DIRECTION NORTH\n"
             "SUPPORT\n    CO-ORDS 1000 0 0\n    SKEY GUID\n"
             "SUPPORT\n    CO-ORDS 0 0 0\n    SKEY ANCH\n"
             "SUPPORT\n    CO-ORDS 500 0 0\n    SKEY                    \n"
             "SUPPORT\n    CO-ORDS 700 0 -57.15\n    SKEY HANG\n"
             "SUPPORT\n    CO-ORDS 300 0 0\n    SKEY LIMT\n"
             "SUPPORT\n    CO-ORDS 5000 0 0\n    SKEY SKID\n");
    const PipingModel& m = r.model;
    int end = NodeAt(m, {1000, 0, 0}), mid = NodeAt(m, {500, 0, 0}), hang = NodeAt(m, {700, 0, 0});
    ASSERT_EQ(m.restraints.size(), 5u);
    EXPECT_EQ(m.restraints[0].node, end);
    EXPECT_EQ(m.restraints[0].direction, 6); // DOWN
    EXPECT_EQ(m.restraints[1].direction, 2); // NORTH
    EXPECT_EQ(m.restraints[2].direction, 0); // a guide with no direction: across the pipe
    EXPECT_EQ(m.restraints[2].cosines, "0, 1, 0");
    EXPECT_EQ(m.restraints[3].node, mid);
    EXPECT_EQ(m.restraints[3].direction, 3);       // a resting support with no SKEY: from below
    EXPECT_EQ(m.restraints[4].cosines, "1, 0, 0"); // a limit stop: along the pipe
    ASSERT_EQ(m.anchors.size(), 1u);
    EXPECT_EQ(m.anchors[0].node, NodeAt(m, {0, 0, 0}));
    ASSERT_EQ(m.hangers.size(), 1u); // at the pipe's surface: hung on the centre-line below it
    EXPECT_EQ(m.hangers[0].node, hang);
    EXPECT_FALSE(m.hangers[0].can);
    EXPECT_EQ(m.elements.size(), 4u);
    EXPECT_EQ(r.report.skipped.at("SUPPORT"), 1);
    ASSERT_EQ(r.report.warnings.size(), 1u);
    EXPECT_EQ(r.report.warnings[0],
              "t.pcf:27:1: SUPPORT at (5000.00, 0.00, 0.00) stands on no pipe; skipped");
}

TEST(PcfReader, PutsSupportsOnValvesAndBendsAtTheirNearerEnd) {
    PcfLoadResult r =
        Read(std::string(kElbowRun) +
             "VALVE\n    END-POINT 1152.4 0 1000 100\n    END-POINT 1152.4 0 1300 100\n" +
             "SUPPORT\n    CO-ORDS 1152.4 0 1200\n    SKEY SKID\n" +
             // on the elbow's arc, nearer its first end
             "SUPPORT\n    CO-ORDS 1044.64 0 44.64\n    SKEY SKID\n");
    ASSERT_EQ(r.model.restraints.size(), 2u) << FormatPcfWarnings(r.report);
    EXPECT_EQ(r.model.restraints[0].node, NodeAt(r.model, {1152.4, 0, 1300}));
    EXPECT_EQ(r.model.restraints[1].node, NodeAt(r.model, {1000, 0, 0}));
    EXPECT_EQ(r.model.elements.size(), 4u); // nothing divided
    ExpectBendAt(r.model, {1152.4, 0, 0}, 152.4, 90);
}

// Short legs and wide bends turning by 150 degrees: the arcs reach far beyond their ends.
TEST(PcfReader, FindsTheBendUnderEachSupport) {
    const double kPi = 3.14159265358979323846, r = 1000, t = r * std::tan(75 * kPi / 180);
    std::string text;
    for (int i = 0; i < 3; ++i) {
        const double y = 5000.0 * i, x2 = t + t * std::cos(150 * kPi / 180), y2 = y + t / 2;
        auto arc = [&](double degrees) {
            return std::to_string(r * std::cos(degrees * kPi / 180)) + " " +
                   std::to_string(y + r + r * std::sin(degrees * kPi / 180)) + " 0";
        };
        char bend[512];
        std::snprintf(bend, sizeof bend,
                      "BEND\n    END-POINT 0 %.9f 0 100\n    END-POINT %.9f %.9f 0 100\n"
                      "    CENTRE-POINT %.9f %.9f 0\n",
                      y, x2, y2, t, y);
        text += Pipe("-60 " + std::to_string(y) + " 0", "0 " + std::to_string(y) + " 0") + bend +
                "SUPPORT\n    CO-ORDS " + arc(-40) + "\n" + "SUPPORT\n    CO-ORDS " + arc(30) + "\n";
    }
    PcfLoadResult m = Read(text);
    ASSERT_EQ(m.model.restraints.size(), 6u) << FormatPcfWarnings(m.report);
    for (int i = 0; i < 3; ++i) {
        const double y = 5000.0 * i;
        EXPECT_EQ(m.model.restraints[2 * i].node, NodeAt(m.model, {0, y, 0}, 1e-6));
        EXPECT_EQ(m.model.restraints[2 * i + 1].node,
                  NodeAt(m.model, {t + t * std::cos(150 * kPi / 180), y + t / 2, 0}, 1e-6));
    }
}

TEST(PcfReader, SkipsWeldsAnnotationsAndZeroLengthItems) {
    PcfLoadResult r = Read(Pipe("0 0 0", "1000 0 0") +
                           "WELD\n    END-POINT 1000 0 0 100\n    END-POINT 1000 0 0 100\n" +
                           "GASKET\n    END-POINT 1000 0 0 100\n    END-POINT 1000 0 0 100\n" +
                           "FLOW-ARROW\n    CO-ORDS 500 0 0\n" +
                           "MESSAGE-CIRCLE\n    CO-ORDS 500 0 0\n    TEXT 1\n" +
                           Pipe("1000 0 0", "1000 0 0") + Pipe("1000 0 0", "2000 0 0"));
    EXPECT_EQ(r.model.elements.size(), 2u);
    EXPECT_EQ(
        r.report.skipped,
        (std::map<std::string, int>{
            {"FLOW-ARROW", 1}, {"GASKET", 1}, {"MESSAGE-CIRCLE", 1}, {"PIPE", 1}, {"WELD", 1}}));
    ASSERT_EQ(r.report.warnings.size(), 1u); // only the zero-length pipe is unusual
    EXPECT_EQ(r.report.warnings[0], "t.pcf:15:1: PIPE has zero length; skipped");
}

TEST(PcfReader, FollowsRunsWhateverOrderTheFileListsThem) {
    // Components grouped by type, a pipe and the elbow written against the flow.
    PcfLoadResult r = Read("ELBOW\n    END-POINT 1152.4 0 152.4 100\n    END-POINT 1000 0 0 100\n"
                           "    CENTRE-POINT 1152.4 0 0\n" +
                           Pipe("1152.4 0 1000", "1152.4 0 152.4") + Pipe("1000 0 0", "0 0 0") +
                           "FLANGE\n    END-POINT 0 0 270 100\n    END-POINT 0 0 200 100\n");
    ASSERT_EQ(r.model.elements.size(), 4u);
    EXPECT_EQ(ConnectedPieces(r.model), 2); // the flange stands apart
    ExpectBendAt(r.model, {1152.4, 0, 0}, 152.4, 90);
    LoadResult again = ParsePipingModel(WriteModelJson(r.model), "again.json");
    EXPECT_TRUE(again.ok) << again.error;
}

TEST(PcfReader, RecentresLargeCoordinatesInDoublePrecision) {
    PcfLoadResult r = Read(
        Pipe("27711.0000 -1056269.5000 3618.4861", "27711.0000 -1040403.4375 3618.4861", "1219.2"));
    const PipingModel& m = r.model;
    EXPECT_EQ(m.origin, (Vec3{27711, (-1056269.5 - 1040403.4375) / 2, 3618.4861}));
    for (const auto& [id, p] : m.nodes) {
        EXPECT_LT(std::fabs(p[1]), 8000);
        EXPECT_EQ(static_cast<double>(static_cast<float>(p[1])), p[1]); // exact in single precision
    }
    EXPECT_NE(NodeAt(m, {27711.0, -1056269.5, 3618.4861}, 1e-9), 0);
    EXPECT_NEAR(m.elements[0].od, 1219.2, 1e-9);
    EXPECT_EQ(r.report.boxMin, (Vec3{27711, -1056269.5, 3618.4861}));
    EXPECT_EQ(r.report.boxMax, (Vec3{27711, -1040403.4375, 3618.4861}));
}

TEST(PcfReader, IgnoresTheMaterialsSectionAndCountsUnknownKeywords) {
    PcfLoadResult r =
        Read(Pipe("0 0 0", "1000 0 0") +
             "    R2_DESIGN_PRESS      -1000000015047466200000000000000.00\n    UCI 7\n"
             "    MASTER-COMPONENT-IDENTIFIER 28 CP\n    Schedule  \n"
             "MATERIALS\nMATERIAL-IDENTIFIER 1\n    ITEM-CODE PCA_XS\nITEM-CODE  CS300-110\n"
             "    DESCRIPTION  FLANGE BLIND, 300 LB\n    PressureClass  300\n    -81               "
             "  XV-49896\n"
             "PIPE\n    END-POINT 0 0 0\n");
    EXPECT_EQ(r.model.elements.size(), 1u);
    EXPECT_EQ(r.report.components, (std::map<std::string, int>{{"PIPE", 1}}));
    EXPECT_EQ(r.report.unknownKeywords,
              (std::map<std::string, int>{{"MASTER-COMPONENT-IDENTIFIER", 1},
                                          {"R2_DESIGN_PRESS", 1},
                                          {"SCHEDULE", 1},
                                          {"UCI", 1}}));

    // An unknown component in an indented file is skipped whole; its points join nothing.
    PcfLoadResult unknown = Read(Pipe("0 0 0", "1000 0 0") +
                                 "SPECIAL-THING\n    END-POINT 5 5 5 100\n"
                                 "    END-POINT 9 9 9 100\n" +
                                 Pipe("1000 0 0", "2000 0 0"));
    EXPECT_EQ(unknown.model.elements.size(), 2u);
    EXPECT_EQ(unknown.report.skipped.at("SPECIAL-THING"), 1);
    EXPECT_EQ(unknown.report.warnings,
              std::vector<std::string>{"t.pcf:4:1: unknown component SPECIAL-THING skipped"});
}

TEST(PcfReader, DecodesUtf8AndFallsBackToLatin1) {
    PcfLoadResult latin1 = Read("PIPELINE-REFERENCE P\xF6rner\n" + Pipe("0 0 0", "10 0 0"));
    EXPECT_EQ(latin1.report.pipelines[0], "P\xC3\xB6rner");
    PcfLoadResult utf8 = Read("PIPELINE-REFERENCE ELBOW 90\xC2\xB0\n" + Pipe("0 0 0", "10 0 0"));
    EXPECT_EQ(utf8.report.pipelines[0], "ELBOW 90\xC2\xB0");
}

TEST(PcfReader, AcceptsCrlfBlankLinesAndNoFinalNewline) {
    std::string lf = std::string(kElbowRun);
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n\r\n") : std::string(1, c);
    crlf.resize(crlf.size() - 4);
    ExpectSameModel(Read(lf).model, Read(crlf).model);
}

TEST(PcfReader, KnowsEveryComponentKeywordRealFilesUse) {
    for (const char* k :
         {"PIPE", "PIPE-FIXED", "CAP", "COUPLING", "FLANGE", "FLANGE-BLIND", "VALVE", "FILTER",
          "INSTRUMENT", "GASKET", "MISC-COMPONENT", "REDUCER-CONCENTRIC", "REDUCER-ECCENTRIC"}) {
        PcfLoadResult r =
            Read(std::string(k) + "\n    END-POINT 0 0 0 100\n    END-POINT 100 0 0 100\n");
        EXPECT_EQ(r.model.elements.size(), 1u) << k;
        EXPECT_EQ(r.model.elements[0].rigid, !std::string(k).starts_with("PIPE") &&
                                                 !std::string(k).starts_with("CAP") &&
                                                 !std::string(k).starts_with("REDUCER"))
            << k;
    }
    for (const char* k : {"ELBOW", "BEND", "BEND-TEED"}) {
        PcfLoadResult r =
            Read(std::string(k) + "\n    END-POINT 0 0 0 100\n    END-POINT 100 0 100 100\n"
                                  "    CENTRE-POINT 100 0 0\n    BRANCH1-POINT 200 0 -100 50\n");
        ExpectBendAt(r.model, {100, 0, 0}, 100, 90);
    }
    PcfLoadResult angle = Read("VALVE-ANGLE\n    END-POINT 0 0 0 15\n    END-POINT -52 0 121.5 "
                               "15\n    CENTRE-POINT 0 0 121.5\n");
    EXPECT_EQ(angle.model.elements.size(), 2u);
    PcfLoadResult dial = Read(Pipe("0 0 0", "100 0 0", "15") +
                              "INSTRUMENT-DIAL\n    END-POINT 100 0 0 15\n    CO-ORDS 300 0 0\n");
    EXPECT_EQ(dial.model.elements.size(), 2u);
    PcfLoadResult setOn =
        Read(Pipe("0 0 0", "100 0 0") +
             "TEE-SET-ON\n    CENTRE-POINT 50 0 0\n    BRANCH1-POINT 50 0 80 50\n");
    EXPECT_EQ(setOn.model.tees.size(), 1u);
    for (const char* k :
         {"BOLT", "FLOW-ARROW", "MESSAGE-CIRCLE", "MESSAGE-SQUARE", "END-POSITION-NULL",
          "END-POSITION-CLOSED", "END-CONNECTION-PIPELINE", "END-CONNECTION-EQUIPMENT", "WELD"}) {
        PcfLoadResult r = Read(Pipe("0 0 0", "100 0 0") + k + "\n    CO-ORDS 0 0 0\n");
        EXPECT_EQ(r.report.skipped.at(k), 1) << k;
        EXPECT_TRUE(r.report.unknownKeywords.empty()) << k;
        EXPECT_TRUE(r.report.warnings.empty()) << k;
    }
}

TEST(PcfReader, RefusesFilesThatCannotBeDrawnWithTheirPosition) {
    EXPECT_EQ(
        ErrorOf("{ \"elements\": [] }\n"),
        "t.pcf:1:1: not a piping component file (PCF): no pipeline, unit or component keyword");
    EXPECT_EQ(
        ErrorOf(""),
        "t.pcf:1:1: not a piping component file (PCF): no pipeline, unit or component keyword");
    EXPECT_EQ(ErrorOf("PIPE\n    END-POINT nan 0 0 100\n    END-POINT 1 0 0 100\n"),
              "t.pcf:2:15: END-POINT co-ordinate \"nan\" is not a finite number");
    EXPECT_EQ(ErrorOf("PIPE\n    END-POINT 1e300 0 0 100\n"),
              "t.pcf:2:15: END-POINT co-ordinate 1e300 is out of range");
    EXPECT_EQ(ErrorOf("PIPE\n    END-POINT 0 0\n"),
              "t.pcf:2:5: END-POINT needs three co-ordinates");
    EXPECT_EQ(ErrorOf("UNITS-CO-ORDS FEET\n"),
              "t.pcf:1:15: unknown co-ordinate unit \"FEET\" (MM, INCH or METRE)");
    EXPECT_EQ(ErrorOf("MESSAGE-CIRCLE\n    CO-ORDS 0 0 0\n"),
              "t.pcf:1:1: the file has no components that can be drawn");
    EXPECT_EQ(ErrorOf("ELBOW\n    END-POINT 100 0 0 100\n    END-POINT 200 0 100 100\n"),
              "t.pcf:1:1: ELBOW needs a CENTRE-POINT: the corner where its legs meet");
    EXPECT_EQ(ErrorOf("BEND\n    END-POINT 0 0 0 100\n    END-POINT 100 0 300 100\n    "
                      "CENTRE-POINT 100 0 0\n"),
              "t.pcf:4:5: BEND's legs from the CENTRE-POINT are 100.00 and 300.00 mm long; a "
              "bend's corner is as far from "
              "both END-POINTs");
}

// A bend's CENTRE-POINT is its corner; where it is not, the corner its geometry gives is drawn,
// with one warning naming the line and what was taken.
TEST(PcfReader, PlacesBendsWhoseCentrePointIsNotTheirCorner) {
    auto elbow = [](const std::string& keyword, const std::string& centre) {
        std::string text = kElbowRun;
        text.replace(text.find("ELBOW"), 5, keyword);
        text.replace(text.find("    CENTRE-POINT 1152.4 0 0\n"), 28, centre);
        return Read(text);
    };
    // The arc's centre: as far from both ends, square to the legs. A teed bend's branch
    // leaves from the middle of the arc.
    PcfLoadResult arc = elbow("BEND-TEED", "    CENTRE-POINT 1000 0 152.4\n"
                                           "    BRANCH1-POINT 1249.18 0 -96.78 50\n");
    ExpectBendAt(arc.model, {1152.4, 0, 0}, 152.4, 90);
    EXPECT_EQ(arc.report.warnings,
              std::vector<std::string>{"t.pcf:10:5: BEND-TEED's CENTRE-POINT is taken as the centre "
                                       "of its arc; the corner is (1152.40, 0.00, 0.00)"});
    const Element* branch = nullptr;
    for (const Element& e : arc.model.elements)
        if (e.to == NodeAt(arc.model, {1249.18, 0, -96.78}))
            branch = &e;
    ASSERT_NE(branch, nullptr);
    const Vec3 start = FileAt(arc.model, branch->from);
    EXPECT_NEAR(Length({start[0] - 1000, 0, start[2] - 152.4}), 152.4, 1e-6);

    // No CENTRE-POINT, or one that is neither corner nor centre: where the legs meet.
    PcfLoadResult none = elbow("ELBOW", "");
    ExpectBendAt(none.model, {1152.4, 0, 0}, 152.4, 90);
    EXPECT_EQ(none.report.warnings,
              std::vector<std::string>{"t.pcf:7:1: ELBOW has no CENTRE-POINT; the corner is taken "
                                       "where the legs at lines 4 and 11 meet, (1152.40, 0.00, 0.00)"});
    PcfLoadResult astray = elbow("ELBOW", "    CENTRE-POINT 1100 0 60\n");
    ExpectBendAt(astray.model, {1152.4, 0, 0}, 152.4, 90);
    EXPECT_EQ(astray.report.warnings,
              std::vector<std::string>{
                  "t.pcf:10:5: ELBOW's CENTRE-POINT is not the corner where its legs meet; the "
                  "corner is taken where the legs at lines 4 and 12 meet, (1152.40, 0.00, 0.00)"});
    // A leg at one end only: the point on its line as far from both ends.
    PcfLoadResult oneLeg =
        Read(Pipe("0 0 0", "100 0 0") + "ELBOW\n    END-POINT 100 0 0 100\n    END-POINT 200 0 100 100\n");
    ExpectBendAt(oneLeg.model, {200, 0, 0}, 100, 90);
    EXPECT_EQ(oneLeg.report.warnings.size(), 1u);
}

TEST(PcfReader, DrawsWhatCanBePlacedAndLeavesOutWhatCannot) {
    PcfLoadResult r = Read(Pipe("0 0 0", "1000 0 0") +
                           "PIPE\n    END-POINT nan 0 0 100\n    END-POINT 1 0 0 100\n"
                           "ELBOW\n    END-POINT 1000 0 0 100\n    END-POINT 900 0 100 100\n");
    EXPECT_EQ(r.model.elements.size(), 1u);
    const std::vector<std::string> errors = {
        "t.pcf:5:15: error: END-POINT co-ordinate \"nan\" is not a finite number; the PIPE is "
        "left out",
        "t.pcf:7:1: error: ELBOW needs a CENTRE-POINT: the corner where its legs meet; the ELBOW "
        "is left out"};
    EXPECT_EQ(r.report.errors, errors);
    EXPECT_EQ(r.report.skipped, (std::map<std::string, int>{{"ELBOW", 1}, {"PIPE", 1}}));
    EXPECT_EQ(FormatPcfWarnings(r.report), errors[0] + "\n" + errors[1] + "\n");
}

TEST(PcfReader, PrintsAtMostTwentyWarnings) {
    std::string text = Pipe("0 0 0", "10 0 0");
    for (int i = 0; i < 25; ++i)
        text += Pipe("5 5 5", "5 5 5");
    PcfLoadResult r = Read(text);
    EXPECT_EQ(r.report.warnings.size(), 25u);
    std::string printed = FormatPcfWarnings(r.report);
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 21);
    EXPECT_NE(printed.find("... and 5 more warnings\n"), std::string::npos);
}

TEST(PcfReader, ConvertsToModelJsonThatReadsBackTheSame) {
    PcfLoadResult r = Read(
        std::string(kElbowRun) +
        "TEE\n    END-POINT 1152.4 0 1000 100\n    END-POINT 1152.4 0 1200 100\n"
        "    CENTRE-POINT 1152.4 0 1100\n    BRANCH1-POINT 1252.4 0 1100 50\n" +
        "REDUCER-CONCENTRIC\n    END-POINT 1252.4 0 1100 50\n    END-POINT 1352.4 0 1100 25\n" +
        "VALVE\n    END-POINT 1152.4 0 1200 100\n    END-POINT 1152.4 0 1500 100\n" +
        "SUPPORT\n    CO-ORDS 500 0 0\n    SKEY GUID\nSUPPORT\n    CO-ORDS 0 0 0\n    SKEY ANCH\n"
        "SUPPORT\n    CO-ORDS 700 0 0\n    SKEY HGR\nSUPPORT\n    CO-ORDS 800 0 0\n    SKEY CAN\n"
        "SUPPORT\n    CO-ORDS 900 0 0\n    SUPPORT-DIRECTION WEST\n");
    LoadResult back = ParsePipingModel(WriteModelJson(r.model), "converted.json");
    ASSERT_TRUE(back.ok) << back.error;
    ExpectSameModel(r.model, back.model);
    EXPECT_EQ(back.model.hangers.size(), 2u);
    ASSERT_EQ(back.model.tees.size(), 1u);

    ModelFileResult sniffed = ParseModelText(WriteModelJson(r.model), "no-extension");
    EXPECT_EQ(sniffed.format, ModelFormat::Json);
    EXPECT_TRUE(sniffed.ok) << sniffed.error;
}

TEST(PcfReader, ChoosesTheReaderByContent) {
    EXPECT_EQ(SniffModelFormat(kElbowRun, "model.json"), ModelFormat::Pcf);
    EXPECT_EQ(SniffModelFormat("\xEF\xBB\xBF  {\"elements\": []}", "model.pcf"), ModelFormat::Json);
    EXPECT_EQ(SniffModelFormat("  \n  PIPELINE-REFERENCE X\n", "x.txt"), ModelFormat::Pcf);
    EXPECT_EQ(SniffModelFormat("garbage", "x.PCF"), ModelFormat::Pcf);
    EXPECT_EQ(SniffModelFormat("garbage", "x.txt"), ModelFormat::Json);
    ModelFileResult r = ParseModelText(kElbowRun, "line.dat");
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.pcf.pipelines, std::vector<std::string>{"L-1"});
}
