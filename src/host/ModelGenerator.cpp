#include "host/ModelGenerator.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace ketra::host {

namespace {

struct Size {
    double od, wall, bendRadius;
};
// Common pipe sizes: 2, 3, 4, 6, 8, 10, 12 in.
const Size kSizes[] = {{2.375, 0.154, 3},  {3.5, 0.216, 4.5},  {4.5, 0.237, 6},  {6.625, 0.28, 9},
                       {8.625, 0.322, 12}, {10.75, 0.365, 15}, {12.75, 0.375, 18}};

class Writer {
public:
    explicit Writer(std::ostream& out) : m_out(out) {}

    void Element(int from, int to, double dx, double dy, double dz, const std::string& extra = "") {
        m_elements << (m_elementCount++ ? ",\n    " : "    ") << "{ \"from\": " << from
                   << ", \"to\": " << to << ", \"delta\": [" << dx << ", " << dy << ", " << dz << "]"
                   << extra << " }";
    }
    void Item(std::ostringstream& list, int& count, const std::string& body) {
        list << (count++ ? ",\n    " : "    ") << "{ " << body << " }";
    }
    void Restraint(int node, const char* dir) {
        Item(m_restraints, m_restraintCount, "\"node\": " + std::to_string(node) + ", \"direction\": \"" + dir + "\"");
    }
    void Skewed(int node) {
        Item(m_restraints, m_restraintCount, "\"node\": " + std::to_string(node) + ", \"cosines\": [0.7071, 0.7071, 0]");
    }
    void Hanger(int node, bool can) {
        Item(m_hangers, m_hangerCount, "\"node\": " + std::to_string(node) + ", \"kind\": \"" + (can ? "can" : "spring") + "\"");
    }
    void Node(std::ostringstream& list, int& count, int node) { Item(list, count, "\"node\": " + std::to_string(node)); }
    void Anchor(int node) { Node(m_anchors, m_anchorCount, node); }
    void Nozzle(int node) { Node(m_nozzles, m_nozzleCount, node); }
    void Flange(int node) { Node(m_flanges, m_flangeCount, node); }
    void Tee(int node) { Node(m_tees, m_teeCount, node); }
    void Start(int node, double x, double y, double z) {
        m_nodes << (m_nodeCount++ ? ",\n    " : "    ") << "{ \"id\": " << node << ", \"at\": [" << x << ", " << y << ", " << z << "] }";
    }
    void Steel(const char* section, double x1, double y1, double z1, double x2, double y2, double z2,
               const char* dims, double turn) {
        std::ostringstream s;
        s << "\"section\": \"" << section << "\", \"from\": [" << x1 << ", " << y1 << ", " << z1
          << "], \"to\": [" << x2 << ", " << y2 << ", " << z2 << "], \"dims\": " << dims << ", \"turn\": " << turn;
        Item(m_steel, m_steelCount, s.str());
    }
    int ElementCount() const { return m_elementCount; }

    void Finish(int requested) {
        m_out << "{\n  \"format\": \"ketra-model/1\",\n  \"title\": \"generated plant of about " << requested
              << " elements\",\n  \"units\": \"in\",\n  \"up\": \"z\",\n";
        auto list = [&](const char* key, std::ostringstream& s, int n, bool last = false) {
            m_out << "  \"" << key << "\": [\n" << (n ? s.str() + "\n" : "") << "  ]" << (last ? "\n" : ",\n");
        };
        list("nodes", m_nodes, m_nodeCount);
        list("elements", m_elements, m_elementCount);
        list("restraints", m_restraints, m_restraintCount);
        list("hangers", m_hangers, m_hangerCount);
        list("anchors", m_anchors, m_anchorCount);
        list("nozzles", m_nozzles, m_nozzleCount);
        list("flanges", m_flanges, m_flangeCount);
        list("tees", m_tees, m_teeCount);
        list("steel", m_steel, m_steelCount, true);
        m_out << "}\n";
    }

private:
    std::ostream& m_out;
    std::ostringstream m_nodes, m_elements, m_restraints, m_hangers, m_anchors, m_nozzles, m_flanges, m_tees, m_steel;
    int m_nodeCount = 0, m_elementCount = 0, m_restraintCount = 0, m_hangerCount = 0, m_anchorCount = 0,
        m_nozzleCount = 0, m_flangeCount = 0, m_teeCount = 0, m_steelCount = 0;
};

std::string SizeText(const Size& s) {
    std::ostringstream t;
    t << ", \"od\": " << s.od << ", \"wall\": " << s.wall;
    return t.str();
}

} // namespace

void GenerateModel(std::ostream& out, int elementCount) {
    Writer w(out);
    const double bay = 240;      // rack bay length (20 ft)
    const double rackZ = 240;    // top of steel
    const double laneSpacing = 30;
    // One line: riser, run of `bays` bays along X with a tee branch every third bay, a drop.
    const int bays = 12;
    const int perLine = 5 + 2 * bays + 5 * (bays / 3); // riser, runs, branches, drop
    const int lines = std::max(1, (elementCount + perLine - 1) / perLine);
    const int lanesPerRack = 8;
    int racks = (lines + lanesPerRack - 1) / lanesPerRack;

    for (int line = 0; line < lines; ++line) {
        const Size& size = kSizes[line % 7];
        const int rack = line / lanesPerRack;
        const int lane = line % lanesPerRack;
        const double y0 = rack * 400.0 + lane * laneSpacing;
        const double runZ = rackZ + size.od / 2 + 1;
        int n = (line + 1) * 10000; // node numbers of this line
        auto next = [&](int step = 10) { return n += step; };

        int start = n;
        w.Start(start, -120, y0, 36);
        w.Anchor(start);
        w.Nozzle(start);
        int a = start, b = next();
        w.Element(a, b, 0, 0, runZ - 36, SizeText(size) + ", \"bend\": { \"radius\": " + std::to_string(size.bendRadius) + " }");
        a = b;
        b = next();
        w.Element(a, b, 120, 0, 0);
        w.Hanger(b, false);
        for (int i = 0; i < bays; ++i) {
            // Half bay to the support, half bay on.
            a = b;
            b = next();
            w.Element(a, b, bay / 2, 0, 0);
            a = b;
            b = next();
            w.Element(a, b, bay / 2, 0, 0);
            w.Restraint(b, "Z");
            if (i % 2 == 0) {
                w.Restraint(b, "Y");
                w.Restraint(b, "-Y");
            }
            if (i == bays / 2)
                w.Restraint(b, "X");
            if (i % 3 == 1) {
                // Tee branch down to equipment with a valve between flanges.
                const Size& branch = kSizes[std::max(0, line % 7 - 1)];
                int t = b;
                w.Tee(t);
                int c = next(1), d = next(1), e = next(1), f = next(1);
                w.Element(t, c, 0, 0, -36, SizeText(branch));
                w.Flange(c);
                w.Element(c, d, 0, 0, -18, ", \"rigid\": true");
                w.Flange(d);
                w.Element(d, e, 0, 0, -60);
                if (i % 2)
                    w.Hanger(e, true);
                else
                    w.Skewed(e);
                w.Element(e, f, 0, 0, -(runZ - 36 - 114 - 12));
                w.Anchor(f);
                // The run continues from the tee with the line size.
                a = b;
                b = next();
                w.Element(a, b, 24, 0, 0, SizeText(size));
            }
        }
        a = b;
        b = next();
        w.Element(a, b, 120, 0, 0, ", \"bend\": { \"radius\": " + std::to_string(size.bendRadius) + " }");
        a = b;
        b = next();
        w.Element(a, b, 0, 0, -60, ", \"expansionJoint\": true");
        a = b;
        b = next();
        w.Element(a, b, 0, 0, -(runZ - 36 - 60));
        w.Anchor(b);
        w.Nozzle(b);
    }
    // Rack steel: columns and beams every bay under each rack.
    const double length = bays * (bay + 24) + 240;
    for (int rack = 0; rack < racks; ++rack) {
        const double ya = rack * 400.0 - 24, yb = rack * 400.0 + (lanesPerRack - 1) * laneSpacing + 24;
        for (double x = 0; x <= length; x += bay) {
            w.Steel("wide-flange", x, ya, 0, x, ya, rackZ - 6, "[10, 10, 0.34, 0.56]", 0);
            w.Steel("wide-flange", x, yb, 0, x, yb, rackZ - 6, "[10, 10, 0.34, 0.56]", 0);
            w.Steel("channel", x, ya - 4, rackZ - 3, x, yb + 4, rackZ - 3, "[6, 2, 0.31, 0.34]", 90);
        }
        w.Steel("angle", 0, ya, 24, bay, ya, rackZ - 24, "[3, 3, 0.25, 0.25]", 0);
        w.Steel("angle", 0, yb, 24, bay, yb, rackZ - 24, "[3, 3, 0.25, 0.25]", 0);
    }
    w.Finish(elementCount);
}

} // namespace ketra::host
