#include "results/VtkWriter.h"

#include "platform/sys/AtomicFile.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>

namespace ketra::results {

namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

void Array(std::ostringstream& out, const char* type, const std::string& name, int components,
           const std::vector<double>& values) {
    out << "        <DataArray type=\"" << type << "\" Name=\"" << Escaped(name) << "\"";
    if (components > 1)
        out << " NumberOfComponents=\"" << components << "\"";
    out << " format=\"ascii\">\n          ";
    for (std::size_t i = 0; i < values.size(); ++i)
        out << values[i] << (i + 1 == values.size() ? "" : " ");
    out << "\n        </DataArray>\n";
}

} // namespace

std::string VtuText(const host::PipingModel& model, const Results& results, const LoadCase& c) {
    std::map<int, std::size_t> index;
    std::vector<double> points, translation, rotation;
    for (const auto& [node, p] : model.nodes) {
        index[node] = index.size();
        for (int i = 0; i < 3; ++i)
            points.push_back(p[i] + model.origin[i]);
        auto it = c.displacements.find(node);
        for (int i = 0; i < 3; ++i) {
            translation.push_back(it == c.displacements.end() ? 0 : it->second.translation[i]);
            rotation.push_back(it == c.displacements.end() ? 0 : it->second.rotation[i]);
        }
    }
    std::vector<double> connectivity, offsets, types, from, to, ratio, stress;
    for (const host::Element& e : model.elements) {
        connectivity.push_back(double(index.at(e.from)));
        connectivity.push_back(double(index.at(e.to)));
        offsets.push_back(double(connectivity.size()));
        types.push_back(3); // VTK_LINE
        from.push_back(e.from);
        to.push_back(e.to);
        // The larger of the two ends; NaN where the case has none, which ParaView leaves blank.
        double r = NAN, s = NAN;
        auto it = c.stresses.find({e.from, e.to});
        if (it != c.stresses.end()) {
            for (const EndStress& end : it->second) {
                s = std::isnan(s) ? std::fabs(end.stress) : std::max(s, std::fabs(end.stress));
                if (end.ratio)
                    r = std::isnan(r) ? *end.ratio : std::max(r, *end.ratio);
            }
        }
        ratio.push_back(r);
        stress.push_back(s);
    }
    const std::string length = model.units == host::Units::Inches ? "in" : "mm";
    std::ostringstream out;
    out.precision(9);
    out << "<?xml version=\"1.0\"?>\n"
        << "<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" byte_order=\"LittleEndian\">\n"
        << "  <UnstructuredGrid>\n"
        << "    <FieldData>\n"
        << "      <DataArray type=\"String\" Name=\"case\" NumberOfTuples=\"1\" format=\"ascii\">";
    for (unsigned char ch : c.name)
        out << int(ch) << ' ';
    out << "0</DataArray>\n    </FieldData>\n"
        << "    <Piece NumberOfPoints=\"" << model.nodes.size() << "\" NumberOfCells=\"" << model.elements.size()
        << "\">\n      <Points>\n";
    Array(out, "Float64", "position (" + length + ")", 3, points);
    out << "      </Points>\n      <Cells>\n";
    Array(out, "Int64", "connectivity", 1, connectivity);
    Array(out, "Int64", "offsets", 1, offsets);
    Array(out, "UInt8", "types", 1, types);
    out << "      </Cells>\n      <PointData Vectors=\"displacement (" << length << ")\">\n";
    Array(out, "Float64", "displacement (" + length + ")", 3, translation);
    Array(out, "Float64", "rotation (rad)", 3, rotation);
    Array(out, "Int32", "node", 1, [&] {
        std::vector<double> nodes;
        for (const auto& [node, p] : model.nodes)
            nodes.push_back(node);
        return nodes;
    }());
    out << "      </PointData>\n      <CellData Scalars=\"ratio\">\n";
    Array(out, "Float64", "ratio", 1, ratio);
    Array(out, "Float64", "stress (" + (results.units.stress.empty() ? std::string("-") : results.units.stress) + ")",
          1, stress);
    Array(out, "Int32", "from", 1, from);
    Array(out, "Int32", "to", 1, to);
    out << "      </CellData>\n    </Piece>\n  </UnstructuredGrid>\n</VTKFile>\n";
    return out.str();
}

bool WriteVtk(const std::string& path, const host::PipingModel& model, const Results& results,
              const LoadCase* oneCase, std::string* error) {
    const std::filesystem::path target(path);
    if (target.extension() != ".pvd") {
        const LoadCase& c = oneCase ? *oneCase : results.cases.front();
        return sys::WriteFileAtomically(path, VtuText(model, results, c), error);
    }
    std::ostringstream pvd;
    pvd << "<?xml version=\"1.0\"?>\n<VTKFile type=\"Collection\" version=\"1.0\">\n  <Collection>\n";
    for (std::size_t i = 0; i < results.cases.size(); ++i) {
        const std::string name = target.stem().string() + "_" + std::to_string(i + 1) + ".vtu";
        const std::string casePath = (target.parent_path() / name).string();
        if (!sys::WriteFileAtomically(casePath, VtuText(model, results, results.cases[i]), error))
            return false;
        pvd << "    <DataSet timestep=\"" << i << "\" name=\"" << Escaped(results.cases[i].name) << "\" file=\""
            << Escaped(name) << "\"/>\n";
    }
    pvd << "  </Collection>\n</VTKFile>\n";
    return sys::WriteFileAtomically(path, pvd.str(), error);
}

} // namespace ketra::results
